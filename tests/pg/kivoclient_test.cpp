// The kivo binary against the throwaway cluster: a workspace created on a HOST:PORT host reaches
// the extension's answer; a refused TLS connect and a wrong password end with their messages.

#include "tests/pg/clusterfacts.hpp"
#include "tests/support/process.hpp"

#include <gtest/gtest.h>

namespace {

class KivoOnPostgresTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFacts = kivotest::readClusterFacts();
        if (itsFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
    }

    // kivo create workspace on theHost's server as developer, with theExtra options.
    kivotest::RunResult createWorkspace(const std::string& theHost, const std::string& thePassword,
                                        std::vector<std::string> theExtra = {}) {
        std::vector<std::string> anArgs = {"create",
                                           "workspace",
                                           (itsDir.path() / "ws").string(),
                                           "--host=" + theHost + ":" + itsFacts["KIVO_PG_PORT"],
                                           "--user=developer",
                                           "--passwd=" + thePassword,
                                           "--database=ZEV"};
        anArgs.insert(anArgs.end(), theExtra.begin(), theExtra.end());
        kivotest::RunOptions anOptions;
        anOptions.itsCwd = itsDir.path();
        return kivotest::runKivo(anArgs, anOptions);
    }

    std::map<std::string, std::string> itsFacts;
    kivotest::TempDir itsDir;
};

} // namespace

TEST_F(KivoOnPostgresTest, TheClientReachesTheExtensionOrSaysWhyNot) {
    kivotest::RunResult aRun = createWorkspace("127.0.0.1", "s3cret");
    EXPECT_EQ(aRun.itsExitCode, 1);
    EXPECT_NE(aRun.itsErr.find("(40130): not supported by this repository"), std::string::npos)
        << aRun.itsErr;

    aRun = createWorkspace("127.0.0.1", "wrong");
    EXPECT_EQ(aRun.itsErr, "Connecting to the database failed: Authentication failed: unknown "
                           "user or wrong password\nVerify your host (\"127.0.0.1:" +
                               itsFacts["KIVO_PG_PORT"] +
                               "\"), user (\"DEVELOPER\"), and password (<non-empty password>).\n");

    aRun = createWorkspace(
        "localhost", "s3cret",
        {"--sslEncrypt=TRUE", "--sslTrustStore=" + itsFacts["KIVO_PG_CERTS"] + "/other.crt"});
    EXPECT_EQ(aRun.itsExitCode, 1);
    EXPECT_NE(aRun.itsErr.find("not signed by an authority of the trust store"), std::string::npos)
        << aRun.itsErr;
}
