#include "workspace/sha1blocks.hpp"

#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define KIVO_SHA1_X86 1
#endif

namespace RepositoryAccess::hash::blocks {

namespace {

inline std::uint32_t rotateLeft(std::uint32_t theValue, int theBits) {
    return (theValue << theBits) | (theValue >> (32 - theBits));
}

inline std::uint32_t loadBigEndian(const unsigned char* theBytes) {
    return static_cast<std::uint32_t>(theBytes[0]) << 24 |
           static_cast<std::uint32_t>(theBytes[1]) << 16 |
           static_cast<std::uint32_t>(theBytes[2]) << 8 | static_cast<std::uint32_t>(theBytes[3]);
}

} // namespace

void compressPortable(std::uint32_t* theState, const unsigned char* theBlocks,
                      std::size_t theCount) {
    for (; theCount > 0; --theCount, theBlocks += 64) {
        std::uint32_t aWords[16];
        for (int i = 0; i < 16; ++i)
            aWords[i] = loadBigEndian(theBlocks + 4 * i);
        std::uint32_t a = theState[0], b = theState[1], c = theState[2], d = theState[3],
                      e = theState[4];
        for (int i = 0; i < 80; ++i) {
            if (i >= 16)
                aWords[i & 15] = rotateLeft(aWords[(i + 13) & 15] ^ aWords[(i + 8) & 15] ^
                                                aWords[(i + 2) & 15] ^ aWords[i & 15],
                                            1);
            std::uint32_t aMix;
            std::uint32_t aConstant;
            if (i < 20) {
                aMix = (b & c) | (~b & d);
                aConstant = 0x5A827999;
            } else if (i < 40) {
                aMix = b ^ c ^ d;
                aConstant = 0x6ED9EBA1;
            } else if (i < 60) {
                aMix = (b & c) | (b & d) | (c & d);
                aConstant = 0x8F1BBCDC;
            } else {
                aMix = b ^ c ^ d;
                aConstant = 0xCA62C1D6;
            }
            std::uint32_t aNext = rotateLeft(a, 5) + aMix + e + aConstant + aWords[i & 15];
            e = d;
            d = c;
            c = rotateLeft(b, 30);
            b = a;
            a = aNext;
        }
        theState[0] += a;
        theState[1] += b;
        theState[2] += c;
        theState[3] += d;
        theState[4] += e;
    }
}

#ifdef KIVO_SHA1_X86

#define KIVO_SHA_TARGET __attribute__((target("sha,sse4.1")))

namespace {

// Four rounds of group G (rounds 4G..4G+3) in the interleaved schedule of the SHA instructions.
// The first four groups load their message words; theMsg[G % 4] then holds the finished words of
// this group, and the group advances the schedule of the next three. theE[G % 2] carries e (plus
// the words) into the rounds, theE[(G + 1) % 2] keeps a copy of abcd for the next group.
template <int G>
KIVO_SHA_TARGET inline __attribute__((always_inline)) void
roundGroup(__m128i& theAbcd, __m128i (&theE)[2], __m128i (&theMsg)[4],
           const unsigned char* theBlock, __m128i theByteSwap) {
    constexpr int aFunction = G / 5;
    if constexpr (G < 4)
        theMsg[G] = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(theBlock + 16 * G)), theByteSwap);
    __m128i& aCurrent = theMsg[G % 4];
    if constexpr (G == 0)
        theE[0] = _mm_add_epi32(theE[0], aCurrent);
    else
        theE[G % 2] = _mm_sha1nexte_epu32(theE[G % 2], aCurrent);
    theE[(G + 1) % 2] = theAbcd;
    if constexpr (G >= 3 && G <= 18)
        theMsg[(G + 1) % 4] = _mm_sha1msg2_epu32(theMsg[(G + 1) % 4], aCurrent);
    theAbcd = _mm_sha1rnds4_epu32(theAbcd, theE[G % 2], aFunction);
    if constexpr (G >= 1 && G <= 16)
        theMsg[(G + 3) % 4] = _mm_sha1msg1_epu32(theMsg[(G + 3) % 4], aCurrent);
    if constexpr (G >= 2 && G <= 17)
        theMsg[(G + 2) % 4] = _mm_xor_si128(theMsg[(G + 2) % 4], aCurrent);
}

// The 20 groups of one block, in order.
template <int... G>
KIVO_SHA_TARGET inline __attribute__((always_inline)) void
allGroups(__m128i& theAbcd, __m128i (&theE)[2], __m128i (&theMsg)[4], const unsigned char* theBlock,
          __m128i theByteSwap, std::integer_sequence<int, G...>) {
    (roundGroup<G>(theAbcd, theE, theMsg, theBlock, theByteSwap), ...);
}

} // namespace

KIVO_SHA_TARGET void compressAccelerated(std::uint32_t* theState, const unsigned char* theBlocks,
                                         std::size_t theCount) {
    const __m128i aByteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i anAbcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(theState));
    anAbcd = _mm_shuffle_epi32(anAbcd, 0x1B);
    __m128i anE0 = _mm_set_epi32(static_cast<int>(theState[4]), 0, 0, 0);
    for (; theCount > 0; --theCount, theBlocks += 64) {
        __m128i aSavedAbcd = anAbcd;
        __m128i aSavedE = anE0;
        __m128i anE[2] = {anE0, _mm_setzero_si128()};
        __m128i aMsg[4];
        allGroups(anAbcd, anE, aMsg, theBlocks, aByteSwap, std::make_integer_sequence<int, 20>{});
        anE0 = _mm_sha1nexte_epu32(anE[0], aSavedE);
        anAbcd = _mm_add_epi32(anAbcd, aSavedAbcd);
    }
    anAbcd = _mm_shuffle_epi32(anAbcd, 0x1B);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(theState), anAbcd);
    theState[4] = static_cast<std::uint32_t>(_mm_extract_epi32(anE0, 3));
}

// Asked of the processor itself (leaf 1: SSE4.1, leaf 7: SHA), which every compiler can do;
// clang 14 does not know "sha" as a feature name of __builtin_cpu_supports.
bool acceleratedSupported() {
    unsigned anEax = 0, anEbx = 0, anEcx = 0, anEdx = 0;
    if (!__get_cpuid(1, &anEax, &anEbx, &anEcx, &anEdx) || !(anEcx & bit_SSE4_1))
        return false;
    if (!__get_cpuid_count(7, 0, &anEax, &anEbx, &anEcx, &anEdx))
        return false;
    return (anEbx & bit_SHA) != 0;
}

#else

void compressAccelerated(std::uint32_t* theState, const unsigned char* theBlocks,
                         std::size_t theCount) {
    compressPortable(theState, theBlocks, theCount);
}

bool acceleratedSupported() {
    return false;
}

#endif

} // namespace RepositoryAccess::hash::blocks
