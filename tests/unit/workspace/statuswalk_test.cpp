// How status walks a tree: the scan's path order, the ignore rules, and a large scope classified
// in stretches on several threads, which must report what one walk over the whole tree would.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <stdexcept>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/hash.hpp"
#include "workspace/ignore.hpp"
#include "workspace/parallel.hpp"
#include "workspace/readahead.hpp"
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

using StatusStretches = wstest::WorkSpaceTest;

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

// theCount file names in theDir, and the pointers to them that ReadAhead takes.
struct Files {
    std::vector<std::string> itsNames;
    std::vector<const std::string*> itsList;
    Files(const kivotest::TempDir& theDir, std::size_t theCount) : itsNames(theCount) {
        for (std::size_t i = 0; i < theCount; ++i) {
            itsNames[i] = (theDir.path() / ("f" + std::to_string(i) + ".txt")).string();
            itsList.push_back(&itsNames[i]);
        }
    }
};

} // namespace

TEST_F(StatusStretches, ReportEveryFileAsOneWalkWould) {
    const fs::path aWs = openWorkSpace(true);
    auto aPathOf = [&](int theDirectory, int theFile) {
        char aName[32];
        std::snprintf(aName, sizeof aName, "p/d%02d/f%03d.txt", theDirectory, theFile);
        return (aWs / aName).string();
    };
    auto anIgnored = [](int theDirectory, int theFile) {
        return theDirectory == kIgnoringDirectory && theFile >= 10 && theFile < 20;
    };
    WorkSpaceStatusFile& aStatus = workspace::get()->status();
    PathSet aModified, aDeleted, aNew, aPresent, aConflicted;
    for (int d = 0; d < kDirectories; ++d) {
        fs::create_directories(fs::path(aPathOf(d, 0)).parent_path());
        for (int f = 0; f < kFilesPerDirectory; ++f) {
            const std::string aFile = aPathOf(d, f);
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
                if (!anIgnored(d, f))
                    aDeleted.push_back(aFile);
                continue;
            }
            if (anIndex % 89 == 1) {
                writeText(aFile, "changed");
                wstest::setModifiedTime(aFile, 2000000000, 0);
                if (!anIgnored(d, f))
                    aModified.push_back(aFile);
            }
            if (!anIgnored(d, f))
                aPresent.push_back(aFile);
        }
        if (d % 10 == 5) {
            aNew.push_back((fs::path(aPathOf(d, 0)).parent_path() / "new.txt").string());
            writeText(aNew.back(), "new");
        }
    }
    writeText(aWs / "p/d31/.kivoignore", R"({"exclude":["f01.*", "\\.kivoignore"]})");
    for (const char* aNewDirectoryFile : {"p/d15x/a.txt", "p/zz/b.txt"}) {
        fs::create_directories((aWs / aNewDirectoryFile).parent_path());
        writeText(aWs / aNewDirectoryFile, "new");
        aNew.push_back((aWs / aNewDirectoryFile).string());
    }
    for (PathSet* aSet : {&aModified, &aDeleted, &aNew, &aPresent})
        pathset::normalize(*aSet);
    const PathSet aNewDirectories = {(aWs / "p/d15x").string(), (aWs / "p/zz").string()};

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
    // Answers are remembered and each rules file is read once; a new reader stops at the damage.
    aTree.rules("a", "not json at all");
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/x.txt")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/Debug/y")));
    EXPECT_EQ(kivotest::messageOf([&] { Ignore(aTree.itsWs).isIgnored(aTree.path("a/b/f.txt")); }),
              "Could not parse \".kivoignore\" file \"a/.kivoignore\":\nnot json at all");
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

// Items of one run stay on one thread in index order; every item is done once, those of a run
// longer than a job too.
TEST(Parallel, RunsKeepTheirItemsTogetherInOrder) {
    constexpr std::size_t kCount = 1000;
    // Runs of 7, the last one shorter, and one of 600 that is cut into jobs.
    auto aRunOf = [](std::size_t i) { return i < 600 ? 0 : 1 + (i - 600) / 7; };
    std::mutex aMutex;
    std::vector<std::thread::id> aThreadOf(kCount);
    std::vector<std::vector<std::size_t>> anOrderOfRun(aRunOf(kCount - 1) + 1);
    parallel::forEachRun(
        kCount, [&](std::size_t a, std::size_t b) { return aRunOf(a) == aRunOf(b); },
        [&](std::size_t i) {
            std::lock_guard aLock(aMutex);
            aThreadOf[i] = std::this_thread::get_id();
            anOrderOfRun[aRunOf(i)].push_back(i);
        });
    for (std::size_t i = 0; i < kCount; ++i) {
        ASSERT_NE(aThreadOf[i], std::thread::id());
        if (i > 600 && aRunOf(i) == aRunOf(i - 1)) {
            EXPECT_EQ(aThreadOf[i], aThreadOf[i - 1]) << i;
        }
    }
    for (std::size_t aRun = 1; aRun < anOrderOfRun.size(); ++aRun)
        for (std::size_t k = 0; k < anOrderOfRun[aRun].size(); ++k)
            EXPECT_EQ(anOrderOfRun[aRun][k], 600 + (aRun - 1) * 7 + k);
    EXPECT_EQ(anOrderOfRun[0].size(), 600u);
}

// A failing item stops the other jobs from starting new runs and reaches the caller; nothing
// is left running.
TEST(Parallel, TheFirstFailureReachesTheCaller) {
    std::atomic<std::size_t> aDone{0};
    EXPECT_THROW(parallel::forEachRun(
                     10000, [](std::size_t a, std::size_t b) { return a / 10 == b / 10; },
                     [&](std::size_t i) {
                         if (i == 55)
                             throw std::runtime_error("item 55");
                         ++aDone;
                     }),
                 std::runtime_error);
    EXPECT_LT(aDone.load(), 10000u);
    parallel::forEachRun(
        0, [](std::size_t, std::size_t) { return true; }, [](std::size_t) { FAIL() << "no item"; });
}

// The helper stays within its bounds of files and bytes: files made after it started are read
// once the caller gets to them. Each file comes with its content, time and hash, in order.
TEST(Parallel, ReadAheadStaysWithinItsBoundsAndKeepsTheOrder) {
    struct Bounds {
        std::size_t itsFiles, itsBytes, itsReadable;
    };
    for (const Bounds aBounds : {Bounds{4, 1000, 4}, Bounds{100, 10, 2}}) {
        kivotest::TempDir aDir;
        const Files aFiles(aDir, 12);
        const std::vector<std::string>& aNames = aFiles.itsNames;
        auto aWrite = [&](std::size_t theBegin, std::size_t theEnd) {
            for (std::size_t i = theBegin; i < theEnd; ++i)
                kivotest::writeText(aNames[i], "content" + std::to_string(i % 10));
        };
        aWrite(0, aBounds.itsReadable);
        RepositoryAccess::ReadAhead aReadAhead(aFiles.itsList, aBounds.itsFiles, aBounds.itsBytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        aWrite(aBounds.itsReadable, aNames.size());
        for (const std::string& aName : aNames) {
            const auto aContent = aReadAhead.take();
            EXPECT_EQ(*aContent.itsRead.itsBytes, kivotest::readText(aName));
            EXPECT_EQ(aContent.itsRead.itsTimestamp, RepositoryAccess::sys::getts(aName));
            EXPECT_EQ(aContent.itsHash, RepositoryAccess::hash::calc(kivotest::readText(aName)));
        }
    }
}

// A file that cannot be read fails in its own turn, with the message of a plain read, after
// every file before it; the helper stops there and ends with the object.
TEST(Parallel, ReadAheadRaisesAFailureInItsTurn) {
    kivotest::TempDir aDir;
    const Files aFiles(aDir, 8);
    const std::vector<std::string>& aNames = aFiles.itsNames;
    for (std::size_t i = 0; i < 8; ++i)
        if (i != 5)
            kivotest::writeText(aNames[i], "x");
    const std::string aPlainFailure =
        kivotest::messageOf([&] { RepositoryAccess::sys::readFileStamped(aNames[5]); });
    ASSERT_FALSE(aPlainFailure.empty());
    RepositoryAccess::ReadAhead aReadAhead(aFiles.itsList, 2, 100);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(*aReadAhead.take().itsRead.itsBytes, "x");
    EXPECT_EQ(kivotest::messageOf([&] { aReadAhead.take(); }), aPlainFailure);

    // An object dropped before its files were taken ends without waiting for them.
    RepositoryAccess::ReadAhead anUntaken(aFiles.itsList, 1, 1);

    // A file that became a symbolic link is not followed.
    const std::string aLink = (aDir.path() / "link").string();
    std::filesystem::create_symlink(aNames[0], aLink);
    const std::vector<const std::string*> aLinked{&aLink, &aNames[1]};
    RepositoryAccess::ReadAhead aLinkReader(aLinked);
    EXPECT_NE(kivotest::messageOf([&] { aLinkReader.take(); }).find(aLink), std::string::npos);
}
