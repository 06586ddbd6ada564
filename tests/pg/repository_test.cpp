// The repository engine inside the database: what a repository user may touch, a large content as
// the tables keep it, and two users writing at once (a failing statement: pg.PgCallGroupTest).

#include "tests/pg/repositorysession.hpp"

#include <future>
#include <latch>

using namespace kivotest;

using PgRepositoryTest = SessionTest;

namespace {
const std::string kDeveloper = "DEVELOPER";
} // namespace

// Only the extension's owner holds a privilege on a table; a user reaches it through the procedure.
TEST_F(PgRepositoryTest, ARepositoryUserCallsTheProcedureAndTouchesNoTable) {
    EXPECT_EQ(itsAdmin->sql("select count(*) from information_schema.role_table_grants where "
                            "table_schema = 'sys' and grantee <> 'kivo_admin'"),
              "0");
    EXPECT_EQ(itsDeveloper->sql("select nextval('sys.objects_id_seq')"),
              "error: ERROR:  permission denied for sequence objects_id_seq");
    EXPECT_EQ(itsDeveloper->sql("create table sys.mine (a int)"),
              "error: ERROR:  permission denied for schema sys");
    // The installation function went with the script that made the repository.
    EXPECT_TRUE(contains(itsDeveloper->sql("select sys.kivo_install('X')"), "does not exist"));
    expectCode(R"({"action":"list","what":"allObjectTypes"})");
}

// A large text stored out of line comes back whole, also from the history (a binary content as
// bytea: pg.Commit.BinaryTypesTravelAsBinaryData).
TEST_F(PgRepositoryTest, ALargeContentComesBackWholeFromTheTables) {
    const std::string aPackage = package("contents");
    expectCode(createPackageJson(aPackage));
    const std::string aText = objectJson(aPackage, "a", "txt");
    const std::string aBig(3 * 1024 * 1024, 'k');
    expectCode(writeJson(kDeveloper, aText), "0", {aBig});
    expectCode(activateJson(kDeveloper, aText));
    const auto aRead = [&](const std::string& theVersion) {
        return expectCode(R"({"action":"read","what":"object","session":{"sessionType":"1"},)"
                          R"("object":)" +
                          aText + R"(,"version":)" + theVersion + R"(,"winformat":"0"})")
            ->content();
    };
    EXPECT_TRUE(aRead(R"({"versionType":"1"})") == aBig);
    expectCode(writeJson(kDeveloper, aText, "1"), "0", {"second"});
    expectCode(activateJson(kDeveloper, aText));
    EXPECT_TRUE(aRead(R"({"versionType":"3","versionNr":"1"})") == aBig);
}

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

// Two users write the same new object at the same moment, round after round: both first writes
// succeed on one object. Racing activations: pg.Concurrency (tests/e2e/concurrency_test.cpp).
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
