#include "dbclient/keystore.hpp"

#include "core/atomicfile.hpp"

#include "core/error.hpp"
#include "core/fdwrite.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RepositoryAccess::dbclient {

namespace {

constexpr const char* kHeader = "# zevuserstore keys 1";

std::string escapeField(const std::string& theText) {
    std::string aResult;
    for (char aChar : theText) {
        if (aChar == '\\')
            aResult += "\\\\";
        else if (aChar == '\t')
            aResult += "\\t";
        else if (aChar == '\n')
            aResult += "\\n";
        else
            aResult += aChar;
    }
    return aResult;
}

std::vector<std::string> splitFields(const std::string& theLine) {
    std::vector<std::string> aFields(1);
    for (std::size_t i = 0; i < theLine.size(); ++i) {
        char aChar = theLine[i];
        if (aChar == '\t') {
            aFields.emplace_back();
        } else if (aChar == '\\' && i + 1 < theLine.size()) {
            char aNext = theLine[++i];
            aFields.back() += aNext == 't' ? '\t' : aNext == 'n' ? '\n' : aNext;
        } else {
            aFields.back() += aChar;
        }
    }
    return aFields;
}

// The connect properties a key may keep, each with its option of zevuserstore SET.
constexpr std::pair<const char*, const char*> kTlsProperties[] = {
    {"ENCRYPT", "sslEncrypt"},
    {"sslCryptoProvider", "sslCryptoProvider"},
    {"sslKeyStore", "sslKeyStore"},
    {"sslTrustStore", "sslTrustStore"},
    {"sslValidateCertificate", "sslValidateCertificate"}};

bool isTlsProperty(const std::string& theName) {
    for (const auto& [aProperty, anOption] : kTlsProperties)
        if (theName == aProperty)
            return true;
    return false;
}

// A field "PROPERTY=VALUE" after the password; false when it is no TLS setting.
bool readTlsField(const std::string& theField, KeyEntry& theEntry) {
    const std::size_t anEquals = theField.find('=');
    if (anEquals == std::string::npos || !isTlsProperty(theField.substr(0, anEquals)))
        return false;
    theEntry.itsTls.emplace_back(theField.substr(0, anEquals), theField.substr(anEquals + 1));
    return true;
}

std::string modeText(mode_t theMode) {
    char aBuffer[8];
    std::snprintf(aBuffer, sizeof aBuffer, "%04o", static_cast<unsigned>(theMode & 07777));
    return aBuffer;
}

std::string systemError(const std::string& theWhat) {
    return theWhat + " (System error code: " + std::to_string(errno) + ")";
}

} // namespace

std::optional<std::pair<std::string, std::string>> keyTlsSetting(const std::string& theOption) {
    for (const auto& [aProperty, anOption] : kTlsProperties) {
        const std::string aPrefix = std::string("--") + anOption + "=";
        if (theOption.rfind(aPrefix, 0) == 0)
            return std::make_pair(std::string(aProperty), theOption.substr(aPrefix.size()));
    }
    return std::nullopt;
}

KeyStore KeyStore::forCurrentUser() {
    const char* aHome = std::getenv("ZEVUSERSTORE_HOME");
    if (aHome != nullptr && *aHome != '\0')
        return KeyStore(aHome);
    const char* aUserHome = std::getenv("HOME");
    return KeyStore(std::string(aUserHome ? aUserHome : ".") + "/.zevuserstore");
}

KeyStore::KeyStore(std::string theDirectory)
    : itsDirectory(std::move(theDirectory)), itsFilePath(itsDirectory + "/keys") {}

std::vector<KeyEntry> KeyStore::load() const {
    int aFile = ::open(itsFilePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (aFile < 0) {
        if (errno == ENOENT)
            return {};
        throw Error(systemError("Could not open the key store \"" + itsFilePath + "\""));
    }
    struct stat aStat;
    if (::fstat(aFile, &aStat) != 0) {
        ::close(aFile);
        throw Error(systemError("Could not read the key store \"" + itsFilePath + "\""));
    }
    if ((aStat.st_mode & 077) != 0) {
        ::close(aFile);
        throw Error("The key store \"" + itsFilePath + "\" has mode " + modeText(aStat.st_mode) +
                    " and can be read by other users; restrict it with: chmod 600 \"" +
                    itsFilePath + "\"");
    }
    secrets::forbidCoreDumps();
    std::string aText;
    const secrets::WipeAtExit aWipeText(aText);
    char aBuffer[4096];
    ssize_t aCount;
    while ((aCount = ::read(aFile, aBuffer, sizeof aBuffer)) > 0)
        aText.append(aBuffer, static_cast<std::size_t>(aCount));
    int aReadErrno = errno;
    secrets::wipe(aBuffer, sizeof aBuffer);
    ::close(aFile);
    if (aCount < 0) {
        errno = aReadErrno;
        throw Error(systemError("Could not read the key store \"" + itsFilePath + "\""));
    }

    std::vector<KeyEntry> anEntries;
    std::size_t aStart = 0;
    std::size_t aLineNumber = 0;
    while (aStart < aText.size()) {
        std::size_t anEnd = aText.find('\n', aStart);
        if (anEnd == std::string::npos)
            anEnd = aText.size();
        std::string aLine = aText.substr(aStart, anEnd - aStart);
        const secrets::WipeAtExit aWipeLine(aLine);
        aStart = anEnd + 1;
        ++aLineNumber;
        if (aLine.empty() || aLine[0] == '#')
            continue;
        std::vector<std::string> aFields = splitFields(aLine);
        bool aComplete = aFields.size() >= 4;
        if (aComplete) {
            anEntries.push_back({aFields[0], aFields[1], aFields[2], aFields[3]});
            for (std::size_t i = 4; i < aFields.size(); ++i)
                aComplete = aComplete && readTlsField(aFields[i], anEntries.back());
        }
        for (std::string& aField : aFields)
            secrets::wipe(aField);
        // A damaged line may hold a password anywhere: it is named by number, never quoted.
        if (!aComplete)
            throw Error("The key store \"" + itsFilePath + "\" is damaged: line " +
                        std::to_string(aLineNumber) +
                        " does not have four fields followed by TLS settings only");
    }
    return anEntries;
}

std::optional<KeyEntry> KeyStore::find(const std::string& theKey) const {
    for (KeyEntry& anEntry : load())
        if (anEntry.itsKey == theKey)
            return std::move(anEntry);
    return std::nullopt;
}

void KeyStore::save(const std::vector<KeyEntry>& theEntries) const {
    if (::mkdir(itsDirectory.c_str(), 0700) != 0 && errno != EEXIST)
        throw Error(
            systemError("Could not create the key store directory \"" + itsDirectory + "\""));
    std::string aText = std::string(kHeader) + "\n";
    const secrets::WipeAtExit aWipeText(aText);
    for (const KeyEntry& anEntry : theEntries) {
        aText += escapeField(anEntry.itsKey) + "\t" + escapeField(anEntry.itsHost) + "\t" +
                 escapeField(anEntry.itsUser) + "\t" + escapeField(anEntry.itsPassword);
        for (const auto& [aName, aValue] : anEntry.itsTls)
            aText += "\t" + escapeField(aName + "=" + aValue);
        aText += "\n";
    }

    replaceFileDurably(itsFilePath, aText, 0600);
}

} // namespace RepositoryAccess::dbclient
