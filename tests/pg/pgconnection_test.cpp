// The PostgreSQL backend against the throwaway cluster of tests/pg/cluster.sh: connect, the three
// queries, the call answered by the extension, what a repository user may not do, and TLS.

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/keystore.hpp"
#include "dbclient/pgconnection.hpp"
#include "tests/pg/clusterfacts.hpp"
#include "tests/pg/firstcolumn.hpp"
#include "tests/support/process.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

using namespace RepositoryAccess;
using namespace RepositoryAccess::dbclient;

namespace {

class PgConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFacts = kivotest::readClusterFacts();
        if (itsFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
        itsEnvironment = Runtime::getRuntime(nullptr, 0)->createEnvironment();
        itsConnection = itsEnvironment->createConnection();
    }

    std::string host(const std::string& theName = "127.0.0.1") {
        return theName + ":" + itsFacts["KIVO_PG_PORT"];
    }
    std::string cert(const std::string& theName) {
        return itsFacts["KIVO_PG_CERTS"] + "/" + theName;
    }

    ReturnCode connect(const std::string& thePassword = "s3cret",
                       ConnectProperties theProperties = {}, const std::string& theHost = {}) {
        theProperties.setProperty("DATABASENAME", itsFacts["KIVO_PG_DATABASE"]);
        return itsConnection->connect(theHost.empty() ? host() : theHost, "", "DEVELOPER",
                                      thePassword, StringEncoding::Utf8, theProperties);
    }

    // Column 1 of the first row of theSql as text (see kivotest::firstColumn).
    std::string queryText(const std::string& theSql) {
        return kivotest::firstColumn(*itsConnection, theSql);
    }

    // Sends theFrame through the repository call with an output buffer of theRoom bytes.
    ReturnCode call(const std::string& theFrame, std::int64_t theRoom, std::string& theAnswer) {
        PreparedStatement* aStatement = itsConnection->createPreparedStatement();
        EXPECT_EQ(aStatement->prepare("{CALL SYS.REPOSITORY_REST(?, ?)}"), ReturnCode::Ok);
        std::string anInput = theFrame;
        std::int64_t anInputLength = static_cast<std::int64_t>(anInput.size());
        std::string anOutput(static_cast<std::size_t>(theRoom), '\0');
        std::int64_t anOutputLength = 0;
        aStatement->bindParameter(1, HostType::Binary, anInput.data(), &anInputLength,
                                  anInputLength);
        aStatement->bindParameter(2, HostType::Binary, anOutput.data(), &anOutputLength, theRoom);
        ReturnCode aCode = aStatement->execute();
        if (aCode == ReturnCode::DataTruncated) {
            anOutput.resize(static_cast<std::size_t>(anOutputLength));
            EXPECT_EQ(aStatement->getObject(2, HostType::Binary, anOutput.data(), &anOutputLength,
                                            anOutputLength),
                      ReturnCode::Ok);
        }
        theAnswer = aCode == ReturnCode::Error
                        ? aStatement->error().getErrorText()
                        : anOutput.substr(0, static_cast<std::size_t>(anOutputLength));
        itsConnection->releaseStatement(aStatement);
        return aCode;
    }

    std::string errorText() { return itsConnection->error().getErrorText(); }

    std::map<std::string, std::string> itsFacts;
    std::unique_ptr<Environment> itsEnvironment;
    Connection* itsConnection = nullptr;
};

std::string frame(const std::string& theJson) {
    return RepositoryMessage(std::make_shared<const std::string>(theJson)).serialize();
}

// The error code and message of an answer frame.
std::pair<std::string, std::string> errorOf(const std::string& theAnswer) {
    RepositoryMessage aMessage =
        RepositoryMessage::parse(theAnswer.data(), static_cast<std::int32_t>(theAnswer.size()));
    json::JsonObject anObject;
    json::JsonAllocator anAllocator;
    EXPECT_TRUE(json::jsonParse(aMessage.getJson()->data(), aMessage.getJson()->size(), anObject,
                                anAllocator));
    return {json::getString(anObject, "error-code"), json::getString(anObject, "error-msg")};
}

} // namespace

TEST(ServerHost, HostAndPortAreRequired) {
    EXPECT_EQ(parseServerHost("db.example.com:5432")->itsHost, "db.example.com");
    EXPECT_EQ(parseServerHost("[::1]:5432")->itsHost, "::1");
    EXPECT_EQ(parseServerHost("db.example.com:5432")->itsDatabase, "");
    for (const char* aHost : {"db", "db:", ":5432", "db:0", "db:65536", "db:54x2", "::1:5432",
                              "db:5432@", "db@ZEV", "db:x@ZEV"})
        EXPECT_FALSE(parseServerHost(aHost)) << aHost;
}

TEST(ServerHost, ADatabaseFollowsThePortAfterAnAt) {
    const auto aServer = parseServerHost("[::1]:5432@my@db");
    ASSERT_TRUE(aServer);
    EXPECT_EQ(aServer->itsHost, "::1");
    EXPECT_EQ(aServer->itsPort, "5432");
    EXPECT_EQ(aServer->itsDatabase, "my@db");
}

// A primary and its standbys become libpq's host and port lists; one bad server spoils the list.
TEST(ServerHost, AListOfServersNamesAPrimaryAndItsStandbys) {
    const auto aServer = parseServerHost("db1:5432,[::1]:5433,db3:6000@ZEV");
    ASSERT_TRUE(aServer);
    EXPECT_EQ(aServer->itsHost, "db1,::1,db3");
    EXPECT_EQ(aServer->itsPort, "5432,5433,6000");
    EXPECT_EQ(aServer->itsDatabase, "ZEV");
    EXPECT_EQ(aServer->itsServerCount, 3);
    EXPECT_EQ(parseServerHost("db1:5432")->itsServerCount, 1);
    for (const char* aHost : {"db1:5432,", ",db1:5432", "db1:5432,,db2:5432", "db1:5432,db2",
                              "db1:5432,db2:0@ZEV", "db1,db2:5432"})
        EXPECT_FALSE(parseServerHost(aHost)) << aHost;
}

TEST_F(PgConnectionTest, ConnectsWithTheRightPasswordOnly) {
    EXPECT_EQ(connect("guess-42"), ReturnCode::Error);
    EXPECT_NE(errorText().find("Authentication failed"), std::string::npos) << errorText();
    EXPECT_EQ(errorText().find("guess-42"), std::string::npos);
    ASSERT_EQ(connect(), ReturnCode::Ok) << errorText();

    ConnectProperties anOtherDatabase;
    anOtherDatabase.setProperty("DATABASENAME", "NODB");
    EXPECT_EQ(itsConnection->connect(host(), "", "DEVELOPER", "s3cret", StringEncoding::Utf8,
                                     anOtherDatabase),
              ReturnCode::Error);
    EXPECT_NE(errorText().find("NODB"), std::string::npos) << errorText();

    // The host's database serves when the connection names none, and yields to one it names.
    EXPECT_EQ(itsConnection->connect(host() + "@" + itsFacts["KIVO_PG_DATABASE"], "", "DEVELOPER",
                                     "s3cret", StringEncoding::Utf8, {}),
              ReturnCode::Ok)
        << errorText();
    EXPECT_EQ(itsConnection->connect(host() + "@" + itsFacts["KIVO_PG_DATABASE"], "", "DEVELOPER",
                                     "s3cret", StringEncoding::Utf8, anOtherDatabase),
              ReturnCode::Error);
    EXPECT_NE(errorText().find("NODB"), std::string::npos) << errorText();
}

TEST_F(PgConnectionTest, TheThreeQueriesAnswerFromTheExtension) {
    ASSERT_EQ(connect(), ReturnCode::Ok) << errorText();
    EXPECT_EQ(queryText("select feature_version from \"PUBLIC\".\"M_FEATURES\" where "
                        "component_name='REPOSITORY' and feature_name='API'"),
              "16");
    EXPECT_EQ(queryText("select database_name from \"PUBLIC\".\"M_DATABASE\""), "ZEV");
    EXPECT_EQ(queryText("select user_name from \"PUBLIC\".\"M_CONNECTIONS\" where own='TRUE' and "
                        "connection_status='RUNNING'"),
              "DEVELOPER");
}

TEST_F(PgConnectionTest, TheCallIsAnsweredByTheExtensionLikeA1024ByteOutput) {
    ASSERT_EQ(connect(), ReturnCode::Ok) << errorText();
    std::string anAnswer;
    ASSERT_EQ(call(frame(R"({"action":"read","what":"package","package":"no.such.package"})"), 1024,
                   anAnswer),
              ReturnCode::Ok)
        << anAnswer;
    EXPECT_EQ(errorOf(anAnswer).first, "40111");

    std::string aWhole = anAnswer;
    ASSERT_EQ(call(frame(R"({"action":"read","what":"package","package":"no.such.package"})"), 20,
                   anAnswer),
              ReturnCode::DataTruncated);
    EXPECT_EQ(anAnswer, aWhole);

    ASSERT_EQ(call("repoV2 damaged", 1024, anAnswer), ReturnCode::Ok);
    EXPECT_EQ(errorOf(anAnswer).first, "40130");
}

TEST_F(PgConnectionTest, KeysNameAServer) {
    kivotest::TempDir aDir;
    std::string aHome = (aDir.path() / "keys").string();
    ::setenv("ZEVUSERSTORE_HOME", aHome.c_str(), 1);
    KeyStore::forCurrentUser().save({{"TEAM", host(), "DEVELOPER", "s3cret"}});
    ConnectProperties aKey;
    aKey.setProperty("KEY", "TEAM");
    aKey.setProperty("DATABASENAME", "ZEV");
    EXPECT_EQ(itsConnection->connect("", "", "", "", StringEncoding::Utf8, aKey), ReturnCode::Ok)
        << errorText();
    ::unsetenv("ZEVUSERSTORE_HOME");
    EXPECT_EQ(queryText("select database_name from \"PUBLIC\".\"M_DATABASE\""), "ZEV");
}

TEST_F(PgConnectionTest, TlsVerifiedUnverifiedAndRefused) {
    const std::string anEncrypted =
        "select ssl::text from pg_stat_ssl where pid = pg_backend_pid()";
    ConnectProperties aVerified;
    aVerified.setProperty("ENCRYPT", "TRUE");
    aVerified.setProperty("sslTrustStore", cert("ca.crt"));
    ASSERT_EQ(connect("s3cret", aVerified, host("localhost")), ReturnCode::Ok) << errorText();
    EXPECT_EQ(queryText(anEncrypted), "true");

    EXPECT_EQ(connect("s3cret", aVerified), ReturnCode::Error);
    EXPECT_NE(errorText().find("does not name the host \"127.0.0.1:"), std::string::npos)
        << errorText();

    ConnectProperties aStranger = aVerified;
    aStranger.setProperty("sslTrustStore", cert("other.crt"));
    EXPECT_EQ(connect("s3cret", aStranger, host("localhost")), ReturnCode::Error);
    EXPECT_NE(errorText().find("not signed by an authority of the trust store"), std::string::npos)
        << errorText();

    ConnectProperties anUnverified;
    anUnverified.setProperty("ENCRYPT", "TRUE");
    anUnverified.setProperty("sslValidateCertificate", "FALSE");
    ASSERT_EQ(connect("s3cret", anUnverified), ReturnCode::Ok) << errorText();
    EXPECT_EQ(queryText(anEncrypted), "true");

    ConnectProperties aNoTrustStore;
    aNoTrustStore.setProperty("ENCRYPT", "TRUE");
    EXPECT_EQ(connect("s3cret", aNoTrustStore), ReturnCode::Error);
    EXPECT_NE(errorText().find("needs a trust store"), std::string::npos) << errorText();

    ConnectProperties aContradiction = anUnverified;
    aContradiction.setProperty("ENCRYPT", "FALSE");
    EXPECT_EQ(connect("s3cret", aContradiction), ReturnCode::Error);
    EXPECT_NE(errorText().find("ENCRYPT is FALSE"), std::string::npos) << errorText();

    ConnectProperties aPlain;
    aPlain.setProperty("ENCRYPT", "FALSE");
    ASSERT_EQ(connect("s3cret", aPlain), ReturnCode::Ok) << errorText();
    EXPECT_EQ(queryText(anEncrypted), "false");
}
