#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// Packages, delivery units and the storage levels of the repository file.
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
    std::string packageExists(const std::string& thePackage) {
        return request("ALICE", "exists", "package", R"("package":")" + thePackage + "\"")
            ->get("exists");
    }
    std::unique_ptr<Reply> remove(const std::string& thePackage, const std::string& theRecursive,
                                  const std::string& theIgnoreInactive = "0") {
        return request("ALICE", "delete", "package",
                       R"("package":")" + thePackage + R"(","ignoreInactiveObjects":")" +
                           theIgnoreInactive + R"(","recursively":")" + theRecursive + "\"");
    }
    std::unique_ptr<Reply> undeploy(const std::string& theName) {
        return request("ALICE", "undeploy", "delivery_unit",
                       R"("session":)" + session("ALICE") + R"(,"delivery_unit":")" + theName +
                           R"(","du_vendor":"acme")");
    }
};
using EnginePackages = EngineDeliveryUnits;

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

    auto anUndeploy = succeeded(undeploy("DU"));
    const auto& aSummary = getObject(anUndeploy->itsJson, "undeploySummary");
    EXPECT_EQ(getString(aSummary, "deletedObjectsCount"), "3");
    EXPECT_EQ(getString(aSummary, "deletedPackagesCount"), "2") << "p.sub and q";
    EXPECT_EQ(getString(aSummary, "reassignedPackagesCount"), "1") << "p holds p.other";

    EXPECT_EQ(readPackage("p")->get("delivery_unit"), "");
    EXPECT_EQ(activeContent(aC), "c");
    EXPECT_EQ(activeContent(aA), "<none>");
    EXPECT_EQ(exists("DU"), "false");
}

// A file of each older level gains, when opened, what the later levels added (the administrator
// mark with nobody marked) and serves their requests; a file of a newer level is refused.
TEST(EngineStorage, OlderRepositoryFilesAreUpgradedWhenOpenedAndNewerOnesRefused) {
    // For each level a request of what its successor added.
    const std::string aRequests[] = {
        R"({"action":"create","what":"deliveryUnit","name":"DU","vendor":"acme"})",
        R"({"action":"create","what":"change","description":"d"})",
        R"({"action":"set","what":"changeTracking","status":"off","ignoreOpenChanges":"1"})",
    };
    for (int aLevel = 0; aLevel < 3; ++aLevel) {
        SCOPED_TRACE(aLevel);
        kivotest::TempDir aDir;
        const std::string aPath = olderRepositoryFile(aDir, aLevel, {{"change_tracking", "on"}});
        {
            server::Engine anEngine(server::openRepositoryFile(aPath));
            succeeded(parseReply(anEngine.call("ALICE", requestFrame(aRequests[aLevel]))));
        }
        server::RepositoryStore aStore(server::openRepositoryFile(aPath));
        EXPECT_FALSE(aStore.findUser("ALICE")->itsAdministrator);
        EXPECT_TRUE(aStore.markAdministrator("ALICE", true));
        EXPECT_FALSE(aStore.markAdministrator("NOBODY", true));
        EXPECT_EQ(aStore.listAdministrators(), std::vector<std::string>{"ALICE"});
        server::SqliteDatabase(aPath, false).execute("PRAGMA user_version = 99");
        EXPECT_THROW(server::Engine anEngine(server::openRepositoryFile(aPath)),
                     server::StorageError);
    }
}

TEST_F(EnginePackages, CreatingAPackageCreatesItsAncestorsAndInheritsOnRequest) {
    auto aCreate = call(
        "ALICE",
        R"({"action":"create","what":"package","package":"a","responsible":"ALICE","delivery_unit":"DU","du_vendor":"acme","structural":"1","inherit":"0"})");
    ASSERT_EQ(aCreate->code(), "0");
    createPackage(R"(a.b.\"c.d\")");
    EXPECT_EQ(packageExists("a.b"), "true");
    auto aRead = readPackage("a.b");
    EXPECT_EQ(aRead->get("structural"), "0");
    EXPECT_EQ(aRead->get("src_system"), "ZEV");
    EXPECT_EQ(aRead->get("responsible"), "");

    call("ALICE", R"({"action":"create","what":"package","package":"a.x","inherit":"1"})");
    auto anInherited = readPackage("a.x");
    EXPECT_EQ(anInherited->get("responsible"), "ALICE");
    EXPECT_EQ(anInherited->get("du_vendor"), "acme");
    EXPECT_EQ(anInherited->get("structural"), "0");

    auto aGlob =
        call("ALICE", R"({"action":"list","what":"packages","package":"a.*","du_vendor":"acme"})");
    ASSERT_EQ(aGlob->list("packages").size(), 1u);
    EXPECT_EQ(getString(asObject(aGlob->list("packages")[0]), "package"), "a.x");
}

TEST_F(EnginePackages, DeletionIsRefusedForNonEmptyPackagesUnlessRecursive) {
    createPackage("a.b.c");
    write("ALICE", object("a.b.c", "x", "txt"), "x");
    EXPECT_EQ(remove("a.b.c", "0")->code(), "40114") << "inactive objects count";
    EXPECT_EQ(remove("a.b.c", "0", "1")->code(), "0");
    EXPECT_EQ(packageExists("a.b.c"), "false");

    createPackage("a.b.c");
    write("ALICE", object("a.b.c", "y", "txt"), "y");
    activate("ALICE", {object("a.b.c", "y", "txt")});
    EXPECT_EQ(remove("a.b.c", "0", "1")->code(), "40114") << "active objects always count";
    EXPECT_EQ(remove("a", "1")->code(), "0");
    EXPECT_EQ(packageExists("a.b"), "false");
    EXPECT_EQ(activeMetadata(object("a.b.c", "y", "txt"))->code(), "40132");
}

// Every name that a client would refuse to check out is refused when written, so that no user
// can stop the checkouts of a package for everybody.
TEST_F(EnginePackages, NamesNoWorkspaceCanHoldAreRefusedOnWrite) {
    const std::string aLong(300, 'n');
    for (const std::string& aPackage :
         {std::string(R"(\"._SYS_KIVO_settings\")"), std::string(R"(\"._SYS_KIVO_settings\".x)"),
          std::string(R"(a.back\\slash)"), "a." + aLong, std::string("a.")}) {
        auto aReply =
            call("ALICE", R"({"action":"create","what":"package","package":")" + aPackage + "\"}");
        EXPECT_EQ(aReply->code(), "40130") << aPackage;
        EXPECT_TRUE(aReply->get("error-msg").starts_with("Invalid package name"))
            << aReply->get("error-msg");
    }
    createPackage("a");
    for (const auto& [aName, aSuffix] : std::vector<std::pair<std::string, std::string>>{
             {R"(back\\slash)", "txt"}, {aLong, "txt"}, {"x", "t:y"}, {"..", "txt"}}) {
        auto aReply = write("ALICE", object("a", aName, aSuffix), "content");
        EXPECT_EQ(aReply->code(), "40130") << aName;
        EXPECT_TRUE(aReply->get("error-msg").starts_with("Invalid repository object"))
            << aReply->get("error-msg");
    }
    EXPECT_EQ(write("ALICE", object("a", std::string(196, 'n'), "txt"), "ok")->code(), "0");
}
