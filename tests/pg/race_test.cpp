// Two users of the repository inside the database, each on a connection of its own, send their
// requests at the same moment, round after round. Of two activations of the same object exactly
// one goes through and the other is refused as an activation conflict (40129), and the history
// holds every successful activation in order; two first writes of the same new object both
// succeed (the second writer waits for the first and finds its object). The embedded equivalent
// is tests/e2e/concurrency_test.cpp.

#include "tests/pg/clusterfacts.hpp"
#include "tests/pg/repositorysession.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <latch>

#include <unistd.h>

using namespace kivotest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getString;

namespace {

constexpr int kRounds = 30;

// True when theAnswer refused the activation with a conflict check of severity 3.
bool isConflict(const RepositoryAnswer& theAnswer) {
    if (!theAnswer.itsCalled || theAnswer.code() == "0")
        return false;
    for (const auto& aCheck : theAnswer.list("checkResults"))
        if (getString(asObject(aCheck), "severity") == "3" &&
            getString(asObject(aCheck), "error-code") == "40129")
            return true;
    return false;
}

// DEVELOPER and a second repository user RIVAL (a login role with its row in the users table,
// made here by the administrator), each connected, and a package of this process's own.
class PgRace : public ::testing::Test {
protected:
    void SetUp() override {
        auto aFacts = readClusterFacts();
        if (aFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
        auto anAdmin = RepositorySession::admin(aFacts);
        ASSERT_TRUE(anAdmin->connected()) << anAdmin->connectError();
        // The two tests may set up at once: a role the other one made meanwhile is as good.
        ASSERT_EQ(anAdmin->sql("do $$ begin create role \"RIVAL\" login password 'r1val'; "
                               "exception when duplicate_object or unique_violation then null; "
                               "end $$"),
                  "");
        ASSERT_EQ(anAdmin->sql("insert into sys.users (name, password_hash) values ('RIVAL', '') "
                               "on conflict do nothing"),
                  "");
        ASSERT_EQ(anAdmin->sql("grant \"kivo_ZEV_users\" to \"RIVAL\""), "");
        itsSessions.push_back(std::make_unique<RepositorySession>(aFacts, kUsers[0], "s3cret"));
        itsSessions.push_back(std::make_unique<RepositorySession>(aFacts, kUsers[1], "r1val"));
        for (const auto& aSession : itsSessions)
            ASSERT_TRUE(aSession->connected()) << aSession->connectError();
        ASSERT_EQ(itsSessions[0]->call(createPackageJson(itsPackage))->code(), "0");
    }

    // Sends theRequest(user) of both users at the same moment; their answers, in user order.
    std::vector<std::unique_ptr<RepositoryAnswer>> atOnce(
        const std::function<std::string(const std::string&)>& theRequest,
        const std::function<std::vector<std::string>(const std::string&)>& theCData =
            [](const std::string&) { return std::vector<std::string>(); }) {
        std::latch aStart(2);
        auto aSend = [&](std::size_t theUser) {
            const std::string aJson = theRequest(kUsers[theUser]);
            const std::vector<std::string> aCData = theCData(kUsers[theUser]);
            aStart.arrive_and_wait();
            return itsSessions[theUser]->call(aJson, aCData);
        };
        auto aFirst = std::async(std::launch::async, aSend, 0);
        auto aSecond = std::async(std::launch::async, aSend, 1);
        std::vector<std::unique_ptr<RepositoryAnswer>> anAnswers;
        anAnswers.push_back(aFirst.get());
        anAnswers.push_back(aSecond.get());
        return anAnswers;
    }

    // Activates theObject of both users at once: exactly one succeeds, the other conflicts.
    // Returns the winner ("" after a failure).
    std::string raceActivations(const std::string& theObject, int theRound) {
        auto anAnswers =
            atOnce([&](const std::string& theUser) { return activateJson(theUser, theObject); });
        std::string aWinner;
        int aConflicts = 0;
        for (std::size_t i = 0; i < anAnswers.size(); ++i) {
            const RepositoryAnswer& anAnswer = *anAnswers[i];
            EXPECT_TRUE(anAnswer.itsCalled) << kUsers[i] << ": " << anAnswer.itsFailure;
            if (anAnswer.itsCalled && anAnswer.code() == "0") {
                EXPECT_EQ(aWinner, "") << "round " << theRound << ": two activations succeeded";
                aWinner = kUsers[i];
            } else if (isConflict(anAnswer)) {
                ++aConflicts;
            } else {
                ADD_FAILURE() << "round " << theRound << ", " << kUsers[i] << ": unexpected answer "
                              << anAnswer.itsJson;
            }
        }
        EXPECT_EQ(aConflicts, 1) << "round " << theRound;
        return aConflicts == 1 ? aWinner : std::string();
    }

    static std::string contentOf(const std::string& theUser, int theRound) {
        return theUser + " in round " + std::to_string(theRound);
    }

    const std::vector<std::string> kUsers = {"DEVELOPER", "RIVAL"};
    const std::string itsPackage = "race" + std::to_string(::getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::vector<std::unique_ptr<RepositorySession>> itsSessions;
};

} // namespace

TEST_F(PgRace, SimultaneousActivationsOfOneObjectLetExactlyOneThroughEachRound) {
    const std::string anObject = objectJson(itsPackage, "x", "txt");
    std::vector<std::string> aWinners;
    for (int aRound = 0; aRound < kRounds; ++aRound) {
        const std::string aLatest =
            itsSessions[0]->call(latestVersionJson(anObject))->member("version");
        ASSERT_EQ(aLatest, std::to_string(aRound));
        auto aWrites = atOnce(
            [&](const std::string& theUser) {
                return writeJson(theUser, anObject, aRound == 0 ? "" : activeMetadataJson(aLatest));
            },
            [&](const std::string& theUser) {
                return std::vector<std::string>{contentOf(theUser, aRound)};
            });
        for (const auto& aWrite : aWrites)
            ASSERT_EQ(aWrite->code(), "0") << aWrite->itsFailure << aWrite->itsJson;
        const std::string aWinner = raceActivations(anObject, aRound);
        ASSERT_NE(aWinner, "") << "round " << aRound;
        aWinners.push_back(aWinner);
    }

    auto aHistory =
        itsSessions[1]->call(R"({"action":"get","what":"history","object":)" + anObject + "}");
    ASSERT_EQ(aHistory->code(), "0") << aHistory->itsFailure << aHistory->itsJson;
    const auto& anEntries = aHistory->list("history");
    ASSERT_EQ(anEntries.size(), aWinners.size());
    for (std::size_t i = 0; i < anEntries.size(); ++i) {
        EXPECT_EQ(getString(asObject(anEntries[i]), "versionId"), std::to_string(i + 1));
        EXPECT_EQ(getString(asObject(anEntries[i]), "activatedBy"), aWinners[i])
            << "version " << i + 1;
    }
    auto aLast = itsSessions[0]->call(
        R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" + anObject +
        R"(,"version":{"versionType":"1"},"winformat":"0"})");
    EXPECT_EQ(aLast->content(), contentOf(aWinners.back(), kRounds - 1));
}

// A write of an object that does not exist yet creates it: of two such writes at once the
// second must wait for the first and find the object, not fail on the object's key.
TEST_F(PgRace, SimultaneousFirstWritesOfANewObjectBothSucceed) {
    for (int aRound = 0; aRound < kRounds; ++aRound) {
        const std::string anObject = objectJson(itsPackage, "new" + std::to_string(aRound), "txt");
        auto aWrites =
            atOnce([&](const std::string& theUser) { return writeJson(theUser, anObject); },
                   [&](const std::string& theUser) {
                       return std::vector<std::string>{contentOf(theUser, aRound)};
                   });
        for (std::size_t i = 0; i < aWrites.size(); ++i) {
            ASSERT_TRUE(aWrites[i]->itsCalled)
                << "round " << aRound << ", " << kUsers[i] << ": " << aWrites[i]->itsFailure;
            ASSERT_EQ(aWrites[i]->code(), "0") << aWrites[i]->itsJson;
        }
        const std::string aWinner = raceActivations(anObject, aRound);
        ASSERT_NE(aWinner, "") << "round " << aRound;
        auto aRead = itsSessions[1]->call(
            R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" +
            anObject + R"(,"version":{"versionType":"1"},"winformat":"0"})");
        EXPECT_EQ(aRead->content(), contentOf(aWinner, aRound));
    }
}
