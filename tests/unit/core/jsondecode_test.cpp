#include "tests/unit/core/jsontestsupport.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace jsontest;

// ------------------------------------------------------------------------------------------------
// Numbers

TEST(JsonNumbers, IntegersAreHeldAsDoublesClampedToThirtyTwoBits) {
    const std::pair<const char*, double> aCases[] = {
        {"12", 12.0},
        {"0", 0.0},
        {"-7", -7.0},
        {"007", 7.0},
        {"2147483647", 2147483647.0},
        {"-2147483648", -2147483648.0},
        {"3000000000", 2147483647.0},
        {"2147483648", 2147483647.0},
        {"-2147483649", -2147483648.0},
        {"-3000000000", -2147483648.0},
        {"99999999999999999999999999999999999999", 2147483647.0},
        {"-99999999999999999999999999999999999999", -2147483648.0},
    };
    for (const auto& [aText, aValue] : aCases)
        EXPECT_EQ(number(aText), aValue) << aText;
    const double aZero = number("-0");
    EXPECT_EQ(aZero, 0.0);
    EXPECT_FALSE(std::signbit(aZero));
}

// Reals are not clamped; an incomplete number reads as far as it goes ("-" is an Integer token
// without digits, "." a Real one).
TEST(JsonNumbers, RealsExponentFormsAndIncompleteNumbers) {
    const std::pair<const char*, double> aCases[] = {
        {"1.5e3", 1500.0}, {"1.5E3", 1500.0}, {"1.5e+3", 1500.0}, {"15e-1", 1.5},
        {"1e2", 100.0},    {"0.25", 0.25},    {"-0.25", -0.25},   {".5", 0.5},
        {"-.5", -0.5},     {"1.", 1.0},       {"1e10", 1e10},     {"3000000000.0", 3000000000.0},
        {"1e-999", 0.0},   {"-", 0.0},        {".", 0.0},         {"1e", 1.0},
        {"2e+", 2.0},      {"-e5", 0.0},
    };
    for (const auto& [aText, aValue] : aCases)
        EXPECT_EQ(number(aText), aValue) << aText;
    EXPECT_TRUE(std::isinf(number("1e999")));
    EXPECT_EQ(reparsed("{\"l\":[1e5,-2,3.25]}"), "{\"l\":[100000,-2,3]}");
}

// ------------------------------------------------------------------------------------------------
// Strings and escapes

TEST(JsonStrings, UnicodeEscapesBecomeUtf8AndSurrogatesCesu8) {
    const std::pair<std::string_view, std::string_view> aCases[] = {
        {"a\\u00e9b", "a\xC3\xA9"
                      "b"},
        {"\\u00E9", "\xC3\xA9"},
        {"\\u0041", "A"},
        {"\\u007f", "\x7F"},
        {"\\u0080", "\xC2\x80"},
        {"\\u07FF", "\xDF\xBF"},
        {"\\u0800", "\xE0\xA0\x80"},
        {"\\uFFFF", "\xEF\xBF\xBF"},
        {"\\u0000", std::string_view("\0", 1)},
        {"\\ud83d\\ude00", "\xED\xA0\xBD\xED\xB8\x80"},
        {"\\uD83D", "\xED\xA0\xBD"}, // a lone surrogate is encoded by itself
    };
    for (const auto& [aToken, aBytes] : aCases)
        EXPECT_EQ(decoded(aToken), aBytes) << aToken;
}

// The simple and hexadecimal escapes are decoded; an unknown or incomplete one is kept as it
// stands and decoding goes on after it; other bytes pass through.
TEST(JsonStrings, EscapesDecodedOrKept) {
    const std::pair<std::string_view, std::string_view> aCases[] = {
        {"\\\"\\/\\\\", "\"/\\"},
        {"\\b\\f\\n\\r\\t", "\x08\x0C\x0A\x0D\x09"},
        {"a\\\"b", "a\"b"}, // an escaped quote does not end the string
        {"\\\\", "\\"},
        {"\\x41\\x4a\\x4A", "AJJ"},
        {"\\xff\\x00", std::string_view("\xFF\0", 2)},
        {"\\q\\n", "\\q\n"},
        {"\\a\\U0041", "\\a\\U0041"},
        {"\\u12", "\\u12"}, // too few bytes left
        {"\\u123", "\\u123"},
        {"\\uzzzz", "\\uzzzz"}, // not hexadecimal
        {"\\u12g4", "\\u12g4"},
        {"\\u12345", "\xE1\x88\xB4"
                     "5"},
        {"\\x4", "\\x4"},
        {"\\xg1", "\\xg1"},
        {"\\x", "\\x"},
        {"\\u\\n", "\\u\n"},
        // Raw bytes pass through.
        {"caf\xC3\xA9 \xED\xA0\xBD", "caf\xC3\xA9 \xED\xA0\xBD"},
        {"tab\there\nline", "tab\there\nline"},
        {std::string_view("nul\0byte", 8), std::string_view("nul\0byte", 8)},
        {"", ""},
    };
    for (const auto& [aToken, aText] : aCases)
        EXPECT_EQ(decoded(aToken), aText) << aToken;
}

TEST(JsonStrings, LongStringsWithAndWithoutEscapes) {
    std::string aLong(100000, 'x');
    for (std::size_t i = 0; i < aLong.size(); i += 7)
        aLong[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(decoded(aLong), aLong);
    std::string aRaw, anExpected;
    for (int i = 0; i < 20000; ++i) {
        aRaw += "ab\\\"\\u00e9";
        anExpected += "ab\"\xC3\xA9";
    }
    EXPECT_EQ(decoded(aRaw), anExpected);
    // A string larger than any arena block.
    const std::string aHuge(10u << 20, 'h');
    EXPECT_EQ(decoded(aHuge).size(), aHuge.size());
}

TEST(JsonStrings, QuoteOrBackslashAtEveryPosition) {
    // Covers the block-wise scan: the closing quote and escapes at every offset of a 16-byte block.
    for (std::size_t aLength = 0; aLength < 40; ++aLength) {
        const std::string aPlain(aLength, 'p');
        EXPECT_EQ(decoded(aPlain), aPlain);
        for (std::size_t aPos = 0; aPos < aLength; ++aPos) {
            std::string aRaw = aPlain, anExpected = aPlain;
            aRaw.replace(aPos, 1, "\\n");
            anExpected[aPos] = '\n';
            EXPECT_EQ(decoded(aRaw), anExpected) << aLength << " " << aPos;
        }
    }
}
