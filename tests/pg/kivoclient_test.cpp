// The kivo binary against the throwaway cluster: a workspace created on a HOST:PORT host works
// with the repository inside the database (track, commit, activate, and a second workspace that
// checks the file out); a refused TLS connect and a wrong password end with their messages.

#include "tests/pg/clusterfacts.hpp"
#include "tests/support/process.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

class KivoOnPostgresTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFacts = kivotest::readClusterFacts();
        if (itsFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
    }

    std::string host(const std::string& theName = "127.0.0.1") {
        return "--host=" + theName + ":" + itsFacts["KIVO_PG_PORT"];
    }

    // kivo create workspace theName on theHost's server as developer, with theExtra options.
    kivotest::RunResult createWorkspace(const std::string& theName, const std::string& theHost,
                                        const std::string& thePassword,
                                        std::vector<std::string> theExtra = {}) {
        std::vector<std::string> anArgs = {
            "create",        "workspace",        (itsDir.path() / theName).string(),
            host(theHost),   "--user=developer", "--passwd=" + thePassword,
            "--database=ZEV"};
        anArgs.insert(anArgs.end(), theExtra.begin(), theExtra.end());
        kivotest::RunOptions anOptions;
        anOptions.itsCwd = itsDir.path();
        return kivotest::runKivo(anArgs, anOptions);
    }

    // kivo theArgs in workspace theName, with the password and the database.
    kivotest::RunResult kivo(const std::string& theName, std::vector<std::string> theArgs) {
        theArgs.push_back("--passwd=s3cret");
        theArgs.push_back("--database=ZEV");
        kivotest::RunOptions anOptions;
        anOptions.itsCwd = itsDir.path() / theName;
        return kivotest::runKivo(theArgs, anOptions);
    }

    std::map<std::string, std::string> itsFacts;
    kivotest::TempDir itsDir;
};

void expectOk(const kivotest::RunResult& theRun) {
    EXPECT_EQ(theRun.itsExitCode, 0) << theRun.itsOut << theRun.itsErr;
}

} // namespace

TEST_F(KivoOnPostgresTest, AWorkspaceOnTheServerCommitsActivatesAndChecksOut) {
    // A package of this run's own, so that a repeated run finds nothing of an earlier one.
    const std::string aPackage = "pgclient" + std::to_string(::getpid());
    kivotest::RunResult aRun = createWorkspace("ws", "127.0.0.1", "s3cret");
    ASSERT_EQ(aRun.itsExitCode, 0) << aRun.itsOut << aRun.itsErr;
    EXPECT_NE(aRun.itsOut.find("Created workspace"), std::string::npos) << aRun.itsOut;

    std::filesystem::create_directories(itsDir.path() / "ws" / aPackage);
    expectOk(kivo("ws", {"track", aPackage}));
    kivotest::writeText(itsDir.path() / "ws" / aPackage / "hello.txt", "hello from the server\n");
    expectOk(kivo("ws", {"commit"}));
    aRun = kivo("ws", {"activate"});
    expectOk(aRun);
    EXPECT_NE(aRun.itsOut.find("Activated objects            : 1"), std::string::npos)
        << aRun.itsOut << aRun.itsErr;

    aRun = createWorkspace("ws2", "127.0.0.1", "s3cret");
    ASSERT_EQ(aRun.itsExitCode, 0) << aRun.itsOut << aRun.itsErr;
    expectOk(kivo("ws2", {"checkout", "package", aPackage}));
    EXPECT_EQ(kivotest::readText(itsDir.path() / "ws2" / aPackage / "hello.txt"),
              "hello from the server\n");

    // A second version from the second workspace reaches the first one.
    kivotest::writeText(itsDir.path() / "ws2" / aPackage / "hello.txt", "hello again\n");
    expectOk(kivo("ws2", {"commit"}));
    expectOk(kivo("ws2", {"activate"}));
    expectOk(kivo("ws", {"checkout"}));
    EXPECT_EQ(kivotest::readText(itsDir.path() / "ws" / aPackage / "hello.txt"), "hello again\n");
}

TEST_F(KivoOnPostgresTest, AWrongPasswordOrAnUntrustedServerIsRefused) {
    kivotest::RunResult aRun = createWorkspace("ws", "127.0.0.1", "wrong");
    EXPECT_EQ(aRun.itsErr, "Connecting to the database failed: Authentication failed: unknown "
                           "user or wrong password\nVerify your host (\"127.0.0.1:" +
                               itsFacts["KIVO_PG_PORT"] +
                               "\"), user (\"DEVELOPER\"), and password (<non-empty password>).\n");

    aRun = createWorkspace(
        "ws", "localhost", "s3cret",
        {"--sslEncrypt=TRUE", "--sslTrustStore=" + itsFacts["KIVO_PG_CERTS"] + "/other.crt"});
    EXPECT_EQ(aRun.itsExitCode, 1);
    EXPECT_NE(aRun.itsErr.find("not signed by an authority of the trust store"), std::string::npos)
        << aRun.itsErr;
}
