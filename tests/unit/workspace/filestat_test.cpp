#include "workspace/filestat.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/sys.hpp"

namespace filestat = RepositoryAccess::filestat;
using filestat::FileStat;

namespace {

constexpr std::int64_t theFarFuture = std::numeric_limits<std::int64_t>::max();

FileStat statOf(const std::filesystem::path& thePath) {
    auto aStat = filestat::ofPath(thePath.string());
    EXPECT_TRUE(aStat.has_value()) << thePath;
    return aStat.value_or(FileStat{});
}

// Whether the record proves the file unchanged, for a record written at theWritten.
bool proven(const FileStat& theRecorded, const std::filesystem::path& thePath,
            const FileStat& theWritten) {
    return filestat::provesUnchanged(theRecorded, statOf(thePath), theWritten.itsModifiedSeconds,
                                     theWritten.itsModifiedNanoseconds);
}

// Waits past the file system's timestamp granularity, so that the next write gets a later time.
void nextTick() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

} // namespace

TEST(FileStat, TextFormRoundTripsAndRejectsDamage) {
    FileStat aStat{123, 1700000000, 999999999, 1700000001, 5, 42, 2049};
    EXPECT_EQ(filestat::toText(aStat), "123.1700000000.999999999.1700000001.5.42.2049");
    EXPECT_EQ(filestat::fromText(filestat::toText(aStat)), aStat);
    for (const char* aBad : {"", "1.2.3.4.5.6", "1.2.3.4.5.6.7.8", "1.2.3.4.5.6.7.", "1..3.4.5.6.7",
                             "a.2.3.4.5.6.7", "1.2.1000000000.4.5.6.7", "-1.2.3.4.5.6.7",
                             "1.2.3.4.5.6.7 ", "99999999999999999999.2.3.4.5.6.7"})
        EXPECT_FALSE(filestat::fromText(aBad).has_value()) << aBad;
}

// Racy when changed not before the record was written; a proof needs a later clock reading.
TEST(FileStat, RacyWhenChangedNotBeforeTheRecordWasWritten) {
    FileStat aStat{1, 100, 500, 100, 500, 1, 1};
    EXPECT_FALSE(filestat::isRacy(aStat, 101, 0));
    EXPECT_FALSE(filestat::isRacy(aStat, 100, 501));
    EXPECT_TRUE(filestat::isRacy(aStat, 100, 500));
    EXPECT_TRUE(filestat::isRacy(aStat, 99, 999999999));
    FileStat aLateChange = aStat;
    aLateChange.itsChangedSeconds = 200;
    EXPECT_TRUE(filestat::isRacy(aLateChange, 150, 0));
    EXPECT_FALSE(filestat::provesUnchanged(aStat, aStat, 100, 500));
    EXPECT_TRUE(filestat::provesUnchanged(aStat, aStat, 101, 0));

    // A proof needs times strictly before the clock reading; a time of a whole second may come
    // from a file system that keeps whole (or two) seconds, and must be two seconds older.
    aStat.itsChangedNanoseconds = 600;
    EXPECT_EQ(filestat::proofText(aStat, {100, 601}), filestat::toText(aStat));
    EXPECT_EQ(filestat::proofText(aStat, {100, 600}), "");
    FileStat aWholeSecond{1, 100, 0, 100, 600, 1, 1};
    EXPECT_EQ(filestat::proofText(aWholeSecond, {101, 999999999}), "");
    EXPECT_EQ(filestat::proofText(aWholeSecond, {102, 0}), filestat::toText(aWholeSecond));
}

// The edits that keep size and modification time must still be seen by the stat data or by the
// racy rule against the moment the record was written.
TEST(FileStat, EditsThatKeepSizeAndTimeAreNotProvenUnchanged) {
    kivotest::TempDir aDir;
    auto aFile = aDir.path() / "a.txt";
    auto aMarker = aDir.path() / "status";

    const FileStat aFarFuture{0, theFarFuture, 0, 0, 0, 0, 0};

    // Same size, rewritten in the same tick as the record: only the racy rule can tell.
    kivotest::writeText(aFile, "one");
    FileStat aRecorded = statOf(aFile);
    kivotest::writeText(aMarker, "{}");
    const FileStat aWritten = statOf(aMarker);
    kivotest::writeText(aFile, "two");
    EXPECT_FALSE(proven(aRecorded, aFile, aWritten));

    // Same size, modification time set back: the change time differs.
    aRecorded = statOf(aFile);
    nextTick();
    kivotest::writeText(aFile, "six");
    wstest::setModifiedTime(aFile, aRecorded.itsModifiedSeconds, aRecorded.itsModifiedNanoseconds);
    EXPECT_EQ(statOf(aFile).itsModifiedSeconds, aRecorded.itsModifiedSeconds);
    EXPECT_FALSE(proven(aRecorded, aFile, aFarFuture));

    // Replaced by rename with the same size and modification time: another inode.
    aRecorded = statOf(aFile);
    auto aReplacement = aDir.path() / "b.txt";
    kivotest::writeText(aReplacement, "ten");
    wstest::setModifiedTime(aReplacement, aRecorded.itsModifiedSeconds,
                            aRecorded.itsModifiedNanoseconds);
    ASSERT_EQ(std::rename(aReplacement.c_str(), aFile.c_str()), 0);
    EXPECT_FALSE(proven(aRecorded, aFile, aFarFuture));
}

TEST(FileStat, UntouchedFileIsProvenOnceTheRecordIsLater) {
    kivotest::TempDir aDir;
    auto aFile = aDir.path() / "a.txt";
    kivotest::writeText(aFile, "content");
    int aDescriptor = ::open(aFile.c_str(), O_RDONLY);
    ASSERT_GE(aDescriptor, 0);
    FileStat aRecorded = filestat::ofDescriptor(aDescriptor);
    ::close(aDescriptor);
    EXPECT_EQ(aRecorded, statOf(aFile));
    nextTick();
    kivotest::writeText(aDir.path() / "status", "{}");
    EXPECT_TRUE(proven(aRecorded, aFile, statOf(aDir.path() / "status")));
    EXPECT_FALSE(filestat::ofPath((aDir.path() / "gone").string()).has_value());
}

// A listing reads the stat data its own way; they must equal what was recorded from the file's
// descriptor when it was hashed, or no listed file would ever be proven unchanged.
TEST(FileStat, AListingsStatDataEqualTheDescriptors) {
    kivotest::TempDir aDir;
    kivotest::writeText(aDir.path() / "a.txt", "content");
    const int aDescriptor = ::open((aDir.path() / "a.txt").c_str(), O_RDONLY);
    ASSERT_GE(aDescriptor, 0);
    const FileStat aRecorded = filestat::ofDescriptor(aDescriptor);
    ::close(aDescriptor);
    std::vector<FileStat> aListed;
    RepositoryAccess::sys::visitDir(aDir.path().string(), true,
                                    [&](const RepositoryAccess::sys::DirEntryView& theEntry) {
                                        aListed.push_back(theEntry.itsStat);
                                    });
    ASSERT_EQ(aListed.size(), 1u);
    EXPECT_EQ(aListed[0], aRecorded);
    EXPECT_EQ(statOf(aDir.path() / "a.txt"), aRecorded);
}
