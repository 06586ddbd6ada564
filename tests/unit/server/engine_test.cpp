#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

#include <random>
#include <thread>

using namespace enginetest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getObject;
using RepositoryAccess::json::getString;

namespace {

const std::string kTxt = object("p", "a", "txt");
const std::string kJson = object("p", "conf", "json");

std::string activeMeta(const std::string& theVersion) {
    return R"({"edit":"true","version_id":")" + theVersion +
           R"(","activated_at":"","activated_by":"","object_status":"0","change_number":"","released_at":"","type":"1"})";
}

std::string inactiveMeta(const std::string& theVersion) {
    return R"({"edit":"true","version_id":")" + theVersion +
           R"(","last_changed_at":"","is_deletion":"false","type":"2"})";
}

std::string readObjectJson(const std::string& theSession, const std::string& theObject,
                           const std::string& theVersion, const std::string& theWinFormat = "0") {
    return R"({"action":"read","what":"object","session":)" + theSession + R"(,"object":)" +
           theObject + R"(,"version":)" + theVersion + R"(,"winformat":")" + theWinFormat + "\"}";
}

std::string metadataVersion(const Reply& theReply) {
    return getString(getObject(theReply.itsJson, "metadata"), "version_id");
}

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
};

} // namespace

TEST_F(EngineVersions, WritesOfNewAndKnownObjectsAreBasedOnTheVersionTheWriterSaw) {
    auto aFirst = write("ALICE", kTxt, "one");
    ASSERT_EQ(aFirst->code(), "0") << aFirst->text();
    EXPECT_EQ(metadataVersion(*aFirst), "1");
    EXPECT_EQ(getString(getObject(aFirst->itsJson, "metadata"), "type"), "2");
    ASSERT_EQ(activate("ALICE", {kTxt})->code(), "0");

    // Based on active version 1, then written again on top of its own inactive version 2.
    EXPECT_EQ(metadataVersion(*write("ALICE", kTxt, "two", activeMeta("1"))), "2");
    EXPECT_EQ(metadataVersion(*write("ALICE", kTxt, "two!", inactiveMeta("2"))), "2");
    auto anActivation = activate("ALICE", {kTxt});
    ASSERT_EQ(anActivation->code(), "0") << anActivation->text();
    EXPECT_EQ(severities(*anActivation), (std::vector<std::string>{"1:0", "4:0"}));

    auto aLatest = call(
        "ALICE",
        R"({"action":"get","what":"numberOfLatestVersion","session":{"sessionType":"1"},"object":)" +
            kTxt + "}");
    EXPECT_EQ(aLatest->get("version"), "2");
    auto aRead =
        call("ALICE", readObjectJson(R"({"sessionType":"1"})", kTxt, R"({"versionType":"1"})"));
    ASSERT_EQ(aRead->code(), "0");
    EXPECT_EQ(*aRead->itsMessage.getCDataVec().at(0), "two!");
    EXPECT_EQ(aRead->itsMessage.getBDataVec().size(), 1u);
}

TEST_F(EngineVersions, DeletionDependsOnWhetherAnActiveVersionExists) {
    std::string aDelete = R"({"action":"delete","what":"object","session":)" + session("ALICE") +
                          R"(,"object":)" + kTxt + "}";
    write("ALICE", kTxt, "x");
    auto aDropped = call("ALICE", aDelete);
    ASSERT_EQ(aDropped->code(), "0");
    EXPECT_EQ(aDropped->get("isReverted"), "1");
    EXPECT_EQ(call("ALICE", aDelete)->code(), "40132");

    write("ALICE", kTxt, "x");
    activate("ALICE", {kTxt});
    auto aDeletion = call("ALICE", aDelete);
    EXPECT_EQ(aDeletion->get("isReverted"), "0");
    auto anActivation = activate("ALICE", {kTxt});
    ASSERT_EQ(anActivation->code(), "0") << anActivation->text();
    EXPECT_EQ(activeMetadata(kTxt)->code(), "40132");
    auto aHistory = call("ALICE", R"({"action":"get","what":"history","object":)" + kTxt + "}");
    ASSERT_EQ(aHistory->list("history").size(), 2u);
    EXPECT_EQ(getString(asObject(aHistory->list("history")[1]), "isDeletion"), "true");
}

TEST_F(EngineVersions, RevertAndPullMoveOnlyWhatTheRulesAllow) {
    write("ALICE", kTxt, "alice");
    std::string aPull = R"({"action":"pull","what":"inactiveObjects","session":)" + session("BOB") +
                        R"(,"objList":[)" + kTxt + R"(],"user":"ALICE","workspace":""})";
    write("BOB", kTxt, "bob");
    EXPECT_EQ(call("BOB", aPull)->code(), "40131");

    auto aRevert = call("BOB", R"({"action":"delete","what":"revertObjects","session":)" +
                                   session("BOB") + R"(,"objList":[)" + kTxt + "]}");
    ASSERT_EQ(aRevert->code(), "0");
    ASSERT_EQ(call("BOB", aPull)->code(), "0");
    auto aRead = call("BOB", readObjectJson(session("BOB"), kTxt,
                                            R"({"versionType":"2","owner":"BOB","workspace":""})"));
    EXPECT_EQ(*aRead->itsMessage.getCDataVec().at(0), "alice");
    EXPECT_EQ(call("ALICE", R"({"action":"list","what":"objects","session":)" + session("ALICE") +
                                R"(,"name":""})")
                  ->code(),
              "40132");
}

TEST_F(EngineVersions, ActivationAfterAnotherUsersActivationIsAConflict) {
    write("ALICE", kTxt, "base");
    activate("ALICE", {kTxt});
    write("ALICE", kTxt, "alice", activeMeta("1"));
    write("BOB", kTxt, "bob", activeMeta("1"));
    ASSERT_EQ(activate("BOB", {kTxt})->code(), "0");

    auto aConflict = activate("ALICE", {kTxt});
    EXPECT_EQ(aConflict->code(), "40136");
    EXPECT_EQ(severities(*aConflict), (std::vector<std::string>{"3:40129", "4:40136"}));
    std::string aMessage = getString(asObject(aConflict->list("checkResults")[0]), "error-msg");
    EXPECT_NE(aMessage.find("p/a.txt"), std::string::npos) << aMessage;
    EXPECT_NE(aMessage.find("version 2"), std::string::npos) << aMessage;
    // Nothing was activated and Alice keeps her inactive version.
    EXPECT_EQ(metadataVersion(*activeMetadata(kTxt)), "2");
    EXPECT_EQ(call("ALICE", R"({"action":"list","what":"objects","session":)" + session("ALICE") +
                                R"(,"name":""})")
                  ->list("objects")
                  .size(),
              1u);
}

TEST_F(EngineVersions, ActivationModesDecideWhatHappensWithErrors) {
    write("ALICE", kTxt, "fine");
    write("ALICE", kJson, "{\n\"a\": 1,\n}");

    auto aCheck = activate("ALICE", {kTxt, kJson}, "0");
    EXPECT_EQ(aCheck->code(), "40136");
    std::string aMessage;
    for (const auto& aValue : aCheck->list("checkResults"))
        if (getString(asObject(aValue), "severity") == "3")
            aMessage = getString(asObject(aValue), "error-msg");
    EXPECT_NE(aMessage.find("(line 3"), std::string::npos) << aMessage;
    EXPECT_EQ(activate("ALICE", {kTxt, kJson}, "3")->code(), "40136");
    EXPECT_EQ(activeMetadata(kTxt)->code(), "40132");

    EXPECT_EQ(activate("ALICE", {kTxt}, "5")->code(), "0");
    EXPECT_EQ(activeMetadata(kTxt)->code(), "40132") << "mode 5 only checks";
    EXPECT_EQ(activate("ALICE", {kTxt}, "1")->code(), "40130");
    EXPECT_EQ(activate("ALICE", {kTxt}, "2")->code(), "40130");

    auto aForced = activate("ALICE", {kTxt, kJson}, "4");
    EXPECT_EQ(aForced->code(), "40137");
    EXPECT_EQ(getString(getObject(activeMetadata(kJson)->itsJson, "metadata"), "object_status"),
              "1");
    EXPECT_EQ(getString(getObject(activeMetadata(kTxt)->itsJson, "metadata"), "object_status"),
              "0");

    write("ALICE", object("p", "empty", "txt"), "");
    auto aWarning = activate("ALICE", {object("p", "empty", "txt")});
    EXPECT_EQ(aWarning->code(), "40137");
    EXPECT_EQ(severities(*aWarning), (std::vector<std::string>{"2:40137", "1:0", "4:40137"}));
}

TEST_F(EngineVersions, ModeFourOverridesAConflictWithANewNumber) {
    write("ALICE", kTxt, "base");
    activate("ALICE", {kTxt});
    write("ALICE", kTxt, "alice", activeMeta("1"));
    write("BOB", kTxt, "bob", activeMeta("1"));
    activate("BOB", {kTxt});
    EXPECT_EQ(activate("ALICE", {kTxt}, "4")->code(), "40137");
    EXPECT_EQ(metadataVersion(*activeMetadata(kTxt)), "3");
}

TEST_F(EngineVersions, HistoricalReadsByNumberAndByTimestamp) {
    {
        RepositoryAccess::server::RepositoryStore aStore(
            RepositoryAccess::server::openRepositoryFile(path()));
        RepositoryAccess::server::Transaction aTransaction(aStore.database(), true);
        std::int64_t anObject = aStore.createObject({"p", "a", "txt"});
        RepositoryAccess::server::HistoryRecord anEntry;
        anEntry.itsActivatedBy = "ALICE";
        anEntry.itsNumber = 1;
        anEntry.itsContent = "january";
        anEntry.itsActivatedAt = "2024-01-01 10:00:00.000";
        aStore.appendHistory(anObject, anEntry);
        anEntry.itsNumber = 2;
        anEntry.itsContent = "february";
        anEntry.itsActivatedAt = "2024-02-01 10:00:00.000";
        aStore.appendHistory(anObject, anEntry);
        aTransaction.commit();
    }
    auto aByNumber = call("ALICE", readObjectJson(R"({"sessionType":"1"})", kTxt,
                                                  R"({"versionType":"3","versionNr":"1"})"));
    EXPECT_EQ(*aByNumber->itsMessage.getCDataVec().at(0), "january");
    EXPECT_EQ(getString(getObject(aByNumber->itsJson, "metadata"), "type"), "3");
    EXPECT_EQ(call("ALICE", readObjectJson(R"({"sessionType":"1"})", kTxt,
                                           R"({"versionType":"3","versionNr":"7"})"))
                  ->code(),
              "40132");

    auto aRead = [&](const std::string& theTimestamp) {
        return call(
            "ALICE",
            R"({"action":"read","what":"objectMetadata","session":{"sessionType":"4","timestamp":")" +
                theTimestamp + R"("},"object":)" + kTxt + "}");
    };
    EXPECT_EQ(metadataVersion(*aRead("2024-02-01")), "1") << "a date means its midnight";
    EXPECT_EQ(metadataVersion(*aRead("2024-02-01 10:00:00.000")), "2");
    EXPECT_EQ(aRead("2023-12-31")->code(), "40112");
    EXPECT_EQ(aRead("yesterday")->code(), "40130");
}

TEST_F(EngineVersions, ContentIsKeptAsBytesExceptPropertiesAndWindowsLineEnds) {
    write("ALICE", object("p", "m", "properties"), "k=\xE9\n");
    write("ALICE", kTxt, "a\nb\r\nc");
    std::string aPng("\x89PNG\0\x01", 6);
    auto aWrite = call("ALICE",
                       R"({"action":"write","what":"object","session":)" + session("ALICE") +
                           R"(,"object":)" + object("p", "i", "png") + "}",
                       {}, {aPng});
    ASSERT_EQ(aWrite->code(), "0") << aWrite->text();
    activate("ALICE", {object("p", "m", "properties"), kTxt, object("p", "i", "png")});

    auto aRead = [&](const std::string& theObject, const std::string& theWinFormat) {
        return call("ALICE", readObjectJson(R"({"sessionType":"1"})", theObject,
                                            R"({"versionType":"1"})", theWinFormat));
    };
    EXPECT_EQ(*aRead(object("p", "m", "properties"), "0")->itsMessage.getCDataVec().at(0),
              "k=\xC3\xA9\n");
    EXPECT_EQ(*aRead(kTxt, "1")->itsMessage.getCDataVec().at(0), "a\r\nb\r\nc");
    EXPECT_EQ(*aRead(kTxt, "0")->itsMessage.getCDataVec().at(0), "a\nb\r\nc");
    auto anImage = aRead(object("p", "i", "png"), "1");
    EXPECT_EQ(*anImage->itsMessage.getBDataVec().at(0), aPng);
    EXPECT_EQ(*anImage->itsMessage.getCDataVec().at(0), "");
}

TEST_F(EngineVersions, ReadObjectsAnswersEachObjectInRequestOrder) {
    write("ALICE", kTxt, "a");
    write("ALICE", object("p", "b", "txt"), "b");
    activate("ALICE", {kTxt, object("p", "b", "txt")});
    auto aReply = call(
        "ALICE",
        R"({"action":"read","what":"objects","session":{"sessionType":"1"},"objects":[{"object":)" +
            object("p", "b", "txt") + R"(},{"object":)" + object("p", "missing", "txt") +
            R"(},{"object":)" + kTxt + R"(}],"winformat":"0"})");
    ASSERT_EQ(aReply->list("successfulObjects").size(), 2u);
    ASSERT_EQ(aReply->list("errorObjects").size(), 1u);
    EXPECT_EQ(*aReply->itsMessage.getCDataVec().at(0), "b");
    EXPECT_EQ(*aReply->itsMessage.getCDataVec().at(1), "a");
    const auto& anError = asObject(aReply->list("errorObjects")[0]);
    EXPECT_EQ(getString(getObject(anError, "error"), "error-code"), "40132");
    EXPECT_EQ(getString(getObject(anError, "object"), "name"), "missing");

    auto aFound = call(
        "ALICE",
        R"({"action":"find","what":"objects","session":{"sessionType":"1"},"package":"p*","name":"","suffixes":["txt"]})");
    EXPECT_EQ(aFound->list("objects").size(), 2u);
}

TEST_F(EngineVersions, WritesIntoAnotherUsersWorkspaceAreRefused) {
    std::string aWrite = R"({"action":"write","what":"object","session":)" + session("BOB") +
                         R"(,"object":)" + kTxt + "}";
    auto aReply = call("ALICE", aWrite, {"x"});
    EXPECT_EQ(aReply->code(), "40120");
    EXPECT_EQ(aReply->get("error-msg"), "Not authorized");
    EXPECT_EQ(call("ALICE", R"({"action":"activate","what":"objects","session":)" + session("BOB") +
                                R"(,"objList":[],"activationMode":"0"})")
                  ->code(),
              "40120");
    write("BOB", kTxt, "bob");
    EXPECT_EQ(call("ALICE", R"({"action":"delete","what":"inactiveWorkspace","session":)" +
                                session("ALICE") + R"(, "user":"BOB", "workspace":""})")
                  ->code(),
              "40120");
    auto aList = call(
        "ALICE",
        R"({"action":"list","what":"inactiveWorkspaces","session":{"sessionType":"1"},"user":"*"})");
    ASSERT_EQ(aList->list("workspaces").size(), 1u);
    EXPECT_EQ(getString(asObject(aList->list("workspaces")[0]), "user"), "BOB");
}

TEST_F(EngineVersions, TwoEnginesActivatingTheSameObjectAtOnceHaveOneWinner) {
    write("ALICE", kTxt, "alice");
    write("BOB", kTxt, "bob");
    RepositoryAccess::server::Engine aSecond(RepositoryAccess::server::openRepositoryFile(path()));
    std::string aCodes[2];
    auto anActivate = [&](RepositoryAccess::server::Engine& theEngine, const std::string& theUser,
                          std::string& theCode) {
        std::string aJson = R"({"action":"activate","what":"objects","session":)" +
                            session(theUser) + R"(,"objList":[)" + kTxt +
                            R"(],"activationMode":"0"})";
        theCode = parseReply(theEngine.call(theUser, requestFrame(aJson)))->code();
    };
    std::thread aFirst(anActivate, std::ref(engine()), "ALICE", std::ref(aCodes[0]));
    std::thread aSecondThread(anActivate, std::ref(aSecond), "BOB", std::ref(aCodes[1]));
    aFirst.join();
    aSecondThread.join();
    std::sort(std::begin(aCodes), std::end(aCodes));
    EXPECT_EQ(aCodes[0], "0");
    EXPECT_EQ(aCodes[1], "40136");
    EXPECT_EQ(metadataVersion(*activeMetadata(kTxt)), "1");
}

// Requests of a group share transactions: another connection sees none of them before the
// group ends, a refused or rolled-back request takes back only its own changes, and the
// requests of a group that is never ended (its process died) are lost together.
TEST_F(EngineVersions, AGroupOfRequestsBecomesVisibleWhenItEndsAndEachRequestStaysAtomic) {
    server::Engine anOther(server::openRepositoryFile(path()));
    auto workspacesSeenByAnother = [&] {
        const std::string aList =
            R"({"action":"list","what":"inactiveWorkspaces","session":{"sessionType":"1"},"user":"*"})";
        std::vector<std::string> aUsers;
        auto aReply = parseReply(anOther.call("ALICE", requestFrame(aList, {}, {})));
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
    auto aRead = parseReply(anOther.call(
        "ALICE",
        requestFrame(readObjectJson(session("ALICE"), kTxt,
                                    R"({"versionType":"2","owner":"ALICE","workspace":""})"),
                     {}, {})));
    ASSERT_EQ(aRead->code(), "0") << aRead->text();
    EXPECT_EQ(*aRead->itsMessage.getCDataVec().at(0), "fine");

    {
        server::Engine aDying(server::openRepositoryFile(path()));
        aDying.beginGroup();
        auto aWrite = parseReply(
            aDying.call("BOB", requestFrame(R"({"action":"write","what":"object","session":)" +
                                                session("BOB") + R"(,"object":)" + kTxt + "}",
                                            {"bob"}, {})));
        ASSERT_EQ(aWrite->code(), "0") << aWrite->text();
    }
    EXPECT_EQ(workspacesSeenByAnother(), std::vector<std::string>{"ALICE"});
}

TEST(EngineRequests, MalformedRequestsAreAnsweredWith40130) {
    EngineFixture aFixture;
    const std::vector<std::pair<std::string, std::string>> aCases = {
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
        EXPECT_NE(aReply->get("error-msg").find(aWord), std::string::npos)
            << aJson << " -> " << aReply->get("error-msg");
    }
    auto aFailed = aFixture.call("ALICE", R"({"action":"get","what":"deliveryUnit"})");
    EXPECT_EQ(aFailed->code(), "40130");
    EXPECT_TRUE(json::getObject(aFailed->itsJson, "deliveryUnit").empty())
        << "the members of the answer are there also on failure";
}

TEST(EngineRequests, RandomAndTruncatedFramesNeverCrashTheEngine) {
    EngineFixture aFixture;
    std::string aValid = requestFrame(R"({"action":"get","what":"contentVendor"})", {"abc"});
    ASSERT_EQ(parseReply(aFixture.engine().call("ALICE", aValid))->get("contentVendor"),
              "example.com");
    for (std::size_t aSize = 0; aSize < aValid.size(); ++aSize) {
        auto aReply = parseReply(aFixture.engine().call("ALICE", aValid.substr(0, aSize)));
        EXPECT_EQ(aReply->code(), "40130") << aSize;
    }
    std::mt19937 aRandom(4711);
    for (int i = 0; i < 300; ++i) {
        std::string aFrame = aValid;
        for (int k = 0; k < 3; ++k)
            aFrame[aRandom() % aFrame.size()] = static_cast<char>(aRandom());
        std::string anAnswer = aFixture.engine().call("ALICE", aFrame);
        EXPECT_EQ(anAnswer.compare(0, 6, "repoV2"), 0);
    }
}

// A search, and a listing of inactive objects, narrow the packages by the text before the
// pattern's first star; what they find is what the pattern matches, also where that text ends
// inside a character or at the last ASCII one.
TEST_F(EngineVersions, FindAndListSearchThePackagesOfTheirPattern) {
    const std::vector<std::string> aPackages = {"p.a",   "p.a.b",     "pq",          "p~x",
                                                "p\x7F", "p\xC3\xA9", "p\xC3\xA9.x", "q"};
    std::vector<std::string> anObjects = {object("p", "o", "txt")};
    for (const std::string& aPackage : aPackages) {
        createPackage(aPackage);
        anObjects.push_back(object(aPackage, "o", "txt"));
    }
    for (const std::string& anObject : anObjects)
        ASSERT_EQ(write("ALICE", anObject, "x")->code(), "0");
    ASSERT_EQ(activate("ALICE", anObjects)->code(), "0");
    for (const std::string& anObject : anObjects)
        ASSERT_EQ(write("ALICE", anObject, "y")->code(), "0");

    auto aFound = [&](const std::string& theRequest, const std::string& thePattern) {
        auto aReply =
            call("ALICE", theRequest + R"(,"package":")" + thePattern + R"(","name":""})");
        std::vector<std::string> aNames;
        for (const auto& anElement : aReply->list("objects"))
            aNames.push_back(getString(getObject(asObject(anElement), "object"), "package"));
        return aNames;
    };
    using Names = std::vector<std::string>;
    for (const std::string& aRequest :
         {std::string(R"({"action":"find","what":"objects","session":{"sessionType":"1"})"),
          R"({"action":"list","what":"objects","session":)" + session("ALICE")}) {
        auto aFind = [&](const std::string& thePattern) { return aFound(aRequest, thePattern); };
        EXPECT_EQ(aFind("p"), Names{"p"}) << aRequest;
        EXPECT_EQ(aFind("p.*"), (Names{"p.a", "p.a.b"}));
        EXPECT_EQ(aFind("p~*"), Names{"p~x"});
        EXPECT_EQ(aFind("p\x7F*"), Names{"p\x7F"});
        EXPECT_EQ(aFind("p\xC3\xA9*"), (Names{"p\xC3\xA9", "p\xC3\xA9.x"}));
        EXPECT_EQ(aFind("p*").size(), 8u);
        EXPECT_EQ(aFind("*").size(), 9u);
        EXPECT_EQ(aFind("").size(), 9u);
        EXPECT_EQ(aFind("*.b"), Names{"p.a.b"});
        EXPECT_EQ(aFind("p.*.b"), Names{"p.a.b"});
    }
}
