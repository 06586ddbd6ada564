#include "core/console.hpp"
#include "core/error.hpp"
#include "dbclient/keystore.hpp"
#include "repository/respbase.hpp"
#include "repository/respobjects.hpp"
#include "repository/resppackages.hpp"
#include "server/engine.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "tests/support/messages.hpp"
#include "tests/unit/repository/repositoryfiletest.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

using namespace RepositoryAccess;

namespace {

// A request with a fixed name and body, read or write after its base.
template <class theBase> class FixedRequest : public theBase {
public:
    FixedRequest(std::string theName, std::string theJson)
        : itsName(std::move(theName)), itsJson(std::move(theJson)) {}
    void writeBody(std::string& theText) const override { theText += itsJson; }
    std::string getName() const override { return itsName; }

private:
    std::string itsName;
    std::string itsJson;
};
using ReadRequest = FixedRequest<RepositoryReadRequest>;
using WriteRequest = FixedRequest<RepositoryWriteRequest>;

std::string readPackageJson(const std::string& thePackage) {
    return R"({"action":"read","what":"package","package":")" + thePackage + R"("})";
}

// A key store in the test's folder.
class ConnectionTest : public repotest::RepositoryFileTest {
protected:
    void SetUp() override {
        RepositoryFileTest::SetUp();
        itsKeyDir = (itsDir.path() / "keys").string();
        setenv("ZEVUSERSTORE_HOME", itsKeyDir.c_str(), 1);
    }

    void TearDown() override {
        RepositoryFileTest::TearDown();
        unsetenv("ZEVUSERSTORE_HOME");
    }

    std::string openError() {
        return kivotest::messageOf([] { connection::open(); });
    }

    // The frame size of the engine's answer to a request, asked directly.
    std::size_t answerSize(const std::string& theJson) {
        server::Engine anEngine(server::openRepositoryFile(itsFile));
        return anEngine
            .call("ALICE",
                  RepositoryMessage(std::make_shared<const std::string>(theJson)).serialize())
            .size();
    }

    std::string itsKeyDir;
};

} // namespace

TEST_F(ConnectionTest, OpensOnceWithHostUserAndPasswordAndReadsTheServerFacts) {
    options("alice", "secret");
    Connection& aConnection = connection::open();
    EXPECT_FALSE(connection::isClosed());
    EXPECT_EQ(&connection::open(), &aConnection);
    EXPECT_EQ(aConnection.getUserName(), "ALICE");
    EXPECT_EQ(aConnection.getApiVersion(), 16);
    EXPECT_EQ(aConnection.getServerDatabaseName(), "ZEV");
    connection::close();
    EXPECT_TRUE(connection::isClosed());
    setting("api_version", "none");
    EXPECT_EQ(connection::open().getApiVersion(), 0) << "a missing version reads as zero";
}

TEST_F(ConnectionTest, FailedConnectsNameHostAndUserButNeverThePassword) {
    options("alice", "wrong-pw");
    const std::string aMessage = openError();
    EXPECT_EQ(aMessage, "Connecting to the database failed: Authentication failed: unknown user "
                        "or wrong password\nVerify your host (\"file:" +
                            itsFile +
                            "\"), user (\"ALICE\"), and password (<non-empty password>).");
    EXPECT_TRUE(connection::isClosed());
    options("alice", "");
    EXPECT_NE(openError().find("and password (<empty password>)."), std::string::npos);
    options("", "secret");
    EXPECT_EQ(openError(), "No user specified");
}

TEST_F(ConnectionTest, KeyWinsOverHostUserAndPassword) {
    dbclient::KeyStore(itsKeyDir).save({{"K1", "file:" + itsFile, "ALICE", "secret"}});
    const std::string aNowhere = "file:/nonexistent/repo.db";
    options("bob", "nothing", {}, {{params::key, "K1"}, {params::hostName, aNowhere}});
    Connection& aConnection = connection::open();
    EXPECT_EQ(aConnection.getKey(), "K1");
    EXPECT_EQ(aConnection.getUserName(), "ALICE");
    EXPECT_EQ(aConnection.getHostName(), "");
    connection::close();
    options("bob", "nothing", {}, {{params::key, "K2"}, {params::hostName, aNowhere}});
    const std::string aMessage = openError();
    EXPECT_EQ(aMessage.rfind("Connecting to the database failed: ", 0), 0u) << aMessage;
    EXPECT_NE(aMessage.find("\nVerify your \"zevuserstore\" key (\"K2\")."), std::string::npos);
}

TEST_F(ConnectionTest, TlsSettingsOnALocalFileConnectWithAWarning) {
    options("ALICE", "secret", {params::trace}, {{params::sslEncrypt, "true"}});
    testing::internal::CaptureStdout();
    connection::open();
    const std::string anOut = testing::internal::GetCapturedStdout();
    EXPECT_EQ(anOut.rfind("Connecting to the database succeeded with warnings: Encryption does "
                          "not apply to a local repository",
                          0),
              0u)
        << anOut;
    EXPECT_NE(console::traceText().find(anOut), std::string::npos);
}

TEST_F(ConnectionTest, SimulationAnswersWriteRequestsLocallyButSendsReads) {
    options("ALICE", "secret", {params::simulate});
    Connection& aConnection = connection::open();
    // The repository would refuse this request; in simulation it never sees it.
    WriteRequest aWrite("BogusWriteRequest", R"({"action":"bogus","what":"write"})");
    testing::internal::CaptureStdout();
    RevertObjectsResponse aWritten(aConnection.callRepo(aWrite));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Simulation: Repository write request: BogusWriteRequest\n"
              "{\"action\":\"bogus\",\"what\":\"write\"}\n");
    EXPECT_EQ(aWritten.getErrorCode(), "0");
    ReadRequest aRead("BogusReadRequest", R"({"action":"bogus","what":"read"})");
    RevertObjectsResponse aRefused(aConnection.callRepo(aRead));
    EXPECT_EQ(aRefused.getErrorCode(), "40130");
    EXPECT_THROW(aConnection.callRepo(ReadRequest("", "{}")), Error);
}

TEST_F(ConnectionTest, JsonRequestOptionEchoesTheRequestToOutputAndTrace) {
    options("ALICE", "secret", {params::jsonRequest, params::trace});
    Connection& aConnection = connection::open();
    const std::string aJson = R"({"action":"get","what":"contentVendor"})";
    const std::string aTraceBefore = console::traceText();
    testing::internal::CaptureStdout();
    GetContentVendorResponse aVendor(aConnection.callRepo(ReadRequest("GetVendor", aJson)));
    const std::string anEcho =
        "<---------- JSON request: GetVendor\n" + aJson + "\nJSON request GetVendor ---------->\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), anEcho);
    EXPECT_EQ(console::traceText().substr(aTraceBefore.size()), anEcho);
    EXPECT_EQ(aVendor.getContentVendor(), "example.com");
}

TEST_F(ConnectionTest, ResponsesAroundTheOutputBufferSizeArriveWhole) {
    options("ALICE", "secret");
    Connection& aConnection = connection::open();
    // A missing package's answer names the package, so its length sets the frame size.
    const std::size_t aBase = answerSize(readPackageJson("x")) - 1;
    ASSERT_LT(aBase, 1000u);
    for (std::size_t aFrameSize : {std::size_t(1023), std::size_t(1024), std::size_t(1025)}) {
        const std::string aName(aFrameSize - aBase, 'q');
        ASSERT_EQ(answerSize(readPackageJson(aName)), aFrameSize);
        ReadPackageResponse aResponse(
            aConnection.callRepo(ReadRequest("ReadPackage", readPackageJson(aName))));
        EXPECT_EQ(aResponse.getErrorCode(), "40111");
        EXPECT_EQ(aResponse.getErrorArg(), aName) << aFrameSize;
    }
}

// Finish reports nothing for a closed connection; a closing begun in the background is over when
// finish returns: the repository file keeps no log of the session. A new connection may be
// opened meanwhile.
TEST_F(ConnectionTest, FinishWaitsForAClosingInTheBackground) {
    testing::internal::CaptureStderr();
    connection::finish();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    options("ALICE", "secret");
    ReadPackageResponse aResponse(
        connection::open().callRepo(ReadRequest("ReadPackage", readPackageJson("missing"))));
    EXPECT_EQ(aResponse.getErrorCode(), "40111");
    EXPECT_TRUE(std::filesystem::exists(itsFile + "-wal"));
    connection::closeInBackground();
    EXPECT_TRUE(connection::isClosed());
    testing::internal::CaptureStderr();
    connection::finish();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(std::filesystem::exists(itsFile + "-wal"));

    connection::open();
    connection::closeInBackground();
    connection::close();
    EXPECT_FALSE(std::filesystem::exists(itsFile + "-wal"));
}
