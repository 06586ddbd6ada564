// The repository engine inside the database (the kivo extension) against the throwaway cluster:
// what a repository user may touch, the answers to frames that cannot be served, a statement that
// fails inside a request, and a walk through the requests of every kind, so that each statement
// of the store runs on PostgreSQL.

#include "tests/pg/clusterfacts.hpp"
#include "tests/pg/repositorysession.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kivotest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getList;
using RepositoryAccess::json::getObject;
using RepositoryAccess::json::getString;

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

// Requests of every family, each answered by the engine on the database's tables: packages,
// objects and versions, workspaces, change tracking, delivery units with export and import.
TEST_F(PgRepositoryTest, EveryKindOfRequestRunsOnTheDatabase) {
    const std::string aRoot = unique("walk");
    const std::string aSub = aRoot + ".sub";
    ok(createPackageJson(aRoot));
    ok(createPackageJson(aSub));
    EXPECT_EQ(
        ok(R"({"action":"exists","what":"package","package":")" + aSub + "\"}")->member("exists"),
        "true");
    EXPECT_EQ(
        ok(R"({"action":"read","what":"package","package":")" + aRoot + "\"}")->member("package"),
        aRoot);
    EXPECT_FALSE(ok(R"({"action":"list","what":"packages","package":")" + aRoot + R"(*"})")
                     ->list("packages")
                     .empty());
    EXPECT_FALSE(ok(R"({"action":"list","what":"rootPackages"})")->list("rootPackages").empty());
    ok(R"({"action":"update","what":"package","package":")" + aSub +
       R"(","description":"the sub package"})");

    // Objects: text and binary content, versions, history, deletion, revert.
    const std::string aText = objectJson(aRoot, "a", "txt");
    const std::string anImage = objectJson(aSub, "b", "png");
    const std::string aBig(3 * 1024 * 1024, 'k');
    ok(writeJson(kDeveloper, aText), {aBig});
    ok(R"({"action":"write","what":"object","session":)" + workspaceSession(kDeveloper) +
           R"(,"object":)" + anImage +
           R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})",
       {}, {std::string("\x89PNG\0\x01\x02", 7)});
    EXPECT_EQ(
        ok(R"({"action":"list","what":"objects","session":)" + workspaceSession(kDeveloper) + "}")
                ->list("objects")
                .size() >= 2,
        true);
    ok(R"({"action":"activate","what":"objects","session":)" + workspaceSession(kDeveloper) +
       R"(,"objList":[)" + aText + "," + anImage + R"(],"activationMode":"0"})");
    auto aRead = ok(R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" +
                    aText + R"(,"version":{"versionType":"1"},"winformat":"0"})");
    EXPECT_TRUE(aRead->content() == aBig) << aRead->content().size() << " bytes";
    auto anImageRead =
        ok(R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" + anImage +
           R"(,"version":{"versionType":"1"},"winformat":"0"})");
    EXPECT_EQ(anImageRead->content(), std::string("\x89PNG\0\x01\x02", 7));
    ok(R"({"action":"read","what":"objectMetadata","session":{"sessionType":"1"},"object":)" +
       aText + R"(,"version":{"versionType":"1"}})");
    EXPECT_EQ(ok(R"({"action":"read","what":"objects","session":{"sessionType":"1"},"objects":[)"
                 R"({"object":)" +
                 aText + R"(},{"object":)" + anImage + R"(}],"winformat":"0"})")
                  ->list("successfulObjects")
                  .size(),
              2u);
    EXPECT_EQ(ok(R"({"action":"exists","what":"object","session":{"sessionType":"1"},"object":)" +
                 aText + "}")
                  ->member("exists"),
              "true");
    EXPECT_EQ(ok(R"({"action":"find","what":"objects","session":{"sessionType":"1"},"package":")" +
                 aRoot + R"(*","name":"","suffixes":["txt","png"]})")
                  ->list("objects")
                  .size(),
              2u);
    ok(writeJson(kDeveloper, aText, activeMetadataJson("1")), {"second"});
    ok(activateJson(kDeveloper, aText));
    EXPECT_EQ(
        ok(R"({"action":"get","what":"history","object":)" + aText + "}")->list("history").size(),
        2u);
    EXPECT_TRUE(ok(R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" +
                   aText + R"(,"version":{"versionType":"3","versionNr":"1"},"winformat":"0"})")
                    ->content() == aBig);
    EXPECT_EQ(ok(R"({"action":"read","what":"object","session":{"sessionType":"4","timestamp":)"
                 R"("2999-01-01 00:00:00.000"},"object":)" +
                 aText + R"(,"version":{"versionType":"1"},"winformat":"0"})")
                  ->content(),
              "second");
    ok(R"({"action":"delete","what":"object","session":)" + workspaceSession(kDeveloper) +
       R"(,"object":)" + aText + R"(,"metadata":)" + activeMetadataJson("2") + "}");
    ok(R"({"action":"delete","what":"revertObjects","session":)" + workspaceSession(kDeveloper) +
       R"(,"objList":[)" + aText + "]}");
    ok(R"({"action":"delete","what":"object","session":)" + workspaceSession(kDeveloper) +
       R"(,"object":)" + anImage + R"(,"metadata":)" + activeMetadataJson("1") + "}");
    ok(activateJson(kDeveloper, anImage));

    // Workspaces: a version in a second workspace, pulled into the default one.
    const std::string aThird = objectJson(aRoot, "c", "json");
    ok(R"({"action":"write","what":"object","session":)" + workspaceSession(kDeveloper, "w2") +
           R"(,"object":)" + aThird +
           R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})",
       {"{\"a\":1}"});
    EXPECT_FALSE(
        ok(R"({"action":"list","what":"inactiveWorkspaces","session":{"sessionType":"1"},"user":"*"})")
            ->list("workspaces")
            .empty());
    ok(R"({"action":"pull","what":"inactiveObjects","session":)" + workspaceSession(kDeveloper) +
       R"(,"user":"DEVELOPER","workspace":"w2","objList":[)" + aThird + "]}");
    ok(R"({"action":"write","what":"object","session":)" + workspaceSession(kDeveloper, "w3") +
           R"(,"object":)" + objectJson(aRoot, "d", "txt") +
           R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})",
       {"d"});
    ok(R"({"action":"delete","what":"inactiveWorkspace","session":)" +
       workspaceSession(kDeveloper, "w3") + R"(,"user":"DEVELOPER","workspace":"w3"})");

    // Facts of the repository.
    EXPECT_EQ(ok(R"({"action":"get","what":"dbSchemaVersion"})")->member("version"), "38");
    EXPECT_EQ(ok(R"({"action":"get","what":"contentVendor"})")->member("contentVendor"),
              "example.com");
    ok(R"({"action":"get","what":"supportedExportVersions"})");
}

TEST_F(PgRepositoryTest, ChangeTrackingAndDeliveryUnitsRunOnTheDatabase) {
    const std::string aPackage = unique("units");
    const std::string aUnit = unique("DU");
    ok(createPackageJson(aPackage));
    const std::string anObject = objectJson(aPackage, "x", "txt");
    ok(writeJson(kDeveloper, anObject), {"one"});

    // Change tracking is a switch of the whole repository: on for this test, off afterwards (a
    // test running beside this one sees its activations open changes meanwhile).
    ok(R"({"action":"set","what":"changeTracking","status":"on","ignoreOpenChanges":"1"})");
    auto aCreated = ok(R"({"action":"create","what":"change","description":"walk"})");
    const std::string aChange = aCreated->member("changeID");
    EXPECT_EQ(aChange.substr(0, 5), "ZEV//");
    auto anActivation = ok(R"({"action":"activate","what":"objects","session":)" +
                           workspaceSession(kDeveloper) + R"(,"objList":[)" + anObject +
                           R"(],"activationMode":"0","changeID":")" + aChange + "\"}");
    EXPECT_EQ(anActivation->member("changeID"), aChange);
    ok(R"({"action":"edit","what":"changeDescription","changeID":")" + aChange +
       R"(","description":"walked"})");
    EXPECT_EQ(itsDeveloper
                  ->call(R"({"action":"add","what":"changeContributor","changeID":")" + aChange +
                         R"(","contributor":"NOBODY"})")
                  ->code(),
              "40106");
    ok(R"({"action":"edit","what":"contributorComment","changeID":")" + aChange +
       R"(","contributor":"DEVELOPER","comment":"mine"})");
    auto aRead = ok(R"({"action":"read","what":"changes","changeIDs":[")" + aChange + "\"]}");
    ASSERT_EQ(aRead->list("changes").size(), 1u);
    EXPECT_EQ(getString(asObject(aRead->list("changes")[0]), "description"), "walked");
    EXPECT_FALSE(ok(R"({"action":"get","what":"affectedChanges","objects":[)" + anObject + "]}")
                     ->list("changes")
                     .empty());
    ok(R"({"action":"find","what":"changes","filter":{}})");
    ok(R"({"action":"validate","what":"contribution","changeID":")" + aChange +
       R"(","user":"DEVELOPER","comment":"fine"})");
    ok(R"({"action":"release","what":"change","changeID":")" + aChange + "\"}");
    EXPECT_EQ(getString(asObject(ok(R"({"action":"read","what":"changes","changeIDs":[")" +
                                    aChange + "\"]}")
                                     ->list("changes")[0]),
                        "status"),
              "2");
    auto anEmpty = ok(R"({"action":"create","what":"change","description":"empty"})");
    ok(R"({"action":"delete","what":"change","changeID":")" + anEmpty->member("changeID") + "\"}");
    ok(R"({"action":"set","what":"changeTracking","status":"off","ignoreOpenChanges":"1"})");

    // A delivery unit with the package, exported, undeployed and imported again.
    ok(R"({"action":"create","what":"deliveryUnit","name":")" + aUnit +
       R"(","vendor":"acme","caption":"Walk","responsible":"DEVELOPER","version":"1","version_sp":"2","version_patch":"3","qrtsID":"","sp_QRTS_ID":"","ach":"CA"})");
    ok(R"({"action":"update","what":"package","package":")" + aPackage + R"(","delivery_unit":")" +
       aUnit + R"(","du_vendor":"acme"})");
    ok(R"({"action":"update","what":"deliveryUnit","name":")" + aUnit +
       R"(","vendor":"acme","caption":"Walked","responsible":"DEVELOPER","version":"2","version_sp":"","version_patch":"","lastUpdate":"2024-01-02 03:04:05.006","qrtsID":"","sp_QRTS_ID":"","ach":""})");
    EXPECT_EQ(
        ok(R"({"action":"exists","what":"deliveryUnit","name":")" + aUnit + R"(","vendor":"acme"})")
            ->member("exists"),
        "true");
    ok(R"({"action":"get","what":"deliveryUnit","name":")" + aUnit + R"(","vendor":"acme"})");
    EXPECT_FALSE(
        ok(R"({"action":"get","what":"allDeliveryUnits"})")->list("deliveryUnits").empty());
    ok(R"({"action":"check","what":"isDeliveryUnitBroken","name":")" + aUnit +
       R"(","vendor":"acme"})");
    auto anExport = ok(
        R"({"action":"export","what":"delivery_unit","delivery_unit":")" + aUnit +
        R"(","du_vendor":"acme","alias":"","file":"","provide_content":"1","export_summary":"1"})");
    const auto& anArchives = anExport->itsMessage.getBDataVec();
    ASSERT_FALSE(anArchives.empty());
    const std::string anArchive = *anArchives[0];
    ASSERT_FALSE(anArchive.empty());
    ok(R"({"action":"undeploy","what":"delivery_unit","session":)" + workspaceSession(kDeveloper) +
       R"(,"delivery_unit":")" + aUnit +
       R"(","du_vendor":"acme","deletePackages":"1","checkOnly":"0"})");
    ok(R"({"action":"import","what":"file","session":)" + workspaceSession(kDeveloper) +
           R"(,"filename":"du.tgz","forceRemove":"1","autoActivate":"1","activationMode":"0",)"
           R"("onlyTestImport":"0","determineXrefs":"0","contentProvided":"1"})",
       {}, {anArchive});
    auto aBack = ok(R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" +
                    anObject + R"(,"version":{"versionType":"1"},"winformat":"0"})");
    EXPECT_EQ(aBack->content(), "one");
    ok(R"({"action":"delete","what":"deliveryUnit","name":")" + aUnit + R"(","vendor":"acme"})");
}
