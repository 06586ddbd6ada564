#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// A repository with users ALICE and BOB, change tracking on and one object a/x.txt that ALICE
// has written (not activated yet).
class EngineChanges : public ::testing::Test, public EngineFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(toggle("on")->code(), "0");
        createPackage("a");
        ASSERT_EQ(write("ALICE", kX, "one")->code(), "0");
    }

    std::unique_ptr<Reply> toggle(const std::string& theStatus, const std::string& theForce = "0") {
        return call("ALICE", R"({"action":"set","what":"changeTracking","status":")" + theStatus +
                                 R"(","ignoreOpenChanges":")" + theForce + "\"}");
    }
    std::unique_ptr<Reply> activateInto(const std::string& theUser, const std::string& theChange) {
        return call(theUser, R"({"action":"activate","what":"objects","session":)" +
                                 session(theUser) + R"(,"objList":[)" + kX +
                                 R"(],"activationMode":"0","changeID":")" + theChange + "\"}");
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
    std::unique_ptr<Reply> validate(const std::string& theUser) {
        return request(theUser, "validate", "contribution",
                       R"("changeID":"ZEV//1","user":")" + theUser + R"(","comment":"fine")");
    }
    std::unique_ptr<Reply> contributor(const std::string& theAction, const std::string& theId,
                                       const std::string& theUser) {
        return request("ALICE", theAction, "changeContributor",
                       R"("changeID":")" + theId + R"(","contributor":")" + theUser + "\"");
    }
    // A member of the answer's first change ("" when it holds none).
    static std::string field(const Reply& theReply, const std::string& theName) {
        const auto& aList = theReply.list("changes");
        return aList.empty() ? std::string() : getString(asObject(aList[0]), theName);
    }
    // A list member of the answer's first change, which must exist.
    static const RepositoryAccess::json::JsonList& members(const Reply& theReply,
                                                           const std::string& theName) {
        const auto& aList = theReply.list("changes");
        if (aList.empty())
            throw std::runtime_error("no change in " + theReply.text());
        return getList(asObject(aList[0]), theName);
    }

    const std::string kX = object("a", "x", "txt");
};

} // namespace

// What each action prints and how the client words the refusals: the end-to-end Changes tests.
TEST_F(EngineChanges, ActivationOpensAChangeOrJoinsTheGivenOneOfItsContributor) {
    EXPECT_EQ(toggle("maybe")->code(), "40130");
    auto aFirst = activate("ALICE", {kX});
    ASSERT_EQ(aFirst->code(), "0") << aFirst->text();
    EXPECT_EQ(aFirst->get("changeID"), "ZEV//1");
    EXPECT_EQ(activeMetadata(kX)->meta("change_number"), "ZEV//1");

    // BOB is no contributor of ALICE's change; the refusal activates nothing.
    ASSERT_EQ(write("BOB", kX, "two", basedOn("1"))->code(), "0");
    auto aRefused = activateInto("BOB", "ZEV//1");
    EXPECT_EQ(aRefused->code(), "40120");
    EXPECT_NE(aRefused->get("error-arg").find("not a contributor"), std::string::npos);
    EXPECT_EQ(activeMetadata(kX)->meta("version_id"), "1");
    EXPECT_EQ(activateInto("BOB", "ZEV//77")->code(), "40102");
    ASSERT_EQ(contributor("add", "ZEV//1", "bob")->code(), "0");
    EXPECT_EQ(contributor("add", "ZEV//1", "BOB")->code(), "40130");
    auto aSecond = activateInto("BOB", "ZEV//1");
    ASSERT_EQ(aSecond->code(), "0") << aSecond->text();
    EXPECT_EQ(members(*readChange("ZEV//1"), "entries").size(), 1u);

    // Off, an activation belongs to no change.
    ASSERT_EQ(toggle("off", "1")->code(), "0");
    ASSERT_EQ(write("ALICE", kX, "three", basedOn("2"))->code(), "0");
    EXPECT_EQ(activate("ALICE", {kX})->get("changeID"), "");
    EXPECT_EQ(activeMetadata(kX)->meta("change_number"), "");
}

TEST_F(EngineChanges, TheReleaseStampsTheVersionsAndFinishesTheChange) {
    ASSERT_EQ(activate("ALICE", {kX})->code(), "0");
    ASSERT_EQ(contributor("add", "ZEV//1", "BOB")->code(), "0");
    ASSERT_EQ(validate("ALICE")->code(), "0");
    EXPECT_EQ(request("ALICE", "release", "change", R"("changeID":"ZEV//1")")->code(), "40107");
    ASSERT_EQ(validate("BOB")->code(), "0");
    ASSERT_EQ(request("BOB", "release", "change", R"("changeID":"ZEV//1")")->code(), "0");

    auto aChange = readChange("ZEV//1");
    EXPECT_EQ(field(*aChange, "status"), "2");
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
    auto aSource = readChange("ZEV//1");
    EXPECT_EQ(field(*aSource, "status"), "3");
    EXPECT_TRUE(members(*aSource, "entries").empty());
    auto aTarget = readChange("ZEV//2");
    EXPECT_EQ(members(*aTarget, "entries").size(), 2u);
    EXPECT_EQ(members(*aTarget, "contributors").size(), 2u);
    EXPECT_EQ(activeMetadata(kX)->meta("change_number"), "ZEV//2");
}

TEST_F(EngineChanges, FindFiltersAndDeletionKeepsChangesThatHoldObjects) {
    ASSERT_EQ(activate("ALICE", {kX})->code(), "0");
    ASSERT_EQ(request("BOB", "create", "change", R"("description":"empty")")->code(), "0");
    EXPECT_EQ(find("")->list("changes").size(), 2u);
    EXPECT_EQ(field(*find(R"("createdBy":"bob")"), "changeID"), "ZEV//2");
    EXPECT_EQ(field(*find(R"("changeNumber":"1","srcSystem":"ZEV")"), "changeID"), "ZEV//1");
    EXPECT_EQ(find(R"("contributor":"ALICE","changeStatus":"open")")->list("changes").size(), 1u);
    EXPECT_EQ(find(R"("contributionStatus":"2")")->code(), "40101");
    EXPECT_EQ(find(R"("releasedFrom":"yesterday")")->code(), "40130");
    EXPECT_EQ(find(R"("releasedFrom":"2000-01-01")")->code(), "40101");

    EXPECT_EQ(request("ALICE", "delete", "change", R"("changeID":"ZEV//1")")->code(), "40105");
    EXPECT_EQ(request("ALICE", "delete", "change", R"("changeID":"ZEV//8")")->code(), "40102");
    ASSERT_EQ(request("ALICE", "delete", "change", R"("changeID":"ZEV//2")")->code(), "0");
    EXPECT_EQ(readChange("ZEV//2")->code(), "40102");
}
