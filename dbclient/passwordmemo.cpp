#include "dbclient/passwordmemo.hpp"

#include "core/atomicfile.hpp"
#include "core/error.hpp"
#include "core/utils.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace RepositoryAccess::dbclient {

namespace {

constexpr std::string_view kHeader = "kivo verified passwords 1";
constexpr std::size_t kSecretSize = 32;
// The newest entries kept: one per key and password in use is plenty.
constexpr std::size_t kMostTags = 64;

// The lines of a memo file that only its owner can read; nothing for any other file.
std::vector<std::string> ownLines(const std::string& thePath) {
    struct stat aStat;
    if (::stat(thePath.c_str(), &aStat) != 0 || !S_ISREG(aStat.st_mode) ||
        aStat.st_uid != ::geteuid() || (aStat.st_mode & 077) != 0)
        return {};
    std::ifstream aFile(thePath, std::ios::binary);
    std::vector<std::string> aLines;
    for (std::string aLine; std::getline(aFile, aLine);)
        aLines.push_back(aLine);
    return aLines;
}

} // namespace

PasswordMemo::PasswordMemo(std::string theFilePath) : itsFilePath(std::move(theFilePath)) {
    load();
}

void PasswordMemo::load() {
    const std::vector<std::string> aLines = ownLines(itsFilePath);
    if (aLines.size() < 2 || aLines[0] != kHeader || !utils::fromHex(aLines[1], itsSecret) ||
        itsSecret.size() != kSecretSize) {
        itsSecret.clear();
        return;
    }
    for (std::size_t i = 2; i < aLines.size(); ++i)
        itsTags.push_back(aLines[i]);
}

std::string PasswordMemo::tag(std::string_view theUser, std::string_view theStoredHash,
                              std::string_view thePassword) const {
    std::string aMessage;
    aMessage.append(theUser).push_back('\0');
    aMessage.append(theStoredHash).push_back('\0');
    aMessage.append(thePassword);
    unsigned char aMac[EVP_MAX_MD_SIZE];
    unsigned int aSize = 0;
    const bool anOk = HMAC(EVP_sha256(), itsSecret.data(), static_cast<int>(itsSecret.size()),
                           reinterpret_cast<const unsigned char*>(aMessage.data()), aMessage.size(),
                           aMac, &aSize) != nullptr;
    OPENSSL_cleanse(aMessage.data(), aMessage.size());
    if (!anOk)
        return {};
    return utils::toHex({reinterpret_cast<const char*>(aMac), aSize});
}

bool PasswordMemo::holds(std::string_view theUser, std::string_view theStoredHash,
                         std::string_view thePassword) const {
    if (itsSecret.empty())
        return false;
    const std::string aTag = tag(theUser, theStoredHash, thePassword);
    return !aTag.empty() && std::any_of(itsTags.begin(), itsTags.end(), [&](const std::string& t) {
        return t.size() == aTag.size() && CRYPTO_memcmp(t.data(), aTag.data(), t.size()) == 0;
    });
}

void PasswordMemo::add(std::string_view theUser, std::string_view theStoredHash,
                       std::string_view thePassword) {
    if (itsSecret.empty()) {
        itsSecret.assign(kSecretSize, '\0');
        if (RAND_bytes(reinterpret_cast<unsigned char*>(itsSecret.data()),
                       static_cast<int>(kSecretSize)) != 1) {
            itsSecret.clear();
            return; // no memo without a secret: the next run derives the password again
        }
        itsTags.clear();
    }
    const std::string aTag = tag(theUser, theStoredHash, thePassword);
    if (aTag.empty())
        return;
    itsTags.push_back(aTag);
    if (itsTags.size() > kMostTags)
        itsTags.erase(itsTags.begin(), itsTags.end() - kMostTags);
    std::string aText = std::string(kHeader) + "\n" + utils::toHex(itsSecret) + "\n";
    for (const std::string& aKept : itsTags)
        aText += aKept + "\n";
    try {
        replaceFileDurably(itsFilePath, aText, 0600);
    } catch (const Error&) {
        // The connect has succeeded; a memo that cannot be written only means that the next run
        // derives the password again. Dropping the secret keeps this run from trusting it.
        itsSecret.clear();
    }
}

} // namespace RepositoryAccess::dbclient
