#include "sqlitefile/repositoryfile.hpp"
#include "sqlitefile/sqlitedb.hpp"
#include "tests/unit/server/deliveryunitsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getObject;
using RepositoryAccess::json::getString;

namespace {

class EngineDeliveryUnits : public ::testing::Test, public UnitFixture {
protected:
    std::unique_ptr<Reply> byName(const std::string& theAction, const std::string& theWhat,
                                  const std::string& theName) {
        return call("ALICE", R"({"action":")" + theAction + R"(","what":")" + theWhat +
                                 R"(","name":")" + theName + R"(","vendor":"acme"})");
    }
    std::unique_ptr<Reply> undeploy(const std::string& theName) {
        return call("ALICE", R"({"action":"undeploy","what":"delivery_unit","session":)" +
                                 session("ALICE") + R"(,"delivery_unit":")" + theName +
                                 R"(","du_vendor":"acme"})");
    }
};

} // namespace

TEST_F(EngineDeliveryUnits, AreCreatedReadUpdatedListedAndDeleted) {
    ASSERT_EQ(createUnit("DU")->code(), "0");
    EXPECT_EQ(createUnit("DU")->code(), "40117");
    ASSERT_EQ(createUnit("DU", "other.org")->code(), "0");

    auto aGet = byName("get", "deliveryUnit", "DU");
    ASSERT_EQ(aGet->code(), "0");
    const auto& aUnit = getObject(aGet->itsJson, "deliveryUnit");
    EXPECT_EQ(getString(aUnit, "caption"), "Orders");
    EXPECT_EQ(getString(aUnit, "version_patch"), "3");
    EXPECT_EQ(getString(aUnit, "lastUpdate").size(), 23u) << "the time of the creation";

    auto anUpdate = call(
        "ALICE",
        R"({"action":"update","what":"deliveryUnit","name":"DU","vendor":"acme","caption":"New","responsible":"BOB","version":"2","version_sp":"","version_patch":"","lastUpdate":"2024-01-02 03:04:05.006","qrtsID":"","sp_QRTS_ID":"","ach":""})");
    ASSERT_EQ(anUpdate->code(), "0") << anUpdate->text();
    auto aReread = byName("get", "deliveryUnit", "DU");
    const auto& anUpdated = getObject(aReread->itsJson, "deliveryUnit");
    EXPECT_EQ(getString(anUpdated, "caption"), "New");
    EXPECT_EQ(getString(anUpdated, "ach"), "");
    EXPECT_EQ(getString(anUpdated, "lastUpdate"), "2024-01-02 03:04:05.006");

    EXPECT_EQ(byName("exists", "deliveryUnit", "DU")->get("exists"), "true");
    EXPECT_EQ(byName("exists", "deliveryUnit", "XX")->get("exists"), "false");
    auto aList = call("ALICE", R"({"action":"get","what":"allDeliveryUnits"})");
    ASSERT_EQ(aList->list("deliveryUnits").size(), 2u);
    EXPECT_EQ(getString(asObject(aList->list("deliveryUnits")[1]), "vendor"), "other.org");
    EXPECT_EQ(byName("check", "isDeliveryUnitBroken", "DU")->get("exists"), "false");

    // Missing units are 40116 for every request that names one.
    for (const char* anAction : {"get", "delete"})
        EXPECT_EQ(byName(anAction, "deliveryUnit", "XX")->code(), "40116") << anAction;
    EXPECT_EQ(byName("check", "isDeliveryUnitBroken", "XX")->code(), "40116");
    EXPECT_EQ(undeploy("XX")->code(), "40116");
    EXPECT_EQ(
        call(
            "ALICE",
            R"({"action":"update","what":"deliveryUnit","name":"XX","vendor":"acme","caption":""})")
            ->code(),
        "40116");
    EXPECT_EQ(exportUnit("XX")->code(), "40116");

    ASSERT_EQ(byName("delete", "deliveryUnit", "DU")->code(), "0");
    EXPECT_EQ(byName("exists", "deliveryUnit", "DU")->get("exists"), "false");
}

TEST_F(EngineDeliveryUnits, PackagesAreAssignedOnlyToExistingUnitsAndLoseThemWithTheUnit) {
    createPackage("p");
    EXPECT_EQ(assign("p", "DU")->code(), "40116");
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(assign("p", "DU")->code(), "0");
    auto aRead = call("ALICE", R"({"action":"read","what":"package","package":"p"})");
    EXPECT_EQ(aRead->get("delivery_unit"), "DU");
    EXPECT_EQ(assign("p", "")->code(), "0") << "unassigning needs no unit";
    ASSERT_EQ(assign("p", "DU")->code(), "0");

    ASSERT_EQ(byName("delete", "deliveryUnit", "DU")->code(), "0");
    aRead = call("ALICE", R"({"action":"read","what":"package","package":"p"})");
    EXPECT_EQ(aRead->code(), "0");
    EXPECT_EQ(aRead->get("delivery_unit"), "");
    EXPECT_EQ(aRead->get("du_vendor"), "");
}

TEST_F(EngineDeliveryUnits, ABrokenActiveObjectMakesTheUnitBroken) {
    createPackage("p");
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(assign("p", "DU")->code(), "0");
    const std::string aJson = object("p", "conf", "json");
    write("ALICE", aJson, "{broken");
    ASSERT_EQ(activate("ALICE", {aJson}, "4")->code(), "40137");
    EXPECT_EQ(byName("check", "isDeliveryUnitBroken", "DU")->get("exists"), "true");
}

TEST_F(EngineDeliveryUnits, UndeployDeletesObjectsAndEmptyPackagesAndUnassignsTheOthers) {
    for (const char* aPackage : {"p", "p.sub", "p.other", "q"})
        createPackage(aPackage);
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(createUnit("OTHER")->code(), "0");
    for (const char* aPackage : {"p", "p.sub", "q"})
        ASSERT_EQ(assign(aPackage, "DU")->code(), "0");
    ASSERT_EQ(assign("p.other", "OTHER")->code(), "0");
    write("ALICE", object("p", "a", "txt"), "a");
    write("ALICE", object("p.sub", "b", "txt"), "b");
    write("ALICE", object("p.other", "c", "txt"), "c");
    ASSERT_EQ(activate("ALICE", {object("p", "a", "txt"), object("p.sub", "b", "txt"),
                                 object("p.other", "c", "txt")})
                  ->code(),
              "0");
    write("BOB", object("q", "d", "txt"), "inactive of another user");

    auto anUndeploy = undeploy("DU");
    ASSERT_EQ(anUndeploy->code(), "0") << anUndeploy->text();
    const auto& aSummary = getObject(anUndeploy->itsJson, "undeploySummary");
    EXPECT_EQ(getString(aSummary, "deletedObjectsCount"), "3");
    EXPECT_EQ(getString(aSummary, "deletedPackagesCount"), "2") << "p.sub and q";
    EXPECT_EQ(getString(aSummary, "reassignedPackagesCount"), "1") << "p holds p.other";

    auto aParent = call("ALICE", R"({"action":"read","what":"package","package":"p"})");
    EXPECT_EQ(aParent->get("delivery_unit"), "");
    EXPECT_EQ(activeContent(object("p.other", "c", "txt")), "c");
    EXPECT_EQ(activeContent(object("p", "a", "txt")), "<none>");
    EXPECT_EQ(byName("exists", "deliveryUnit", "DU")->get("exists"), "false");
    EXPECT_EQ(undeploy("DU")->code(), "40116");
}

TEST(EngineStorage, ARepositoryFileOfTheFirstLevelIsUpgradedWhenOpened) {
    kivotest::TempDir aDir;
    std::string aPath = (aDir.path() / "old.db").string();
    server::createRepositoryFile(aPath, {});
    {
        // The file as the first program wrote it: no delivery units, no changes, level 0.
        server::SqliteDatabase anOld(aPath, false);
        anOld.execute("INSERT INTO users (name, password_hash) VALUES ('ALICE', 'x'); "
                      "ALTER TABLE users DROP COLUMN is_admin; "
                      "DROP INDEX packages_by_delivery_unit; DROP TABLE delivery_units; "
                      "DROP TABLE change_contributors; DROP TABLE change_entries; "
                      "DROP TABLE changes; DROP INDEX history_by_change; "
                      "PRAGMA user_version = 0");
    }
    for (int aTime = 0; aTime < 2; ++aTime) {
        server::Engine anEngine(server::openRepositoryFile(aPath));
        auto aReply = parseReply(anEngine.call(
            "ALICE", requestFrame(R"({"action":"create","what":"deliveryUnit","name":"DU)" +
                                  std::to_string(aTime) + R"(","vendor":"acme"})")));
        EXPECT_EQ(aReply->code(), "0") << aReply->text();
    }
    {
        server::SqliteDatabase aNewer(aPath, false);
        aNewer.execute("PRAGMA user_version = 999");
    }
    EXPECT_THROW(server::Engine anEngine(server::openRepositoryFile(aPath)), server::StorageError);
}
