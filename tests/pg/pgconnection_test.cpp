// The PostgreSQL backend: the server addresses it reads, the libpq keywords its TLS settings
// become, and on the throwaway cluster the database a connect reaches.

#include "dbclient/pgconnection.hpp"
#include "dbclient/pgtls.hpp"
#include "tests/pg/repositorysession.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>

using namespace RepositoryAccess::dbclient;

TEST(ServerHost, AHostNamesServersWithPortsAndADatabaseAfterAnAt) {
    const std::pair<const char*, ServerHost> aCases[] = {
        {"db.example.com:5432", ServerHost{"db.example.com", "5432", "", 1}},
        {"[::1]:5432", ServerHost{"::1", "5432", "", 1}},
        {"[::1]:5432@my@db", ServerHost{"::1", "5432", "my@db", 1}},
        // A primary and its standbys become libpq's host and port lists.
        {"db1:5432,[::1]:5433,db3:6000@ZEV", ServerHost{"db1,::1,db3", "5432,5433,6000", "ZEV", 3}},
    };
    for (const auto& [aText, anExpected] : aCases) {
        SCOPED_TRACE(aText);
        const auto aServer = parseServerHost(aText);
        ASSERT_TRUE(aServer);
        EXPECT_EQ(aServer->itsHost, anExpected.itsHost);
        EXPECT_EQ(aServer->itsPort, anExpected.itsPort);
        EXPECT_EQ(aServer->itsDatabase, anExpected.itsDatabase);
        EXPECT_EQ(aServer->itsServerCount, anExpected.itsServerCount);
    }
    // One bad server spoils a list.
    for (const char* aHost :
         {"db", "db:", ":5432", "db:0", "db:65536", "db:54x2", "::1:5432", "db:5432@", "db@ZEV",
          "db:x@ZEV", "db1:5432,", ",db1:5432", "db1:5432,,db2:5432", "db1:5432,db2",
          "db1:5432,db2:0@ZEV", "db1,db2:5432"})
        EXPECT_FALSE(parseServerHost(aHost)) << aHost;
}

using PgConnectionTest = kivotest::ClusterTest;

// The host's database serves when the connection names none, and yields to one it names (a wrong
// password: ServerClientTest.OnlyAKeysWrongLoginGetsTheKeyAdvice; TLS: ServerClientTest too).
TEST_F(PgConnectionTest, TheHostsDatabaseYieldsToTheOneTheConnectionNames) {
    const auto anEnvironment = Runtime::getRuntime(nullptr, 0)->createEnvironment();
    Connection* aConnection = anEnvironment->createConnection();
    const std::string aHost = "127.0.0.1:" + itsFacts["KIVO_PG_PORT"] + "@ZEV";
    ConnectProperties aProperties;
    EXPECT_EQ(
        aConnection->connect(aHost, "", "DEVELOPER", "s3cret", StringEncoding::Utf8, aProperties),
        ReturnCode::Ok);
    EXPECT_EQ(kivotest::firstColumn(*aConnection, "select current_database()"), "ZEV");
    aProperties.setProperty("DATABASENAME", "NODB");
    EXPECT_EQ(
        aConnection->connect(aHost, "", "DEVELOPER", "s3cret", StringEncoding::Utf8, aProperties),
        ReturnCode::Error);
    EXPECT_TRUE(kivotest::contains(aConnection->error().getErrorText(), "NODB"));
}

namespace {

// The libpq keywords of theProperties, or "refused: <text>".
std::map<std::string, std::string>
keywords(const std::map<std::string, std::string>& theProperties) {
    ConnectProperties aProperties;
    for (const auto& [aKey, aValue] : theProperties)
        aProperties.setProperty(aKey, aValue);
    TlsSettings aSettings = mapTlsProperties(aProperties);
    if (!aSettings.itsRefusal.empty())
        return {{"refused", aSettings.itsRefusal}};
    return {aSettings.itsKeywords.begin(), aSettings.itsKeywords.end()};
}

} // namespace

TEST(PgTls, PropertiesBecomeSslModeAndFiles) {
    using Map = std::map<std::string, std::string>;
    EXPECT_EQ(keywords({{"ENCRYPT", "false"}}), (Map{{"sslmode", "disable"}}));
    EXPECT_EQ(keywords({{"ENCRYPT", "TRUE"}, {"sslTrustStore", "ca.pem"}}),
              (Map{{"sslmode", "verify-full"}, {"sslrootcert", "ca.pem"}}));
    EXPECT_EQ(keywords({{"sslValidateCertificate", "FALSE"},
                        {"sslKeyStore", "me.pem"},
                        {"sslKeyStorePassword", "pw"},
                        {"sslCryptoProvider", "OpenSSL"}}),
              (Map{{"sslmode", "require"},
                   {"sslcert", "me.pem"},
                   {"sslkey", "me.pem"},
                   {"sslpassword", "pw"}}));
}

// Without a setting of kivo's own libpq's conventions hold: PGSSLMODE as libpq reads it, else a
// trust store that libpq finds makes the connection verify, else libpq's default.
TEST(PgTls, WithoutSettingsLibpqConventionsHold) {
    using Map = std::map<std::string, std::string>;
    const std::string aRoot = ::testing::TempDir() + "/pgtls-root.crt";
    std::ofstream(aRoot) << "-----BEGIN CERTIFICATE-----\n";
    ::setenv("HOME", "/nonexistent", 1);
    ::unsetenv("PGSSLMODE");
    ::unsetenv("PGSSLROOTCERT");
    EXPECT_EQ(keywords({}), Map{});
    ::setenv("PGSSLROOTCERT", aRoot.c_str(), 1);
    EXPECT_EQ(keywords({}), (Map{{"sslmode", "verify-full"}}));
    EXPECT_EQ(keywords({{"ENCRYPT", "TRUE"}}),
              (Map{{"sslmode", "verify-full"}, {"sslrootcert", aRoot}}));
    ::setenv("PGSSLMODE", "require", 1);
    EXPECT_EQ(keywords({}), Map{});
    ::unsetenv("PGSSLMODE");
    ::setenv("PGSSLROOTCERT", (aRoot + ".missing").c_str(), 1);
    EXPECT_EQ(keywords({}), Map{});
    ::unsetenv("PGSSLROOTCERT");
    std::remove(aRoot.c_str());
}

TEST(PgTls, ContradictionsAndUnknownWordsAreRefused) {
    const std::pair<std::map<std::string, std::string>, std::string> aCases[] = {
        {{{"ENCRYPT", "TRUE"}}, "needs a trust store"},
        {{{"ENCRYPT", "maybe"}}, "\"maybe\" of ENCRYPT"},
        {{{"ENCRYPT", "FALSE"}, {"sslTrustStore", "ca.pem"}}, "ENCRYPT is FALSE"},
        {{{"sslValidateCertificate", "FALSE"}, {"sslCryptoProvider", "mscrypto"}},
         "\"mscrypto\" is not available"},
    };
    for (const auto& [aProperties, aReason] : aCases)
        EXPECT_NE(keywords(aProperties)["refused"].find(aReason), std::string::npos) << aReason;
}
