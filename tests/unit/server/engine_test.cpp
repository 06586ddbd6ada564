#include "tests/unit/server/enginetestsupport.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

using namespace enginetest;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

const std::string kTxt = object("p", "a", "txt");
const std::string kJson = object("p", "conf", "json");
const std::string kActive = R"("session":{"sessionType":"1"})";

// The check results of an activation answer as "severity:code" texts.
std::vector<std::string> severities(const Reply& theReply) {
    std::vector<std::string> aList;
    for (const auto& aValue : theReply.list("checkResults"))
        aList.push_back(getString(asObject(aValue), "severity") + ":" +
                        getString(asObject(aValue), "error-code"));
    return aList;
}

class EngineVersions : public ::testing::Test, public EngineFixture {
protected:
    void SetUp() override { createPackage("p"); }

    // Reads an object of theSession in theVersion with attachments.
    std::unique_ptr<Reply> read(const std::string& theSession, const std::string& theObject,
                                const std::string& theVersion,
                                const std::string& theUser = "ALICE") {
        return request(theUser, "read", "object",
                       theSession + R"(,"object":)" + theObject + R"(,"version":)" + theVersion +
                           R"(,"winformat":"0")");
    }
    // The content of theUser's inactive version of kTxt.
    std::string inactiveOf(const std::string& theUser) {
        return read(R"("session":)" + session(theUser), kTxt,
                    R"({"versionType":"2","owner":")" + theUser + R"(","workspace":""})", theUser)
            ->cdata();
    }
};

} // namespace

TEST_F(EngineVersions, WritesOfNewAndKnownObjectsAreBasedOnTheVersionTheWriterSaw) {
    auto aFirst = succeeded(write("ALICE", kTxt, "one"));
    EXPECT_EQ(aFirst->meta("version_id"), "1");
    EXPECT_EQ(aFirst->meta("type"), "2");
    ASSERT_EQ(activate("ALICE", {kTxt})->code(), "0");

    // Based on active version 1, then written again on top of its own inactive version 2.
    EXPECT_EQ(write("ALICE", kTxt, "two", basedOn("1"))->meta("version_id"), "2");
    EXPECT_EQ(write("ALICE", kTxt, "two!", basedOn("2", "2"))->meta("version_id"), "2");
    auto anActivation = succeeded(activate("ALICE", {kTxt}));
    EXPECT_EQ(severities(*anActivation), (std::vector<std::string>{"1:0", "4:0"}));

    EXPECT_EQ(request("ALICE", "get", "numberOfLatestVersion", kActive + R"(,"object":)" + kTxt)
                  ->get("version"),
              "2");
    auto aRead = succeeded(readActive(kTxt));
    EXPECT_EQ(aRead->cdata(), "two!");
    EXPECT_EQ(aRead->itsMessage.getBDataVec().size(), 1u);
}

TEST_F(EngineVersions, DeletionDependsOnWhetherAnActiveVersionExists) {
    write("ALICE", kTxt, "x");
    EXPECT_EQ(succeeded(deleteObject("ALICE", kTxt))->get("isReverted"), "1");
    EXPECT_EQ(deleteObject("ALICE", kTxt)->code(), "40132");

    write("ALICE", kTxt, "x");
    activate("ALICE", {kTxt});
    EXPECT_EQ(deleteObject("ALICE", kTxt)->get("isReverted"), "0");
    succeeded(activate("ALICE", {kTxt}));
    EXPECT_EQ(activeMetadata(kTxt)->code(), "40132");
    auto aHistory = request("ALICE", "get", "history", R"("object":)" + kTxt);
    ASSERT_EQ(aHistory->list("history").size(), 2u);
    EXPECT_EQ(getString(asObject(aHistory->list("history")[1]), "isDeletion"), "true");
}

TEST_F(EngineVersions, RevertAndPullMoveOnlyWhatTheRulesAllow) {
    write("ALICE", kTxt, "alice");
    const std::string aPull = R"("session":)" + session("BOB") + R"(,"objList":[)" + kTxt +
                              R"(],"user":"ALICE","workspace":"")";
    write("BOB", kTxt, "bob");
    EXPECT_EQ(request("BOB", "pull", "inactiveObjects", aPull)->code(), "40131");

    succeeded(request("BOB", "delete", "revertObjects",
                      R"("session":)" + session("BOB") + R"(,"objList":[)" + kTxt + "]"));
    ASSERT_EQ(request("BOB", "pull", "inactiveObjects", aPull)->code(), "0");
    EXPECT_EQ(inactiveOf("BOB"), "alice");
    EXPECT_EQ(listObjects("ALICE")->code(), "40132");
}

// Alice's version 2 on top of active version 1 and Bob's, which he activated first.
TEST_F(EngineVersions, ActivationAfterAnotherUsersIsAConflictThatOnlyModeFourOverrides) {
    write("ALICE", kTxt, "base");
    activate("ALICE", {kTxt});
    write("ALICE", kTxt, "alice", basedOn("1"));
    write("BOB", kTxt, "bob", basedOn("1"));
    ASSERT_EQ(activate("BOB", {kTxt})->code(), "0");
    auto aConflict = activate("ALICE", {kTxt});
    EXPECT_EQ(aConflict->code(), "40136");
    EXPECT_EQ(severities(*aConflict), (std::vector<std::string>{"3:40129", "4:40136"}));
    EXPECT_THAT(getString(asObject(aConflict->list("checkResults")[0]), "error-msg"),
                AllOf(HasSubstr("p/a.txt"), HasSubstr("version 2")));
    // Nothing was activated; mode 4 then activates the version Alice kept.
    EXPECT_EQ(activeMetadata(kTxt)->meta("version_id"), "2");
    EXPECT_EQ(activate("ALICE", {kTxt}, "4")->code(), "40137");
    EXPECT_EQ(activeMetadata(kTxt)->meta("version_id"), "3");
}

TEST_F(EngineVersions, ActivationModesDecideWhatHappensWithErrors) {
    write("ALICE", kTxt, "fine");
    write("ALICE", kJson, "{\n\"a\": 1,\n}");

    // The error's line and mode 5, which only checks: Activate.CheckRunsAndFailedActivations...
    for (const char* aMode : {"0", "3"})
        EXPECT_EQ(activate("ALICE", {kTxt, kJson}, aMode)->code(), "40136") << aMode;
    for (const char* aMode : {"1", "2"})
        EXPECT_EQ(activate("ALICE", {kTxt}, aMode)->code(), "40130") << aMode;

    EXPECT_EQ(activate("ALICE", {kTxt, kJson}, "4")->code(), "40137");
    EXPECT_EQ(activeMetadata(kJson)->meta("object_status"), "1");
    EXPECT_EQ(activeMetadata(kTxt)->meta("object_status"), "0");

    write("ALICE", object("p", "empty", "txt"), "");
    auto aWarning = activate("ALICE", {object("p", "empty", "txt")});
    EXPECT_EQ(aWarning->code(), "40137");
    EXPECT_EQ(severities(*aWarning), (std::vector<std::string>{"2:40137", "1:0", "4:40137"}));
}

TEST_F(EngineVersions, HistoricalReadsByNumberAndByTimestamp) {
    for (const auto& [aContent, aBase] : {std::pair{"january", ""}, std::pair{"february", "1"}}) {
        write("ALICE", kTxt, aContent, *aBase ? basedOn(aBase) : "");
        ASSERT_EQ(activate("ALICE", {kTxt})->code(), "0");
    }
    server::SqliteDatabase(path(), false)
        .execute("UPDATE history SET activated_at = '2024-0' || version_nr || '-01 10:00:00.000'");
    auto aByNumber = read(kActive, kTxt, R"({"versionType":"3","versionNr":"1"})");
    EXPECT_EQ(aByNumber->cdata(), "january");
    EXPECT_EQ(aByNumber->meta("type"), "3");
    EXPECT_EQ(read(kActive, kTxt, R"({"versionType":"3","versionNr":"7"})")->code(), "40132");

    auto aRead = [&](const std::string& theTimestamp) {
        return request("ALICE", "read", "objectMetadata",
                       R"("session":{"sessionType":"4","timestamp":")" + theTimestamp +
                           R"("},"object":)" + kTxt);
    };
    EXPECT_EQ(aRead("2024-02-01")->meta("version_id"), "1") << "a date means its midnight";
    EXPECT_EQ(aRead("2024-02-01 10:00:00.000")->meta("version_id"), "2");
    EXPECT_EQ(aRead("2023-12-31")->code(), "40112");
    EXPECT_EQ(aRead("yesterday")->code(), "40130");
}

// Found a package at a time, each answer still belongs to the object asked for, in the order asked,
// across packages, suffixes, repeats and more objects than one question takes.
TEST_F(EngineVersions, ABulkReadAnswersEachObjectAskedForInItsOrder) {
    createPackage("q");
    std::vector<std::string> anActivated = {kTxt, object("p", "a", "md"), object("q", "a", "txt"),
                                            object("p", "gone", "txt")};
    for (int i = 0; i < 40; ++i)
        anActivated.push_back(object("p", "n" + std::to_string(i), "txt"));
    for (const std::string& anObject : anActivated)
        ASSERT_EQ(write("ALICE", anObject, "of " + anObject)->code(), "0");
    ASSERT_EQ(activate("ALICE", anActivated)->code(), "0");
    deleteObject("ALICE", object("p", "gone", "txt"));
    ASSERT_EQ(activate("ALICE", {object("p", "gone", "txt")})->code(), "0");
    write("ALICE", object("p", "never", "txt"), "inactive only");

    std::vector<std::string> anAsked = {object("q", "a", "txt"), object("p", "a", "md"),
                                        object("p", "missing", "txt")};
    for (int i = 39; i >= 0; --i)
        anAsked.push_back(object("p", "n" + std::to_string(i), "txt"));
    anAsked.insert(anAsked.end(), {object("p", "a", "md"), object("p", "never", "txt"),
                                   object("p", "gone", "txt")});
    std::string aList;
    for (const std::string& anObject : anAsked)
        aList += (aList.empty() ? R"({"object":)" : R"(,{"object":)") + anObject + "}";
    auto aRead = request("ALICE", "read", "objects",
                         kActive + R"(,"objects":[)" + aList + R"(],"winformat":"0")");

    std::vector<std::string> aContents, aFailures;
    for (std::size_t i = 0; i < aRead->list("successfulObjects").size(); ++i)
        aContents.push_back(aRead->cdata(i));
    for (const auto& aFailure : aRead->list("errorObjects"))
        aFailures.push_back(getString(getObject(asObject(aFailure), "object"), "name") + ": " +
                            getString(getObject(asObject(aFailure), "error"), "error-msg"));
    std::vector<std::string> anExpected;
    for (const std::string& anObject : anAsked)
        if (anObject.find("missing") == std::string::npos &&
            anObject.find("never") == std::string::npos &&
            anObject.find("gone") == std::string::npos)
            anExpected.push_back("of " + anObject);
    EXPECT_EQ(aContents, anExpected);
    EXPECT_EQ(aFailures, (std::vector<std::string>{"missing: Object does not exist",
                                                   "never: Object has no active version",
                                                   "gone: Object has no active version"}));
}

// Properties in Latin-1 and binaries as bytes: Commit.BinaryTypesTravelAsBinaryData.
TEST_F(EngineVersions, WindowsLineEndsOnlyForTextsThatAskForThem) {
    const std::string anImage = object("p", "i", "png"), aPng("\x89PNG\n\0\x01", 7);
    write("ALICE", kTxt, "a\nb\r\nc");
    ASSERT_EQ(write("ALICE", anImage, aPng, "", true)->code(), "0");
    activate("ALICE", {kTxt, anImage});
    EXPECT_EQ(readActive(kTxt, "1")->cdata(), "a\r\nb\r\nc");
    EXPECT_EQ(readActive(kTxt, "0")->cdata(), "a\nb\r\nc");
    auto anImageRead = readActive(anImage, "1");
    EXPECT_EQ(archiveOf(*anImageRead), aPng);
    EXPECT_EQ(anImageRead->cdata(), "");
}

// A write without metadata of an existing object puts its version on it; a next write replaces
// only the writer's own version of that very object, and the object's count stays right.
TEST_F(EngineVersions, AWriteReplacesOnlyTheWritersOwnVersionOfThatObject) {
    const std::string aMarkdown = object("p", "a", "md");
    ASSERT_EQ(write("ALICE", kTxt, "alice 1")->code(), "0");
    ASSERT_EQ(write("ALICE", aMarkdown, "markdown")->code(), "0");
    auto aBobs = succeeded(write("BOB", kTxt, "bob"));
    EXPECT_EQ(aBobs->meta("version_id"), "1");
    auto aRewrite = succeeded(write("ALICE", kTxt, "alice 2", basedOn("1", "2")));
    EXPECT_EQ(aRewrite->meta("version_id"), "1");
    EXPECT_EQ(miscounted(), 0);

    ASSERT_EQ(activate("ALICE", {kTxt, aMarkdown})->code(), "0");
    EXPECT_EQ(miscounted(), 0);
    EXPECT_EQ(activeContent(kTxt), "alice 2");
    EXPECT_EQ(activeContent(aMarkdown), "markdown");
    EXPECT_EQ(inactiveOf("BOB"), "bob");
}

TEST_F(EngineVersions, WritesIntoAnotherUsersWorkspaceAreRefused) {
    const std::string aBobs = R"("session":)" + session("BOB");
    auto aReply =
        call("ALICE",
             R"({"action":"write","what":"object",)" + aBobs + R"(,"object":)" + kTxt + "}", {"x"});
    EXPECT_EQ(aReply->code(), "40120");
    EXPECT_EQ(aReply->get("error-msg"), "Not authorized");
    auto anActivation =
        request("ALICE", "activate", "objects", aBobs + R"(,"objList":[],"activationMode":"0")");
    EXPECT_EQ(anActivation->code(), "40120");
    write("BOB", kTxt, "bob");
    auto aDeletion =
        request("ALICE", "delete", "inactiveWorkspace",
                R"("session":)" + session("ALICE") + R"(,"user":"BOB","workspace":"")");
    EXPECT_EQ(aDeletion->code(), "40120");
    auto aList = request("ALICE", "list", "inactiveWorkspaces", kActive + R"(,"user":"*")");
    ASSERT_EQ(aList->list("workspaces").size(), 1u);
    EXPECT_EQ(getString(asObject(aList->list("workspaces")[0]), "user"), "BOB");
}

// A group's requests are seen by others when it ends, each takes back only its own changes, and
// those of a group never ended (its process died) are lost together.
TEST_F(EngineVersions, AGroupOfRequestsBecomesVisibleWhenItEndsAndEachRequestStaysAtomic) {
    server::Engine anOther(server::openRepositoryFile(path()));
    auto workspacesSeenByAnother = [&] {
        const std::string aList =
            R"({"action":"list","what":"inactiveWorkspaces","session":{"sessionType":"1"},"user":"*"})";
        std::vector<std::string> aUsers;
        const auto aReply = parseReply(anOther.call("ALICE", requestFrame(aList)));
        for (const auto& aValue : aReply->list("workspaces"))
            aUsers.push_back(getString(asObject(aValue), "user"));
        return aUsers;
    };

    engine().beginGroup();
    ASSERT_EQ(write("ALICE", kTxt, "fine")->code(), "0");
    ASSERT_EQ(write("ALICE", kJson, "{\n\"a\": 1,\n}")->code(), "0");
    EXPECT_NE(write("ALICE", object("nowhere", "x", "txt"), "x")->code(), "0");
    EXPECT_EQ(activate("ALICE", {kTxt, kJson}, "0")->code(), "40136");
    EXPECT_EQ(activeMetadata(kTxt)->code(), "40132") << "the failed activation is taken back";
    EXPECT_TRUE(workspacesSeenByAnother().empty());
    engine().endGroup();
    EXPECT_EQ(workspacesSeenByAnother(), std::vector<std::string>{"ALICE"});

    {
        server::Engine aDying(server::openRepositoryFile(path()));
        aDying.beginGroup();
        succeeded(parseReply(
            aDying.call("BOB", requestFrame(R"({"action":"write","what":"object","session":)" +
                                                session("BOB") + R"(,"object":)" + kTxt + "}",
                                            {"bob"}))));
    }
    EXPECT_EQ(workspacesSeenByAnother(), std::vector<std::string>{"ALICE"});
}

TEST(EngineRequests, MalformedRequestsAreRefusedAndNoFrameCrashesTheEngine) {
    EngineFixture aFixture;
    const std::pair<std::string, std::string> aCases[] = {
        {"{not json", "cannot be parsed"},
        {R"({"action":"fly","what":"away"})", "Unknown request"},
        {R"({"what":"package"})", "action"},
        {R"({"action":"read","what":"package"})", "package"},
        {R"({"action":"write","what":"object","session":{"sessionType":"9"}})", "session type"},
        {R"({"action":"create","what":"deliveryUnit","name":"x"})", "vendor"},
        {R"({"action":"read","what":"objects","session":{"sessionType":"1"},"objects":[1]})",
         "type"},
    };
    for (const auto& [aJson, aWord] : aCases) {
        auto aReply = aFixture.call("ALICE", aJson);
        EXPECT_EQ(aReply->code(), "40130") << aJson;
        EXPECT_THAT(aReply->get("error-msg"), HasSubstr(aWord)) << aJson;
    }
    auto aFailed = aFixture.call("ALICE", R"({"action":"get","what":"deliveryUnit"})");
    EXPECT_EQ(aFailed->code(), "40130");
    EXPECT_TRUE(json::getObject(aFailed->itsJson, "deliveryUnit").empty())
        << "the members of the answer are there also on failure";

    // Truncated frames are malformed too; frames with random bytes never crash the engine.
    std::string aValid = requestFrame(R"({"action":"get","what":"contentVendor"})", {"abc"});
    ASSERT_EQ(parseReply(aFixture.engine().call("ALICE", aValid))->get("contentVendor"),
              "example.com");
    for (std::size_t aSize = 0; aSize < aValid.size(); ++aSize)
        EXPECT_EQ(parseReply(aFixture.engine().call("ALICE", aValid.substr(0, aSize)))->code(),
                  "40130")
            << aSize;
    std::mt19937 aRandom(4711);
    for (int i = 0; i < 300; ++i) {
        std::string aFrame = aValid;
        for (int k = 0; k < 3; ++k)
            aFrame[aRandom() % aFrame.size()] = static_cast<char>(aRandom());
        EXPECT_EQ(aFixture.engine().call("ALICE", aFrame).compare(0, 6, "repoV2"), 0);
    }
}

// Both narrow the packages by the text before the pattern's first star; what they find must still
// be what the pattern matches, also where that text ends inside a character or at the last ASCII.
TEST_F(EngineVersions, FindAndListSearchThePackagesOfTheirPattern) {
    std::vector<std::string> anObjects = {object("p", "o", "txt")};
    for (const char* aPackage :
         {"p.a", "p.a.b", "pq", "p~x", "p\x7F", "p\xC3\xA9", "p\xC3\xA9.x", "q"}) {
        createPackage(aPackage);
        anObjects.push_back(object(aPackage, "o", "txt"));
    }
    for (const std::string& anObject : anObjects)
        ASSERT_EQ(write("ALICE", anObject, "x")->code(), "0");
    ASSERT_EQ(activate("ALICE", anObjects)->code(), "0");
    for (const std::string& anObject : anObjects)
        ASSERT_EQ(write("ALICE", anObject, "y")->code(), "0");

    using Names = std::vector<std::string>;
    const std::pair<std::string, Names> aCases[] = {
        {"p", {"p"}},
        {"p.*", {"p.a", "p.a.b"}},
        {"p~*", {"p~x"}},
        {"p\x7F*", {"p\x7F"}},
        {"p\xC3\xA9*", {"p\xC3\xA9", "p\xC3\xA9.x"}},
        {"*.b", {"p.a.b"}},
        {"p.*.b", {"p.a.b"}},
    };
    for (const std::string& aRequest :
         {std::string(R"({"action":"find","what":"objects",)") + kActive,
          R"({"action":"list","what":"objects","session":)" + session("ALICE")}) {
        auto aFind = [&](const std::string& thePattern) {
            Names aNames;
            const auto aReply =
                call("ALICE", aRequest + R"(,"package":")" + thePattern + R"(","name":""})");
            for (const auto& anElement : aReply->list("objects"))
                aNames.push_back(getString(getObject(asObject(anElement), "object"), "package"));
            return aNames;
        };
        for (const auto& [aPattern, aNames] : aCases)
            EXPECT_EQ(aFind(aPattern), aNames) << aRequest << " " << aPattern;
        EXPECT_EQ(aFind("p*").size(), 8u) << aRequest;
        for (const char* anAll : {"*", ""})
            EXPECT_EQ(aFind(anAll).size(), 9u) << aRequest;
    }
}

// A group's writes check their caller and their package once; a package that one of its own
// requests deletes is checked again, and a user removed between two groups is refused.
TEST_F(EngineVersions, KnownFactsLastOnlyAsLongAsTheTransactionThatFoundThem) {
    auto writeTo = [&](const std::string& theUser, const std::string& thePackage,
                       const std::string& theName) {
        return write(theUser, object(thePackage, theName, "txt"), theName)->code();
    };
    const std::string aMissingPackage = writeTo("ALICE", "nowhere", "x");
    createPackage("q");
    engine().beginGroup();
    ASSERT_EQ(writeTo("ALICE", "q", "a"), "0");
    succeeded(
        request("ALICE", "delete", "package", R"("package":"q","ignoreInactiveObjects":"1")"));
    EXPECT_EQ(writeTo("ALICE", "q", "b"), aMissingPackage);
    createPackage("q");
    EXPECT_EQ(writeTo("ALICE", "q", "c"), "0");
    engine().endGroup();

    {
        server::Engine anAdministrator(server::openRepositoryFile(path()));
        server::Transaction aTransaction(anAdministrator.store().database(), true);
        ASSERT_TRUE(anAdministrator.store().removeUser("ALICE"));
        aTransaction.commit();
    }
    engine().beginGroup();
    EXPECT_NE(writeTo("ALICE", "q", "d"), "0");
    EXPECT_EQ(writeTo("BOB", "q", "d"), "0");
    engine().endGroup();
}
