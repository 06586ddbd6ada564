// kivo-repo's steps as an administrator with the least privileges it needs.

#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

using LeastPrivilegeTest = ServerRepositoryTest;

TEST_F(LeastPrivilegeTest, AnAdministratorWithoutSuperuserRunsEveryStepAndKeepsStrangersOut) {
    const std::string anAdmin = loginRole("kivo_lp_admin_", "CREATEDB CREATEROLE");
    const auto aTarget = [&](const std::string& theDatabase) {
        return uri(theDatabase, anAdmin, "pw");
    };
    const std::string aDatabase = database("lp_"), aCopy = database("lpcopy_");
    const std::string aUser = role("DORA"), aLeaving = role("EMIL");
    // A new workspace of aUser, named after thePackage, pushes one new file of it.
    const auto aPush = [&](const std::string& theDatabase, const std::string& thePackage) {
        expectOk(createWorkspace(thePackage, server(theDatabase), aUser));
        std::filesystem::create_directories(dir() / thePackage / thePackage);
        expectOk(kivo(thePackage, {"track", thePackage}));
        write(thePackage + "/" + thePackage + "/order.txt", "pushed\n");
        const RunResult aRun = kivo(thePackage, {"push"});
        EXPECT_TRUE(contains(aRun.itsOut, "Activated objects            : 1"))
            << aRun.itsOut << aRun.itsErr;
    };

    expectOk(repo({"init", aTarget(aDatabase)}));
    expectOk(repo({"user", aTarget(aDatabase), aUser, "pw"}));
    expectOk(repo({"user", aTarget(aDatabase), aLeaving, "pw", "--admin"}));
    expectOk(repo({"set", aTarget(aDatabase), "change_tracking", "off"}));
    aPush(aDatabase, "lpone");
    expectOk(repo({"user", aTarget(aDatabase), aLeaving, "--remove"}));
    EXPECT_NE(loginRefusal(aDatabase, aLeaving), "");

    {
        // Even let in to the database by hand, a stranger may neither call the procedure nor
        // read a view nor a table: the administrator's revocations took hold.
        const std::string aStranger = loginRole("lp_stranger_");
        execute(aDatabase,
                "GRANT CONNECT ON DATABASE \"" + aDatabase + "\" TO \"" + aStranger + "\"");
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

    // The repository goes back into a file and from there into a second database.
    const std::string aFile = (dir() / "backup.db").string();
    expectOk(repo({"copy", aTarget(aDatabase), aFile}));
    const RunResult aRun = repo({"copy", aFile, aTarget(aCopy)});
    EXPECT_TRUE(contains(aRun.itsOut, "User " + aUser + " keeps the password"))
        << aRun.itsOut << aRun.itsErr;
    aPush(aCopy, "lptwo");

    expectOk(repo({"drop", aTarget(aCopy)}));
    expectOk(repo({"drop", aTarget(aDatabase)}));
    EXPECT_EQ(lines("template1", "SELECT count(*) FROM pg_database WHERE datname IN ('" +
                                     aDatabase + "', '" + aCopy + "')"),
              "0\n");
}
