#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "workspace/journal.hpp"
#include "workspace/metafilestore.hpp"
#include "workspace/sys.hpp"
#include "workspace/sysatomicfile.hpp"

using kivotest::messageOf;

namespace sys = RepositoryAccess::sys;
namespace journal = RepositoryAccess::journal;
using RepositoryAccess::JournalEntry;
namespace fs = std::filesystem;

namespace {

std::shared_ptr<const std::string> content(const std::string& theText) {
    return std::make_shared<const std::string>(theText);
}
std::vector<std::string> textsOf(const std::vector<JournalEntry>& theEntries) {
    std::vector<std::string> aTexts;
    for (const JournalEntry& anEntry : theEntries)
        aTexts.push_back(anEntry.itsPackage + "|" + anEntry.itsName + "|" + anEntry.itsSuffix +
                         "|" + std::to_string(static_cast<int>(anEntry.itsRepair)));
    return aTexts;
}

// While set, every link fails as on a file system that cannot give a nameless file a name.
std::atomic<bool> theLinksRefused{false};
std::atomic<int> theRefusals{0};

} // namespace

TEST(Recovery, TemporaryFileNamesTellTheirProcess) {
    EXPECT_EQ(sys::temporaryFileOwner("a.txt.kivoMeta.tmp123_4"), 123);
    EXPECT_EQ(sys::temporaryFileOwner(".kivoStatus.tmp9_0"), 9);
    // Not the program's own pattern: never taken for a temporary file.
    for (const char* aName : {".kivoStatus", "notes.tmp_x", "a.tmp12_", "a.tmp_3", "a.tmpx1_2",
                              "a.tmp1_2b", "a.tmp12345678901_1"})
        EXPECT_EQ(sys::temporaryFileOwner(aName), 0) << aName;
}

TEST(Recovery, JournalKeepsHostileNamesAndRejectsDamage) {
    kivotest::TempDir aTemp;
    const std::string aFile = journal::fileName(aTemp.path().string());
    const std::vector<JournalEntry> anEntries{
        {"p.\"q.r\"", "na\"me\\with\ttab\nline", "txt", JournalEntry::Repair::repository},
        {"p", "b/c", "", JournalEntry::Repair::checkout}};
    journal::write(aFile, anEntries);
    EXPECT_EQ(textsOf(journal::read(aFile)), textsOf(anEntries));
    // The durable write leaves nothing beside the journal.
    EXPECT_EQ(std::distance(fs::directory_iterator(aTemp.path()), fs::directory_iterator()), 1);

    for (const char* aDamaged :
         {"", "{\"objects\":[", "{\"objects\":{}}", "{\"objects\":[{\"package\":\"p\"}]}",
          "{\"objects\":[{\"package\":\"p\",\"name\":\"n\",\"suffix\":\"s\",\"repair\":\"x\"}]}",
          "{\"objects\":[7]}"}) {
        kivotest::writeText(aFile, aDamaged);
        EXPECT_EQ(messageOf([&] { journal::read(aFile); }),
                  "Failed to parse journal file: " + aFile)
            << aDamaged;
    }
}

// Writes that wait for the run's end: only files allowed to wait are kept, a flush writes them all,
// and a flush that fails loses nothing: each file is written with its last content or waits.
TEST(Recovery, WaitingMetadataWritesFlushOnceAndKeepWhatFailed) {
    kivotest::TempDir aTemp;
    RepositoryAccess::MetaFileStore aStore;
    const std::string aRoot = aTemp.path().string();
    const std::string aFree = aRoot + "/free.kivoMeta";
    EXPECT_FALSE(aStore.keep(aFree, content("x")));
    EXPECT_EQ(aStore.waiting(aFree), nullptr);

    std::vector<std::string> aFiles; // three in each directory
    for (const char* aDir : {"a", "b/c", "d"})
        for (int i = 0; i < 3; ++i)
            aFiles.push_back(aRoot + "/" + aDir + "/f" + std::to_string(i) + ".kivoMeta");
    for (const std::string& aFile : aFiles) {
        aStore.allowWaiting(aFile);
        EXPECT_TRUE(aStore.keep(aFile, content("first")));
        EXPECT_TRUE(aStore.keep(aFile, content("last " + aFile)));
    }
    EXPECT_EQ(*aStore.waiting(aFiles[4]), "last " + aFiles[4]);
    aStore.drop(aFiles[0]);
    EXPECT_EQ(aStore.waiting(aFiles[0]), nullptr);

    // A file where directory d belongs: its three metadata files cannot be written.
    kivotest::writeText(aRoot + "/d", "in the way");
    EXPECT_FALSE(messageOf([&] { aStore.flush(); }).empty());
    EXPECT_FALSE(fs::exists(aFiles[0]));
    for (std::size_t i = 1; i < aFiles.size(); ++i) {
        const bool aWritten = fs::exists(aFiles[i]);
        EXPECT_NE(aWritten, aStore.waiting(aFiles[i]) != nullptr) << aFiles[i];
        EXPECT_EQ(aWritten ? kivotest::readText(aFiles[i]) : "last " + aFiles[i],
                  "last " + aFiles[i]);
    }

    fs::remove(aRoot + "/d");
    aStore.flush();
    for (std::size_t i = 1; i < aFiles.size(); ++i) {
        EXPECT_EQ(kivotest::readText(aFiles[i]), "last " + aFiles[i]);
        EXPECT_EQ(aStore.waiting(aFiles[i]), nullptr);
    }
}

// Writing ahead: kept files reach the disk before the flush with their last content, a deleted one
// is never brought back, a failed write waits for the flush, which raises the failure.
TEST(Recovery, MetadataWrittenAheadIsNeverStaleNorBroughtBack) {
    kivotest::TempDir aTemp;
    RepositoryAccess::MetaFileStore aStore;
    const std::string aRoot = aTemp.path().string();
    auto aKeep = [&](const std::string& theFile, const std::string& theText) {
        aStore.allowWaiting(theFile);
        EXPECT_TRUE(aStore.keep(theFile, content(theText)));
    };
    const std::string aBefore = aRoot + "/a/before.kivoMeta";
    aKeep(aBefore, "before");
    aStore.writeAhead();
    const std::string anAhead = aRoot + "/b/ahead.kivoMeta";
    aKeep(anAhead, "first");
    for (int i = 0; i < 500 && aStore.waiting(anAhead); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(aStore.waiting(anAhead), nullptr);
    EXPECT_EQ(kivotest::readText(anAhead), "first");
    aKeep(anAhead, "second");

    std::vector<std::string> aDeleted;
    for (int i = 0; i < 200; ++i) {
        aDeleted.push_back(aRoot + "/c/gone" + std::to_string(i) + ".kivoMeta");
        aKeep(aDeleted.back(), "gone");
        aStore.drop(aDeleted.back());
        sys::deleteFile(aDeleted.back());
    }
    kivotest::writeText(aRoot + "/d", "in the way");
    const std::string aBlocked = aRoot + "/d/blocked.kivoMeta";
    aKeep(aBlocked, "blocked");

    EXPECT_FALSE(messageOf([&] { aStore.flush(); }).empty());
    EXPECT_NE(aStore.waiting(aBlocked), nullptr);
    fs::remove(aRoot + "/d");
    aStore.flush();
    EXPECT_EQ(kivotest::readText(aBefore), "before");
    EXPECT_EQ(kivotest::readText(anAhead), "second");
    EXPECT_EQ(kivotest::readText(aBlocked), "blocked");
    for (const std::string& aFile : aDeleted)
        EXPECT_FALSE(fs::exists(aFile)) << aFile;
}

TEST(Recovery, AFailedEarlySyncFailsTheRunsSync) {
    kivotest::TempDir aTemp;
    const std::string aDir = aTemp.path().string();
    sys::startEarlySync(aDir);
    EXPECT_NO_THROW(sys::syncPendingWrites(aDir));
    // The early sync runs on its own thread: its failure surfaces in the next sync of the run,
    // once, even when no settings write is pending.
    sys::startEarlySync(aDir + "/missing");
    const std::string aMessage = messageOf([&] { sys::syncPendingWrites(aDir); });
    EXPECT_EQ(aMessage.rfind("Failed to flush the settings files to disk: \"" + aDir + "\"", 0), 0u)
        << aMessage;
    EXPECT_NO_THROW(sys::syncPendingWrites(aDir));
}

// This test program's own linkat stands in for the C library's: it refuses while asked to and
// passes every other call on to the kernel.
extern "C" int linkat(int theOldDir, const char* theOldPath, int theNewDir, const char* theNewPath,
                      int theFlags) {
    if (theLinksRefused) {
        ++theRefusals;
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(
        ::syscall(SYS_linkat, theOldDir, theOldPath, theNewDir, theNewPath, theFlags));
}

// A settings file gets its name whole, or keeps its old content: a new file does not appear
// before its commit, one never committed leaves the target alone. Where no link can be made, new
// and replaced files are copied under a temporary name and renamed; no temporary file is left.
TEST(AtomicFileCopy, FileSystemsThatCannotLinkGetACopy) {
    for (const bool aRefused : {false, true}) {
        SCOPED_TRACE(aRefused ? "copied" : "linked");
        kivotest::TempDir aTemp;
        const std::string aNew = (aTemp.path() / "new.kivoMeta").string();
        const std::string anOld = (aTemp.path() / "old.kivoMeta").string();
        kivotest::writeText(anOld, "old");
        theLinksRefused = aRefused;
        {
            sys::AtomicFile aFresh(aNew);
            aFresh.write(std::string(100000, 'n'));
            sys::AtomicFile aReplacement(anOld);
            aReplacement.write("replaced");
            EXPECT_FALSE(fs::exists(aNew));
            aFresh.commit();
            aReplacement.commit();
            sys::AtomicFile anUnfinished(anOld);
            anUnfinished.write("torn");
        }
        theLinksRefused = false;
        EXPECT_EQ(kivotest::readText(aNew), std::string(100000, 'n'));
        EXPECT_EQ(kivotest::readText(anOld), "replaced");
        EXPECT_EQ(std::distance(fs::directory_iterator(aTemp.path()), fs::directory_iterator()), 2);
    }
    EXPECT_GE(theRefusals, 2); // the copies were really made
}
