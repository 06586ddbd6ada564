// Who may administer what: the administrator mark, the creator of a change, the contributor of
// an entry, and the deeds that only an administrator does (the switch, undeploy, an import that
// deletes objects or takes packages of another unit).
#include "sqlitefile/repositoryfile.hpp"
#include "sqlitefile/sqlitedb.hpp"
#include "tests/unit/server/deliveryunitsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getList;
using RepositoryAccess::json::getObject;
using RepositoryAccess::json::getString;

namespace {

// Users ALICE, BOB and CAROL, nobody marked yet; the package a with ALICE's new object a/x.txt.
class EngineAuthority : public ::testing::Test, public UnitFixture {
protected:
    void SetUp() override {
        addUsers({"ALICE", "BOB", "CAROL"});
        createPackage("a");
        ASSERT_EQ(write("ALICE", kX, "one")->code(), "0");
    }

    void mark(const std::string& theUser, bool theMark = true) {
        ASSERT_TRUE(engine().store().markAdministrator(theUser, theMark));
    }
    std::unique_ptr<Reply> toggle(const std::string& theUser, const std::string& theStatus) {
        return request(theUser, "set", "changeTracking",
                       R"("status":")" + theStatus + R"(","ignoreOpenChanges":"1")");
    }
    std::unique_ptr<Reply> onChange(const std::string& theUser, const std::string& theAction,
                                    const std::string& theWhat, const std::string& theId,
                                    const std::string& theMore = "") {
        return request(theUser, theAction, theWhat, R"("changeID":")" + theId + "\"" + theMore);
    }
    std::unique_ptr<Reply> pair(const std::string& theUser, const std::string& theAction,
                                const std::string& theWhat, const std::string& theSource,
                                const std::string& theTarget, const std::string& theMore = "") {
        return request(theUser, theAction, theWhat,
                       R"("sourceChangeID":")" + theSource + R"(","targetChangeID":")" + theTarget +
                           "\"" + theMore);
    }
    std::unique_ptr<Reply> importAs(const std::string& theUser, const std::string& theArchive) {
        return call(theUser,
                    R"({"action":"import","what":"file","session":)" + session(theUser) +
                        R"(,"filename":"du.tgz","forceRemove":"1","autoActivate":"1",)"
                        R"("activationMode":"0","onlyTestImport":"0","determineXrefs":"0",)"
                        R"("contentProvided":"1"})",
                    {}, {theArchive});
    }
    // The change as a read answers it: status, description and contributors with their status.
    std::string changeState(const std::string& theId) {
        auto aRead = request("ALICE", "read", "changes", R"("changeIDs":[")" + theId + "\"]");
        const auto& aList = aRead->list("changes");
        if (aList.empty())
            return "no change " + theId;
        const auto& aChange = asObject(aList[0]);
        std::string aText = getString(aChange, "status") + " " + getString(aChange, "description");
        for (const auto& aValue : getList(aChange, "contributors"))
            aText += " " + getString(asObject(aValue), "user") + ":" +
                     getString(asObject(aValue), "status") + ":" +
                     getString(asObject(aValue), "description");
        return aText + " entries:" + std::to_string(getList(aChange, "entries").size());
    }
    static void expectRefused(const Reply& theReply, const std::string& theArgument) {
        EXPECT_EQ(theReply.code(), "40120") << theReply.text();
        EXPECT_EQ(theReply.get("error-msg"), "Not authorized");
        EXPECT_EQ(theReply.get("error-arg"), theArgument);
    }

    const std::string kX = object("a", "x", "txt");
};

} // namespace

TEST_F(EngineAuthority, EveryUserAdministersUntilSomebodyIsMarked) {
    EXPECT_EQ(toggle("BOB", "on")->code(), "0");
    mark("CAROL");
    expectRefused(*toggle("BOB", "off"),
                  "User BOB may not switch change tracking: only an administrator may");
    EXPECT_EQ(call("BOB", R"({"action":"get","what":"changeTrackingStatus"})")->get("status"),
              "enabled");
    EXPECT_EQ(toggle("CAROL", "off")->code(), "0");
    mark("CAROL", false);
    EXPECT_EQ(toggle("BOB", "on")->code(), "0");
}

TEST_F(EngineAuthority, OnlyTheCreatorOrAnAdministratorAdministersAChange) {
    ASSERT_EQ(toggle("ALICE", "on")->code(), "0");
    ASSERT_EQ(activate("ALICE", {kX})->get("changeID"), "ZEV//1");
    ASSERT_EQ(request("ALICE", "create", "change", R"("description":"empty")")->code(), "0");
    ASSERT_EQ(request("BOB", "create", "change", R"("description":"bob's")")->code(), "0");
    mark("CAROL");
    const std::string aBefore = changeState("ZEV//1");

    const std::string anOnly = "\": only its creator ALICE or an administrator may";
    expectRefused(*onChange("BOB", "release", "change", "ZEV//1"),
                  "User BOB may not release change \"ZEV//1" + anOnly);
    expectRefused(
        *onChange("BOB", "edit", "changeDescription", "ZEV//1", R"(,"description":"mine")"),
        "User BOB may not describe change \"ZEV//1" + anOnly);
    expectRefused(
        *onChange("BOB", "remove", "changeContributor", "ZEV//1", R"(,"contributor":"ALICE")"),
        "User BOB may not remove contributors from change \"ZEV//1" + anOnly);
    expectRefused(*onChange("BOB", "add", "changeContributor", "ZEV//1", R"(,"contributor":"BOB")"),
                  "User BOB may not add contributors to change \"ZEV//1" + anOnly);
    expectRefused(*onChange("BOB", "delete", "change", "ZEV//2"),
                  "User BOB may not delete change \"ZEV//2" + anOnly);
    expectRefused(*pair("BOB", "merge", "changes", "ZEV//1", "ZEV//3"),
                  "User BOB may not merge change \"ZEV//1" + anOnly);
    expectRefused(*pair("BOB", "merge", "changes", "ZEV//3", "ZEV//1"),
                  "User BOB may not merge into change \"ZEV//1" + anOnly);
    expectRefused(
        *pair("BOB", "move", "changeEntries", "ZEV//1", "ZEV//3", R"(,"objects":[)" + kX + "]"),
        "User BOB may not move entries out of change \"ZEV//1" + anOnly);
    EXPECT_EQ(changeState("ZEV//1"), aBefore);
    EXPECT_EQ(changeState("ZEV//2"), "1 empty ALICE:1: entries:0");

    // The creator and an administrator may; BOB's own change is his.
    ASSERT_EQ(
        onChange("ALICE", "add", "changeContributor", "ZEV//1", R"(,"contributor":"BOB")")->code(),
        "0");
    ASSERT_EQ(
        onChange("CAROL", "edit", "changeDescription", "ZEV//1", R"(,"description":"d")")->code(),
        "0");
    EXPECT_EQ(onChange("BOB", "delete", "change", "ZEV//3")->code(), "0");
    EXPECT_EQ(onChange("CAROL", "delete", "change", "ZEV//2")->code(), "0");
}

TEST_F(EngineAuthority, AContributorValidatesAndDescribesOnlyTheirOwnEntry) {
    ASSERT_EQ(toggle("ALICE", "on")->code(), "0");
    ASSERT_EQ(activate("ALICE", {kX})->get("changeID"), "ZEV//1");
    ASSERT_EQ(
        onChange("ALICE", "add", "changeContributor", "ZEV//1", R"(,"contributor":"BOB")")->code(),
        "0");
    mark("CAROL");

    const std::string aBobs = "the contribution of user bob to change \"ZEV//1\": only that "
                              "contributor may";
    expectRefused(*onChange("ALICE", "edit", "contributorComment", "ZEV//1",
                            R"(,"contributor":"bob","comment":"lazy")"),
                  "User ALICE may not describe " + aBobs);
    expectRefused(
        *onChange("CAROL", "validate", "contribution", "ZEV//1", R"(,"user":"bob","comment":"")"),
        "User CAROL may not validate " + aBobs);
    EXPECT_EQ(changeState("ZEV//1"), "1  ALICE:1: BOB:1: entries:1");

    ASSERT_EQ(onChange("BOB", "edit", "contributorComment", "ZEV//1",
                       R"(,"contributor":"bob","comment":"soon")")
                  ->code(),
              "0");
    for (const char* aUser : {"ALICE", "BOB"})
        ASSERT_EQ(onChange(aUser, "validate", "contribution", "ZEV//1",
                           R"(,"user":")" + std::string(aUser) + R"(","comment":"ok")")
                      ->code(),
                  "0");
    expectRefused(*onChange("BOB", "release", "change", "ZEV//1"),
                  "User BOB may not release change \"ZEV//1\": only its creator ALICE or an "
                  "administrator may");
    EXPECT_EQ(onChange("CAROL", "release", "change", "ZEV//1")->code(), "0");
}

TEST_F(EngineAuthority, OnlyAnAdministratorUndeploys) {
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(assign("a", "DU")->code(), "0");
    ASSERT_EQ(activate("ALICE", {kX})->code(), "0");
    mark("CAROL");
    const std::string anUndeploy = R"({"action":"undeploy","what":"delivery_unit","session":)";
    const std::string aUnit = R"(,"delivery_unit":"DU","du_vendor":"acme"})";
    const std::string aBefore = snapshot();
    expectRefused(*call("BOB", anUndeploy + session("BOB") + aUnit),
                  "User BOB may not undeploy delivery unit DU (acme): only an administrator may");
    EXPECT_EQ(snapshot(), aBefore);
    EXPECT_EQ(call("CAROL", anUndeploy + session("CAROL") + aUnit)->code(), "0");
    EXPECT_EQ(activeContent(kX), "<none>");
}

// The archive of the unit DU (packages a and a.sub) is imported again after the unit lost a.sub
// to the unit OTHER and both packages gained an object the archive does not carry.
TEST_F(EngineAuthority, AnImportThatDeletesOrTakesIsForAdministratorsAndNamesWhatItDid) {
    const std::string aY = object("a.sub", "y", "txt");
    createPackage("a.sub");
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(assign("a", "DU")->code(), "0");
    ASSERT_EQ(assign("a.sub", "DU")->code(), "0");
    ASSERT_EQ(write("ALICE", aY, "y")->code(), "0");
    ASSERT_EQ(activate("ALICE", {kX, aY})->code(), "0");
    const std::string anArchive = archiveOf(*exportUnit("DU"));
    mark("CAROL");

    // Nothing to delete or take: any user imports.
    auto aPlain = importAs("BOB", anArchive);
    ASSERT_EQ(aPlain->code(), "0") << aPlain->text();
    EXPECT_TRUE(getList(getObject(aPlain->itsJson, "importSummary"), "deletedObjects").empty());

    const std::string aD = object("a", "d", "txt");
    ASSERT_EQ(write("ALICE", aD, "d")->code(), "0");
    ASSERT_EQ(activate("ALICE", {aD})->code(), "0");
    std::string aBefore = snapshot();
    expectRefused(*importAs("BOB", anArchive),
                  "User BOB may not delete object a/d.txt by an import: only an administrator may");
    EXPECT_EQ(snapshot(), aBefore);

    const std::string aC = object("a.sub", "c", "txt");
    ASSERT_EQ(createUnit("OTHER")->code(), "0");
    ASSERT_EQ(assign("a.sub", "OTHER")->code(), "0");
    ASSERT_EQ(write("ALICE", aC, "c")->code(), "0");
    ASSERT_EQ(activate("ALICE", {aC})->code(), "0");
    aBefore = snapshot();
    expectRefused(*importAs("BOB", anArchive),
                  "User BOB may not take package a.sub from delivery unit OTHER (acme) by an "
                  "import: only an administrator may");
    EXPECT_EQ(snapshot(), aBefore);

    auto anImport = importAs("CAROL", anArchive);
    ASSERT_EQ(anImport->code(), "0") << anImport->text();
    const auto& aSummary = getObject(anImport->itsJson, "importSummary");
    EXPECT_EQ(getString(aSummary, "deleteCount"), "2");
    std::string aDeleted;
    for (const auto& aValue : getList(aSummary, "deletedObjects"))
        aDeleted += getString(asObject(aValue), "package") + "/" +
                    getString(asObject(aValue), "name") + " ";
    EXPECT_EQ(aDeleted, "a/d a.sub/c ");
    const auto& aTaken = getList(aSummary, "takenPackages");
    ASSERT_EQ(aTaken.size(), 1u);
    EXPECT_EQ(getString(asObject(aTaken[0]), "package"), "a.sub");
    EXPECT_EQ(getString(asObject(aTaken[0]), "delivery_unit"), "OTHER");
    EXPECT_EQ(getString(asObject(aTaken[0]), "du_vendor"), "acme");
    EXPECT_EQ(activeContent(aC), "<none>");
    EXPECT_EQ(activeContent(aY), "y");
}

TEST(EngineLayout, AnOlderRepositoryFileGainsTheAdministratorMarkWithNobodyMarked) {
    kivotest::TempDir aDir;
    const std::string aPath = (aDir.path() / "repo.db").string();
    server::createRepositoryFile(aPath, {});
    {
        server::SqliteDatabase anOld(aPath, false);
        anOld.execute("ALTER TABLE users DROP COLUMN is_admin; "
                      "INSERT INTO users VALUES ('BOB', 'x'); PRAGMA user_version = 2");
    }
    server::Engine anEngine(server::openRepositoryFile(aPath));
    auto aReply = parseReply(anEngine.call(
        "BOB", requestFrame(R"({"action":"set","what":"changeTracking","status":"on"})")));
    EXPECT_EQ(aReply->code(), "0") << aReply->text();
    server::RepositoryStore& aStore = anEngine.store();
    EXPECT_FALSE(aStore.findUser("BOB")->itsAdministrator);
    EXPECT_TRUE(aStore.markAdministrator("BOB", true));
    EXPECT_FALSE(aStore.markAdministrator("NOBODY", true));
    EXPECT_EQ(aStore.listAdministrators(), std::vector<std::string>{"BOB"});
}
