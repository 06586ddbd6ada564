#include "server/passwordhash.hpp"

#include "core/error.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <vector>

namespace RepositoryAccess::server {

namespace {

constexpr int kIterations = 100000;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kHashSize = 32;
constexpr std::string_view kMethod = "pbkdf2-sha256";

std::string toHex(const unsigned char* theBytes, std::size_t theSize) {
    static const char kDigits[] = "0123456789abcdef";
    std::string aText;
    for (std::size_t i = 0; i < theSize; ++i) {
        aText += kDigits[theBytes[i] >> 4];
        aText += kDigits[theBytes[i] & 0xF];
    }
    return aText;
}

bool fromHex(std::string_view theText, std::vector<unsigned char>& theBytes) {
    if (theText.size() % 2 != 0)
        return false;
    theBytes.clear();
    for (std::size_t i = 0; i < theText.size(); i += 2) {
        unsigned int aValue = 0;
        auto [aEnd, anError] =
            std::from_chars(theText.data() + i, theText.data() + i + 2, aValue, 16);
        if (anError != std::errc() || aEnd != theText.data() + i + 2)
            return false;
        theBytes.push_back(static_cast<unsigned char>(aValue));
    }
    return true;
}

std::vector<unsigned char> derive(std::string_view thePassword, const unsigned char* theSalt,
                                  std::size_t theSaltSize, int theIterations, std::size_t theSize) {
    std::vector<unsigned char> aHash(theSize);
    if (PKCS5_PBKDF2_HMAC(thePassword.data(), static_cast<int>(thePassword.size()), theSalt,
                          static_cast<int>(theSaltSize), theIterations, EVP_sha256(),
                          static_cast<int>(theSize), aHash.data()) != 1)
        throw Error("Password hashing failed");
    return aHash;
}

} // namespace

std::string hashPassword(std::string_view thePassword) {
    unsigned char aSalt[kSaltSize];
    if (RAND_bytes(aSalt, static_cast<int>(kSaltSize)) != 1)
        throw Error("Could not get random bytes for a password salt");
    std::vector<unsigned char> aHash =
        derive(thePassword, aSalt, kSaltSize, kIterations, kHashSize);
    return std::string(kMethod) + "$" + std::to_string(kIterations) + "$" +
           toHex(aSalt, kSaltSize) + "$" + toHex(aHash.data(), aHash.size());
}

bool verifyPassword(std::string_view thePassword, std::string_view theStoredHash) {
    std::vector<std::string_view> aParts;
    std::size_t aStart = 0;
    while (true) {
        std::size_t aDollar = theStoredHash.find('$', aStart);
        aParts.push_back(theStoredHash.substr(aStart, aDollar - aStart));
        if (aDollar == std::string_view::npos)
            break;
        aStart = aDollar + 1;
    }
    if (aParts.size() != 4 || aParts[0] != kMethod)
        return false;
    int anIterations = 0;
    auto [aEnd, anError] =
        std::from_chars(aParts[1].data(), aParts[1].data() + aParts[1].size(), anIterations);
    if (anError != std::errc() || aEnd != aParts[1].data() + aParts[1].size() || anIterations < 1)
        return false;
    std::vector<unsigned char> aSalt, anExpected;
    if (!fromHex(aParts[2], aSalt) || !fromHex(aParts[3], anExpected) || anExpected.empty())
        return false;
    std::vector<unsigned char> aHash =
        derive(thePassword, aSalt.data(), aSalt.size(), anIterations, anExpected.size());
    return CRYPTO_memcmp(aHash.data(), anExpected.data(), aHash.size()) == 0;
}

} // namespace RepositoryAccess::server
