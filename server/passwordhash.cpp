#include "server/passwordhash.hpp"

#include "core/error.hpp"
#include "core/utils.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace RepositoryAccess::server {

namespace {

constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kHashSize = 32;
constexpr std::string_view kMethod = "pbkdf2-sha256";
// A stored count above this is no hash this program wrote: verifying it would keep a run busy
// for minutes, so it is refused as malformed.
constexpr int kMostIterations = 100 * kPasswordIterations;

// PBKDF2-HMAC-SHA256 of the password and salt; empty when the library fails.
std::string derive(std::string_view thePassword, std::string_view theSalt, int theIterations,
                   std::size_t theSize) {
    std::string aHash(theSize, '\0');
    const bool anOk = PKCS5_PBKDF2_HMAC(thePassword.data(), static_cast<int>(thePassword.size()),
                                        reinterpret_cast<const unsigned char*>(theSalt.data()),
                                        static_cast<int>(theSalt.size()), theIterations,
                                        EVP_sha256(), static_cast<int>(theSize),
                                        reinterpret_cast<unsigned char*>(aHash.data()));
    if (!anOk)
        return {};
    return aHash;
}

// The parts of a stored hash "method$iterations$salt$hash", or nothing when it has another form.
struct StoredHash {
    int itsIterations = 0;
    std::string itsSalt;
    std::string itsHash;
};

std::optional<StoredHash> parse(std::string_view theStoredHash) {
    std::vector<std::string_view> aParts;
    for (std::size_t aStart = 0;;) {
        const std::size_t aDollar = theStoredHash.find('$', aStart);
        aParts.push_back(theStoredHash.substr(aStart, aDollar - aStart));
        if (aDollar == std::string_view::npos)
            break;
        aStart = aDollar + 1;
    }
    if (aParts.size() != 4 || aParts[0] != kMethod)
        return std::nullopt;
    StoredHash aStored;
    const std::string_view aCount = aParts[1];
    const auto [anEnd, anError] =
        std::from_chars(aCount.data(), aCount.data() + aCount.size(), aStored.itsIterations);
    if (anError != std::errc() || anEnd != aCount.data() + aCount.size() ||
        aStored.itsIterations < 1 || aStored.itsIterations > kMostIterations)
        return std::nullopt;
    if (!utils::fromHex(aParts[2], aStored.itsSalt) ||
        !utils::fromHex(aParts[3], aStored.itsHash) || aStored.itsHash.empty())
        return std::nullopt;
    return aStored;
}

} // namespace

std::string hashPassword(std::string_view thePassword) {
    std::string aSalt(kSaltSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(aSalt.data()), static_cast<int>(kSaltSize)) !=
        1)
        throw Error("Could not get random bytes for a password salt");
    const std::string aHash = derive(thePassword, aSalt, kPasswordIterations, kHashSize);
    if (aHash.empty())
        throw Error("Could not hash the password");
    return std::string(kMethod) + "$" + std::to_string(kPasswordIterations) + "$" +
           utils::toHex(aSalt) + "$" + utils::toHex(aHash);
}

bool verifyPassword(std::string_view thePassword, std::string_view theStoredHash) {
    const std::optional<StoredHash> aStored = parse(theStoredHash);
    if (!aStored)
        return false;
    const std::string aHash =
        derive(thePassword, aStored->itsSalt, aStored->itsIterations, aStored->itsHash.size());
    return aHash.size() == aStored->itsHash.size() &&
           CRYPTO_memcmp(aHash.data(), aStored->itsHash.data(), aHash.size()) == 0;
}

} // namespace RepositoryAccess::server
