#include "dbclient/passwordmemo.hpp"
#include "tests/support/process.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using RepositoryAccess::dbclient::PasswordMemo;

namespace {

const std::string kHash = "pbkdf2-sha256$600000$00$11";

// A memo vouches for exactly the user, stored hash and password it was given, across runs; a
// changed password (a new stored hash) or another user finds nothing.
TEST(PasswordMemo, HoldsOnlyWhatItWasGivenAcrossRuns) {
    kivotest::TempDir aDir;
    const std::string aPath = (aDir.path() / "verified").string();
    {
        PasswordMemo aMemo(aPath);
        EXPECT_FALSE(aMemo.holds("ALICE", kHash, "secret"));
        aMemo.add("ALICE", kHash, "secret");
        EXPECT_TRUE(aMemo.holds("ALICE", kHash, "secret"));
    }
    struct stat aStat;
    ASSERT_EQ(::stat(aPath.c_str(), &aStat), 0);
    EXPECT_EQ(aStat.st_mode & 0777, 0600u);

    const PasswordMemo aLater(aPath);
    EXPECT_TRUE(aLater.holds("ALICE", kHash, "secret"));
    EXPECT_FALSE(aLater.holds("ALICE", kHash, "secreT"));
    EXPECT_FALSE(aLater.holds("ALICE", "pbkdf2-sha256$600000$00$12", "secret"));
    EXPECT_FALSE(aLater.holds("BOB", kHash, "secret"));
    // The separators keep the parts apart: moving a byte from one part to the next is no match.
    EXPECT_FALSE(aLater.holds("ALIC", "E" + kHash, "secret"));
}

// A memo that others can read, or that is damaged, vouches for nothing; the next verified
// password replaces a damaged one with a sound memo. A memo that cannot be written costs nothing
// but the saving: no error, and nothing vouched for.
TEST(PasswordMemo, DistrustsAnExposedOrDamagedFileAndForgetsWhereItCannotWrite) {
    kivotest::TempDir aDir;
    const std::string aPath = (aDir.path() / "verified").string();
    PasswordMemo(aPath).add("ALICE", kHash, "secret");
    ::chmod(aPath.c_str(), 0644);
    EXPECT_FALSE(PasswordMemo(aPath).holds("ALICE", kHash, "secret"));

    std::ofstream(aPath, std::ios::trunc) << "kivo verified passwords 1\nnot hex\n";
    ::chmod(aPath.c_str(), 0600);
    PasswordMemo aDamaged(aPath);
    EXPECT_FALSE(aDamaged.holds("ALICE", kHash, "secret"));
    aDamaged.add("ALICE", kHash, "secret");
    EXPECT_TRUE(PasswordMemo(aPath).holds("ALICE", kHash, "secret"));

    const std::string aMissing = (aDir.path() / "missing" / "verified").string();
    PasswordMemo aMemo(aMissing);
    EXPECT_NO_THROW(aMemo.add("ALICE", kHash, "secret"));
    EXPECT_FALSE(aMemo.holds("ALICE", kHash, "secret"));
    EXPECT_FALSE(PasswordMemo(aMissing).holds("ALICE", kHash, "secret"));
}

} // namespace
