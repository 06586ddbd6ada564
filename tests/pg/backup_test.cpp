// Backups of a server repository with the administrator's own tools: pg_dump in custom format
// (restored by pg_restore) and in plain format (restored by psql) holds every row, a restored
// repository equals its source row for row and takes pushes, and the grants that let its users
// in come back with it, while the cluster-wide roles travel with pg_dumpall --roles-only.

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

    // Plain format into a fresh database of another name: the same rows, the source's
    // repository name, and the user pushes (the grants name the source's group role, which the
    // user is a member of).
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

    // Custom format after the source is gone, with the database made again by pg_restore: its
    // grants come back, so a login role that is no user stays out and the workspace that
    // worked before pushes again.
    const std::string aStranger = loginRole("STRANGER");
    expectOk(repo({"drop", uri(aSource)}));
    const RunResult aRestore =
        pgTool("pg_restore", {"--exit-on-error", "-C", "-d", "template1", "repo.dump"});
    expectOk(aRestore);
    EXPECT_EQ(aRestore.itsErr, "");
    EXPECT_EQ(rows(aSource), aBefore);
    EXPECT_TRUE(contains(loginRefusal(aSource, aStranger), "permission denied for database"));
    pushNewObject("ws", "e.txt");
    EXPECT_EQ(rows(aSource).at("objects").size(), aBefore.at("objects").size() + 1);
}

// Roles belong to the cluster, not to a database: a dump of the repository names the group role
// and its members without making them, and pg_dumpall --roles-only is what makes them again.
TEST_F(BackupTest, TheRolesOfARepositoryTravelWithTheClusterNotWithTheDatabase) {
    const std::string aSource = repository("roles_");
    const std::string aUser = role("RL");
    expectOk(repo({"user", uri(aSource), aUser, "pw"}));
    const std::string aGroup = "kivo_" + aSource + "_users";

    const RunResult aDump = pgTool("pg_dump", {"-Fp", aSource});
    expectOk(aDump);
    EXPECT_FALSE(contains(aDump.itsOut, "CREATE ROLE")) << aDump.itsOut;
    EXPECT_TRUE(
        contains(aDump.itsOut,
                 "GRANT ALL ON FUNCTION sys.repository_rest(request bytea) TO " + aGroup + ";"))
        << aDump.itsOut;

    const RunResult aRoles = pgTool("pg_dumpall", {"--roles-only"});
    expectOk(aRoles);
    EXPECT_TRUE(contains(aRoles.itsOut, "CREATE ROLE " + aGroup + ";")) << aRoles.itsOut;
    EXPECT_TRUE(contains(aRoles.itsOut, "GRANT " + aGroup + " TO \"" + aUser + "\""))
        << aRoles.itsOut;
}
