#include "workspace/sys.hpp"

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/console.hpp"
#include "core/perftrace.hpp"
#include "tests/support/memorydisk.hpp"
#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/filestat.hpp"
#include "workspace/hash.hpp"

using wstest::messageOf;
namespace sys = RepositoryAccess::sys;
namespace params = RepositoryAccess::params;
namespace fs = std::filesystem;
namespace disk = RepositoryAccess::disk;
namespace hash = RepositoryAccess::hash;

using SysPaths = wstest::WorkSpaceTest;
using SysFiles = wstest::WorkSpaceTest;

TEST_F(SysPaths, SplittingJoiningRelativeNamesAndSubDirectories) {
    EXPECT_EQ(sys::getDirPart("X:\\ws\\a\\f.txt"), "X:/ws/a");
    EXPECT_EQ(sys::getDirPart("f.txt"), "");
    EXPECT_EQ(sys::getFilePart("/ws/a/f.txt"), "f.txt");
    EXPECT_EQ(sys::getFilePart("/ws/a/"), "");
    EXPECT_EQ(sys::getParentDir("/ws/a/b/"), "/ws/a");
    EXPECT_EQ(sys::getParentDir("X:/ws/a"), "X:/ws");
    EXPECT_EQ(sys::joinFileName("/ws", "f"), "/ws/f");
    EXPECT_EQ(sys::joinFileName("/ws/", "f"), "/ws/f");
    EXPECT_EQ(sys::joinFileName("", "f"), "f");
    EXPECT_EQ(sys::joinFileName("/", "f"), "/f");
    EXPECT_EQ(sys::normalizeDirName("X:\\ws"), "X:/ws/");
    EXPECT_EQ(sys::normalizeDirName(""), "");
    EXPECT_TRUE(sys::isAbsolutePath("X:/ws"));
    EXPECT_TRUE(sys::isAbsolutePath("/ws"));
    EXPECT_FALSE(sys::isAbsolutePath("ws/a"));
    EXPECT_FALSE(sys::isAbsolutePath("X:"));

    EXPECT_EQ(sys::resolvePath("a/./b/../c"), "a/c");
    EXPECT_EQ(sys::resolvePath("/ws/a/../b/"), "/ws/b/");
    EXPECT_EQ(sys::resolvePath("/ws/.."), "/");
    for (const auto& [aPath, aShown] :
         {std::pair{"a/../../b", "a/../../b"}, {"/..", "/.."}, {"X:\\..", "X:/.."}})
        EXPECT_EQ(messageOf([&] { sys::resolvePath(aPath); }),
                  "Failed to resolve path: \"" + std::string(aShown) + "\"");

    EXPECT_EQ(sys::absoluteToRelativeDirName("X:/ws/a/b", "X:/ws"), "a/b/");
    EXPECT_EQ(sys::absoluteToRelativeDirName("X:/ws", "X:/ws/a/b"), "../../");
    EXPECT_EQ(sys::absoluteToRelativeDirName("X:/ws/a", "X:\\ws\\a\\"), "");
    EXPECT_EQ(sys::absoluteToRelativeDirName("/wsa/x", "/ws"), "../wsa/x/");
    EXPECT_EQ(sys::absoluteToRelativeDirName("/ws/a", ""), "/ws/a");
    EXPECT_EQ(messageOf([] { sys::absoluteToRelativeDirName("X:/x", "Y:/x"); }),
              "The absolute directory name and the base directory name are on different drives.");
    EXPECT_EQ(sys::absoluteToRelativeFileName("/ws/p1/p2/test.txt", "/ws"), "p1/p2/test.txt");
    EXPECT_EQ(sys::absoluteToRelativeFileName("/ws/test.txt", "/ws/"), "test.txt");

    EXPECT_TRUE(sys::isSubDir("X:/ws", "X:/ws", true));
    EXPECT_TRUE(sys::isSubDir("X:/ws/a/b", "X:/ws", true));
    EXPECT_FALSE(sys::isSubDir("X:/ws", "X:/ws/a", true));
    EXPECT_FALSE(sys::isSubDir("X:/wsa", "X:/ws", true));
    EXPECT_TRUE(sys::isSubDir("X:/ws/a", "X:/ws", false));
    EXPECT_FALSE(sys::isSubDir("X:/ws/a/b", "X:/ws", false));
    EXPECT_FALSE(sys::isSubDir("X:/ws", "X:/ws", false));
    EXPECT_FALSE(sys::isSubDir("X:/ws/b", "X:/ws/a", false)); // sibling, not parent

    EXPECT_TRUE(sys::isFileInDir("/ws/a/f", "/ws/a", false));
    EXPECT_TRUE(sys::isFileInDir("/ws/a/f", "/ws/a/", false));
    EXPECT_FALSE(sys::isFileInDir("/ws/a/b/f", "/ws/a", false));
    EXPECT_TRUE(sys::isFileInDir("/ws/a/b/f", "/ws/a", true));
    EXPECT_FALSE(sys::isFileInDir("/ws/ab/f", "/ws/a", true));
}

// Another spelling of a question already answered gets the cached answer, and the same one.
TEST_F(SysPaths, CachesAnswerRepeatedQuestionsAndDebugLinesShowIt) {
    setParameter(params::debugPaths);
    EXPECT_TRUE(sys::isSubDir("/cache/a/b", "/cache", true));
    EXPECT_EQ(takeOutput().find("cache hit"), std::string::npos);
    EXPECT_TRUE(sys::isSubDir("/cache/a/b/", "/cache/", true));
    EXPECT_EQ(sys::absoluteToRelativeDirName("/cache", "/cache/a/b"), "../../");
    EXPECT_NE(takeOutput().find("isSubDir 3 (cache hit): true\n"), std::string::npos);
}

// What only the machine's disk has (both disks: DiskTest below): binary bytes, symbolic links, and
// the messages of appends and directories.
TEST_F(SysFiles, BinaryBytesLinksAndDirectoryErrors) {
    const std::string aDir = dir().string();
    const std::string aFile = aDir + "/f.bin";
    const std::string aBytes("a\0b\r\nc", 6);
    sys::writeFile(aFile, aBytes);
    EXPECT_EQ(*sys::readFile(aFile, 3), std::string("a\0b", 3));
    EXPECT_EQ(sys::createDirectories(aDir + "/p1/p2/p3/file"), 3);
    fs::create_directory_symlink(dir() / "p1", dir() / "link");
    // A symbolic link is no part of a workspace: left out of listings, never written through,
    // removed itself, and named when it lies on the way to a path.
    const sys::DirListing aListing = sys::listDir(aDir);
    EXPECT_EQ(aListing.itsFiles, std::vector<std::string>{aFile});
    EXPECT_EQ(aListing.itsDirs, (std::vector<std::string>{aDir + "/p1"}));
    EXPECT_EQ(sys::linkOnTheWay(aDir, aDir + "/link/p2/file"), aDir + "/link");
    EXPECT_EQ(sys::linkOnTheWay(aDir, aDir + "/p1/p2/file"), "");
    fs::create_symlink(aFile, dir() / "filelink");
    EXPECT_NE(messageOf([&] { sys::writeFile(aDir + "/filelink", "x"); }), "no error");
    EXPECT_EQ(*sys::readFile(aFile), aBytes);
    fs::create_symlink(dir() / "nowhere", dir() / "dangling");
    EXPECT_TRUE(sys::deleteFile(aDir + "/filelink"));
    EXPECT_TRUE(sys::deleteFile(aDir + "/dangling"));
    EXPECT_TRUE(fs::exists(aFile));

    const std::string aMissing = aDir + "/missing/x";
    EXPECT_EQ(messageOf([&] { sys::writeFile(aMissing, "", true); }),
              "Failed to open file for writing (append: true): \"" + aMissing +
                  "\". System error code: 2");
    EXPECT_EQ(messageOf([&] { sys::createDirectory(aMissing); }),
              "Failed to create directory: \"" + aMissing + "\". System error code: 2");
}

// A mapped settings file reads like a read one, keeps its bytes when the file is replaced by a
// rename meanwhile, and fails with the read's message.
TEST_F(SysFiles, MappedFilesReadLikeReadFilesAndOutliveTheirReplacement) {
    const std::string aFile = (dir() / "status").string();
    const std::string aBytes = std::string("{\"a\":\0\"b\"}", 10) + std::string(70000, 'x');
    sys::writeFile(aFile, aBytes);
    {
        const sys::MappedFile aMapped(aFile);
        sys::writeFile(aFile + ".new", "other");
        fs::rename(aFile + ".new", aFile);
        EXPECT_EQ(aMapped.text(), aBytes);
    }
    sys::writeFile(aFile, "");
    EXPECT_EQ(sys::MappedFile(aFile).text(), "");
    const std::string aMissing = (dir() / "missing").string();
    EXPECT_EQ(messageOf([&] { sys::MappedFile aMapped(aMissing); }),
              messageOf([&] { sys::readFile(aMissing); }));
}

TEST_F(SysFiles, TimestampsAreUtcWithMillisecondsWhateverTheZone) {
    fs::path aFile = dir() / "t.txt";
    kivotest::writeText(aFile, "x");
    // 2024-03-07 09:05:01.042999 UTC: milliseconds are truncated, not rounded.
    wstest::setModifiedTime(aFile, 1709802301, 42999000);
    for (const char* aZone : {"UTC", "Asia/Kolkata", "America/St_Johns"}) {
        const wstest::ScopedEnv aZoneSet{{"TZ", aZone}};
        EXPECT_EQ(sys::getts(aFile.string()), "2024-03-07 09:05:01.042 UTC") << aZone;
    }
    EXPECT_EQ(sys::formatTimestamp({0, 0}), "1970-01-01 00:00:00.000 UTC");
    EXPECT_EQ(sys::formatTimestamp({951868799, 999999999}), "2000-02-29 23:59:59.999 UTC");
    EXPECT_EQ(sys::formatTimestamp({-1, 500000000}), "1969-12-31 23:59:59.500 UTC");

    // A scan yields the same text without a second look at the file (its names: DiskTest).
    std::vector<sys::DirEntry> anEntries = sys::scanDir(dir().string());
    ASSERT_EQ(anEntries.size(), 1u);
    EXPECT_EQ(sys::formatTimestamp(anEntries[0].itsModified), sys::getts(aFile.string()));
    // A listing's stat data equal those of the hashed file's descriptor, or no listed file would
    // ever be proven unchanged (those of a path: StatusProof).
    const int aDescriptor = ::open(aFile.c_str(), O_RDONLY);
    ASSERT_GE(aDescriptor, 0);
    const RepositoryAccess::filestat::FileStat aRecorded =
        RepositoryAccess::filestat::ofDescriptor(aDescriptor);
    ::close(aDescriptor);
    sys::visitDir(dir().string(), true, [&](const sys::DirEntryView& theEntry) {
        EXPECT_EQ(theEntry.itsStat, aRecorded);
    });
}

TEST_F(SysFiles, SimulationPrintsAndLeavesTheDiskAlone) {
    std::string aDir = dir().string();
    std::string aFile = aDir + "/f.txt";
    std::string anExisting = aDir + "/old.txt";
    kivotest::writeText(anExisting, "old");
    std::string aTraceBefore = RepositoryAccess::console::traceText();
    setParameter(params::simulate);
    setParameter(params::trace);
    sys::writeFile(aFile, "x");
    sys::writeFile(aFile, "x", true);
    EXPECT_FALSE(sys::createDirectory(aDir + "/new"));
    EXPECT_FALSE(sys::createDirectory(aDir)); // exists: no line
    EXPECT_FALSE(sys::deleteFile(anExisting));
    EXPECT_FALSE(sys::deleteDirectory(aDir));
    sys::writeFileAtomically(anExisting, "new");
    EXPECT_TRUE(sys::createExclusive(aDir + "/.lock", "me"));
    EXPECT_EQ(sys::getts(anExisting), "");
    std::string anExpected;
    for (const std::string& anOperation :
         {"Write file (append: false) \"" + aFile, "Write file (append: true) \"" + aFile,
          "Create directory \"" + aDir + "/new", "Delete file \"" + anExisting,
          "Delete directory \"" + aDir, "Write file (append: false) \"" + anExisting,
          "Write file (append: false) \"" + aDir + "/.lock"})
        anExpected += "Simulation: File system write operation: " + anOperation + "\"\n";
    EXPECT_EQ(takeOutput(), anExpected);
    EXPECT_EQ(RepositoryAccess::console::traceText(), aTraceBefore + anExpected);
    EXPECT_EQ(kivotest::readText(anExisting), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);
}

TEST_F(SysFiles, AtomicWriteKeepsTheOldFileOnFailure) {
    std::string aFile = (dir() / ".kivoStatus").string();
    sys::writeFileAtomically(aFile, "kept"); // its replacement in place: DiskTest

    // The target is a non-empty directory: the rename fails and nothing is left behind.
    fs::create_directories(dir() / "busy" / "inner");
    std::string aBusy = (dir() / "busy").string();
    EXPECT_EQ(messageOf([&] {
                  sys::writeFileAtomically(aBusy, "x");
              }).rfind("Failed to replace file: \"" + aBusy + "\". System error code: ", 0),
              0u);
    EXPECT_TRUE(fs::is_directory(dir() / "busy" / "inner"));

    // A child that may write only a few bytes fails in the middle of the new content.
    const pid_t aPid = ::fork();
    ASSERT_GE(aPid, 0);
    if (aPid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit aLimit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &aLimit);
        const std::string aMessage =
            messageOf([&] { sys::writeFileAtomically(aFile, std::string(100, 'x')); });
        ::_exit(aMessage.starts_with("Cannot write to file") || aMessage.starts_with("Failed to")
                    ? 0
                    : 1);
    }
    int aStatus = 0;
    ASSERT_EQ(::waitpid(aPid, &aStatus, 0), aPid);
    EXPECT_TRUE(WIFEXITED(aStatus) && WEXITSTATUS(aStatus) == 0);
    EXPECT_EQ(kivotest::readText(aFile), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 2);
}

TEST_F(SysFiles, ProcessIdentityTempDirAndTempNames) {
    EXPECT_EQ(*sys::processIdentity(), "name: unit_workspace, id: " + std::to_string(::getpid()));

    const fs::path aLower = dir() / "lower";
    {
        const wstest::ScopedEnv anEnv{{"temp", nullptr}, {"TEMP", ""}, {"TMPDIR", dir().c_str()}};
        const std::string aTempDir = sys::getTempDir();
        EXPECT_EQ(aTempDir, (dir() / "kivotmp").string());
        EXPECT_TRUE(fs::is_directory(aTempDir));
        fs::create_directory(aLower);
        const wstest::ScopedEnv aLowerCase{{"temp", aLower.c_str()}};
        EXPECT_EQ(sys::tempFileName("kivohelp", "html", false),
                  (aLower / "kivotmp" / "kivohelp.html").string());
        const std::string aTicked = sys::tempFileName("activation", "log", true);
        EXPECT_TRUE(aTicked.starts_with((aLower / "kivotmp" / "activation_").string()) &&
                    aTicked.ends_with(".log"))
            << aTicked;
    }
    EXPECT_EQ(sys::getRealPath((dir() / "lower" / ".." / "kivotmp").string()),
              fs::canonical(dir() / "kivotmp").string());
    EXPECT_EQ(sys::getRealPath("/no/such/../dir/"), "/no/dir");
}

// Two threads of a parallel checkout create the same new directories at once: every directory is
// counted once, by the thread whose mkdir made it.
TEST_F(SysFiles, DirectoriesMadeByTwoThreadsAtOnceAreCountedOnce) {
    for (int i = 0; i < 300; ++i) {
        const std::string aFile = (dir() / ("d" + std::to_string(i)) / "a/b/file").string();
        std::atomic<int> aReady = 0;
        std::atomic<int> aCount = 0;
        auto aCreate = [&] {
            // Like the program's own worker threads: the performance trace belongs to the main one.
            RepositoryAccess::perftrace::muteThisThread();
            ++aReady;
            while (aReady.load() < 2) {
            }
            aCount += sys::createDirectories(aFile);
        };
        std::thread aFirst(aCreate), aSecond(aCreate);
        aFirst.join();
        aSecond.join();
        ASSERT_EQ(aCount.load(), 3) << "round " << i;
    }
}

// The directories known missing or made: each way of making one ends the first memory, and a
// directory removed behind the program's back is made again once the second is forgotten.
TEST_F(SysFiles, MissingDirectoriesAreForgottenOnceMade) {
    for (const bool anAlone : {false, true}) {
        const std::string aFile = (dir() / ("m" + std::to_string(anAlone)) / "f").string();
        EXPECT_EQ(sys::readFileIfExists(aFile), nullptr);
        EXPECT_EQ(sys::readFileIfExists(aFile + "2"), nullptr);
        if (anAlone)
            sys::createDirectory(fs::path(aFile).parent_path().string());
        else
            sys::createDirectories(aFile);
        sys::writeFile(aFile, "there");
        const auto aRead = sys::readFileIfExists(aFile);
        ASSERT_NE(aRead, nullptr) << anAlone;
        EXPECT_EQ(*aRead, "there");
    }
    const std::string aDeep = (dir() / "d1/d2/f.txt").string();
    EXPECT_EQ(sys::createDirectories(aDeep), 2);
    fs::remove_all(dir() / "d1");
    sys::forgetKnownDirectories();
    EXPECT_EQ(sys::createDirectories(aDeep), 2);
}

namespace {

// The same calls through sys:: on the machine's disk (in a temporary directory) and on the
// in-memory one: the tests of the layers above trust the twin only where it answers alike.
class DiskTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            itsRoot = "/ws";
            itsUse.emplace(itsMemory);
            sys::createDirectory(itsRoot);
        } else {
            itsRoot = itsDir.path().string();
        }
    }

    std::string path(const std::string& theName) const { return itsRoot + "/" + theName; }

    // The message with the root in a form that both disks share.
    std::string messageAt(const std::function<void()>& theCall) const {
        std::string aMessage = messageOf(theCall);
        for (std::size_t anAt = aMessage.find(itsRoot); anAt != std::string::npos;
             anAt = aMessage.find(itsRoot))
            aMessage.replace(anAt, itsRoot.size(), "ROOT");
        return aMessage;
    }

    kivotest::TempDir itsDir;
    kivotest::MemoryDisk itsMemory;
    std::optional<disk::Use> itsUse;
    std::string itsRoot;
};

TEST_P(DiskTest, FilesAreWrittenAppendedReadAndStamped) {
    const std::string aFile = path("a.txt");
    sys::writeFile(aFile, "hello");
    sys::writeFile(aFile, " world", true);
    EXPECT_EQ(*sys::readFile(aFile), "hello world");
    EXPECT_EQ(*sys::readFile(aFile, 5), "hello");
    EXPECT_EQ(sys::getFileSize(aFile), 11u);
    EXPECT_TRUE(sys::fileExists(aFile));
    EXPECT_FALSE(sys::dirExists(aFile));
    // A file hashed in pieces gives the hash of its whole content.
    const std::string aLarge = std::string(200000, 'x') + "\r\nline end kept\n";
    sys::writeFile(path("large"), aLarge);
    EXPECT_EQ(hash::calcFile(path("large")), hash::calc(aLarge));
    sys::writeFile(path("empty"), "");
    EXPECT_EQ(hash::calcFile(path("empty")), hash::calc(""));

    const sys::WriteStamp aStamp = sys::writeFileStamped(aFile, "new");
    const sys::StampedContent aRead = sys::readFileStamped(aFile);
    EXPECT_EQ(*aRead.itsBytes, "new");
    EXPECT_EQ(aRead.itsTimestamp, aStamp.itsTimestamp);
    EXPECT_EQ(sys::getts(aFile), aStamp.itsTimestamp);

    sys::writeFileAtomically(aFile, "replaced");
    EXPECT_EQ(*sys::readFileIfExists(aFile), "replaced");
    EXPECT_EQ(sys::readFileIfExists(path("missing")), nullptr);

    EXPECT_TRUE(sys::createExclusive(path("lock"), "mine"));
    EXPECT_FALSE(sys::createExclusive(path("lock"), "theirs"));
    EXPECT_EQ(*sys::readFile(path("lock")), "mine");
}

TEST_P(DiskTest, FailuresGiveTheMachinesMessages) {
    const std::string aMissing = path("missing.txt");
    const std::string aNotThere = " \"ROOT/missing.txt\". System error code: 2";
    EXPECT_EQ(messageAt([&] { sys::readFile(aMissing); }),
              "Failed to open file for reading (readFile):" + aNotThere);
    EXPECT_EQ(messageAt([&] { sys::getFileSize(aMissing); }),
              "Failed to open file for reading (getFileSize):" + aNotThere);
    EXPECT_EQ(messageAt([&] { hash::calcFile(aMissing); }),
              "Failed to open file for reading (readFile):" + aNotThere);
    EXPECT_EQ(messageAt([&] { sys::getts(aMissing); }),
              "Internal error: Could not retrieve timestamp for file (CreateFile): "
              "ROOT/missing.txt");
    EXPECT_EQ(messageAt([&] { sys::writeFile(path("no/such/dir.txt"), "x"); }),
              "Failed to open file for writing (append: false): \"ROOT/no/such/dir.txt\". "
              "System error code: 2");
    EXPECT_EQ(messageAt([&] { sys::listDir(path("nowhere")); }), "Invalid Directory: ROOT/nowhere");

    sys::writeFile(path("short"), "abc");
    EXPECT_EQ(messageAt([&] { sys::readFile(path("short"), 4); }),
              "Cannot read from file (not all bytes read) (readFile): \"ROOT/short\".");
    sys::createDirectory(path("dir"));
    EXPECT_EQ(messageAt([&] { sys::writeFile(path("dir"), "x"); }),
              "Failed to open file for writing (append: false): \"ROOT/dir\". "
              "System error code: 21");
    EXPECT_EQ(*sys::readFile(path("short")), "abc");
    EXPECT_EQ(messageAt([&] { sys::createDirectories(path("short/f")); }),
              "Failed to create directory: \"ROOT/short\". System error code: 17");
}

TEST_P(DiskTest, DirectoriesAreCountedListedAndRemovedOnlyWhenEmpty) {
    EXPECT_EQ(sys::createDirectories(path("a/b/c.txt")), 2);
    EXPECT_EQ(sys::createDirectories(path("a/b/d.txt")), 0);
    EXPECT_FALSE(sys::createDirectory(path("a")));
    sys::writeFile(path("a/f.txt"), "f");

    const sys::DirListing aListing = sys::listDir(path("a"));
    EXPECT_EQ(aListing.itsDirs, std::vector<std::string>{path("a/b")});
    EXPECT_EQ(aListing.itsFiles, std::vector<std::string>{path("a/f.txt")});
    const std::vector<sys::DirEntry> anEntries = sys::scanDir(path("a"));
    ASSERT_EQ(anEntries.size(), 2u);
    for (const sys::DirEntry& anEntry : anEntries)
        EXPECT_EQ(anEntry.itsIsDirectory ? "b" : "f.txt:1",
                  anEntry.itsIsDirectory ? anEntry.itsName
                                         : anEntry.itsName + ":" + std::to_string(anEntry.itsSize));

    EXPECT_EQ(messageAt([&] { sys::deleteDirectory(path("a")); }),
              "Failed to delete directory \"ROOT/a\". System error code: 39");
    EXPECT_TRUE(sys::deleteFile(path("a/f.txt")));
    EXPECT_FALSE(sys::deleteFile(path("a/f.txt")));
    EXPECT_FALSE(sys::deleteFile(path("a/b")));
    EXPECT_TRUE(sys::deleteDirectory(path("a/b")));
    EXPECT_TRUE(sys::deleteDirectory(path("a")));
    EXPECT_FALSE(sys::deleteDirectory(path("a")));
    EXPECT_FALSE(sys::dirExists(path("a")));
    // A directory that was removed is made again, not remembered as made.
    EXPECT_EQ(sys::createDirectories(path("a/b/c.txt")), 2);
}

INSTANTIATE_TEST_SUITE_P(BothDisks, DiskTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& theInfo) {
                             return theInfo.param ? "Memory" : "Machine";
                         });

} // namespace
