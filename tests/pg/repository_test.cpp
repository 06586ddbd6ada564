// The repository engine inside the database (the kivo extension) against the throwaway cluster:
// what a repository user may touch, the answers to frames that cannot be served, a statement that
// fails inside a request, and the contents as the tables keep them.

#include "tests/pg/clusterfacts.hpp"
#include "tests/pg/repositorysession.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kivotest;

namespace {

class PgRepositoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFacts = readClusterFacts();
        if (itsFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
        itsDeveloper = std::make_unique<RepositorySession>(itsFacts, "DEVELOPER", "s3cret");
        ASSERT_TRUE(itsDeveloper->connected()) << itsDeveloper->connectError();
        itsAdmin = RepositorySession::admin(itsFacts);
        ASSERT_TRUE(itsAdmin->connected()) << itsAdmin->connectError();
    }

    // A name of this process's own, so that tests running side by side on the one cluster (and
    // a repeated run) never meet.
    static std::string unique(const std::string& theName) {
        return theName + std::to_string(::getpid());
    }

    // theJson's answer as DEVELOPER, which must be a success.
    std::unique_ptr<RepositoryAnswer> ok(const std::string& theJson,
                                         const std::vector<std::string>& theCData = {},
                                         const std::vector<std::string>& theBData = {}) {
        auto anAnswer = itsDeveloper->call(theJson, theCData, theBData);
        EXPECT_TRUE(anAnswer->itsCalled) << theJson << ": " << anAnswer->itsFailure;
        EXPECT_EQ(anAnswer->code(), "0") << theJson << ": " << anAnswer->itsJson;
        return anAnswer;
    }

    std::map<std::string, std::string> itsFacts;
    std::unique_ptr<RepositorySession> itsDeveloper;
    std::unique_ptr<RepositorySession> itsAdmin;
};

const std::string kDeveloper = "DEVELOPER";

} // namespace

TEST_F(PgRepositoryTest, ARepositoryUserCallsTheProcedureAndReadsTheViewsAndNothingElse) {
    for (const char* aTable : {"objects", "history", "settings", "users", "inactive_versions"}) {
        const std::string aDenied =
            std::string("error: ERROR:  permission denied for table ") + aTable;
        EXPECT_EQ(itsDeveloper->sql(std::string("select count(*) from sys.") + aTable), aDenied);
        EXPECT_EQ(itsDeveloper->sql(std::string("insert into sys.") + aTable + " default values"),
                  aDenied);
        const std::string aColumn =
            std::string(aTable) == "history" || std::string(aTable) == "inactive_versions"
                ? "object_id = 0"
                : "name = 'x'";
        EXPECT_EQ(itsDeveloper->sql(std::string("update sys.") + aTable + " set " + aColumn),
                  aDenied);
        EXPECT_EQ(itsDeveloper->sql(std::string("delete from sys.") + aTable), aDenied);
    }
    EXPECT_EQ(itsDeveloper->sql("select nextval('sys.objects_id_seq')"),
              "error: ERROR:  permission denied for sequence objects_id_seq");
    EXPECT_EQ(itsDeveloper->sql("create table sys.mine (a int)"),
              "error: ERROR:  permission denied for schema sys");
    // The installation function went with the script that created the repository.
    EXPECT_NE(itsDeveloper->sql("select sys.kivo_install('X')").find("does not exist"),
              std::string::npos);

    EXPECT_EQ(itsDeveloper->sql("select feature_version from \"PUBLIC\".\"M_FEATURES\""), "16");
    EXPECT_EQ(itsDeveloper->sql("select database_name from \"PUBLIC\".\"M_DATABASE\""), "ZEV");
    EXPECT_EQ(itsDeveloper->sql("select user_name from \"PUBLIC\".\"M_CONNECTIONS\""), kDeveloper);
    auto aTypes = ok(R"({"action":"list","what":"allObjectTypes"})");
    EXPECT_EQ(aTypes->list("objectTypes").size(), 16u) << aTypes->itsJson;

    // The tables are the extension's, defined by the engine, and nobody else's.
    EXPECT_EQ(itsAdmin->sql("select count(*) from pg_tables where schemaname = 'sys'"), "12");
    EXPECT_EQ(itsAdmin->sql("select count(*) from pg_depend d join pg_extension e on e.oid = "
                            "d.refobjid join pg_class c on c.oid = d.objid where e.extname = "
                            "'kivo' and d.classid = 'pg_class'::regclass and d.deptype = 'e' "
                            "and c.relkind = 'r'"),
              "12");
    EXPECT_EQ(itsAdmin->sql("select count(*) from information_schema.role_table_grants where "
                            "table_schema = 'sys' and grantee <> 'kivo_admin'"),
              "0");
}

TEST_F(PgRepositoryTest, FramesThatCannotBeServedAre40130AndTheSessionGoesOn) {
    auto aDamaged = itsDeveloper->callFrame("repoV2 damaged");
    ASSERT_TRUE(aDamaged->itsCalled) << aDamaged->itsFailure;
    EXPECT_EQ(aDamaged->code(), "40130");

    auto anUnknown = itsDeveloper->call(R"({"action":"fly","what":"kite"})");
    ASSERT_TRUE(anUnknown->itsCalled) << anUnknown->itsFailure;
    EXPECT_EQ(anUnknown->code(), "40130");
    EXPECT_EQ(anUnknown->member("error-msg"), "Unknown request: action \"fly\", what \"kite\"");

    auto aBroken = itsDeveloper->call(R"({"action":"read","what":"package"})");
    ASSERT_TRUE(aBroken->itsCalled) << aBroken->itsFailure;
    EXPECT_EQ(aBroken->code(), "40130") << aBroken->itsJson;

    auto aMissing = itsDeveloper->call(R"({"action":"read","what":"package","package":")" +
                                       unique("none") + "\"}");
    ASSERT_TRUE(aMissing->itsCalled) << aMissing->itsFailure;
    EXPECT_NE(aMissing->code(), "0");
    EXPECT_NE(aMissing->code(), "40130");
    ok(R"({"action":"get","what":"dbSchemaVersion"})");
}

TEST_F(PgRepositoryTest, AFailingStatementRollsTheRequestBackAndTheSessionGoesOn) {
    const std::string aPackage = unique("failing");
    const std::string aPoison = unique("poison-");
    const std::string aConstraint = unique("kivo_test_poison_");
    ok(createPackageJson(aPackage));
    // A write stores the object's row, then its inactive version: the second insert fails.
    ASSERT_EQ(itsAdmin->sql("alter table sys.inactive_versions add constraint " + aConstraint +
                            " check (content is null or content <> convert_to('" + aPoison +
                            "', 'UTF8'))"),
              "");
    const std::string anObject = objectJson(aPackage, "x", "txt");
    auto aFailed = itsDeveloper->call(writeJson(kDeveloper, anObject), {aPoison});
    EXPECT_FALSE(aFailed->itsCalled);
    EXPECT_NE(aFailed->itsFailure.find("kivo repository failure"), std::string::npos)
        << aFailed->itsFailure;
    EXPECT_NE(aFailed->itsFailure.find(aConstraint), std::string::npos) << aFailed->itsFailure;
    EXPECT_EQ(itsAdmin->sql("select count(*) from sys.objects where package = '" + aPackage + "'"),
              "0");

    // The same connection, and the same backend's engine, serve the next requests.
    ok(writeJson(kDeveloper, anObject), {"fine"});
    ok(activateJson(kDeveloper, anObject));
    EXPECT_EQ(ok(latestVersionJson(anObject))->member("version"), "1");
    // A failure in the middle of an activation leaves the inactive version and the history.
    ASSERT_EQ(itsAdmin->sql("alter table sys.history add constraint " + aConstraint +
                            " check (content is null or content <> convert_to('" + aPoison +
                            "', 'UTF8'))"),
              "");
    ASSERT_EQ(itsAdmin->sql("alter table sys.inactive_versions drop constraint " + aConstraint),
              "");
    ok(writeJson(kDeveloper, anObject, activeMetadataJson("1")), {aPoison});
    aFailed = itsDeveloper->call(activateJson(kDeveloper, anObject));
    EXPECT_FALSE(aFailed->itsCalled);
    EXPECT_NE(aFailed->itsFailure.find(aConstraint), std::string::npos) << aFailed->itsFailure;
    EXPECT_EQ(ok(latestVersionJson(anObject))->member("version"), "1");
    auto anInactive = ok(R"({"action":"read","what":"object","session":)" +
                         workspaceSession(kDeveloper) + R"(,"object":)" + anObject +
                         R"(,"version":{"versionType":"2","owner":"DEVELOPER","workspace":""},)"
                         R"("winformat":"0"})");
    EXPECT_EQ(anInactive->content(), aPoison);
    ASSERT_EQ(itsAdmin->sql("alter table sys.history drop constraint " + aConstraint), "");

    // A statement the engine refuses itself (check only) is rolled back by the engine.
    ok(activateJson(kDeveloper, anObject, "5"));
    EXPECT_EQ(ok(latestVersionJson(anObject))->member("version"), "1");
    ok(activateJson(kDeveloper, anObject));
    EXPECT_EQ(ok(latestVersionJson(anObject))->member("version"), "2");
}

// What the database itself does to a content: a large text is stored out of line (and read
// back through a detoasted copy), a binary content with NUL bytes travels as bytea, and an older
// version is found by its number and by a timestamp. The requests of every family run on the
// database in the end-to-end tests, which run once more on this cluster (pg.*).
TEST_F(PgRepositoryTest, ContentsComeBackWholeFromTheTables) {
    const std::string aPackage = unique("contents");
    ok(createPackageJson(aPackage));
    const std::string aText = objectJson(aPackage, "a", "txt");
    const std::string anImage = objectJson(aPackage, "b", "png");
    const std::string aBig(3 * 1024 * 1024, 'k');
    const std::string aBinary("\x89PNG\0\x01\x02", 7);
    ok(writeJson(kDeveloper, aText), {aBig});
    ok(writeJson(kDeveloper, anImage), {}, {aBinary});
    ok(R"({"action":"activate","what":"objects","session":)" + workspaceSession(kDeveloper) +
       R"(,"objList":[)" + aText + "," + anImage + R"(],"activationMode":"0"})");
    const auto aRead = [&](const std::string& theObject, const std::string& theSession,
                           const std::string& theVersion) {
        return ok(R"({"action":"read","what":"object","session":)" + theSession + R"(,"object":)" +
                  theObject + R"(,"version":)" + theVersion + R"(,"winformat":"0"})")
            ->content();
    };
    const std::string anActive = R"({"sessionType":"1"})";
    EXPECT_TRUE(aRead(aText, anActive, R"({"versionType":"1"})") == aBig);
    EXPECT_EQ(aRead(anImage, anActive, R"({"versionType":"1"})"), aBinary);

    ok(writeJson(kDeveloper, aText, activeMetadataJson("1")), {"second"});
    ok(activateJson(kDeveloper, aText));
    EXPECT_TRUE(aRead(aText, anActive, R"({"versionType":"3","versionNr":"1"})") == aBig);
    EXPECT_EQ(aRead(aText, R"({"sessionType":"4","timestamp":"2999-01-01 00:00:00.000"})",
                    R"({"versionType":"1"})"),
              "second");
}
