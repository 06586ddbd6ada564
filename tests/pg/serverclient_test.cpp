// kivo against the throwaway cluster, on the ways a team server fails a user.

#include "tests/pg/clusterfacts.hpp"
#include "tests/support/process.hpp"

#include <filesystem>

namespace {

using kivotest::contains;
using kivotest::RunResult;

class ServerClientTest : public kivotest::ClusterTest {
protected:
    void SetUp() override {
        ClusterTest::SetUp();
        if (!IsSkipped())
            std::filesystem::copy_file(itsFacts["KIVO_PG_CERTS"] + "/ca.crt",
                                       itsDir.path() / "ca.crt");
    }

    std::string server(const std::string& theName, const std::string& theDatabase = "ZEV") {
        return theName + ":" + itsFacts["KIVO_PG_PORT"] + "@" + theDatabase;
    }

    // kivo theArgs in theCwd (below the test's folder), with the test's own key store.
    RunResult run(const std::string& theProgram, const std::vector<std::string>& theArgs,
                  const std::string& theCwd = "", const std::string& theOptions = "") {
        kivotest::RunOptions anOptions;
        anOptions.itsCwd = itsDir.path() / theCwd;
        anOptions.itsEnv["ZEVUSERSTORE_HOME"] = (itsDir.path() / "keys").string();
        anOptions.itsEnv["PGOPTIONS"] = theOptions;
        return kivotest::runProgram(theProgram, theArgs, anOptions);
    }

    kivotest::TempDir itsDir;
};

void expectOk(const RunResult& theRun) {
    EXPECT_EQ(theRun.itsExitCode, 0) << theRun.itsOut << theRun.itsErr;
}

void expectFailure(const RunResult& theRun, const std::string& theText) {
    EXPECT_EQ(theRun.itsExitCode, 1) << theRun.itsOut;
    EXPECT_TRUE(contains(theRun.itsErr, theText)) << theRun.itsErr;
}

} // namespace

// The trust store given by a relative path is kept with the workspace and with a key for runs
// elsewhere, and verifies the server's certificate and host name.
TEST_F(ServerClientTest, TlsSettingsKeptWithAWorkspaceOrAKeyVerifyCertificateAndHostName) {
    expectOk(run("kivo", {"create", "workspace", "ws", "--hostName=" + server("localhost"),
                          "--userName=developer", "--passWord=s3cret", "--sslTrustStore=ca.crt"}));
    EXPECT_TRUE(contains(kivotest::readText(itsDir.path() / "ws/._SYS_KIVO_settings/.kivoConfig"),
                         "\"sslTrustStore\":\"\\/"));
    RunResult aRun = run("kivo", {"list", "rootPackages", "--passWord=s3cret"}, "ws");
    expectOk(aRun);
    EXPECT_FALSE(contains(aRun.itsErr, "Warning")) << aRun.itsErr;
    const std::string anOther = itsFacts["KIVO_PG_CERTS"] + "/other.crt";
    expectFailure(run("kivo",
                      {"list", "rootPackages", "--passWord=s3cret", "--sslTrustStore=" + anOther},
                      "ws"),
                  "is not signed by an authority of the trust store");

    expectOk(run("zevuserstore", {"SET", "GOOD", server("localhost"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    EXPECT_TRUE(contains(run("zevuserstore", {"LIST", "GOOD"}).itsOut,
                         "sslTrustStore: " + (itsDir.path() / "ca.crt").string()));
    expectOk(run("kivo", {"list", "rootPackages", "--key=GOOD"}));
    // The certificate names localhost only: by its address the same server is refused.
    expectOk(run("zevuserstore", {"SET", "BYADDRESS", server("127.0.0.1"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    aRun = run("kivo", {"list", "rootPackages", "--key=BYADDRESS"});
    expectFailure(aRun, "The server's certificate does not name the host \"127.0.0.1:");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << "the key is right" << aRun.itsErr;
}

// A refusal by TLS (above), a statement timeout or a database without a repository each say so;
// only a wrong password is the key's fault.
TEST_F(ServerClientTest, OnlyAKeysWrongLoginGetsTheKeyAdvice) {
    expectOk(run("zevuserstore", {"SET", "GOOD", server("localhost"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    expectOk(run("zevuserstore", {"SET", "NOREPO", server("localhost", "template1"), "developer",
                                  "s3cret", "--sslTrustStore=ca.crt"}));
    expectOk(run("zevuserstore", {"SET", "BAD", server("localhost"), "developer", "guess",
                                  "--sslTrustStore=ca.crt"}));
    RunResult aRun =
        run("kivo", {"list", "rootPackages", "--key=GOOD"}, "", "-c statement_timeout=1");
    expectFailure(aRun, "statement_timeout: ask the administrator to raise statement_timeout");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;
    aRun = run("kivo", {"list", "rootPackages", "--key=NOREPO"});
    expectFailure(aRun, "The database template1 on localhost:" + itsFacts["KIVO_PG_PORT"] +
                            " holds no kivo repository");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;
    expectFailure(run("kivo", {"list", "rootPackages", "--key=BAD"}),
                  "Authentication failed: unknown user or wrong password\nVerify your "
                  "\"zevuserstore\" key (\"BAD\").");
}
