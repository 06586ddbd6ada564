// Changes and who may administer what; what each action prints and how the client words the
// refusals are the end-to-end Changes tests'.
#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// Users ALICE, BOB and CAROL, nobody marked an administrator, change tracking on and the package
// a with ALICE's new object a/x.txt (not activated yet).
class EngineChanges : public ::testing::Test, public EngineFixture {
protected:
    void SetUp() override {
        addUsers({"CAROL"});
        ASSERT_EQ(toggle("ALICE", "on")->code(), "0");
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
                                    const std::string& theWhat, const std::string& theMembers,
                                    const std::string& theId = "ZEV//1") {
        return request(theUser, theAction, theWhat, R"("changeID":")" + theId + "\"" + theMembers);
    }
    std::unique_ptr<Reply> contributor(const std::string& theAction, const std::string& theId,
                                       const std::string& theUser) {
        return onChange("ALICE", theAction, "changeContributor",
                        R"(,"contributor":")" + theUser + "\"", theId);
    }
    std::unique_ptr<Reply> validate(const std::string& theUser) {
        return onChange(theUser, "validate", "contribution",
                        R"(,"user":")" + theUser + R"(","comment":"fine")");
    }
    std::unique_ptr<Reply> activateInto(const std::string& theUser, const std::string& theChange) {
        return request(theUser, "activate", "objects",
                       R"("session":)" + session(theUser) + R"(,"objList":[)" + kX +
                           R"(],"activationMode":"0","changeID":")" + theChange + "\"");
    }
    // A move or merge from theSource into theTarget.
    std::unique_ptr<Reply> between(const std::string& theAction, const std::string& theSource,
                                   const std::string& theTarget, const std::string& theMore = "") {
        return request("ALICE", theAction, theAction == "move" ? "changeEntries" : "changes",
                       R"("sourceChangeID":")" + theSource + R"(","targetChangeID":")" + theTarget +
                           "\"" + theMore);
    }
    std::unique_ptr<Reply> find(const std::string& theFilter) {
        return request("ALICE", "find", "changes", R"("filter":{)" + theFilter + "}");
    }
    std::unique_ptr<Reply> readChange(const std::string& theId) {
        return request("ALICE", "read", "changes", R"("changeIDs":[")" + theId + "\"]");
    }
    // A member of the answer's first change ("" when it holds none).
    static std::string field(const Reply& theReply, const std::string& theName) {
        const auto& aList = theReply.list("changes");
        return aList.empty() ? std::string() : getString(asObject(aList[0]), theName);
    }
    // The change as a read answers it: status, description and contributors with their status.
    std::string changeState(const std::string& theId) {
        auto aRead = readChange(theId);
        if (aRead->list("changes").empty())
            return "no change " + theId;
        const auto& aChange = asObject(aRead->list("changes")[0]);
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
    // theUser's import of theArchive, refused with theArgument when given, changing nothing then.
    void importAs(const std::string& theUser, const std::string& theArchive,
                  const std::string& theArgument = "") {
        const std::string aBefore = snapshot();
        auto aReply = import({theArchive}, {"1", "1", "0", "0"}, theUser);
        if (theArgument.empty())
            return (void)succeeded(std::move(aReply));
        expectRefused(*aReply, theArgument);
        EXPECT_EQ(snapshot(), aBefore);
    }

    const std::string kX = object("a", "x", "txt");
};

} // namespace

TEST_F(EngineChanges, ActivationOpensAChangeOrJoinsTheGivenOneOfItsContributor) {
    EXPECT_EQ(toggle("ALICE", "maybe")->code(), "40130");
    auto aFirst = succeeded(activate("ALICE", {kX}));
    EXPECT_EQ(aFirst->get("changeID"), "ZEV//1");
    EXPECT_EQ(activeMetadata(kX)->meta("change_number"), "ZEV//1");

    // BOB is no contributor of ALICE's change; the refusal activates nothing.
    ASSERT_EQ(write("BOB", kX, "two", basedOn("1"))->code(), "0");
    auto aRefused = activateInto("BOB", "ZEV//1");
    EXPECT_EQ(aRefused->code(), "40120");
    EXPECT_NE(aRefused->get("error-arg").find("not a contributor"), std::string::npos);
    EXPECT_EQ(activeMetadata(kX)->meta("version_id"), "1");
    ASSERT_EQ(contributor("add", "ZEV//1", "bob")->code(), "0");
    EXPECT_EQ(contributor("add", "ZEV//1", "BOB")->code(), "40130");
    auto aSecond = succeeded(activateInto("BOB", "ZEV//1"));
    EXPECT_EQ(changeState("ZEV//1"), "1  ALICE:1: BOB:1: entries:1");

    // Off, an activation belongs to no change.
    ASSERT_EQ(toggle("ALICE", "off")->code(), "0");
    ASSERT_EQ(write("ALICE", kX, "three", basedOn("2"))->code(), "0");
    EXPECT_EQ(activate("ALICE", {kX})->get("changeID"), "");
    EXPECT_EQ(activeMetadata(kX)->meta("change_number"), "");
}

TEST_F(EngineChanges, TheReleaseStampsTheVersionsAndFinishesTheChange) {
    ASSERT_EQ(activate("ALICE", {kX})->code(), "0");
    ASSERT_EQ(contributor("add", "ZEV//1", "BOB")->code(), "0");
    for (const char* aUser : {"ALICE", "BOB"})
        ASSERT_EQ(validate(aUser)->code(), "0");
    // By another than the creator; the refusals before it are the end-to-end Changes tests'.
    ASSERT_EQ(request("BOB", "release", "change", R"("changeID":"ZEV//1")")->code(), "0");
    auto aChange = readChange("ZEV//1");
    EXPECT_EQ(field(*aChange, "releasedBy"), "BOB");
    const std::string aReleased = field(*aChange, "releasedAt");
    EXPECT_EQ(aReleased.size(), 23u);
    EXPECT_EQ(activeMetadata(kX)->meta("released_at"), aReleased);
    EXPECT_EQ(contributor("remove", "ZEV//1", "BOB")->code(), "40130");
    EXPECT_EQ(request("ALICE", "release", "change", R"("changeID":"ZEV//1")")->code(), "40130");
}

TEST_F(EngineChanges, MergeAndMoveCarryEntriesContributorsAndVersions) {
    createPackage("b");
    const std::string aY = object("b", "y", "txt");
    ASSERT_EQ(write("ALICE", aY, "y")->code(), "0");
    ASSERT_EQ(activate("ALICE", {kX})->get("changeID"), "ZEV//1");
    ASSERT_EQ(activate("ALICE", {aY})->get("changeID"), "ZEV//2");
    ASSERT_EQ(contributor("add", "ZEV//2", "BOB")->code(), "0");

    const std::string anEntry = R"(,"objects":[)" + aY + "]";
    auto aMissing = between("move", "ZEV//1", "ZEV//2", anEntry);
    EXPECT_EQ(aMissing->code(), "40108");
    EXPECT_EQ(aMissing->get("error-arg"), "b/y.txt");
    ASSERT_EQ(between("move", "ZEV//2", "ZEV//1", anEntry)->code(), "0");
    EXPECT_EQ(activeMetadata(aY)->meta("change_number"), "ZEV//1");

    EXPECT_EQ(between("merge", "ZEV//1", "ZEV//1")->code(), "40130");
    ASSERT_EQ(between("merge", "ZEV//1", "ZEV//2")->code(), "0");
    EXPECT_EQ(changeState("ZEV//1"), "3  ALICE:1: entries:0");
    EXPECT_EQ(changeState("ZEV//2"), "1  ALICE:1: BOB:1: entries:2");
    EXPECT_EQ(activeMetadata(kX)->meta("change_number"), "ZEV//2");
}

TEST_F(EngineChanges, FindFiltersAndDeletionKeepsChangesThatHoldObjects) {
    ASSERT_EQ(activate("ALICE", {kX})->code(), "0");
    ASSERT_EQ(request("BOB", "create", "change", R"("description":"empty")")->code(), "0");
    EXPECT_EQ(find("")->list("changes").size(), 2u);
    EXPECT_EQ(field(*find(R"("createdBy":"bob")"), "changeID"), "ZEV//2");
    EXPECT_EQ(field(*find(R"("changeNumber":"1","srcSystem":"ZEV")"), "changeID"), "ZEV//1");
    EXPECT_EQ(find(R"("contributor":"ALICE","changeStatus":"open")")->list("changes").size(), 1u);
    EXPECT_EQ(find(R"("releasedFrom":"yesterday")")->code(), "40130");
    EXPECT_EQ(find(R"("releasedFrom":"2000-01-01")")->code(), "40101");

    EXPECT_EQ(request("ALICE", "delete", "change", R"("changeID":"ZEV//8")")->code(), "40102");
    ASSERT_EQ(request("ALICE", "delete", "change", R"("changeID":"ZEV//2")")->code(), "0");
    EXPECT_EQ(readChange("ZEV//2")->code(), "40102");
}

TEST_F(EngineChanges, EveryUserAdministersUntilSomebodyIsMarked) {
    EXPECT_EQ(toggle("BOB", "off")->code(), "0");
    mark("CAROL");
    expectRefused(*toggle("BOB", "on"),
                  "User BOB may not switch change tracking: only an administrator may");
    EXPECT_EQ(call("BOB", R"({"action":"get","what":"changeTrackingStatus"})")->get("status"),
              "disabled");
    EXPECT_EQ(toggle("CAROL", "on")->code(), "0");
    mark("CAROL", false);
    EXPECT_EQ(toggle("BOB", "off")->code(), "0");
}

TEST_F(EngineChanges, OnlyTheCreatorOrAnAdministratorAdministersAChangeAndAContributorTheirEntry) {
    ASSERT_EQ(activate("ALICE", {kX})->get("changeID"), "ZEV//1");
    ASSERT_EQ(request("ALICE", "create", "change", R"("description":"empty")")->code(), "0");
    ASSERT_EQ(request("BOB", "create", "change", R"("description":"bob's")")->code(), "0");
    mark("CAROL");
    const std::string aBefore = changeState("ZEV//1");

    const std::string aTo = R"(,"targetChangeID":"ZEV//3")", aFrom = R"("sourceChangeID":"ZEV//1")";
    const struct {
        std::string itsAction, itsWhat, itsMembers, itsDeed;
    } aCases[] = {
        {"release", "change", R"("changeID":"ZEV//1")", "release change \"ZEV//1"},
        {"edit", "changeDescription", R"("changeID":"ZEV//1","description":"mine")",
         "describe change \"ZEV//1"},
        {"remove", "changeContributor", R"("changeID":"ZEV//1","contributor":"ALICE")",
         "remove contributors from change \"ZEV//1"},
        {"add", "changeContributor", R"("changeID":"ZEV//1","contributor":"BOB")",
         "add contributors to change \"ZEV//1"},
        {"delete", "change", R"("changeID":"ZEV//2")", "delete change \"ZEV//2"},
        {"merge", "changes", aFrom + aTo, "merge change \"ZEV//1"},
        {"merge", "changes", R"("sourceChangeID":"ZEV//3","targetChangeID":"ZEV//1")",
         "merge into change \"ZEV//1"},
        {"move", "changeEntries", aFrom + aTo + R"(,"objects":[)" + kX + "]",
         "move entries out of change \"ZEV//1"},
    };
    for (const auto& aCase : aCases)
        expectRefused(*request("BOB", aCase.itsAction, aCase.itsWhat, aCase.itsMembers),
                      "User BOB may not " + aCase.itsDeed +
                          "\": only its creator ALICE or an administrator may");
    EXPECT_EQ(changeState("ZEV//1"), aBefore);
    EXPECT_EQ(changeState("ZEV//2"), "1 empty ALICE:1: entries:0");

    // The creator and an administrator may; BOB's own change is his.
    ASSERT_EQ(contributor("add", "ZEV//1", "BOB")->code(), "0");
    ASSERT_EQ(onChange("CAROL", "edit", "changeDescription", R"(,"description":"d")")->code(), "0");
    EXPECT_EQ(request("BOB", "delete", "change", R"("changeID":"ZEV//3")")->code(), "0");
    EXPECT_EQ(request("CAROL", "delete", "change", R"("changeID":"ZEV//2")")->code(), "0");

    // A contributor validates and describes only their own entry.
    const std::string aBobs = "the contribution of user bob to change \"ZEV//1\": only that "
                              "contributor may";
    expectRefused(*onChange("ALICE", "edit", "contributorComment",
                            R"(,"contributor":"bob","comment":"lazy")"),
                  "User ALICE may not describe " + aBobs);
    expectRefused(*onChange("CAROL", "validate", "contribution", R"(,"user":"bob","comment":"")"),
                  "User CAROL may not validate " + aBobs);
    EXPECT_EQ(changeState("ZEV//1"), "1 d ALICE:1: BOB:1: entries:1");

    succeeded(
        onChange("BOB", "edit", "contributorComment", R"(,"contributor":"bob","comment":"soon")"));
    for (const char* aUser : {"ALICE", "BOB"})
        ASSERT_EQ(validate(aUser)->code(), "0");
    expectRefused(*onChange("BOB", "release", "change", ""),
                  "User BOB may not release change \"ZEV//1\": only its creator ALICE or an "
                  "administrator may");
    EXPECT_EQ(onChange("CAROL", "release", "change", "")->code(), "0");
}

// DU's archive (packages a and a.sub) again after a.sub went to OTHER and both packages gained an
// object the archive does not carry; then DU is undeployed.
TEST_F(EngineChanges, ImportsThatDeleteOrTakeAndUndeploysAreForAdministrators) {
    ASSERT_EQ(toggle("ALICE", "off")->code(), "0");
    const std::string aY = object("a.sub", "y", "txt");
    createPackage("a.sub");
    ASSERT_EQ(createUnit("DU")->code(), "0");
    ASSERT_EQ(assign("a", "DU")->code(), "0");
    ASSERT_EQ(assign("a.sub", "DU")->code(), "0");
    ASSERT_EQ(write("ALICE", aY, "y")->code(), "0");
    ASSERT_EQ(activate("ALICE", {kX, aY})->code(), "0");
    const std::string anArchive = archiveOf(*exportUnit("DU"));
    mark("CAROL");
    importAs("BOB", anArchive); // nothing to delete or take: any user imports

    const std::string aD = object("a", "d", "txt");
    ASSERT_EQ(write("ALICE", aD, "d")->code(), "0");
    ASSERT_EQ(activate("ALICE", {aD})->code(), "0");
    importAs("BOB", anArchive,
             "User BOB may not delete object a/d.txt by an import: only an administrator may");
    const std::string aC = object("a.sub", "c", "txt");
    ASSERT_EQ(createUnit("OTHER")->code(), "0");
    ASSERT_EQ(assign("a.sub", "OTHER")->code(), "0");
    ASSERT_EQ(write("ALICE", aC, "c")->code(), "0");
    ASSERT_EQ(activate("ALICE", {aC})->code(), "0");
    importAs("BOB", anArchive,
             "User BOB may not take package a.sub from delivery unit OTHER (acme) by an import: "
             "only an administrator may");
    // What the administrator's import deleted and took: DeliveryUnits.ImportsThatDeleteOrTake...
    importAs("CAROL", anArchive);
    EXPECT_EQ(activeContent(aC), "<none>");
    EXPECT_EQ(activeContent(aY), "y");

    auto anUndeploy = [&](const std::string& theUser) {
        return request(theUser, "undeploy", "delivery_unit",
                       R"("session":)" + session(theUser) +
                           R"(,"delivery_unit":"DU","du_vendor":"acme")");
    };
    const std::string aBefore = snapshot();
    expectRefused(*anUndeploy("BOB"),
                  "User BOB may not undeploy delivery unit DU (acme): only an administrator may");
    EXPECT_EQ(snapshot(), aBefore);
    EXPECT_EQ(anUndeploy("CAROL")->code(), "0");
    EXPECT_EQ(activeContent(kX), "<none>");
}
