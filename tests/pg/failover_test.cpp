// kivo against a primary and its streaming standby, clusters of the test's own.

#include "tests/pg/repotool.hpp"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

using kivotest::contains;
using kivotest::RunResult;
namespace fs = std::filesystem;

// An IPv4 address of this machine outside the loopback, or "" when it has none.
std::string outsideAddress() {
    std::istringstream aWords(kivotest::runProgram("/bin/sh", {"-c", "hostname -I"}).itsOut);
    for (std::string aWord; aWords >> aWord;)
        if (aWord.find('.') != std::string::npos && !aWord.starts_with("127."))
            return aWord;
    return {};
}

// A primary and its standby in the test's folder, besides the run's cluster.
class FailoverTest : public kivotest::RepoToolTest {
protected:
    void SetUp() override {
        RepoToolTest::SetUp();
        if (IsSkipped())
            return;
        itsOutside = outsideAddress();
        const std::string aListen = itsOutside.empty() ? "" : "KIVO_PG_LISTEN_ALSO=" + itsOutside;
        ASSERT_EQ(cluster(aListen + " bash '" KIVO_CLUSTER_SCRIPT "' start " + state("primary") +
                          " '" KIVO_PG_EXTENSION "'"),
                  0);
        itsStarted = true;
        ASSERT_EQ(script("standby " + state("standby") + " " + state("primary")), 0);
        itsPassword = "s3cret";
    }
    void TearDown() override {
        if (!itsStarted)
            return;
        script("stop " + state("standby"));
        script("stop " + state("primary"));
    }

    static int cluster(const std::string& theCommand) {
        return std::system((theCommand + " >/dev/null").c_str());
    }
    int script(const std::string& theArgs) {
        return cluster("bash '" KIVO_CLUSTER_SCRIPT "' " + theArgs);
    }
    std::string state(const std::string& theName) { return (dir() / theName).string(); }
    std::string port(const std::string& theName) {
        return kivotest::readClusterFacts(state(theName) + "/env")["KIVO_PG_PORT"];
    }
    // The first column of theSql's rows on the cluster theName, one line each.
    std::string sql(const std::string& theName, const std::string& theSql) {
        return kivotest::runProgram("/bin/bash",
                                    {KIVO_CLUSTER_SCRIPT, "sql", state(theName), "ZEV", theSql})
            .itsOut;
    }

    std::string itsOutside;
    bool itsStarted = false;
};

// How many sessions hold the lock that stops every repository call.
constexpr const char* kLockHeld =
    "SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation WHERE c.relname = "
    "'settings' AND l.mode = 'AccessExclusiveLock' AND l.granted";

} // namespace

TEST_F(FailoverTest, AWorkspaceOnAPrimaryAndItsStandbyGoesOnAfterThePromotion) {
    const std::string aHost = "127.0.0.1:" + port("primary") + ",127.0.0.1:" + port("standby");
    expectOk(createWorkspace("ws", aHost + "@ZEV", "developer", "s3cret"));
    fs::create_directories(dir() / "ws" / "fo");
    expectOk(kivo("ws", {"track", "fo"}));
    write("ws/fo/a.txt", "one\n");
    RunResult aRun = kivo("ws", {"push"});
    expectOk(aRun);
    EXPECT_FALSE(contains(aRun.itsErr, "Warning")) << "the loopback needs no verification";

    // An unverified connection outside the loopback warns, once.
    if (!itsOutside.empty()) {
        aRun = kivo("ws", {"list", "rootPackages", "--sslValidateCertificate=FALSE",
                           "--hostName=" + itsOutside + ":" + port("primary") + "@ZEV"});
        expectOk(aRun);
        EXPECT_EQ(kivotest::countOf(aRun.itsErr, "Warning: the connection to " + itsOutside + ":" +
                                                     port("primary") +
                                                     " is encrypted but not verified"),
                  1u)
            << aRun.itsErr;
    }

    // The server ends the run's session while it waits for a lock: the message says how to
    // finish, and a rerun does.
    write("ws/fo/a.txt", "two\n");
    script("sql " + state("primary") +
           " ZEV 'BEGIN; LOCK TABLE sys.settings; SELECT pg_sleep(120)' 2>/dev/null &");
    for (int i = 0; i < 600 && sql("primary", kLockHeld) != "1\n"; ++i)
        cluster("sleep 0.1");
    script("sql " + state("primary") +
           " ZEV \"DO \\$\\$ BEGIN FOR i IN 1..600 LOOP PERFORM pg_sleep(0.1); EXIT WHEN "
           "(SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE "
           "application_name = 'kivo' AND wait_event_type = 'Lock') > 0; END LOOP; PERFORM "
           "pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE 'BEGIN; LOCK%'; "
           "END \\$\\$\" &");
    aRun = kivo("ws", {"push"});
    EXPECT_EQ(aRun.itsExitCode, 1) << aRun.itsOut;
    EXPECT_TRUE(contains(aRun.itsErr, "The connection to the database server was lost"))
        << aRun.itsErr;
    EXPECT_TRUE(contains(aRun.itsErr, "`kivo status` shows what this run left unfinished, and "
                                      "running the command again completes it"))
        << aRun.itsErr;
    expectOk(kivo("ws", {"push"}));

    // The primary stops cleanly, handing its last changes to the standby, which takes over.
    ASSERT_EQ(script("halt " + state("primary")), 0);
    ASSERT_EQ(script("promote " + state("standby")), 0);
    write("ws/fo/b.txt", "three\n");
    expectOk(kivo("ws", {"push"}));
    EXPECT_EQ(sql("standby", "SELECT count(*) FROM sys.history"), "3\n");
    expectOk(createWorkspace("ws2", aHost + "@ZEV", "developer", "s3cret"));
    expectOk(kivo("ws2", {"checkout", "package", "fo"}));
    EXPECT_EQ(kivotest::readText(dir() / "ws2/fo/a.txt"), "two\n");
    EXPECT_EQ(kivotest::readText(dir() / "ws2/fo/b.txt"), "three\n");
}
