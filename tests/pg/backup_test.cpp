// Backups of a server repository with PostgreSQL's own tools (pg_dump, pg_restore, psql).

#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

using BackupTest = ServerRepositoryTest;

TEST_F(BackupTest, ADumpInEitherFormatRestoresTheRepositoryRowForRowAndTakesPushes) {
    const std::string aSource = repository("backup_");
    const std::string aUser = role("BK");
    fill(aSource, aUser);
    const std::map<std::string, Rows> aBefore = rows(aSource);
    for (const auto& [aTable, aRows] : aBefore)
        EXPECT_FALSE(aRows.empty()) << aTable << " holds nothing to carry";

    expectOk(pgTool("pg_dump", {"-Fc", "-f", "repo.dump", aSource}));
    expectOk(pgTool("pg_dump", {"-Fp", "-f", "repo.sql", aSource}));

    // Plain format into a database of another name: the grants name the source's group role,
    // of which the user is a member, and the repository keeps the source's name.
    const std::string aPlain = database("plain_");
    execute("template1", "CREATE DATABASE " + aPlain + " TEMPLATE template0");
    const RunResult aLoad = pgTool("psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", aPlain, "-f",
                                            (dir() / "repo.sql").string()});
    expectOk(aLoad);
    EXPECT_EQ(aLoad.itsErr, "");
    EXPECT_EQ(rows(aPlain), aBefore);
    EXPECT_EQ(lines(aPlain, "SELECT database_name FROM \"PUBLIC\".\"M_DATABASE\""), aSource + "\n");
    expectOk(createWorkspace("plainws", server(aPlain), aUser));
    expectOk(kivo("plainws", {"checkout", "package", "acme"}));
    EXPECT_EQ(readText(dir() / "plainws" / "acme" / "a.txt"), "one\ntwo\n");
    pushNewObject("plainws", "d.txt");

    // Custom format after the source is gone, the database made again by pg_restore: a login
    // role that is no user stays out and the workspace that worked before pushes again.
    const std::string aStranger = loginRole("STRANGER");
    expectOk(repo({"drop", uri(aSource)}));
    const RunResult aRestore =
        pgTool("pg_restore", {"--exit-on-error", "-C", "-d", "template1", "repo.dump"});
    expectOk(aRestore);
    EXPECT_EQ(aRestore.itsErr, "");
    EXPECT_EQ(rows(aSource), aBefore);
    EXPECT_TRUE(contains(loginRefusal(aSource, aStranger), "permission denied for database"));
    pushNewObject("ws", "e.txt");
}
