#include "workspace/disk.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "tests/support/memorydisk.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

using kivotest::messageOf;

namespace sys = RepositoryAccess::sys;
namespace disk = RepositoryAccess::disk;
namespace hash = RepositoryAccess::hash;

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
    EXPECT_EQ(messageAt([&] { sys::readFile(aMissing); }),
              "Failed to open file for reading (readFile): \"ROOT/missing.txt\". "
              "System error code: 2");
    EXPECT_EQ(messageAt([&] { sys::getFileSize(aMissing); }),
              "Failed to open file for reading (getFileSize): \"ROOT/missing.txt\". "
              "System error code: 2");
    EXPECT_EQ(messageAt([&] { hash::calcFile(aMissing); }),
              "Failed to open file for reading (readFile): \"ROOT/missing.txt\". "
              "System error code: 2");
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
