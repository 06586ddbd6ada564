#include "dbclient/pgtls.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

using namespace RepositoryAccess::dbclient;

namespace {

using Map = std::map<std::string, std::string>;

// The libpq keywords of theProperties, or {"refused", <text>}.
Map keywords(const Map& theProperties) {
    ConnectProperties aProperties;
    for (const auto& [aKey, aValue] : theProperties)
        aProperties.setProperty(aKey, aValue);
    TlsSettings aSettings = mapTlsProperties(aProperties);
    if (!aSettings.itsRefusal.empty())
        return {{"refused", aSettings.itsRefusal}};
    return {aSettings.itsKeywords.begin(), aSettings.itsKeywords.end()};
}

} // namespace

// The properties become sslmode and files, or a refusal whose text contains the expected one.
TEST(PgTls, PropertiesBecomeSslModeAndFilesOrAreRefused) {
    struct Case {
        Map itsProperties, itsKeywords;
    };
    const Case aCases[] = {
        {{{"ENCRYPT", "false"}}, {{"sslmode", "disable"}}},
        {{{"ENCRYPT", "TRUE"}, {"sslTrustStore", "ca.pem"}},
         {{"sslmode", "verify-full"}, {"sslrootcert", "ca.pem"}}},
        {{{"sslValidateCertificate", "FALSE"},
          {"sslKeyStore", "me.pem"},
          {"sslKeyStorePassword", "pw"},
          {"sslCryptoProvider", "OpenSSL"}},
         {{"sslmode", "require"},
          {"sslcert", "me.pem"},
          {"sslkey", "me.pem"},
          {"sslpassword", "pw"}}},
        {{{"ENCRYPT", "TRUE"}}, {{"refused", "needs a trust store"}}},
        {{{"ENCRYPT", "maybe"}}, {{"refused", "\"maybe\" of ENCRYPT"}}},
        {{{"ENCRYPT", "FALSE"}, {"sslTrustStore", "ca.pem"}}, {{"refused", "ENCRYPT is FALSE"}}},
        {{{"sslValidateCertificate", "FALSE"}, {"sslCryptoProvider", "mscrypto"}},
         {{"refused", "\"mscrypto\" is not available"}}},
    };
    for (const Case& aCase : aCases) {
        Map aKeywords = keywords(aCase.itsProperties);
        if (aCase.itsKeywords.contains("refused")) {
            EXPECT_NE(aKeywords["refused"].find(aCase.itsKeywords.at("refused")), std::string::npos)
                << aKeywords["refused"];
        } else {
            EXPECT_EQ(aKeywords, aCase.itsKeywords);
        }
    }
}

// Without a setting of kivo's own libpq's conventions hold: PGSSLMODE as libpq reads it, else a
// trust store that libpq finds makes the connection verify, else libpq's default.
TEST(PgTls, WithoutSettingsLibpqConventionsHold) {
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
