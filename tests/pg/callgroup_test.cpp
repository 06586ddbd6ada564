// Groups of repository calls and calls sent together on the server: what their transactions take
// back when a request is refused, a statement fails or the connection is lost.

#include "tests/pg/repositorysession.hpp"
#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

namespace {

const std::string kDeveloper = "DEVELOPER";

class PgCallGroupTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        if (!IsSkipped())
            expectCode(createPackageJson(itsPackage));
    }

    std::string write(const std::string& theName) {
        return writeJson(kDeveloper, objectJson(itsPackage, theName, "txt"));
    }
    // A write the engine refuses: an object of a package that does not exist.
    std::string refusedWrite() {
        return writeJson(kDeveloper, objectJson(itsPackage + "_none", "x", "txt"));
    }

    // The names of the package's objects as the administrator sees them, committed only.
    std::string committedObjects(const std::string& theCondition = "true") {
        return itsAdmin->sql("select coalesce(string_agg(name, ',' order by name), '') from "
                             "sys.objects where package = '" +
                             itsPackage + "' and " + theCondition);
    }

    const std::string itsPackage = package("group");
};

} // namespace

TEST_F(PgCallGroupTest, ARefusedOrFailedRequestInAGroupTakesBackOnlyWhatItMust) {
    itsDeveloper->beginGroup();
    expectCode(write("a"), "0", {"text"});
    // Refused by the engine: a write, and an activation that only checks.
    expectCode(refusedWrite(), "40111", {"text"});
    expectCode(activateJson(kDeveloper, objectJson(itsPackage, "a", "txt"), "5"));
    expectCode(write("b"), "0", {"text"});
    EXPECT_EQ(committedObjects(), "");
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    EXPECT_EQ(committedObjects(), "a,b");
    EXPECT_EQ(itsAdmin->sql("select count(*) from sys.history h join sys.objects o on o.id = "
                            "h.object_id where o.package = '" +
                            itsPackage + "'"),
              "0");

    // A failing statement takes back the open transaction (c's write too); the group goes on.
    const std::string aConstraint = poison("inactive_versions");
    itsDeveloper->beginGroup();
    expectCode(write("c"), "0", {"text"});
    auto aFailed = itsDeveloper->call(write("d"), {itsPoison});
    EXPECT_FALSE(aFailed->itsCalled);
    EXPECT_TRUE(contains(aFailed->itsFailure, "kivo repository failure")) << aFailed->itsFailure;
    EXPECT_TRUE(contains(aFailed->itsFailure, aConstraint)) << aFailed->itsFailure;
    cure("inactive_versions");
    expectCode(write("e"), "0", {"text"});
    EXPECT_EQ(itsDeveloper->endGroup(),
              "The server took back the group's last 1 answered requests with a failed one: " +
                  aFailed->itsFailure);
    EXPECT_EQ(committedObjects(), "a,b,e");
}

TEST_F(PgCallGroupTest, AConnectionKilledInAGroupLosesOnlyItsOpenTransaction) {
    const std::string aBackend = itsDeveloper->sql("select pg_backend_pid()");
    itsDeveloper->beginGroup();
    expectCode(write("a"), "0", {"text"});
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    itsDeveloper->beginGroup();
    expectCode(write("b"), "0", {"text"});
    expectCode(write("c"), "0", {"text"});
    EXPECT_EQ(itsAdmin->sql("select pg_terminate_backend(" + aBackend + ")"), "t");
    EXPECT_FALSE(itsDeveloper->call(write("d"))->itsCalled);
    EXPECT_TRUE(
        contains(itsDeveloper->endGroup(), "took back the group's last 2 answered requests"));
    EXPECT_EQ(committedObjects(), "a");

    // A rerun on a new connection completes the group: the killed one's write lock is free.
    auto aRerun = connect(kDeveloper, "s3cret");
    aRerun->beginGroup();
    for (const char* aName : {"a", "b", "c", "d"})
        expectCode(write(aName), "0", {"text"}, aRerun.get());
    EXPECT_EQ(aRerun->endGroup(), "");
    EXPECT_EQ(committedObjects(), "a,b,c,d");
}

// Calls sent together (callAll's windows, one statement each) answer in order, each on its own;
// a window commits on its own, after the group's open transaction, at once.
TEST_F(PgCallGroupTest, CallsSentTogetherAnswerInOrderAcrossWindows) {
    std::vector<std::pair<std::string, std::vector<std::string>>> aRequests;
    for (int i = 0; i < 250; ++i)
        aRequests.push_back(
            {i == 150 ? refusedWrite() : write("o" + std::to_string(1000 + i)), {"text"}});
    itsDeveloper->beginGroup();
    const auto anOutcome = itsDeveloper->callAll(aRequests);
    EXPECT_EQ(itsAdmin->sql("select count(*) from sys.objects where package = '" + itsPackage +
                            "' and name between 'o1000' and 'o1249'"),
              "249");
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    ASSERT_EQ(anOutcome.itsFailure, "");
    ASSERT_EQ(anOutcome.itsCodes.size(), aRequests.size());
    for (std::size_t i = 0; i < anOutcome.itsCodes.size(); ++i)
        EXPECT_EQ(anOutcome.itsCodes[i], i == 150 ? "40111" : "0") << "call " << i;

    // Outside a group: a read among calls sent together sees what the calls before it wrote, and
    // they commit at once.
    const std::string anObject = objectJson(itsPackage, "r1", "txt");
    const std::string aLatest = R"({"action":"get","what":"numberOfLatestVersion",)"
                                R"("session":{"sessionType":"1"},"object":)" +
                                anObject + "}";
    const auto aReadBack = itsDeveloper->callAll(
        {{write("r1"), {"text"}}, {activateJson(kDeveloper, anObject), {}}, {aLatest, {}}});
    EXPECT_EQ(aReadBack.itsFailure, "");
    EXPECT_EQ(aReadBack.itsCodes, (std::vector<std::string>{"0", "0", "0"}));
    ASSERT_EQ(aReadBack.itsJsons.size(), 3u);
    EXPECT_TRUE(contains(aReadBack.itsJsons[2], R"("version":"1")")) << aReadBack.itsJsons[2];
    EXPECT_EQ(committedObjects("name like 'r%'"), "r1");

    // A call failing among calls sent together takes back its window only (q0 was committed
    // before it), and the connection goes on at once.
    const std::string aConstraint = poison("inactive_versions");
    itsDeveloper->beginGroup();
    expectCode(write("q0"), "0", {"text"});
    const auto aFailed = itsDeveloper->callAll(
        {{write("q1"), {"text"}}, {write("q2"), {itsPoison}}, {write("q3"), {"text"}}});
    cure("inactive_versions");
    EXPECT_TRUE(contains(aFailed.itsFailure, aConstraint)) << aFailed.itsFailure;
    EXPECT_TRUE(aFailed.itsCodes.empty());
    expectCode(write("q4"), "0", {"text"});
    EXPECT_EQ(itsDeveloper->endGroup(), "");
    EXPECT_EQ(committedObjects("name like 'q%'"), "q0,q4");
}

using CommitWindowsTest = ServerRepositoryTest;

// A commit to a server sends its writes a window at a time, each a transaction of its own: a write
// the server fails in a later window stops the run and takes back only its window; what the
// windows before wrote stays, recorded on both sides, and the next commit completes the rest.
TEST_F(CommitWindowsTest, AFailureInALaterWindowStopsTheCommitAndTheNextCommitCompletesIt) {
    const std::string aDatabase = repository("windows");
    const std::string aUser = role("WINDOWS");
    expectOk(repo({"user", uri(aDatabase), aUser, "pw"}));
    expectOk(createWorkspace("ws", server(aDatabase), aUser));
    std::filesystem::create_directories(dir() / "ws" / "acme");
    expectOk(kivo("ws", {"track", "acme"}));
    const std::string aPoison = "poison of window three";
    for (int i = 0; i < 350; ++i)
        write("ws/acme/f" + std::to_string(1000 + i) + ".txt",
              i == 250 ? aPoison : "file " + std::to_string(i) + "\n");
    execute(aDatabase, "ALTER TABLE sys.inactive_versions ADD CONSTRAINT windows_poison CHECK "
                       "(content IS NULL OR content <> convert_to('" +
                           aPoison + "', 'UTF8'))");

    const RunResult aFailed = kivo("ws", {"commit"});
    EXPECT_EQ(aFailed.itsExitCode, 1) << aFailed.itsOut;
    EXPECT_TRUE(contains(aFailed.itsErr, "windows_poison")) << aFailed.itsErr;
    EXPECT_FALSE(contains(aFailed.itsErr, "took back")) << aFailed.itsErr;
    EXPECT_EQ(lines(aDatabase, "SELECT count(*) FROM sys.inactive_versions"), "200\n");
    const RunResult aBetween = kivo("ws", {"status"});
    EXPECT_FALSE(contains(aBetween.itsOut, "f1199")) << aBetween.itsOut;
    EXPECT_TRUE(contains(aBetween.itsOut, "f1200")) << aBetween.itsOut;

    execute(aDatabase, "ALTER TABLE sys.inactive_versions DROP CONSTRAINT windows_poison");
    expectOk(kivo("ws", {"commit"}));
    EXPECT_EQ(lines(aDatabase, "SELECT count(*) FROM sys.inactive_versions"), "350\n");
    const RunResult aStatus = kivo("ws", {"status"});
    expectOk(aStatus);
    EXPECT_FALSE(contains(aStatus.itsOut, "f1")) << aStatus.itsOut;
}
