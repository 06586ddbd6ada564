#include "core/utils.hpp"
#include "server/passwordhash.hpp"

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <string>
#include <vector>

using RepositoryAccess::server::hashPassword;
using RepositoryAccess::server::verifyPassword;
namespace utils = RepositoryAccess::utils;

namespace {

std::string hex(const std::vector<unsigned char>& theBytes) {
    return utils::toHex({reinterpret_cast<const char*>(theBytes.data()), theBytes.size()});
}
// A stored hash made by the general PBKDF2 of the crypto library, the reference of the own one.
std::string referenceHash(const std::string& thePassword, const std::vector<unsigned char>& theSalt,
                          int theIterations, std::size_t theSize) {
    std::vector<unsigned char> aHash(theSize);
    EXPECT_EQ(PKCS5_PBKDF2_HMAC(thePassword.data(), static_cast<int>(thePassword.size()),
                                theSalt.data(), static_cast<int>(theSalt.size()), theIterations,
                                EVP_sha256(), static_cast<int>(theSize), aHash.data()),
              1);
    return "pbkdf2-sha256$" + std::to_string(theIterations) + "$" + hex(theSalt) + "$" + hex(aHash);
}

} // namespace

// Keys shorter and longer than a digest block, an empty one, results of one block, of part of
// one and of several, and one iteration: each stored hash verifies with its password only.
TEST(PasswordHash, VerifiesWhatTheGeneralDerivationStores) {
    const std::vector<unsigned char> aSalt = {0x73, 0x61, 0x6c, 0x74, 0x00, 0xff, 0x10};
    struct Case {
        std::string itsPassword;
        int itsIterations;
        std::size_t itsSize;
    };
    const Case aCases[] = {{"pw", 1, 32},
                           {"pw", 2, 32},
                           {"", 50, 32},
                           {"secret", 1000, 20},
                           {"a much longer pass phrase", 7, 80},
                           {std::string(64, 'k'), 5, 32},
                           {std::string(65, 'k'), 5, 32},
                           {std::string(200, 'p') + "\xc3\xa4", 5, 33}};
    for (const Case& aCase : aCases) {
        SCOPED_TRACE(aCase.itsPassword.size());
        const std::string aStored =
            referenceHash(aCase.itsPassword, aSalt, aCase.itsIterations, aCase.itsSize);
        EXPECT_TRUE(verifyPassword(aCase.itsPassword, aStored));
        EXPECT_FALSE(verifyPassword(aCase.itsPassword + "x", aStored));
    }
    // The published vector: "passwd", "salt", one iteration, 64 bytes.
    EXPECT_TRUE(verifyPassword(
        "passwd", "pbkdf2-sha256$1$73616c74$55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d5"
                  "7c20dacbc49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"));
}

TEST(PasswordHash, HashesWithAFreshSaltAndRefusesMalformedHashes) {
    const std::string aFirst = hashPassword("pw");
    const std::string aSecond = hashPassword("pw");
    EXPECT_NE(aFirst, aSecond);
    EXPECT_TRUE(verifyPassword("pw", aFirst));
    EXPECT_FALSE(verifyPassword("pW", aFirst));

    for (const char* aMalformed :
         {"", "pbkdf2-sha256$1$00", "pbkdf2-sha1$1$00$00", "pbkdf2-sha256$0$00$00",
          "pbkdf2-sha256$x$00$00", "pbkdf2-sha256$2000000000$00$00", "pbkdf2-sha256$1$0$00",
          "pbkdf2-sha256$1$00$", "a$b$c$d$e"})
        EXPECT_FALSE(verifyPassword("pw", aMalformed)) << aMalformed;
}
