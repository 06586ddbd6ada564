// Two users of the repository inside the database, each on a connection of its own, send their
// requests at the same moment, round after round: two first writes of the same new object both
// succeed (the second writer waits for the first and finds its object), and of their two
// activations exactly one goes through while the other is refused as an activation conflict
// (40129). The embedded equivalent is tests/e2e/concurrency_test.cpp.

#include "tests/pg/repositorysession.hpp"

#include <functional>
#include <future>
#include <latch>

using namespace kivotest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getString;

namespace {

constexpr int kRounds = 30;
const std::string kUsers[] = {"DEVELOPER", "RIVAL"};

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
class PgRace : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        if (IsSkipped())
            return;
        // Tests may set up at once: a role another one made meanwhile is as good.
        ASSERT_EQ(itsAdmin->sql("do $$ begin create role \"RIVAL\" login password 'r1val'; "
                                "exception when duplicate_object or unique_violation then null; "
                                "end $$"),
                  "");
        ASSERT_EQ(itsAdmin->sql("insert into sys.users (name, password_hash) values ('RIVAL', '') "
                                "on conflict do nothing"),
                  "");
        ASSERT_EQ(itsAdmin->sql("grant \"kivo_ZEV_users\" to \"RIVAL\""), "");
        itsRival = connect(kUsers[1], "r1val");
        expectCode(createPackageJson(itsPackage));
    }

    // Sends theRequest(user) with theContent(user) of both users at the same moment; their
    // answers, in user order.
    std::vector<std::unique_ptr<RepositoryAnswer>>
    atOnce(const std::function<std::string(const std::string&)>& theRequest,
           const std::function<std::string(const std::string&)>& theContent) {
        std::latch aStart(2);
        RepositorySession* aSessions[] = {itsDeveloper.get(), itsRival.get()};
        auto aSend = [&](std::size_t theUser) {
            const std::string aJson = theRequest(kUsers[theUser]);
            const std::string aContent = theContent(kUsers[theUser]);
            aStart.arrive_and_wait();
            return aSessions[theUser]->call(aJson, aContent.empty() ? std::vector<std::string>()
                                                                    : std::vector{aContent});
        };
        auto aFirst = std::async(std::launch::async, aSend, 0);
        auto aSecond = std::async(std::launch::async, aSend, 1);
        std::vector<std::unique_ptr<RepositoryAnswer>> anAnswers;
        anAnswers.push_back(aFirst.get());
        anAnswers.push_back(aSecond.get());
        return anAnswers;
    }

    std::unique_ptr<RepositorySession> itsRival;
    const std::string itsPackage = package("race");
};

} // namespace

TEST_F(PgRace, SimultaneousFirstWritesAndActivationsOfANewObjectLetExactlyOneActivationThrough) {
    for (int aRound = 0; aRound < kRounds; ++aRound) {
        SCOPED_TRACE("round " + std::to_string(aRound));
        const std::string anObject = objectJson(itsPackage, "new" + std::to_string(aRound), "txt");
        const auto aContent = [&](const std::string& theUser) {
            return theUser + " in round " + std::to_string(aRound);
        };
        auto aWrites = atOnce(
            [&](const std::string& theUser) { return writeJson(theUser, anObject); }, aContent);
        for (std::size_t i = 0; i < aWrites.size(); ++i) {
            ASSERT_TRUE(aWrites[i]->itsCalled) << kUsers[i] << ": " << aWrites[i]->itsFailure;
            ASSERT_EQ(aWrites[i]->code(), "0") << aWrites[i]->itsJson;
        }

        auto anActivations =
            atOnce([&](const std::string& theUser) { return activateJson(theUser, anObject); },
                   [](const std::string&) { return std::string(); });
        std::string aWinner;
        int aConflicts = 0;
        for (std::size_t i = 0; i < anActivations.size(); ++i) {
            const RepositoryAnswer& anAnswer = *anActivations[i];
            EXPECT_TRUE(anAnswer.itsCalled) << kUsers[i] << ": " << anAnswer.itsFailure;
            if (anAnswer.itsCalled && anAnswer.code() == "0") {
                EXPECT_EQ(aWinner, "") << "two activations succeeded";
                aWinner = kUsers[i];
            } else if (isConflict(anAnswer)) {
                ++aConflicts;
            } else {
                ADD_FAILURE() << kUsers[i] << ": unexpected answer " << anAnswer.itsJson;
            }
        }
        ASSERT_EQ(aConflicts, 1);
        auto aRead = itsRival->call(
            R"({"action":"read","what":"object","session":{"sessionType":"1"},"object":)" +
            anObject + R"(,"version":{"versionType":"1"},"winformat":"0"})");
        EXPECT_EQ(aRead->content(), aContent(aWinner));
    }
}
