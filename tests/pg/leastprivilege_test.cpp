// The administrator's steps with the least privileges that kivo-repo needs: a login role with
// CREATEDB and CREATEROLE, no superuser, makes a repository, adds and removes users, copies a
// repository file into the server, and drops what it made; a user pushes in between. What such
// an administrator makes keeps strangers out as one made by a superuser does.

#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

namespace {

class LeastPrivilegeTest : public ServerRepositoryTest {
protected:
    void SetUp() override {
        ServerRepositoryTest::SetUp();
        if (IsSkipped())
            return;
        execute("template1",
                "CREATE ROLE \"" + itsAdmin + "\" LOGIN CREATEDB CREATEROLE PASSWORD 'admin-pw'");
    }
    void TearDown() override {
        ServerRepositoryTest::TearDown();
        if (!IsSkipped())
            execute("template1", "DROP ROLE IF EXISTS \"" + itsAdmin + "\"");
    }

    // The repository theDatabase as the unprivileged administrator addresses it.
    std::string target(const std::string& theDatabase) {
        return uri(theDatabase, itsAdmin, "admin-pw");
    }

    // A new workspace of theUser on theDatabase, named after thePackage, pushes one new file of
    // that package.
    void push(const std::string& theDatabase, const std::string& theUser,
              const std::string& thePackage) {
        RunResult aRun = createWorkspace(thePackage, server(theDatabase), theUser);
        ASSERT_EQ(aRun.itsExitCode, 0) << aRun.itsOut << aRun.itsErr;
        std::filesystem::create_directories(dir() / thePackage / thePackage);
        expectOk(kivo(thePackage, {"track", thePackage}));
        write(thePackage + "/" + thePackage + "/order.txt", "pushed by " + theUser + "\n");
        aRun = kivo(thePackage, {"push"});
        EXPECT_TRUE(contains(aRun.itsOut, "Activated objects            : 1"))
            << aRun.itsOut << aRun.itsErr;
    }

    const std::string itsAdmin = unique("kivo_lp_admin_");
};

} // namespace

TEST_F(LeastPrivilegeTest, AnAdministratorWithoutSuperuserRunsEveryStep) {
    const std::string aDatabase = database("lp_");
    const std::string aUser = role("DORA");
    const std::string aLeaving = role("EMIL");

    expectOk(repo({"init", target(aDatabase)}));
    EXPECT_EQ(repo({"user", target(aDatabase), aUser, "pw"}).itsOut, "Added user " + aUser + "\n");
    expectOk(repo({"user", target(aDatabase), aLeaving, "pw", "--admin"}));
    expectOk(repo({"set", target(aDatabase), "change_tracking", "off"}));
    push(aDatabase, aUser, "lpone");

    RunResult aRun = repo({"user", target(aDatabase), aLeaving, "--remove"});
    EXPECT_EQ(aRun.itsOut,
              "Dropped the login role \"" + aLeaving + "\"\nRemoved user " + aLeaving + "\n")
        << aRun.itsErr;

    // The repository goes back into a file and from there into a second database.
    const std::string aFile = (dir() / "backup.db").string();
    expectOk(repo({"copy", target(aDatabase), aFile}));
    const std::string aCopy = database("lpcopy_");
    aRun = repo({"copy", aFile, target(aCopy)});
    EXPECT_TRUE(contains(aRun.itsOut, "User " + aUser + " keeps the password"))
        << aRun.itsOut << aRun.itsErr;
    push(aCopy, aUser, "lptwo");

    expectOk(repo({"drop", target(aCopy)}));
    expectOk(repo({"drop", target(aDatabase)}));
    EXPECT_EQ(lines("template1", "SELECT count(*) FROM pg_database WHERE datname IN ('" +
                                     aDatabase + "', '" + aCopy + "')"),
              "0\n");
}

TEST_F(LeastPrivilegeTest, StrangersStayOutOfARepositoryThatNoSuperuserMade) {
    const std::string aDatabase = database("lpout_");
    expectOk(repo({"init", target(aDatabase)}));
    const std::string aStranger = loginRole("lp_stranger_");

    // Even let in to the database by hand, the stranger may neither call the procedure nor
    // read a view nor a table: the administrator's revocations took hold.
    execute(aDatabase, "GRANT CONNECT ON DATABASE \"" + aDatabase + "\" TO \"" + aStranger + "\"");
    RepositoryAccess::server::PqDatabase aSession(
        RepositoryAccess::server::PqAddress(uri(aDatabase, aStranger, "pw")));
    for (const std::string aQuery :
         {"SELECT sys.repository_rest('\\x00'::bytea)",
          "SELECT database_name FROM \"PUBLIC\".\"M_DATABASE\"", "SELECT * FROM sys.users"}) {
        try {
            aSession.execute(aQuery);
            ADD_FAILURE() << aQuery << " was allowed";
        } catch (const RepositoryAccess::Error& anError) {
            EXPECT_TRUE(contains(anError.what(), "permission denied"))
                << aQuery << ": " << anError.what();
        }
    }
}
