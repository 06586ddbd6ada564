#include "dbclient/pgtls.hpp"

#include "core/textcase.hpp"
#include "dbclient/pgconnection.hpp"

#include <cstdlib>
#include <optional>
#include <sys/stat.h>

namespace RepositoryAccess::dbclient {

namespace {

const char* const kOtherTlsProperties[] = {"sslCryptoProvider", "sslKeyStore",
                                           "sslKeyStorePassword", "sslTrustStore",
                                           "sslValidateCertificate"};

// TRUE or FALSE in any case (also 1/0, YES/NO, ON/OFF); nothing for another word.
std::optional<bool> parseSwitch(const std::string& theValue) {
    const std::string aValue = textcase::upper(theValue);
    if (aValue == "TRUE" || aValue == "1" || aValue == "YES" || aValue == "ON")
        return true;
    if (aValue == "FALSE" || aValue == "0" || aValue == "NO" || aValue == "OFF")
        return false;
    return std::nullopt;
}

// Keeps the first reason why the properties cannot be used.
void refuse(TlsSettings& theSettings, std::string theReason) {
    if (theSettings.itsRefusal.empty())
        theSettings.itsRefusal = std::move(theReason);
}

bool contains(const std::string& theText, const char* thePart) {
    return theText.find(thePart) != std::string::npos;
}

// The switch property theName: theDefault when unset; a refusal for another word.
bool readSwitch(const ConnectProperties& theProperties, const char* theName, bool theDefault,
                TlsSettings& theSettings) {
    const std::string* aValue = theProperties.getProperty(theName);
    if (aValue == nullptr)
        return theDefault;
    std::optional<bool> aSwitch = parseSwitch(*aValue);
    if (!aSwitch)
        refuse(theSettings,
               std::string("Invalid value \"") + *aValue + "\" of " + theName + ": TRUE or FALSE");
    return aSwitch.value_or(theDefault);
}

bool isReadableFile(const std::string& thePath) {
    struct stat aStat;
    return !thePath.empty() && ::stat(thePath.c_str(), &aStat) == 0 && S_ISREG(aStat.st_mode);
}

std::string environmentValue(const char* theName) {
    const char* aValue = std::getenv(theName);
    return aValue != nullptr ? aValue : "";
}

// The trust store libpq finds by its own conventions: PGSSLROOTCERT, else
// ~/.postgresql/root.crt; empty when there is none.
std::string conventionalTrustStore() {
    std::string aPath = environmentValue("PGSSLROOTCERT");
    if (aPath.empty() && !environmentValue("HOME").empty())
        aPath = environmentValue("HOME") + "/.postgresql/root.crt";
    return isReadableFile(aPath) ? aPath : std::string();
}

void mapEncrypted(const ConnectProperties& theProperties, TlsSettings& theSettings) {
    theSettings.itsValidates =
        readSwitch(theProperties, "sslValidateCertificate", true, theSettings);
    if (const std::string* aProvider = theProperties.getProperty("sslCryptoProvider");
        aProvider != nullptr && !aProvider->empty() && textcase::upper(*aProvider) != "OPENSSL")
        refuse(theSettings, "The crypto provider \"" + *aProvider +
                                "\" is not available: this client encrypts with openssl");
    if (const std::string* aTrust = theProperties.getProperty("sslTrustStore"))
        theSettings.itsTrustStore = *aTrust;
    if (theSettings.itsTrustStore.empty())
        theSettings.itsTrustStore = conventionalTrustStore();
    auto& aKeywords = theSettings.itsKeywords;
    if (theSettings.itsValidates) {
        if (theSettings.itsTrustStore.empty())
            refuse(theSettings, "Validating the server's certificate needs a trust store: set "
                                "sslTrustStore (or PGSSLROOTCERT) to a PEM file of the trusted "
                                "certificate authorities, or sslValidateCertificate to FALSE");
        aKeywords.emplace_back("sslmode", "verify-full");
        aKeywords.emplace_back("sslrootcert", theSettings.itsTrustStore);
    } else {
        aKeywords.emplace_back("sslmode", "require");
    }
    if (const std::string* aKeyStore = theProperties.getProperty("sslKeyStore")) {
        aKeywords.emplace_back("sslcert", *aKeyStore);
        aKeywords.emplace_back("sslkey", *aKeyStore);
    }
    if (const std::string* aPassword = theProperties.getProperty("sslKeyStorePassword"))
        aKeywords.emplace_back("sslpassword", *aPassword);
}

// Without a TLS setting of kivo's own, libpq's conventions hold: PGSSLMODE is left to libpq;
// without it, a trust store that libpq finds makes the connection verify the certificate and the
// host name, else libpq's own default (prefer) applies.
void mapConventions(TlsSettings& theSettings) {
    if (!environmentValue("PGSSLMODE").empty())
        return;
    theSettings.itsTrustStore = conventionalTrustStore();
    if (theSettings.itsTrustStore.empty())
        return;
    theSettings.itsValidates = true;
    theSettings.itsKeywords.emplace_back("sslmode", "verify-full");
}

} // namespace

TlsSettings mapTlsProperties(const ConnectProperties& theProperties) {
    TlsSettings aSettings;
    bool anyOther = false;
    for (const char* aName : kOtherTlsProperties)
        anyOther = anyOther || theProperties.getProperty(aName) != nullptr;
    const std::string* anEncrypt = theProperties.getProperty("ENCRYPT");
    if (anEncrypt == nullptr && !anyOther) {
        mapConventions(aSettings);
        return aSettings;
    }
    if (!readSwitch(theProperties, "ENCRYPT", true, aSettings)) {
        if (anyOther)
            refuse(aSettings, "The TLS settings (ssl...) need an encrypted connection, but "
                              "ENCRYPT is FALSE");
        aSettings.itsKeywords.emplace_back("sslmode", "disable");
        return aSettings;
    }
    mapEncrypted(theProperties, aSettings);
    return aSettings;
}

std::string describeConnectFailure(const std::string& theMessage, const TlsSettings& theTls,
                                   const std::string& theHost, int& theCode) {
    theCode = pgcode::kTlsRefused;
    if (contains(theMessage, "password authentication failed") ||
        contains(theMessage, "no password supplied")) {
        theCode = pgcode::kAuthenticationFailed;
        return "Authentication failed: unknown user or wrong password";
    }
    if (contains(theMessage, "read-only") || contains(theMessage, "hot standby")) {
        theCode = pgcode::kConnectFailed;
        return "None of the servers \"" + theHost +
               "\" accepts writes (each is a standby or read-only): " + theMessage;
    }
    if (contains(theMessage, "does not match host name"))
        return "The server's certificate does not name the host \"" + theHost +
               "\" (sslValidateCertificate checks the host name): " + theMessage;
    if (contains(theMessage, "certificate verify failed"))
        return "The server's certificate is not signed by an authority of the trust store \"" +
               theTls.itsTrustStore + "\": " + theMessage;
    if (contains(theMessage, "server does not support SSL"))
        return "The server does not accept encrypted connections (ENCRYPT): " + theMessage;
    if (contains(theMessage, "certificate") || contains(theMessage, "private key") ||
        contains(theMessage, "SSL"))
        return "The TLS connection to \"" + theHost + "\" was refused: " + theMessage;
    theCode = pgcode::kConnectFailed;
    return "Cannot connect to the database server \"" + theHost + "\": " + theMessage;
}

} // namespace RepositoryAccess::dbclient
