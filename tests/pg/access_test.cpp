// Who gets into a repository database: only its users. A login role of the cluster that no
// kivo-repo user made a user is kept out of the database and, granted in by hand, refused by the
// procedure; a removed user is refused at once; roles that other repositories or the
// administrator use survive a removal; a superuser is never touched.

#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

using AccessTest = ServerRepositoryTest;

TEST_F(AccessTest, OnlyTheRepositorysUsersGetInAndARemovedOneIsRefusedAtOnce) {
    const std::string aDatabase = repository("access_");
    const std::string aUser = role("ANN");
    const std::string aStranger = loginRole("STRAY");
    EXPECT_EQ(repo({"user", uri(aDatabase), aUser, "pw"}).itsOut, "Added user " + aUser + "\n");

    EXPECT_EQ(loginRefusal(aDatabase, aUser), "");
    EXPECT_TRUE(contains(loginRefusal(aDatabase, aStranger), "permission denied for database"));
    RunResult aRun = createWorkspace(aStranger, server(aDatabase), aStranger);
    EXPECT_NE(aRun.itsExitCode, 0);
    EXPECT_TRUE(contains(aRun.itsErr, "permission denied for database")) << aRun.itsErr;

    // Let in by a grant made by hand, the stranger still is no user: the procedure says so.
    execute(aDatabase, "GRANT \"kivo_" + aDatabase + "_users\" TO \"" + aStranger + "\"");
    aRun = createWorkspace(aStranger, server(aDatabase), aStranger);
    EXPECT_NE(aRun.itsExitCode, 0);
    EXPECT_TRUE(
        contains(aRun.itsErr, "User \"" + aStranger + "\" is not a user of this repository"))
        << aRun.itsOut << aRun.itsErr;

    // The user works until removed, and its workspace is refused right after.
    expectOk(createWorkspace(aUser, server(aDatabase), aUser));
    aRun = repo({"user", uri(aDatabase), aUser, "--remove"});
    EXPECT_EQ(aRun.itsOut, "Dropped the login role \"" + aUser + "\"\nRemoved user " + aUser + "\n")
        << aRun.itsErr;
    aRun = kivo(aUser, {"list", "packages"});
    EXPECT_NE(aRun.itsExitCode, 0) << aRun.itsOut;
    expectRefused(repo({"user", uri(aDatabase), aUser, "--remove"}),
                  "User " + aUser + " is no user of repository");
}

TEST_F(AccessTest, RolesOthersUseSurviveARemovalAndSuperusersAreNeverTouched) {
    const std::string aFirst = repository("first_");
    const std::string aSecond = repository("second_");
    const std::string aShared = role("BOB");

    // The password may come from standard input instead of the command line.
    RunOptions aPiped;
    aPiped.itsStdin = "pw\n";
    expectOk(runProgram("kivo-repo", {"user", uri(aFirst), aShared}, aPiped));
    RunResult aRun = repo({"user", uri(aSecond), aShared, "pw"});
    EXPECT_TRUE(contains(aRun.itsErr, "existed already: its password belongs to the server"))
        << aRun.itsErr;
    aRun = repo({"user", uri(aFirst), aShared, "--remove"});
    EXPECT_TRUE(contains(aRun.itsOut, "stays: other repositories of the server use it"))
        << aRun.itsOut << aRun.itsErr;
    EXPECT_NE(loginRefusal(aFirst, aShared), "");
    EXPECT_EQ(loginRefusal(aSecond, aShared), "");

    const std::string aHandMade = loginRole("CAROL");
    expectOk(repo({"user", uri(aFirst), aHandMade, "pw"}));
    aRun = repo({"user", uri(aFirst), aHandMade, "--remove"});
    EXPECT_TRUE(contains(aRun.itsOut, "stays: kivo-repo did not make it"))
        << aRun.itsOut << aRun.itsErr;

    const std::string aSuperuser = loginRole("SUPER", "SUPERUSER");
    expectRefused(repo({"user", uri(aFirst), aSuperuser, "other"}), "is a superuser of the server");
    EXPECT_EQ(loginRefusal("template1", aSuperuser), "") << "the superuser's password is unchanged";
}
