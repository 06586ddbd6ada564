#include "core/error.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/keystore.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "tests/support/repositoryfile.hpp"

#include <gtest/gtest.h>

#include <filesystem>

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

    ReturnCode connect(const std::string& theHost) {
        return itsConnection->connect(theHost, "", "alice", "secret", StringEncoding::Utf8, {});
    }
    ReturnCode connectKey(const std::string& theKey) {
        ConnectProperties aKey;
        aKey.setProperty("KEY", theKey);
        return itsConnection->connect("", "", "", "", StringEncoding::Utf8, aKey);
    }
    std::string errorText() const { return itsConnection->error().getErrorText(); }

    kivotest::TempDir itsDir;
    std::string itsFile;
    std::unique_ptr<Environment> itsEnvironment;
    Connection* itsConnection = nullptr;
};

} // namespace

// The server facts that the monitoring queries answer are the connection layer's tests.
TEST_F(EmbeddedConnectionTest, RefusesOtherHostsMissingFilesAndStatementsOtherThanMonitoring) {
    EXPECT_EQ(connect("dbhost"), ReturnCode::Error);
    EXPECT_NE(errorText().find("file:PATH"), std::string::npos);
    EXPECT_EQ(connect("file:" + itsFile + ".missing"), ReturnCode::Error);
    EXPECT_NE(errorText().find("does not exist"), std::string::npos);
    ASSERT_EQ(connect("file:" + itsFile), ReturnCode::Ok);
    Statement* aStatement = itsConnection->createStatement();
    EXPECT_EQ(aStatement->execute("select * from users"), ReturnCode::Error);
    EXPECT_EQ(aStatement->error().getErrorText(), "unsupported statement");
}

// A key names a host, user and password in the key store; the verified password is remembered
// beside the keys, and the memo never lets a wrong one in. A key keeps the TLS settings of its
// host through a rewrite (a damaged line is the end-to-end test
// Attack.PasswordsAreMaskedInEveryForm's).
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
}
