#include "dbclient/pgtls.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

using namespace RepositoryAccess::dbclient;

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
