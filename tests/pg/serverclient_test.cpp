// kivo against the throwaway cluster, on the ways a team server fails a user.

#include "tests/pg/repotool.hpp"

using namespace kivotest;

namespace {

class ServerClientTest : public RepoToolTest {
protected:
    void SetUp() override {
        RepoToolTest::SetUp();
        if (!IsSkipped())
            std::filesystem::copy_file(itsFacts["KIVO_PG_CERTS"] + "/ca.crt", dir() / "ca.crt");
    }

    std::string server(const std::string& theName, const std::string& theDatabase = "ZEV") {
        return theName + ":" + itsFacts["KIVO_PG_PORT"] + "@" + theDatabase;
    }

    // theProgram theArgs in theCwd (below the test's folder), with the test's own key store.
    RunResult run(const std::string& theProgram, const std::vector<std::string>& theArgs,
                  const std::string& theCwd = "", const std::string& theOptions = "") {
        RunOptions anOptions;
        anOptions.itsCwd = dir() / theCwd;
        anOptions.itsEnv["ZEVUSERSTORE_HOME"] = (dir() / "keys").string();
        anOptions.itsEnv["PGOPTIONS"] = theOptions;
        return runProgram(theProgram, theArgs, anOptions);
    }
};

} // namespace

// The trust store given by a relative path is kept with the workspace and with a key for runs
// elsewhere, and verifies the server's certificate and host name.
TEST_F(ServerClientTest, TlsSettingsKeptWithAWorkspaceOrAKeyVerifyCertificateAndHostName) {
    expectOk(run("kivo", {"create", "workspace", "ws", "--hostName=" + server("localhost"),
                          "--userName=developer", "--passWord=s3cret", "--sslTrustStore=ca.crt"}));
    EXPECT_TRUE(contains(readText(dir() / "ws/._SYS_KIVO_settings/.kivoConfig"),
                         "\"sslTrustStore\":\"\\/"));
    RunResult aRun = run("kivo", {"list", "rootPackages", "--passWord=s3cret"}, "ws");
    expectOk(aRun);
    EXPECT_FALSE(contains(aRun.itsErr, "Warning")) << aRun.itsErr;
    const std::string anOther = itsFacts["KIVO_PG_CERTS"] + "/other.crt";
    expectRefused(run("kivo",
                      {"list", "rootPackages", "--passWord=s3cret", "--sslTrustStore=" + anOther},
                      "ws"),
                  "is not signed by an authority of the trust store");

    expectOk(run("zevuserstore", {"SET", "GOOD", server("localhost"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    EXPECT_TRUE(contains(run("zevuserstore", {"LIST", "GOOD"}).itsOut,
                         "sslTrustStore: " + (dir() / "ca.crt").string()));
    expectOk(run("kivo", {"list", "rootPackages", "--key=GOOD"}));
    // The certificate names localhost only: by its address the same server is refused.
    expectOk(run("zevuserstore", {"SET", "BYADDRESS", server("127.0.0.1"), "developer", "s3cret",
                                  "--sslTrustStore=ca.crt"}));
    aRun = run("kivo", {"list", "rootPackages", "--key=BYADDRESS"});
    expectRefused(aRun, "The server's certificate does not name the host \"127.0.0.1:");
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
    expectRefused(aRun, "statement_timeout: ask the administrator to raise statement_timeout");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;
    aRun = run("kivo", {"list", "rootPackages", "--key=NOREPO"});
    expectRefused(aRun, "The database template1 on localhost:" + itsFacts["KIVO_PG_PORT"] +
                            " holds no kivo repository");
    EXPECT_FALSE(contains(aRun.itsErr, "zevuserstore")) << aRun.itsErr;
    expectRefused(run("kivo", {"list", "rootPackages", "--key=BAD"}),
                  "Authentication failed: unknown user or wrong password\nVerify your "
                  "\"zevuserstore\" key (\"BAD\").");
}
