#include "server/sqlmarks.hpp"

#include <gtest/gtest.h>

using RepositoryAccess::server::numberMarks;

// Bare marks count on from the largest number seen, as SQLite numbers them; quoted marks and
// question marks in names are text.
TEST(SqlMarks, NumbersMarksAsSqliteDoes) {
    const struct {
        const char *itsSql, *itsNumbered;
        int itsParameters;
    } aCases[] = {
        {"INSERT INTO t VALUES (?, ?, ?)", "INSERT INTO t VALUES ($1, $2, $3)", 3},
        {"SELECT ?2 || ?1, ? FROM t WHERE a = ?1 AND b = '?' AND \"c?\" = ?",
         "SELECT $2 || $1, $3 FROM t WHERE a = $1 AND b = '?' AND \"c?\" = $4", 4},
        {"SELECT 'it''s' FROM t", "SELECT 'it''s' FROM t", 0},
    };
    for (const auto& aCase : aCases) {
        const auto aMarks = numberMarks(aCase.itsSql);
        EXPECT_EQ(aMarks.itsSql, aCase.itsNumbered);
        EXPECT_EQ(aMarks.itsParameters, aCase.itsParameters) << aCase.itsSql;
    }
}
