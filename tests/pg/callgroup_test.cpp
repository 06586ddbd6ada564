// A group of repository calls on the server shares its transactions: what the group wrote stays
// invisible to others until the group commits; a refused request inside it leaves no trace and
// the others stand; a call that fails takes back only the open transaction; and a connection
// that dies inside a group loses only what the group had not committed, which a rerun completes.

#include "tests/pg/clusterfacts.hpp"
#include "tests/pg/repositorysession.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kivotest;

namespace {

const std::string kDeveloper = "DEVELOPER";

class PgCallGroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFacts = readClusterFacts();
        if (itsFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
        itsDeveloper = connectDeveloper();
        itsAdmin = RepositorySession::admin(itsFacts);
        ASSERT_TRUE(itsAdmin->connected()) << itsAdmin->connectError();
        itsPackage = "group" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
        expectCode(*itsDeveloper, createPackageJson(itsPackage), "0");
    }

    std::unique_ptr<RepositorySession> connectDeveloper() {
        auto aSession = std::make_unique<RepositorySession>(itsFacts, kDeveloper, "s3cret");
        EXPECT_TRUE(aSession->connected()) << aSession->connectError();
        return aSession;
    }

    static void expectCode(RepositorySession& theSession, const std::string& theJson,
                           const std::string& theCode,
                           const std::vector<std::string>& theCData = {"text"}) {
        auto anAnswer = theSession.call(theJson, theCData);
        EXPECT_TRUE(anAnswer->itsCalled) << theJson << ": " << anAnswer->itsFailure;
        EXPECT_EQ(anAnswer->code(), theCode) << theJson << ": " << anAnswer->itsJson;
    }

    std::string write(const std::string& theName) {
        return writeJson(kDeveloper, objectJson(itsPackage, theName, "txt"));
    }

    // The names of the package's objects as the administrator sees them, committed only.
    std::string committedObjects() {
        return itsAdmin->sql("select coalesce(string_agg(name, ',' order by name), '') from "
                             "sys.objects where package = '" +
                             itsPackage + "'");
    }

    std::map<std::string, std::string> itsFacts;
    std::unique_ptr<RepositorySession> itsDeveloper;
    std::unique_ptr<RepositorySession> itsAdmin;
    std::string itsPackage;
};

} // namespace

TEST_F(PgCallGroupTest, ARefusedOrFailedRequestInAGroupTakesBackOnlyWhatItMust) {
    itsDeveloper->beginGroup();
    expectCode(*itsDeveloper, write("a"), "0");
    // Refused by the engine: an object of a package that does not exist, and an activation that
    // only checks (its work is rolled back by the engine).
    expectCode(*itsDeveloper, writeJson(kDeveloper, objectJson(itsPackage + "_none", "x", "txt")),
               "40111");
    expectCode(*itsDeveloper, activateJson(kDeveloper, objectJson(itsPackage, "a", "txt"), "5"),
               "0");
    expectCode(*itsDeveloper, write("b"), "0");
    // Nobody else sees the group's work before it commits.
    EXPECT_EQ(committedObjects(), "");
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    EXPECT_EQ(committedObjects(), "a,b");
    EXPECT_EQ(itsAdmin->sql("select count(*) from sys.history h join sys.objects o on o.id = "
                            "h.object_id where o.package = '" +
                            itsPackage + "'"),
              "0");

    // A statement that fails inside the extension takes back the open transaction (here the
    // write of c before it) and the session goes on with the group's next transaction.
    const std::string aConstraint = "kivo_group_poison_" + std::to_string(::getpid());
    ASSERT_EQ(itsAdmin->sql("alter table sys.inactive_versions add constraint " + aConstraint +
                            " check (content is null or content <> convert_to('poison', "
                            "'UTF8'))"),
              "");
    itsDeveloper->beginGroup();
    expectCode(*itsDeveloper, write("c"), "0");
    auto aFailed = itsDeveloper->call(write("d"), {"poison"});
    EXPECT_FALSE(aFailed->itsCalled);
    EXPECT_NE(aFailed->itsFailure.find(aConstraint), std::string::npos) << aFailed->itsFailure;
    ASSERT_EQ(itsAdmin->sql("alter table sys.inactive_versions drop constraint " + aConstraint),
              "");
    expectCode(*itsDeveloper, write("e"), "0");
    // The end of the group tells that c, although answered, is gone.
    EXPECT_EQ(itsDeveloper->endGroup(),
              "The server took back the group's last 1 answered requests with a failed one: " +
                  aFailed->itsFailure);
    EXPECT_EQ(committedObjects(), "a,b,e");
}

TEST_F(PgCallGroupTest, AConnectionKilledInAGroupLosesOnlyItsOpenTransaction) {
    const std::string aBackend = itsDeveloper->sql("select pg_backend_pid()");
    itsDeveloper->beginGroup();
    expectCode(*itsDeveloper, write("a"), "0");
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    itsDeveloper->beginGroup();
    expectCode(*itsDeveloper, write("b"), "0");
    expectCode(*itsDeveloper, write("c"), "0");
    EXPECT_EQ(itsAdmin->sql("select pg_terminate_backend(" + aBackend + ")"), "t");
    EXPECT_FALSE(itsDeveloper->call(write("d"))->itsCalled);
    EXPECT_NE(itsDeveloper->endGroup().find("took back the group's last 2 answered requests"),
              std::string::npos);
    EXPECT_EQ(committedObjects(), "a");

    // The rerun sends the same writes again on a new connection and completes the group; the
    // write lock that the killed transaction held is free.
    auto aRerun = connectDeveloper();
    aRerun->beginGroup();
    for (const char* aName : {"a", "b", "c", "d"})
        expectCode(*aRerun, write(aName), "0");
    EXPECT_EQ(aRerun->endGroup(), "");
    EXPECT_EQ(committedObjects(), "a,b,c,d");
}

// Calls sent together (the pipelined windows of callAll) answer in their order, each on its own:
// a refused one among them is only its own answer, and the group holds them all.
TEST_F(PgCallGroupTest, CallsSentTogetherAnswerInOrderAcrossWindows) {
    std::vector<std::pair<std::string, std::vector<std::string>>> aRequests;
    for (int i = 0; i < 250; ++i)
        aRequests.push_back(
            {i == 150 ? writeJson(kDeveloper, objectJson(itsPackage + "_none", "x", "txt"))
                      : write("o" + std::to_string(1000 + i)),
             {"text"}});
    itsDeveloper->beginGroup();
    const auto anOutcome = itsDeveloper->callAll(aRequests);
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    ASSERT_EQ(anOutcome.itsFailure, "");
    ASSERT_EQ(anOutcome.itsCodes.size(), aRequests.size());
    for (std::size_t i = 0; i < anOutcome.itsCodes.size(); ++i)
        EXPECT_EQ(anOutcome.itsCodes[i], i == 150 ? "40111" : "0") << "call " << i;
    EXPECT_EQ(itsAdmin->sql("select count(*) from sys.objects where package = '" + itsPackage +
                            "' and name between 'o1000' and 'o1249'"),
              "249");

    // Outside a group each window commits on its own; the session goes on with single calls.
    const auto aSingle = itsDeveloper->callAll({{write("p1"), {"text"}}, {write("p2"), {"text"}}});
    EXPECT_EQ(aSingle.itsFailure, "");
    EXPECT_EQ(aSingle.itsCodes, (std::vector<std::string>{"0", "0"}));
    expectCode(*itsDeveloper, write("p3"), "0");
    EXPECT_EQ(itsAdmin->sql("select string_agg(name, ',' order by name) from sys.objects where "
                            "package = '" +
                            itsPackage + "' and name like 'p%'"),
              "p1,p2,p3");
}

// A call that fails inside the server among calls sent together takes back the group's open
// transaction, the calls behind it are not made, and the connection is usable at once.
TEST_F(PgCallGroupTest, AFailedCallAmongCallsSentTogetherTakesBackTheOpenTransaction) {
    const std::string aConstraint = "kivo_pipe_poison_" + std::to_string(::getpid());
    ASSERT_EQ(itsAdmin->sql("alter table sys.inactive_versions add constraint " + aConstraint +
                            " check (content is null or content <> convert_to('poison', "
                            "'UTF8'))"),
              "");
    itsDeveloper->beginGroup();
    const auto anOutcome = itsDeveloper->callAll(
        {{write("a"), {"text"}}, {write("b"), {"poison"}}, {write("c"), {"text"}}});
    ASSERT_EQ(itsAdmin->sql("alter table sys.inactive_versions drop constraint " + aConstraint),
              "");
    EXPECT_NE(anOutcome.itsFailure.find(aConstraint), std::string::npos) << anOutcome.itsFailure;
    EXPECT_TRUE(anOutcome.itsCodes.empty());
    expectCode(*itsDeveloper, write("d"), "0");
    const std::string anEnd = itsDeveloper->endGroup();
    EXPECT_NE(anEnd.find("took back the group's last 1 answered requests"), std::string::npos)
        << anEnd;
    EXPECT_EQ(committedObjects(), "d");
}
