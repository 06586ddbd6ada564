#include "core/error.hpp"
#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/keystore.hpp"
#include "server/passwordhash.hpp"
#include "server/repositorystore.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "tests/support/repositoryfile.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <cstdlib>

using namespace RepositoryAccess;
using namespace RepositoryAccess::dbclient;

namespace {

// A repository file with user ALICE (password "secret") and a connection object to it.
class EmbeddedConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFile = kivotest::makeRepositoryFile(itsDir.path(), "ALICE", "secret");
        itsEnvironment = Runtime::getRuntime(nullptr, 0)->createEnvironment();
        itsConnection = itsEnvironment->createConnection();
    }

    ReturnCode connect(const std::string& theHost, const std::string& thePassword = "secret",
                       const ConnectProperties& theProperties = {}) {
        return itsConnection->connect(theHost, "", "alice", thePassword, StringEncoding::Utf8,
                                      theProperties);
    }

    ReturnCode connectKey(const std::string& theKey) {
        ConnectProperties aKey;
        aKey.setProperty("KEY", theKey);
        return itsConnection->connect("", "", "", "", StringEncoding::Utf8, aKey);
    }
    std::string errorText() const { return itsConnection->error().getErrorText(); }

    // Sends a request through the prepared repository call with a 1,024-byte output buffer.
    ReturnCode callRepo(const std::string& theJson, std::string& theResponse) {
        PreparedStatement* aStatement = itsConnection->createPreparedStatement();
        EXPECT_EQ(aStatement->prepare("{CALL SYS.REPOSITORY_REST(?, ?)}"), ReturnCode::Ok);
        EXPECT_EQ(aStatement->getParameterMetaData()->getParameterMode(2), ParameterMode::Out);
        std::string anInput =
            RepositoryMessage(std::make_shared<const std::string>(theJson)).serialize();
        std::int64_t anInputLength = static_cast<std::int64_t>(anInput.size());
        char anOutput[1024];
        std::int64_t anOutputLength = 0;
        aStatement->bindParameter(1, HostType::Binary, anInput.data(), &anInputLength,
                                  anInputLength);
        aStatement->bindParameter(2, HostType::Binary, anOutput, &anOutputLength, sizeof anOutput);
        ReturnCode aCode = aStatement->execute();
        if (aCode == ReturnCode::DataTruncated) {
            std::string aWhole(static_cast<std::size_t>(anOutputLength), '\0');
            EXPECT_EQ(aStatement->getObject(2, HostType::Binary, aWhole.data(), &anOutputLength,
                                            anOutputLength),
                      ReturnCode::Ok);
            theResponse = aWhole;
        } else {
            theResponse.assign(anOutput, static_cast<std::size_t>(anOutputLength));
        }
        itsConnection->releaseStatement(aStatement);
        return aCode;
    }

    kivotest::TempDir itsDir;
    std::string itsFile;
    std::unique_ptr<Environment> itsEnvironment;
    Connection* itsConnection = nullptr;
};

std::string packageRequest(std::size_t theDescriptionSize) {
    return R"({"action":"create","what":"package","package":"p","description":")" +
           std::string(theDescriptionSize, 'd') + R"("})";
}

} // namespace

TEST_F(EmbeddedConnectionTest, LongResponsesAreTruncatedAndFetchedAgainWhole) {
    ASSERT_EQ(connect("file:" + itsFile), ReturnCode::Ok) << errorText();
    std::string aResponse;
    ASSERT_EQ(callRepo(packageRequest(10), aResponse), ReturnCode::Ok);

    // Find the description length that makes the read-package answer exactly 1,024 bytes.
    auto aReadSize = [&] {
        std::string anAnswer;
        callRepo(R"({"action":"read","what":"package","package":"p"})", anAnswer);
        return anAnswer.size();
    };
    std::size_t aSmall = aReadSize();
    ASSERT_LT(aSmall, 1024u);
    std::string anUpdate = R"({"action":"update","what":"package","package":"p","description":")";
    callRepo(anUpdate + std::string(10 + 1024 - aSmall, 'd') + "\"}", aResponse);
    EXPECT_EQ(aReadSize(), 1024u);
    EXPECT_EQ(callRepo(R"({"action":"read","what":"package","package":"p"})", aResponse),
              ReturnCode::Ok);

    callRepo(anUpdate + std::string(10 + 1025 - aSmall, 'd') + "\"}", aResponse);
    EXPECT_EQ(callRepo(R"({"action":"read","what":"package","package":"p"})", aResponse),
              ReturnCode::DataTruncated);
    ASSERT_EQ(aResponse.size(), 1025u);
    auto aMessage = RepositoryMessage::parse(aResponse.data(), 1025);
    EXPECT_EQ(aMessage.getJson()->back(), '}');
}

TEST_F(EmbeddedConnectionTest, ConnectRefusesOtherHostsAndMissingFiles) {
    EXPECT_EQ(connect("dbhost"), ReturnCode::Error);
    EXPECT_NE(errorText().find("file:PATH"), std::string::npos);
    EXPECT_EQ(connect("file:" + itsFile + ".missing"), ReturnCode::Error);
    EXPECT_NE(errorText().find("does not exist"), std::string::npos);
    // A wrong password and TLS settings on a file are the connection layer's tests.
}

TEST_F(EmbeddedConnectionTest, MonitoringQueriesAndNothingElse) {
    ASSERT_EQ(connect("file:" + itsFile), ReturnCode::Ok);
    Statement* aStatement = itsConnection->createStatement();
    ASSERT_EQ(aStatement->execute("select feature_version from \"PUBLIC\".\"M_FEATURES\" where "
                                  "component_name='REPOSITORY' and feature_name='API'"),
              ReturnCode::Ok);
    ResultSet* aRows = aStatement->getResultSet();
    ASSERT_EQ(aRows->next(), ReturnCode::Ok);
    std::int64_t aVersion = 0, aLength = 0;
    aRows->getObject(1, HostType::Int64, &aVersion, &aLength, 8);
    EXPECT_EQ(aVersion, 16);
    EXPECT_EQ(aRows->next(), ReturnCode::NoData);

    ASSERT_EQ(aStatement->execute("select user_name from \"PUBLIC\".\"M_CONNECTIONS\" where "
                                  "own='TRUE' and connection_status='RUNNING'"),
              ReturnCode::Ok);
    char aUser[256];
    aStatement->getResultSet()->next();
    aStatement->getResultSet()->getObject(1, HostType::Utf8, aUser, &aLength, sizeof aUser);
    EXPECT_STREQ(aUser, "ALICE");

    EXPECT_EQ(aStatement->execute("select * from users"), ReturnCode::Error);
    EXPECT_EQ(aStatement->error().getErrorText(), "unsupported statement");
}

// A key names a host, user and password in the key store; the verified password is remembered
// beside the keys, and the memo never lets a wrong one in. A key keeps the TLS settings of its
// host through a rewrite; a line with anything else after the password is damaged, and named by
// number only. The key store's mode is zevuserstore's.
TEST_F(EmbeddedConnectionTest, KeysResolveThroughTheKeyStoreAndKeepTheirTlsSettings) {
    std::string aHome = (itsDir.path() / "keys").string();
    ::setenv("ZEVUSERSTORE_HOME", aHome.c_str(), 1);
    KeyStore aStore = KeyStore::forCurrentUser();
    aStore.save({{"DEV", "file:" + itsFile, "ALICE", "secret"}});
    EXPECT_EQ(connectKey("DEV"), ReturnCode::Ok) << errorText();
    EXPECT_TRUE(std::filesystem::exists(aStore.directory() + "/verified"));
    aStore.save({{"DEV", "file:" + itsFile, "ALICE", "wrong"}});
    EXPECT_EQ(connectKey("DEV"), ReturnCode::Error);
    EXPECT_EQ(connectKey("OTHER"), ReturnCode::Error);
    EXPECT_NE(errorText().find("OTHER"), std::string::npos);
    ::unsetenv("ZEVUSERSTORE_HOME");

    KeyEntry anEntry{"TEAM", "db:5432@ZEV", "ALICE", "secret"};
    anEntry.itsTls = {{"sslTrustStore", "/etc/ca\tx.pem"}, {"ENCRYPT", "TRUE"}};
    aStore.save({{"DEV", "file:" + itsFile, "ALICE", "secret"}, anEntry});
    const std::vector<KeyEntry> aLoaded = aStore.load();
    ASSERT_EQ(aLoaded.size(), 2u);
    EXPECT_TRUE(aLoaded[0].itsTls.empty());
    EXPECT_EQ(aLoaded[1].itsTls, anEntry.itsTls);
    EXPECT_EQ(keyTlsSetting("--sslEncrypt=FALSE"),
              std::make_optional(std::make_pair(std::string("ENCRYPT"), std::string("FALSE"))));
    EXPECT_FALSE(keyTlsSetting("--sslKeyStorePassword=pw")) << "a second password is not kept";

    std::ofstream(aStore.filePath(), std::ios::app) << "BAD\thost:1\tU\tpw\tsecret=x\n";
    const std::string aDamage = kivotest::messageOf([&] { aStore.load(); });
    EXPECT_NE(aDamage.find("line 4"), std::string::npos) << aDamage;
    EXPECT_EQ(aDamage.find("secret"), std::string::npos) << aDamage;
}
