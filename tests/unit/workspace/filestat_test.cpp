#include "workspace/filestat.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/sys.hpp"

namespace filestat = RepositoryAccess::filestat;
using filestat::FileStat;

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
    EXPECT_EQ(filestat::ofPath((aDir.path() / "a.txt").string()), aRecorded);
    EXPECT_FALSE(filestat::ofPath((aDir.path() / "gone").string()).has_value());
}
