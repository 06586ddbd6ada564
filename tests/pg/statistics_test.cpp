// The planner's statistics of a repository database: a backend that has written a few hundred
// rows analyses the tables only while one of them has the statistics of an empty table.

#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

using StatisticsTest = ServerRepositoryTest;

TEST_F(StatisticsTest, PushesAnalyseTheTablesOnlyWhileOneHasTheStatisticsOfAnEmptyOne) {
    const std::string aDatabase = repository("stats_");
    const std::string aUser = role("STATS");
    // The server's own analysis stays out, so that only the pushes' refreshes count.
    for (const char* aTable : {"objects", "inactive_versions", "history"})
        execute(aDatabase,
                std::string("alter table sys.") + aTable + " set (autovacuum_enabled = off)");
    expectOk(repo({"user", uri(aDatabase), aUser, "pw"}));
    expectOk(createWorkspace("ws", server(aDatabase), aUser));
    std::filesystem::create_directories(dir() / "ws" / "bulk");
    expectOk(kivo("ws", {"track", "bulk"}));
    const auto aPushOfNewFiles = [&](int theRound) {
        for (int i = 0; i < 300; ++i)
            write("ws/bulk/r" + std::to_string(theRound) + "_" + std::to_string(i) + ".txt", "x\n");
        expectOk(kivo("ws", {"push"}));
        return lines(aDatabase, "select reltuples::bigint from pg_class where oid = "
                                "'sys.objects'::regclass");
    };
    // The first push analyses once it has written 500 rows: the objects' statistics count them.
    const std::string aFirst = aPushOfNewFiles(1);
    EXPECT_NE(aFirst, "-1\n");
    // The history was empty then, so the second push analyses again ...
    const std::string aSecond = aPushOfNewFiles(2);
    EXPECT_NE(aSecond, aFirst);
    // ... and the third finds statistics with rows everywhere and leaves them.
    EXPECT_EQ(aPushOfNewFiles(3), aSecond);
}
