// Who gets into a repository database: only its users. A login role of the cluster that no
// kivo-repo user made a user is kept out of the database and, granted in by hand, refused by the
// procedure; a removed user is refused at once; roles that other repositories or the
// administrator use survive a removal; a superuser is never touched.

#include "pqclient/pqaddress.hpp"
#include "repoadmin/pqdatabase.hpp"
#include "tests/pg/repotool.hpp"

using namespace kivotest;
using RepositoryAccess::server::PqAddress;
using RepositoryAccess::server::PqDatabase;

namespace {

class AccessTest : public RepoToolTest {
protected:
    void TearDown() override {
        for (const std::string& aDatabase : itsDatabases)
            repo({"drop", uri(aDatabase)});
        if (itsFacts["KIVO_PG"] != "available")
            return;
        PqDatabase anAdmin(PqAddress(uri("template1")));
        for (const std::string& aRole : itsRoles)
            anAdmin.execute("DROP ROLE IF EXISTS " + anAdmin.quoteIdentifier(aRole));
    }

    // A new repository database; dropped at the end of the test.
    std::string repository(const std::string& theStem) {
        itsDatabases.push_back(unique(theStem));
        expectOk(repo({"init", uri(itsDatabases.back())}));
        return itsDatabases.back();
    }

    // What happens when theUser logs in to theDatabase: empty when it may.
    std::string loginRefusal(const std::string& theDatabase, const std::string& theUser) {
        try {
            PqDatabase aDatabase(PqAddress(uri(theDatabase, theUser, "pw")));
            return {};
        } catch (const RepositoryAccess::Error& anError) {
            return anError.what();
        }
    }

    // kivo create workspace on theDatabase as theUser; its run.
    RunResult createWorkspace(const std::string& theDatabase, const std::string& theUser) {
        RunOptions anOptions;
        anOptions.itsCwd = itsDir.path();
        return runKivo({"create", "workspace", (itsDir.path() / theUser).string(),
                        "--host=127.0.0.1:" + itsFacts["KIVO_PG_PORT"], "--user=" + theUser,
                        "--passwd=pw", "--database=" + theDatabase},
                       anOptions);
    }

    void execute(const std::string& theDatabase, const std::string& theSql) {
        PqDatabase(PqAddress(uri(theDatabase))).execute(theSql);
    }

    std::vector<std::string> itsDatabases;
    std::vector<std::string> itsRoles;
    TempDir itsDir;
};

} // namespace

TEST_F(AccessTest, OnlyTheRepositorysUsersGetInAndARemovedOneIsRefusedAtOnce) {
    const std::string aDatabase = repository("access_");
    const std::string aUser = unique("ANN");
    const std::string aStranger = unique("STRAY");
    itsRoles = {aUser, aStranger};
    EXPECT_EQ(repo({"user", uri(aDatabase), aUser, "pw"}).itsOut, "Added user " + aUser + "\n");
    execute("template1", "CREATE ROLE \"" + aStranger + "\" LOGIN PASSWORD 'pw'");

    EXPECT_EQ(loginRefusal(aDatabase, aUser), "");
    EXPECT_NE(loginRefusal(aDatabase, aStranger).find("permission denied for database"),
              std::string::npos);
    RunResult aRun = createWorkspace(aDatabase, aStranger);
    EXPECT_NE(aRun.itsExitCode, 0);
    EXPECT_NE(aRun.itsErr.find("permission denied for database"), std::string::npos) << aRun.itsErr;

    // Let in by a grant made by hand, the stranger still is no user: the procedure says so.
    execute(aDatabase, "GRANT \"kivo_" + aDatabase + "_users\" TO \"" + aStranger + "\"");
    aRun = createWorkspace(aDatabase, aStranger);
    EXPECT_NE(aRun.itsExitCode, 0);
    EXPECT_NE(aRun.itsErr.find("User \"" + aStranger + "\" is not a user of this repository"),
              std::string::npos)
        << aRun.itsOut << aRun.itsErr;

    // The user works until removed, and its workspace is refused right after.
    expectOk(createWorkspace(aDatabase, aUser));
    aRun = repo({"user", uri(aDatabase), aUser, "--remove"});
    EXPECT_EQ(aRun.itsOut, "Dropped the login role \"" + aUser + "\"\nRemoved user " + aUser + "\n")
        << aRun.itsErr;
    RunOptions anInWorkspace;
    anInWorkspace.itsCwd = itsDir.path() / aUser;
    aRun = runKivo({"list", "packages", "--passwd=pw", "--database=" + aDatabase}, anInWorkspace);
    EXPECT_NE(aRun.itsExitCode, 0) << aRun.itsOut;
    expectRefused(repo({"user", uri(aDatabase), aUser, "--remove"}),
                  "User " + aUser + " is no user of repository");
}

TEST_F(AccessTest, RolesOthersUseSurviveARemovalAndSuperusersAreNeverTouched) {
    const std::string aFirst = repository("first_");
    const std::string aSecond = repository("second_");
    const std::string aShared = unique("BOB");
    const std::string aHandMade = unique("CAROL");
    itsRoles = {aShared, aHandMade};

    // The password may come from standard input instead of the command line.
    RunOptions aPiped;
    aPiped.itsStdin = "pw\n";
    expectOk(runProgram("kivo-repo", {"user", uri(aFirst), aShared}, aPiped));
    RunResult aRun = repo({"user", uri(aSecond), aShared, "pw"});
    EXPECT_NE(aRun.itsErr.find("existed already: its password belongs to the server"),
              std::string::npos)
        << aRun.itsErr;
    aRun = repo({"user", uri(aFirst), aShared, "--remove"});
    EXPECT_NE(aRun.itsOut.find("stays: other repositories of the server use it"), std::string::npos)
        << aRun.itsOut << aRun.itsErr;
    EXPECT_NE(loginRefusal(aFirst, aShared), "");
    EXPECT_EQ(loginRefusal(aSecond, aShared), "");

    execute("template1", "CREATE ROLE \"" + aHandMade + "\" LOGIN PASSWORD 'pw'");
    expectOk(repo({"user", uri(aFirst), aHandMade, "pw"}));
    aRun = repo({"user", uri(aFirst), aHandMade, "--remove"});
    EXPECT_NE(aRun.itsOut.find("stays: kivo-repo did not make it"), std::string::npos)
        << aRun.itsOut << aRun.itsErr;

    const std::string aSuperuser = unique("SUPER");
    itsRoles.push_back(aSuperuser);
    execute("template1", "CREATE ROLE \"" + aSuperuser + "\" SUPERUSER LOGIN PASSWORD 'pw'");
    expectRefused(repo({"user", uri(aFirst), aSuperuser, "other"}), "is a superuser of the server");
    EXPECT_EQ(loginRefusal("template1", aSuperuser), "") << "the superuser's password is unchanged";
}
