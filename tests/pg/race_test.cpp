// Two users, each on a connection of its own, write the same new object at the same moment, round
// after round: both first writes succeed on one object (the second writer waits for the first).
// Their racing activations are tests/e2e/concurrency_test.cpp's, which runs here too (pg.*).

#include "tests/pg/repositorysession.hpp"

#include <future>
#include <latch>

using namespace kivotest;

namespace {

const std::string kUsers[] = {"DEVELOPER", "RIVAL"};

// DEVELOPER and a second repository user RIVAL (made here by the administrator), each
// connected, and a package of this process's own.
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

    std::unique_ptr<RepositorySession> itsRival;
    const std::string itsPackage = package("race");
};

} // namespace

TEST_F(PgRace, SimultaneousFirstWritesOfANewObjectBothSucceed) {
    for (int aRound = 0; aRound < 30; ++aRound) {
        SCOPED_TRACE("round " + std::to_string(aRound));
        const std::string anObject = objectJson(itsPackage, "new" + std::to_string(aRound), "txt");
        std::latch aStart(2);
        RepositorySession* aSessions[] = {itsDeveloper.get(), itsRival.get()};
        auto aSend = [&](std::size_t theUser) {
            const std::string aJson = writeJson(kUsers[theUser], anObject);
            aStart.arrive_and_wait();
            return aSessions[theUser]->call(aJson, {kUsers[theUser]});
        };
        auto aFirst = std::async(std::launch::async, aSend, 0);
        auto aSecond = std::async(std::launch::async, aSend, 1);
        const std::unique_ptr<RepositoryAnswer> aWrites[] = {aFirst.get(), aSecond.get()};
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_TRUE(aWrites[i]->itsCalled) << kUsers[i] << ": " << aWrites[i]->itsFailure;
            ASSERT_EQ(aWrites[i]->code(), "0") << aWrites[i]->itsJson;
        }
        // One object, with an inactive version of each user.
        EXPECT_EQ(itsAdmin->sql("select count(distinct o.id) || '/' || count(*) from sys.objects o "
                                "join sys.inactive_versions i on i.object_id = o.id where "
                                "o.package = '" +
                                itsPackage + "' and o.name = 'new" + std::to_string(aRound) + "'"),
                  "1/2");
    }
}
