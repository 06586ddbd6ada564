#include "workspace/filestat.hpp"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(filestat::ofPath("/no/such/file").has_value());
}
