#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

class EngineDeliveryUnits : public ::testing::Test, public EngineFixture {
protected:
    std::unique_ptr<Reply> byName(const std::string& theAction, const std::string& theWhat,
                                  const std::string& theName) {
        return request("ALICE", theAction, theWhat,
                       R"("name":")" + theName + R"(","vendor":"acme")");
    }
    std::string exists(const std::string& theName) {
        return byName("exists", "deliveryUnit", theName)->get("exists");
    }
    std::unique_ptr<Reply> undeploy(const std::string& theName) {
        return request("ALICE", "undeploy", "delivery_unit",
                       R"("session":)" + session("ALICE") + R"(,"delivery_unit":")" + theName +
                           R"(","du_vendor":"acme")");
    }
};

} // namespace

// A name may be used again by another vendor; the texts of the refusals: the end-to-end tests.
TEST_F(EngineDeliveryUnits, AreCreatedUpdatedAssignedAndDeletedWithTheirPackagesAssignments) {
    createPackage("p");
    EXPECT_EQ(assign("p", "DU")->code(), "40116");
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(createUnit("DU", "other.org")->code(), "0");
    EXPECT_EQ(exists("DU"), "true");
    auto aGet = byName("get", "deliveryUnit", "DU");
    EXPECT_EQ(getString(getObject(aGet->itsJson, "deliveryUnit"), "lastUpdate").size(), 23u)
        << "the time of the creation";
    const std::string anUpdate =
        R"(","vendor":"acme","caption":"New","responsible":"BOB","version":"2","version_sp":"",)"
        R"("version_patch":"","lastUpdate":"2024-01-02 03:04:05.006","qrtsID":"",)"
        R"("sp_QRTS_ID":"","ach":"")";
    ASSERT_EQ(request("ALICE", "update", "deliveryUnit", R"("name":"DU)" + anUpdate)->code(), "0");
    auto aReread = byName("get", "deliveryUnit", "DU");
    const auto& anUpdated = getObject(aReread->itsJson, "deliveryUnit");
    EXPECT_EQ(getString(anUpdated, "caption"), "New");
    EXPECT_EQ(getString(anUpdated, "ach"), "");
    EXPECT_EQ(getString(anUpdated, "lastUpdate"), "2024-01-02 03:04:05.006");
    auto aList = call("ALICE", R"({"action":"get","what":"allDeliveryUnits"})");
    ASSERT_EQ(aList->list("deliveryUnits").size(), 2u);
    EXPECT_EQ(getString(asObject(aList->list("deliveryUnits")[1]), "vendor"), "other.org");

    // A broken active object makes the unit broken.
    ASSERT_EQ(assign("p", "DU")->code(), "0");
    const std::string aJson = object("p", "conf", "json");
    write("ALICE", aJson, "{broken");
    ASSERT_EQ(activate("ALICE", {aJson}, "4")->code(), "40137");
    EXPECT_EQ(byName("check", "isDeliveryUnitBroken", "DU")->get("exists"), "true");

    ASSERT_EQ(byName("delete", "deliveryUnit", "DU")->code(), "0");
    EXPECT_EQ(exists("DU"), "false");
    EXPECT_EQ(readPackage("p")->get("delivery_unit"), "");
    EXPECT_EQ(readPackage("p")->get("du_vendor"), "");
    // Missing units are 40116 for every request that names one.
    for (const auto& aReply :
         {byName("delete", "deliveryUnit", "DU"), byName("check", "isDeliveryUnitBroken", "DU"),
          undeploy("DU"), exportUnit("DU"),
          request("ALICE", "update", "deliveryUnit", R"("name":"DU)" + anUpdate)})
        EXPECT_EQ(aReply->code(), "40116") << aReply->text();
}

TEST_F(EngineDeliveryUnits, UndeployDeletesObjectsAndEmptyPackagesAndUnassignsTheOthers) {
    const std::string aA = object("p", "a", "txt"), aB = object("p.sub", "b", "txt"),
                      aC = object("p.other", "c", "txt");
    for (const char* aPackage : {"p", "p.sub", "p.other", "q"})
        createPackage(aPackage);
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(createUnit("OTHER")->code(), "0");
    for (const char* aPackage : {"p", "p.sub", "q"})
        ASSERT_EQ(assign(aPackage, "DU")->code(), "0");
    ASSERT_EQ(assign("p.other", "OTHER")->code(), "0");
    for (const std::string& anObject : {aA, aB, aC})
        write("ALICE", anObject, "c");
    ASSERT_EQ(activate("ALICE", {aA, aB, aC})->code(), "0");
    write("BOB", object("q", "d", "txt"), "inactive of another user");

    auto anUndeploy = undeploy("DU");
    ASSERT_EQ(anUndeploy->code(), "0") << anUndeploy->text();
    const auto& aSummary = getObject(anUndeploy->itsJson, "undeploySummary");
    EXPECT_EQ(getString(aSummary, "deletedObjectsCount"), "3");
    EXPECT_EQ(getString(aSummary, "deletedPackagesCount"), "2") << "p.sub and q";
    EXPECT_EQ(getString(aSummary, "reassignedPackagesCount"), "1") << "p holds p.other";

    EXPECT_EQ(readPackage("p")->get("delivery_unit"), "");
    EXPECT_EQ(activeContent(aC), "c");
    EXPECT_EQ(activeContent(aA), "<none>");
    EXPECT_EQ(exists("DU"), "false");
}

// A file of each older storage level (without what the later levels added) is upgraded when
// opened, gains the administrator mark with nobody marked and serves the requests of its level's
// successors; a file of a newer level is refused.
TEST(EngineStorage, OlderRepositoryFilesAreUpgradedWhenOpenedAndNewerOnesRefused) {
    const std::string anOldUsers = "INSERT INTO users (name, password_hash) VALUES ('ALICE', 'x'); "
                                   "ALTER TABLE users DROP COLUMN is_admin; ";
    const std::string anOldChanges = "DROP TABLE change_contributors; DROP TABLE change_entries; "
                                     "DROP TABLE changes; DROP INDEX history_by_change; ";
    const struct {
        std::string itsSql, itsRequest;
    } aCases[] = {
        {anOldUsers + "DROP INDEX packages_by_delivery_unit; DROP TABLE delivery_units; " +
             anOldChanges + "PRAGMA user_version = 0",
         R"({"action":"create","what":"deliveryUnit","name":"DU","vendor":"acme"})"},
        {anOldUsers + anOldChanges + "PRAGMA user_version = 1",
         R"({"action":"create","what":"change","description":"d"})"},
        {anOldUsers + "PRAGMA user_version = 2",
         R"({"action":"set","what":"changeTracking","status":"off","ignoreOpenChanges":"1"})"},
    };
    for (const auto& aCase : aCases) {
        SCOPED_TRACE(aCase.itsSql);
        kivotest::TempDir aDir;
        const std::string aPath =
            olderRepositoryFile(aDir, aCase.itsSql, {{"change_tracking", "on"}});
        for (int aTime = 0; aTime < 2; ++aTime) {
            server::Engine anEngine(server::openRepositoryFile(aPath));
            if (aTime == 0) {
                auto aReply = parseReply(anEngine.call("ALICE", requestFrame(aCase.itsRequest)));
                EXPECT_EQ(aReply->code(), "0") << aReply->text();
                continue;
            }
            server::RepositoryStore& aStore = anEngine.store();
            EXPECT_FALSE(aStore.findUser("ALICE")->itsAdministrator);
            EXPECT_TRUE(aStore.markAdministrator("ALICE", true));
            EXPECT_FALSE(aStore.markAdministrator("NOBODY", true));
            EXPECT_EQ(aStore.listAdministrators(), std::vector<std::string>{"ALICE"});
        }
        server::SqliteDatabase(aPath, false).execute("PRAGMA user_version = 99");
        EXPECT_THROW(server::Engine anEngine(server::openRepositoryFile(aPath)),
                     server::StorageError);
    }
}
