#include "server/sqlmarks.hpp"

#include <gtest/gtest.h>

using RepositoryAccess::server::numberMarks;

// Bare marks count on from the largest number seen, as SQLite numbers them; quoted marks and
// question marks in names are text.
TEST(SqlMarks, NumbersMarksAsSqliteDoes) {
    auto aPlain = numberMarks("INSERT INTO t VALUES (?, ?, ?)");
    EXPECT_EQ(aPlain.itsSql, "INSERT INTO t VALUES ($1, $2, $3)");
    EXPECT_EQ(aPlain.itsParameters, 3);

    auto aMixed = numberMarks("SELECT ?2 || ?1, ? FROM t WHERE a = ?1 AND b = '?' AND \"c?\" = ?");
    EXPECT_EQ(aMixed.itsSql, "SELECT $2 || $1, $3 FROM t WHERE a = $1 AND b = '?' AND \"c?\" = $4");
    EXPECT_EQ(aMixed.itsParameters, 4);

    auto aNone = numberMarks("SELECT 'it''s' FROM t");
    EXPECT_EQ(aNone.itsSql, "SELECT 'it''s' FROM t");
    EXPECT_EQ(aNone.itsParameters, 0);
}
