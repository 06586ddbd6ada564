// kivo against the throwaway cluster, on the ways a team server fails a user: TLS settings kept
// with a workspace or a key verify the server's certificate and host name; a statement timeout,
// a database without a repository and a wrong key each say so in plain words, and only a wrong
// key gets the advice to check the key.

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

TEST_F(ServerClientTest, TlsSettingsKeptWithTheWorkspaceVerifyCertificateAndHostName) {
    // The trust store is given by a relative path; the workspace keeps it for runs elsewhere.
    expectOk(run("kivo", {"create", "workspace", "ws", "--hostName=" + server("localhost"),
                          "--userName=developer", "--passWord=s3cret", "--sslTrustStore=ca.crt"}));
    EXPECT_TRUE(contains(kivotest::readText(itsDir.path() / "ws/._SYS_KIVO_settings/.kivoConfig"),
                         "\"sslTrustStore\":\"\\/"));
    RunResult aRun = run("kivo", {"list", "rootPackages", "--passWord=s3cret"}, "ws");
    expectOk(aRun);
    EXPECT_FALSE(contains(aRun.itsErr, "Warning")) << aRun.itsErr;

    // The certificate names localhost only: by its address the same server is refused, which
    // only a run that verifies does.
    expectFailure(
        run("kivo",
            {"list", "rootPackages", "--passWord=s3cret", "--hostName=" + server("127.0.0.1")},
            "ws"),
        "The server's certificate does not name the host \"127.0.0.1:");
    const std::string anOther = itsFacts["KIVO_PG_CERTS"] + "/other.crt";
    expectFailure(run("kivo",
                      {"list", "rootPackages", "--passWord=s3cret", "--sslTrustStore=" + anOther},
                      "ws"),
                  "is not signed by an authority of the trust store");
}

TEST_F(ServerClientTest, AKeyKeepsItsTlsSettingsAndOnlyItsLoginGetsTheKeyAdvice) {
    expectOk(run("zevuserstore", {"SET", "GOOD", server("localhost"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    EXPECT_TRUE(contains(run("zevuserstore", {"LIST", "GOOD"}).itsOut,
                         "sslTrustStore: " + (itsDir.path() / "ca.crt").string()));
    expectOk(run("kivo", {"list", "rootPackages", "--key=GOOD"}));

    // Refused by TLS, by the server's timeout or for a missing repository: the key is right.
    expectOk(run("zevuserstore", {"SET", "BYADDRESS", server("127.0.0.1"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    RunResult aRun = run("kivo", {"list", "rootPackages", "--key=BYADDRESS"});
    expectFailure(aRun, "does not name the host");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;
    aRun = run("kivo", {"list", "rootPackages", "--key=GOOD"}, "", "-c statement_timeout=1");
    expectFailure(aRun, "statement_timeout: ask the administrator to raise statement_timeout");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;
    expectOk(run("zevuserstore", {"SET", "NOREPO", server("localhost", "template1"), "developer",
                                  "s3cret", "--sslTrustStore=ca.crt"}));
    aRun = run("kivo", {"list", "rootPackages", "--key=NOREPO"});
    expectFailure(aRun, "The database template1 on localhost:" + itsFacts["KIVO_PG_PORT"] +
                            " holds no kivo repository");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;

    // A wrong password is the key's fault.
    expectOk(run("zevuserstore", {"SET", "BAD", server("localhost"), "developer", "guess",
                                  "--sslTrustStore=ca.crt"}));
    expectFailure(run("kivo", {"list", "rootPackages", "--key=BAD"}),
                  "Authentication failed: unknown user or wrong password\nVerify your "
                  "\"zevuserstore\" key (\"BAD\").");
}
