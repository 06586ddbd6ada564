// How status walks a tree: the scan's path order, the ignore rules, and a large scope classified
// in stretches on several threads, which must report what one walk over the whole tree would.
#include <algorithm>
#include <cstdio>
#include <set>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/hash.hpp"
#include "workspace/ignore.hpp"
#include "workspace/status.hpp"
#include "workspace/sys.hpp"
#include "workspace/treescan.hpp"
#include "workspace/workspacefile.hpp"

using namespace RepositoryAccess;
using kivotest::writeText;
namespace fs = std::filesystem;

namespace {

constexpr int kDirectories = 60;
constexpr int kFilesPerDirectory = 150;
// The directory whose rules ignore its files f010.txt to f019.txt (and the rules file itself).
constexpr int kIgnoringDirectory = 31;

class StatusStretches : public wstest::WorkSpaceTest {
protected:
    void SetUp() override {
        wstest::WorkSpaceTest::SetUp();
        itsWs = openWorkSpace(true);
    }

    std::string name(int theDirectory, int theFile) const {
        char aName[32];
        std::snprintf(aName, sizeof aName, "p/d%02d/f%03d.txt", theDirectory, theFile);
        return (itsWs / aName).string();
    }
    static bool ignored(int theDirectory, int theFile) {
        return theDirectory == kIgnoringDirectory && theFile >= 10 && theFile < 20;
    }

    fs::path itsWs;
};

} // namespace

TEST_F(StatusStretches, ReportEveryFileAsOneWalkWould) {
    WorkSpaceStatusFile& aStatus = workspace::get()->status();
    PathSet aModified, aDeleted, aNew, aPresent, aConflicted;
    for (int d = 0; d < kDirectories; ++d) {
        fs::create_directories(fs::path(name(d, 0)).parent_path());
        for (int f = 0; f < kFilesPerDirectory; ++f) {
            const std::string aFile = name(d, f);
            writeText(aFile, aFile);
            const sys::StampedContent aRead = sys::readFileStamped(aFile);
            aStatus.setFileStatus(aFile, hash::calc(*aRead.itsBytes), aRead.itsTimestamp, 1,
                                  aRead.itsFileStat);
            const int anIndex = d * kFilesPerDirectory + f;
            if (anIndex % 1000 == 500) { // conflicted files take no part in the comparison
                aStatus.addConflict(aFile);
                aConflicted.push_back(aFile);
                continue;
            }
            if (anIndex % 97 == 0) {
                fs::remove(aFile);
                if (!ignored(d, f))
                    aDeleted.push_back(aFile);
                continue;
            }
            if (anIndex % 89 == 1) {
                writeText(aFile, "changed");
                wstest::setModifiedTime(aFile, 2000000000, 0);
                if (!ignored(d, f))
                    aModified.push_back(aFile);
            }
            if (!ignored(d, f))
                aPresent.push_back(aFile);
        }
        if (d % 10 == 5) {
            aNew.push_back((fs::path(name(d, 0)).parent_path() / "new.txt").string());
            writeText(aNew.back(), "new");
        }
    }
    writeText(itsWs / "p/d31/.kivoignore", R"({"exclude":["f01.*", "\\.kivoignore"]})");
    for (const char* aNewDirectoryFile : {"p/d15x/a.txt", "p/zz/b.txt"}) {
        fs::create_directories((itsWs / aNewDirectoryFile).parent_path());
        writeText(itsWs / aNewDirectoryFile, "new");
        aNew.push_back((itsWs / aNewDirectoryFile).string());
    }
    for (PathSet* aSet : {&aModified, &aDeleted, &aNew, &aPresent})
        pathset::normalize(*aSet);
    const PathSet aNewDirectories = {(itsWs / "p/d15x").string(), (itsWs / "p/zz").string()};

    for (const Parameter* aMode : {static_cast<const Parameter*>(nullptr), &params::veryFast,
                                   &params::fast, &params::noCompare}) {
        if (aMode)
            setParameter(*aMode);
        const Status aResult({"p"}, true, false, false);
        EXPECT_EQ(aResult.conflicted(), aConflicted);
        EXPECT_EQ(aResult.deleted(), aDeleted);
        EXPECT_EQ(aResult.newFiles(), aNew);
        EXPECT_EQ(aResult.newDirectories(), aNewDirectories);
        // Without a comparison every known file on disk counts as modified.
        EXPECT_EQ(aResult.modified(), aMode == &params::noCompare ? aPresent : aModified);
        if (aMode)
            unsetParameter(*aMode);
    }
}

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

namespace {

// A workspace directory below a folder that has its own (ineffective) ignore file.
struct IgnoreTree {
    kivotest::TempDir itsDir;
    std::string itsWs;

    IgnoreTree() {
        itsWs = (itsDir.path() / "ws").string();
        std::filesystem::create_directories(itsDir.path() / "ws/a/b");
        std::filesystem::create_directories(itsDir.path() / "ws/a/c");
        writeText(itsDir.path() / ".kivoignore", R"({"exclude":[".*"]})");
    }
    void rules(const std::string& theDir, const std::string& theJson) {
        writeText(std::filesystem::path(itsWs) / theDir / ".kivoignore", theJson);
    }
    std::string path(const std::string& theRelative) const { return itsWs + "/" + theRelative; }
};

} // namespace

// An include below overrides an exclude above; patterns are relative to their directory, whose
// name is literal in them; the rules above the workspace do not apply.
TEST(Ignore, RulesOfEachDirectoryApplyBelowIt) {
    IgnoreTree aTree;
    std::filesystem::create_directories(aTree.path("a+b"));
    aTree.rules("", R"({"exclude":[".*\\.html"]})");
    aTree.rules("a", R"({"exclude":["x.txt", "Debug/.*"]})");
    aTree.rules("a/b", R"({"include":["index\\.html"], "other":1})");
    aTree.rules("a+b", R"({"exclude":[".*\\.o"]})");
    Ignore anIgnore(aTree.itsWs);
    for (const char* anIgnored :
         {"a/b/other.html", "a/c/index.html", "a/x.txt", "a/Debug/deep/y.bin", "a+b/m.o"})
        EXPECT_TRUE(anIgnore.isIgnored(aTree.path(anIgnored))) << anIgnored;
    for (const char* aKept : {"a/b/index.html", "a/b/x.txt", "top.txt", "a/c/x.txt"})
        EXPECT_FALSE(anIgnore.isIgnored(aTree.path(aKept))) << aKept;
    // Answers are remembered and each rules file is read once.
    aTree.rules("a", "not json at all");
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/x.txt")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/Debug/y")));
}

// A directory that a listing read whole is not probed unless its files held rules; one the
// listing did not read (a/b, below a flat listing) still is.
TEST(Ignore, ListingTellsWhichDirectoriesHoldRules) {
    IgnoreTree aTree;
    aTree.rules("a", R"({"exclude":[".*~"]})");
    aTree.rules("a/b", R"({"exclude":[".*\\.o"]})");
    Ignore anIgnore(aTree.itsWs);
    anIgnore.learnListing({aTree.itsWs + "/", aTree.path("a"), aTree.path("a/c/")},
                          {aTree.path("a/.kivoignore"), aTree.path("a/c/x.txt")});
    aTree.rules("a/c", R"({"exclude":[".*"]})"); // written after the listing
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/f~")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/b/m.o")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/b/f~")));
    EXPECT_FALSE(anIgnore.isIgnored(aTree.path("a/c/x.txt")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/c/f~")));
}

TEST(Ignore, UnparsableFileStopsWithItsRelativeNameAndContent) {
    IgnoreTree aTree;
    aTree.rules("a/b", "{\"exclude\": [oops]}");
    EXPECT_EQ(kivotest::messageOf([&] { Ignore(aTree.itsWs).isIgnored(aTree.path("a/b/f.txt")); }),
              "Could not parse \".kivoignore\" file \"a/b/.kivoignore\":\n{\"exclude\": [oops]}");
}

using IgnoreDebug = wstest::WorkSpaceTest;

TEST_F(IgnoreDebug, OutputShowsEveryRuleTried) {
    IgnoreTree aTree;
    aTree.rules("", R"({"exclude":["a\\.x"], "include":["b"]})");
    setParameter(params::debugKivoignore);
    Ignore(aTree.itsWs).isIgnored(aTree.path("a.x"));
    const std::string aCaptured = takeOutput();
    for (const std::string& aLine : {std::string("\nExclude regular expression : "),
                                     "Path                       : " + aTree.itsWs + "/a.x\n" +
                                         "Match                      : yes\n",
                                     std::string("\nInclude regular expression : ")})
        EXPECT_TRUE(kivotest::contains(aCaptured, aLine)) << aCaptured;
}
