// The administrator's steps with the least privileges that kivo-repo needs: a login role with
// CREATEDB and CREATEROLE, no superuser, makes a repository, adds and removes users, copies a
// repository file into the server, and drops what it made; a user pushes in between. What such
// an administrator makes keeps strangers out as one made by a superuser does.

#include "pqclient/pqaddress.hpp"
#include "repoadmin/pqdatabase.hpp"
#include "repoadmin/pqtarget.hpp"
#include "tests/pg/repotool.hpp"

#include <filesystem>

using namespace kivotest;
using RepositoryAccess::server::PqAddress;
using RepositoryAccess::server::PqDatabase;
using RepositoryAccess::server::PqTarget;

namespace {

class LeastPrivilegeTest : public RepoToolTest {
protected:
    void SetUp() override {
        RepoToolTest::SetUp();
        if (IsSkipped())
            return;
        asCluster("template1", "CREATE ROLE " + quoted(itsAdmin) +
                                   " LOGIN CREATEDB CREATEROLE PASSWORD 'admin-pw'");
    }

    void TearDown() override {
        if (itsFacts["KIVO_PG"] != "available")
            return;
        for (const std::string& aDatabase : itsDatabases) {
            asCluster("template1",
                      "DROP DATABASE IF EXISTS " + quoted(aDatabase) + " WITH (FORCE)");
            asCluster("template1",
                      "DROP ROLE IF EXISTS " + quoted(PqTarget::usersGroup(aDatabase)));
        }
        for (const std::string& aRole : itsRoles)
            asCluster("template1", "DROP ROLE IF EXISTS " + quoted(aRole));
        asCluster("template1", "DROP ROLE IF EXISTS " + quoted(itsAdmin));
    }

    static std::string quoted(const std::string& theName) { return "\"" + theName + "\""; }

    // Runs theSql as the cluster's superuser.
    void asCluster(const std::string& theDatabase, const std::string& theSql) {
        PqDatabase(PqAddress(uri(theDatabase))).execute(theSql);
    }

    // The repository theDatabase as the unprivileged administrator addresses it.
    std::string target(const std::string& theDatabase) {
        return uri(theDatabase, itsAdmin, "admin-pw");
    }

    // A database name of this test; the database is dropped at the end if it is left.
    std::string database(const std::string& theStem) {
        itsDatabases.push_back(unique(theStem));
        return itsDatabases.back();
    }

    // kivo theArgs in workspace theName.
    RunResult kivo(const std::string& theName, std::vector<std::string> theArgs) {
        theArgs.push_back("--passwd=pw");
        RunOptions anOptions;
        anOptions.itsCwd = itsDir.path() / theName;
        return runKivo(theArgs, anOptions);
    }

    RunResult createWorkspace(const std::string& theDatabase, const std::string& theUser,
                              const std::string& theName) {
        RunOptions anOptions;
        anOptions.itsCwd = itsDir.path();
        return runKivo({"create", "workspace", (itsDir.path() / theName).string(),
                        "--host=127.0.0.1:" + itsFacts["KIVO_PG_PORT"], "--user=" + theUser,
                        "--passwd=pw", "--database=" + theDatabase},
                       anOptions);
    }

    // A new workspace of theUser on theDatabase, named after thePackage, pushes one new file of
    // that package.
    void push(const std::string& theDatabase, const std::string& theUser,
              const std::string& thePackage) {
        RunResult aRun = createWorkspace(theDatabase, theUser, thePackage);
        ASSERT_EQ(aRun.itsExitCode, 0) << aRun.itsOut << aRun.itsErr;
        std::filesystem::create_directories(itsDir.path() / thePackage / thePackage);
        expectOk(kivo(thePackage, {"track", thePackage}));
        writeText(itsDir.path() / thePackage / thePackage / "order.txt",
                  "pushed by " + theUser + "\n");
        aRun = kivo(thePackage, {"push"});
        expectOk(aRun);
        EXPECT_NE(aRun.itsOut.find("Activated objects            : 1"), std::string::npos)
            << aRun.itsOut << aRun.itsErr;
    }

    const std::string itsAdmin = unique("kivo_lp_admin_");
    std::vector<std::string> itsDatabases;
    std::vector<std::string> itsRoles;
    TempDir itsDir;
};

} // namespace

TEST_F(LeastPrivilegeTest, AnAdministratorWithoutSuperuserRunsEveryStep) {
    const std::string aDatabase = database("lp_");
    const std::string aUser = unique("DORA");
    const std::string aLeaving = unique("EMIL");
    itsRoles = {aUser, aLeaving};

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
    const std::string aFile = (itsDir.path() / "backup.db").string();
    expectOk(repo({"copy", target(aDatabase), aFile}));
    const std::string aCopy = database("lpcopy_");
    aRun = repo({"copy", aFile, target(aCopy)});
    expectOk(aRun);
    EXPECT_NE(aRun.itsOut.find("User " + aUser + " keeps the password"), std::string::npos)
        << aRun.itsOut << aRun.itsErr;
    push(aCopy, aUser, "lptwo");

    expectOk(repo({"drop", target(aCopy)}));
    expectOk(repo({"drop", target(aDatabase)}));
    PqDatabase aMaintenance(PqAddress(uri("template1")));
    auto aLeft = aMaintenance.query("SELECT count(*) FROM pg_database WHERE datname IN (?, ?)");
    aLeft.bind(1, aDatabase);
    aLeft.bind(2, aCopy);
    ASSERT_TRUE(aLeft.step());
    EXPECT_EQ(aLeft.text(0), "0");
}

TEST_F(LeastPrivilegeTest, StrangersStayOutOfARepositoryThatNoSuperuserMade) {
    const std::string aDatabase = database("lpout_");
    const std::string aStranger = unique("lp_stranger_");
    itsRoles = {aStranger};
    expectOk(repo({"init", target(aDatabase)}));
    asCluster("template1", "CREATE ROLE " + quoted(aStranger) + " LOGIN PASSWORD 'pw'");

    // Even let in to the database by hand, the stranger may neither call the procedure nor
    // read a view nor a table: the administrator's revocations took hold.
    asCluster(aDatabase,
              "GRANT CONNECT ON DATABASE " + quoted(aDatabase) + " TO " + quoted(aStranger));
    PqDatabase aSession(PqAddress(uri(aDatabase, aStranger, "pw")));
    for (const std::string aQuery :
         {"SELECT sys.repository_rest('\\x00'::bytea)",
          "SELECT database_name FROM \"PUBLIC\".\"M_DATABASE\"", "SELECT * FROM sys.users"}) {
        try {
            aSession.execute(aQuery);
            ADD_FAILURE() << aQuery << " was allowed";
        } catch (const RepositoryAccess::Error& anError) {
            EXPECT_NE(std::string(anError.what()).find("permission denied"), std::string::npos)
                << aQuery << ": " << anError.what();
        }
    }
}
