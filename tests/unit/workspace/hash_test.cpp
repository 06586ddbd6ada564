#include "tests/support/messages.hpp"
#include "workspace/hash.hpp"

#include <gtest/gtest.h>

#include <random>

using kivotest::messageOf;
namespace hash = RepositoryAccess::hash;

namespace {

// FIPS 180-1 test vectors with their words in the text form.
const std::string theAbc = "2845392438.1191608682.3124634993.2018558572.2630932637";
const std::string theTwoBlock = "2224569924.473682542.3131984545.4182845925.3846598897";
const std::string theMillionA = "883595068.3569670820.4129221419.3685558065.1697907055";
const std::string theEmpty = "3661210606.1584089869.844480495.2506102928.2950170377";

} // namespace

// In the default way; the other one is compared with it below.
TEST(Hash, StandardVectors) {
    EXPECT_EQ(hash::calc("abc"), theAbc);
    EXPECT_EQ(hash::calc(""), theEmpty);
    EXPECT_EQ(hash::calc("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), theTwoBlock);
    EXPECT_EQ(hash::calc(std::string(1000000, 'a')), theMillionA);
    // The same million bytes fed in uneven pieces across block borders.
    hash::Sha1 aHash;
    std::string aPiece(997, 'a');
    std::size_t aFed = 0;
    for (std::size_t aSize : {1u, 63u, 64u, 65u, 127u}) {
        aHash.feed(aPiece.data(), aSize);
        aFed += aSize;
    }
    while (aFed + aPiece.size() <= 1000000) {
        aHash.feed(aPiece);
        aFed += aPiece.size();
    }
    aHash.feed(std::string(1000000 - aFed, 'a'));
    EXPECT_EQ(hash::toText(aHash.result()), theMillionA);
}

TEST(Hash, PortableAndAcceleratedAgree) {
    if (!hash::accelerationAvailable())
        GTEST_SKIP() << "no SHA instructions";
    std::mt19937 aRandom(42);
    std::string aBytes(3 * 1024 * 1024 + 17, '\0');
    for (char& aChar : aBytes)
        aChar = static_cast<char>(aRandom());
    // Every length up to 300, at uneven starts, then all the bytes.
    for (std::size_t anIndex = 0; anIndex <= 301; ++anIndex) {
        const std::size_t aLength = anIndex == 301 ? aBytes.size() : anIndex;
        std::string_view aPart(aBytes.data() + aLength % 7, aLength - (aLength > 7 ? 7 : 0));
        hash::useAcceleration(false);
        std::string aPortable = hash::calc(aPart);
        hash::useAcceleration(true);
        ASSERT_EQ(hash::calc(aPart), aPortable) << "length " << aPart.size();
    }
}

TEST(Hash, CorruptedStateIsReported) {
    // A finished hash keeps its result and refuses more input.
    hash::Sha1 aFinished;
    aFinished.feed("abc");
    EXPECT_EQ(hash::toText(aFinished.result()), theAbc);
    EXPECT_EQ(messageOf([&] { aFinished.feed("x"); }), "Invalid state");
    EXPECT_EQ(messageOf([&] { aFinished.result(); }), "The stream is corrupted");

    // A length beyond 2^64 - 1 bits is refused before any byte is read.
    hash::Sha1 aTooLong;
    aTooLong.feed("abc");
    static const char aByte = 0;
    EXPECT_EQ(messageOf([&] { aTooLong.feed(&aByte, std::size_t{1} << 61); }),
              "Invalid state: msg too long");
    EXPECT_EQ(messageOf([&] { aTooLong.result(); }), "The stream is corrupted");
}
