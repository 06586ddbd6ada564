#include "server/passwordhash.hpp"

#include "core/error.hpp"
#include "core/utils.hpp"

// The low-level digest calls keep a digest's state in a plain structure that can be copied.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <vector>

namespace RepositoryAccess::server {

namespace {

constexpr int kIterations = 100000;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kHashSize = 32;
constexpr std::string_view kMethod = "pbkdf2-sha256";

// HMAC-SHA256 with its key absorbed once: the states after the inner and the outer key block
// are plain values that each iteration copies, where a general HMAC call would
// allocate and set up two digest contexts per iteration. Half the time of a verification, which
// every connecting run pays.
class KeyedSha256 {
public:
    explicit KeyedSha256(std::string_view theKey) {
        unsigned char aKey[SHA256_CBLOCK] = {};
        if (theKey.size() > sizeof aKey)
            SHA256(reinterpret_cast<const unsigned char*>(theKey.data()), theKey.size(), aKey);
        else
            std::memcpy(aKey, theKey.data(), theKey.size());
        absorbKey(itsInner, aKey, 0x36);
        absorbKey(itsOuter, aKey, 0x5c);
        OPENSSL_cleanse(aKey, sizeof aKey);
    }
    ~KeyedSha256() {
        OPENSSL_cleanse(&itsInner, sizeof itsInner);
        OPENSSL_cleanse(&itsOuter, sizeof itsOuter);
    }
    KeyedSha256(const KeyedSha256&) = delete;
    KeyedSha256& operator=(const KeyedSha256&) = delete;

    // The MAC of the concatenated parts into theMac (SHA256_DIGEST_LENGTH bytes).
    void mac(std::initializer_list<std::span<const unsigned char>> theParts,
             unsigned char* theMac) const {
        SHA256_CTX aContext = itsInner;
        for (std::span<const unsigned char> aPart : theParts)
            SHA256_Update(&aContext, aPart.data(), aPart.size());
        SHA256_Final(theMac, &aContext);
        aContext = itsOuter;
        SHA256_Update(&aContext, theMac, SHA256_DIGEST_LENGTH);
        SHA256_Final(theMac, &aContext);
    }

private:
    static void absorbKey(SHA256_CTX& theContext, const unsigned char* theKey,
                          unsigned char thePad) {
        unsigned char aBlock[SHA256_CBLOCK];
        for (std::size_t i = 0; i < sizeof aBlock; ++i)
            aBlock[i] = theKey[i] ^ thePad;
        SHA256_Init(&theContext);
        SHA256_Update(&theContext, aBlock, sizeof aBlock);
        OPENSSL_cleanse(aBlock, sizeof aBlock);
    }

    SHA256_CTX itsInner;
    SHA256_CTX itsOuter;
};

// PBKDF2-HMAC-SHA256: each block of the result is the XOR of the chained MACs of the salt and the
// block's big-endian index.
std::vector<unsigned char> derive(std::string_view thePassword, const unsigned char* theSalt,
                                  std::size_t theSaltSize, int theIterations, std::size_t theSize) {
    const KeyedSha256 aMac(thePassword);
    const std::span<const unsigned char> aSalt(theSalt, theSaltSize);
    std::vector<unsigned char> aHash;
    aHash.reserve(theSize);
    for (std::uint32_t aBlock = 1; aHash.size() < theSize; ++aBlock) {
        const unsigned char anIndex[4] = {
            static_cast<unsigned char>(aBlock >> 24), static_cast<unsigned char>(aBlock >> 16),
            static_cast<unsigned char>(aBlock >> 8), static_cast<unsigned char>(aBlock)};
        unsigned char aChain[SHA256_DIGEST_LENGTH];
        aMac.mac({aSalt, anIndex}, aChain);
        unsigned char aSum[SHA256_DIGEST_LENGTH];
        std::memcpy(aSum, aChain, sizeof aSum);
        for (int i = 1; i < theIterations; ++i) {
            aMac.mac({aChain}, aChain);
            for (std::size_t j = 0; j < sizeof aSum; ++j)
                aSum[j] ^= aChain[j];
        }
        const std::size_t aTake = std::min(sizeof aSum, theSize - aHash.size());
        aHash.insert(aHash.end(), aSum, aSum + aTake);
        OPENSSL_cleanse(aChain, sizeof aChain);
        OPENSSL_cleanse(aSum, sizeof aSum);
    }
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
           utils::toHex({reinterpret_cast<const char*>(aSalt), kSaltSize}) + "$" +
           utils::toHex({reinterpret_cast<const char*>(aHash.data()), aHash.size()});
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
    std::string aSalt, anExpected;
    if (!utils::fromHex(aParts[2], aSalt) || !utils::fromHex(aParts[3], anExpected) ||
        anExpected.empty())
        return false;
    std::vector<unsigned char> aHash =
        derive(thePassword, reinterpret_cast<const unsigned char*>(aSalt.data()), aSalt.size(),
               anIterations, anExpected.size());
    return CRYPTO_memcmp(aHash.data(), anExpected.data(), aHash.size()) == 0;
}

} // namespace RepositoryAccess::server
