// A commit to a server sends its writes a window at a time, each a transaction of its own: a write
// the server fails in a later window stops the run and takes back only its window; what the
// windows before wrote stays, recorded on both sides, and the next commit completes the rest.

#include "tests/pg/serverrepository.hpp"

using namespace kivotest;

using CommitWindowsTest = ServerRepositoryTest;

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
    const RunResult aRerun = kivo("ws", {"commit"});
    expectOk(aRerun);
    EXPECT_EQ(lines(aDatabase, "SELECT count(*) FROM sys.inactive_versions"), "350\n");
    const RunResult aStatus = kivo("ws", {"status"});
    expectOk(aStatus);
    EXPECT_FALSE(contains(aStatus.itsOut, "f1")) << aStatus.itsOut;
}
