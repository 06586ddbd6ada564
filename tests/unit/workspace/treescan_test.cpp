#include "workspace/treescan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace RepositoryAccess {
namespace {

std::vector<std::string> pathsOf(const treescan::TreeScan& theScan) {
    std::vector<std::string> aPaths;
    for (const auto& aFile : theScan.itsFiles)
        aPaths.emplace_back(aFile.itsPath);
    return aPaths;
}

// Names that sort around the slash ('-' and '.' before it, letters after) interleave the files of
// a directory and its sub-directories; the scan must still give the path order status relies on.
TEST(TreeScan, FilesComeInPathOrderWhereDirectoriesAndFilesInterleave) {
    kivotest::TempDir aTemp;
    const std::filesystem::path aRoot = aTemp.path() / "pkg";
    const std::vector<std::string> aNames = {
        "a.txt", "a/b.txt", "a/b/x", "a/b/y/z", "a/c", "a-b/y", "a0", "b/.hidden", "b/a0",
        "b/a.txt", "b/a/z", "b-/q", "b.d/e/f", "z", "m/n/o/p", "m/n.txt", "m/n-1", "m/n/a",
        "m/nn/b/c", "m/n/o.txt",
        // Names that agree in their first eight bytes, or end before them, or differ in a byte
        // above 127 (sorted as unsigned): the scan's sort keys must order them as their bytes do.
        "k/abcdefgh", "k/abcdefgh1", "k/abcdefg", "k/abcdefgh.txt", "k/abcdefgi", "k/abcdefgh0",
        "k/Z", "k/\xc3\xa4.txt", "k/a", "k/\x7f"};
    for (const auto& aName : aNames) {
        std::filesystem::create_directories((aRoot / aName).parent_path());
        kivotest::writeText(aRoot / aName, aName);
    }
    std::filesystem::create_directories(aRoot / "empty/inner");
    std::filesystem::create_directories(aRoot / "skipped");
    kivotest::writeText(aRoot / "skipped/file", "left out");

    const auto aScan = treescan::scan({aRoot.string()}, true, true, (aRoot / "skipped").string());
    std::vector<std::string> anExpected;
    for (const auto& aName : aNames)
        anExpected.push_back((aRoot / aName).string());
    std::sort(anExpected.begin(), anExpected.end());
    EXPECT_EQ(pathsOf(aScan), anExpected);
    for (const auto& aFile : aScan.itsFiles)
        EXPECT_NE(aFile.itsStat.itsModifiedSeconds, 0) << aFile.itsPath;

    // Without recursion only the root's own files, still sorted.
    const auto aFlat = treescan::scan({aRoot.string()}, false, false, "");
    EXPECT_EQ(pathsOf(aFlat),
              (std::vector<std::string>{(aRoot / "a.txt").string(), (aRoot / "a0").string(),
                                        (aRoot / "z").string()}));
    // Two roots, one inside the other, list the inner files twice, as neighbours.
    const auto aNested = pathsOf(treescan::scan({aRoot.string(), (aRoot / "b").string()}, true,
                                                false, (aRoot / "skipped").string()));
    EXPECT_TRUE(std::is_sorted(aNested.begin(), aNested.end()));
    EXPECT_EQ(aNested.size(), aNames.size() + 4);
}

} // namespace
} // namespace RepositoryAccess
