#include "dbclient/pgtls.hpp"

#include <gtest/gtest.h>

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
    EXPECT_EQ(keywords({}), (Map{{"sslmode", "prefer"}}));
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

TEST(PgTls, ContradictionsAndUnknownWordsAreRefused) {
    EXPECT_NE(keywords({{"ENCRYPT", "TRUE"}})["refused"].find("needs a trust store"),
              std::string::npos);
    EXPECT_NE(keywords({{"ENCRYPT", "maybe"}})["refused"].find("\"maybe\" of ENCRYPT"),
              std::string::npos);
    EXPECT_NE(keywords({{"ENCRYPT", "FALSE"}, {"sslTrustStore", "ca.pem"}})["refused"].find(
                  "ENCRYPT is FALSE"),
              std::string::npos);
    EXPECT_NE(keywords({{"sslValidateCertificate", "FALSE"},
                        {"sslCryptoProvider", "mscrypto"}})["refused"]
                  .find("\"mscrypto\" is not available"),
              std::string::npos);
}
