#include "core/json.hpp"

#include "core/error.hpp"
#include "tests/support/messages.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace json = RepositoryAccess::json;
using kivotest::messagesOf;

namespace {

// A parsed document: the allocator and the top-level object kept together, as callers must.
struct Parsed {
    json::JsonAllocator itsAllocator;
    json::JsonObject itsObject;
    bool itsOk = false;
};

// Parses a copy of theText held in a heap buffer of exactly its size, so that the sanitizer
// build catches any read past the end (the parser gets no terminator).
std::unique_ptr<Parsed> parse(std::string_view theText) {
    auto aParsed = std::make_unique<Parsed>();
    auto aBuffer = std::make_unique<char[]>(theText.size());
    std::copy(theText.begin(), theText.end(), aBuffer.get());
    aParsed->itsOk =
        json::jsonParse(aBuffer.get(), theText.size(), aParsed->itsObject, aParsed->itsAllocator);
    return aParsed;
}

bool parses(std::string_view theText) {
    return parse(theText)->itsOk;
}

void expectRefused(std::initializer_list<std::string_view> theTexts) {
    for (std::string_view aText : theTexts)
        EXPECT_FALSE(parses(aText)) << aText;
}

// The document written back after the parse of theText, which must succeed.
std::string reparsed(std::string_view theText) {
    auto aParsed = parse(theText);
    EXPECT_TRUE(aParsed->itsOk) << theText;
    return json::toJson(aParsed->itsObject);
}

// The one string member "s" of {"s":"<theToken>"} after decoding.
std::string decoded(std::string_view theToken) {
    auto aParsed = parse("{\"s\":\"" + std::string(theToken) + "\"}");
    EXPECT_TRUE(aParsed->itsOk) << theToken;
    return aParsed->itsOk ? json::getString(aParsed->itsObject, "s") : "<parse failed>";
}

// The number held by member "n" of {"n":<theToken>}.
double number(std::string_view theToken) {
    auto aParsed = parse("{\"n\":" + std::string(theToken) + "}");
    const json::JsonValue* aValue = aParsed->itsObject.find("n");
    EXPECT_TRUE(aParsed->itsOk && aValue && aValue->t == json::JT_NUMBER) << theToken;
    return aValue && aValue->t == json::JT_NUMBER ? aValue->u.numberValue : std::nan("");
}

std::string repeated(std::string_view theText, int theCount) {
    std::string aText;
    for (int i = 0; i < theCount; ++i)
        aText += theText;
    return aText;
}

std::string nestedLists(int theDepth) {
    return "{\"a\":" + repeated("[", theDepth) + repeated("]", theDepth) + "}";
}

} // namespace

TEST(JsonDocument, OnlyAnObjectBetweenBlanksIsADocument) {
    auto aParsed = parse("{}");
    EXPECT_TRUE(aParsed->itsOk);
    EXPECT_TRUE(aParsed->itsObject.empty());
    // Nothing after the closing brace is examined.
    for (std::string_view aText : std::initializer_list<std::string_view>{
             " \t\r\n{ \t\r\n} ", "{}{", "{}xyz", "{} ]]] \"unterminated \\",
             std::string_view("{}\0\xff", 4)})
        EXPECT_TRUE(parses(aText)) << aText;
    // Not an object, nothing at all, and control bytes other than the four blanks.
    expectRefused({"[]", "[{}]", "\"a\"", "null", "12", "}", "", "   ", " \t\r\n", "\f{}", "{\f}",
                   "\v{}", std::string_view("\0{}", 3)});
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    EXPECT_FALSE(json::jsonParse(nullptr, 0, anObject, anAllocator));
}

// Every prefix of a document fails: the cut falls inside keys, strings (also right after a
// backslash), numbers and exponents, words, and between the tokens of lists and of objects.
TEST(JsonDocument, TruncatedInputFails) {
    const std::string aComplete =
        "{\"a\":[1,2.5e3,true,null,\"x\\\"y\",{\"b\":\"c\"}],\"ab\":-12,"
        "\"t\":true,\"z\":null,\"s\":\"x\\\\y\",\"r\":1.5e-2,\"d\":false}";
    ASSERT_TRUE(parses(aComplete));
    for (std::size_t aSize = 0; aSize < aComplete.size(); ++aSize)
        EXPECT_FALSE(parses(aComplete.substr(0, aSize))) << aComplete.substr(0, aSize);
}

// A second parse replaces what the object held, and the input may be released after a parse.
TEST(JsonDocument, ParseReplacesTheObjectAndOutlivesItsInput) {
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    for (std::string aText :
         {"{\"a\":\"1\"}", "{\"key\":\"value\",\"list\":[\"x\"],\"k\\u00e9y\":\"v\\n\"}"}) {
        ASSERT_TRUE(json::jsonParse(aText.data(), aText.size(), anObject, anAllocator));
        std::fill(aText.begin(), aText.end(), '#');
    }
    EXPECT_EQ(json::toJson(anObject),
              "{\"key\":\"value\",\"k\xC3\xA9y\":\"v\n\",\"list\":[\"x\"]}");
}

// Documents read and written back: members in bytewise key order (shorter first), no blanks,
// strings unescaped, numbers as 32-bit integers. The last of duplicate keys wins (an escaped and a
// plain spelling are one key). A token that cannot start a value reads as null and is left for the
// object or list around it: a missing value is null, and each comma of a list adds one.
TEST(JsonDocument, ReadAndWrittenBack) {
    const std::pair<std::string_view, std::string_view> aCases[] = {
        {"{\"a\":[1,-2,true,false,null,\"x\"],\"b\":{\"c\":{},\"d\":[[]]},\"e\":\"\"}",
         "{\"a\":[1,-2,true,false,null,\"x\"],\"b\":{\"c\":{},\"d\":[[]]},\"e\":\"\"}"},
        {"{ \"b\" : \"2\" ,\n \"a\" : [ 1 , { \"d\" : \"x\" , \"c\" : [ ] } ] }",
         "{\"a\":[1,{\"c\":[],\"d\":\"x\"}],\"b\":\"2\"}"},
        {"{\"s\":\"a\\\"b\\\\c\\/\\n\"}", "{\"s\":\"a\"b\\c/\n\"}"},
        {"{\"l\":[1e5,-2,3.25]}", "{\"l\":[100000,-2,3]}"},
        {"{\"a\":\"1\",\"b\":\"2\",\"a\":{\"c\":\"3\"},\"b\":\"4\",\"a\":[\"5\"]}",
         "{\"a\":[\"5\"],\"b\":\"4\"}"},
        {"{\"k\\u0065y\":\"1\",\"key\":\"2\"}", "{\"key\":\"2\"}"},
        {"{\"b\":1,\"ab\":2,\"\xC3\xA9\":3,\"a\":4,\"A\":5,\"\x7F\":6,\"\":7,\"abc\":8}",
         "{\"\":7,\"A\":5,\"a\":4,\"ab\":2,\"abc\":8,\"b\":1,\"\x7F\":6,\"\xC3\xA9\":3}"},
        {"{\"a\":}", "{\"a\":null}"},
        {"{\"a\":,\"b\":1}", "{\"a\":null,\"b\":1}"},
        {"{\"l\":[,]}", "{\"l\":[null,null]}"},
        {"{\"l\":[1,]}", "{\"l\":[1,null]}"},
        {"{\"l\":[,,1]}", "{\"l\":[null,null,1]}"},
    };
    for (const auto& [aText, aWritten] : aCases)
        EXPECT_EQ(reparsed(aText), aWritten);
}

// Outside the null of a missing value the grammar is strict. Notes on some cases: a comma must
// be followed by a key; an uppercase letter and a plus are one-byte tokens of their own; "truex"
// is true and then the unknown word x; a second colon is a missing value and then fails; "]" as
// a member's value is a missing value and then fails the object; "1.2.3" is 1.2 and then .3.
TEST(JsonGrammar, StrictPlaces) {
    expectRefused({"{\"a\":1,}", "{,}", "{,\"a\":1}", "{\"a\" 1}", "{\"a\"}", "{1:2}", "{a:1}",
                   "{\"a\":1 \"b\":2}", "{\"a\":1]", "{\"a\":xyz}", "{\"a\":True}", "{\"a\":+1}",
                   "{\"a\":truex}", "{\"a\":'x'}", "{\"a\"::1}"});
    expectRefused({"{\"l\":[1 2]}", "{\"l\":[}", "{\"l\":[1}", "{\"l\":[xyz]}", "{\"l\":[+1]}",
                   "{\"l\":[1:2]}", "{\"l\":[\"a\":1]}", "{\"l\":]}"});
    expectRefused({"{\"n\":1.2.3}", "{\"n\":1-2}", "{\"n\":1x}", "{\"n\":0x10}"});
    EXPECT_TRUE(parses("{\"a\":true}"));
    EXPECT_TRUE(parses("{\"l\":[]}"));
}

// The limit counts the top-level object: lists or objects one level short of it parse.
TEST(JsonNesting, DepthLimitCountsTheTopLevelObjectAndDeeperInputFails) {
    EXPECT_TRUE(parses(nestedLists(json::kMaxNestingDepth - 1)));
    EXPECT_FALSE(parses(nestedLists(json::kMaxNestingDepth)));
    auto aParsed = parse(repeated("{\"a\":", json::kMaxNestingDepth) + "\"leaf\"" +
                         repeated("}", json::kMaxNestingDepth));
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonObject* anObject = &aParsed->itsObject;
    for (int i = 1; i < json::kMaxNestingDepth; ++i)
        anObject = &json::getObject(*anObject, "a");
    EXPECT_EQ(json::getString(*anObject, "a"), "leaf");
    // Very deep input fails without exhausting the stack.
    EXPECT_FALSE(parses("{\"a\":" + std::string(100000, '[')));
    EXPECT_FALSE(parses(nestedLists(100000)));
    EXPECT_FALSE(parses(repeated("{\"a\":", 100000)));
}

// An object's text with theMembers in their order.
template <class Members> std::string objectText(const Members& theMembers) {
    std::string aText;
    for (const auto& [aKey, aValue] : theMembers)
        aText += (aText.empty() ? "{\"" : ",\"") + aKey + "\":\"" + aValue + "\"";
    return aText.empty() ? "{}" : aText + "}";
}

// Random objects, mostly of a few repeated shapes, with duplicate, empty and long keys (longer
// than the shared-key limit): each must read as a plain map (bytewise order, last duplicate wins)
// with few keys, with more members than the remembered shapes, and with more keys than are shared.
TEST(JsonManyObjects, ReadAsPlainMaps) {
    const struct {
        unsigned itsKeyPool, itsMaxMembers;
        int itsObjects;
    } aTable[] = {{12, 10, 300}, {60, 80, 100}, {600, 20, 400}};
    for (const auto& aRow : aTable)
        for (unsigned aSeed = 1; aSeed <= 3; ++aSeed) {
            SCOPED_TRACE("pool " + std::to_string(aRow.itsKeyPool) + " seed " +
                         std::to_string(aSeed));
            std::mt19937 aRandom(aSeed);
            auto aNewShape = [&] {
                std::vector<std::string> aShape(aRandom() % (aRow.itsMaxMembers + 1));
                for (std::string& aKey : aShape) {
                    const unsigned aNumber = aRandom() % aRow.itsKeyPool;
                    aKey = aNumber % 7 == 2 ? ""
                                            : "k" + std::to_string(aNumber) +
                                                  std::string(aNumber % 5 == 1 ? 40 : 0, 'L');
                }
                return aShape;
            };
            std::vector<std::vector<std::string>> aShapes;
            for (int i = 0; i < 6; ++i)
                aShapes.push_back(aNewShape());
            std::string aText = "{\"l\":[", anExpected = aText;
            std::vector<std::map<std::string, std::string>> aMaps;
            for (int i = 0; i < aRow.itsObjects; ++i) {
                std::vector<std::pair<std::string, std::string>> aMembers;
                for (const std::string& aKey :
                     aRandom() % 4 == 0 ? aNewShape() : aShapes[aRandom() % 6])
                    aMembers.emplace_back(aKey, std::to_string(aRandom() % 1000));
                auto& aMap = aMaps.emplace_back();
                for (const auto& [aKey, aValue] : aMembers)
                    aMap[aKey] = aValue;
                aText += (i ? "," : "") + objectText(aMembers);
                anExpected += (i ? "," : "") + objectText(aMap);
            }
            auto aParsed = parse(aText + "]}");
            ASSERT_TRUE(aParsed->itsOk);
            ASSERT_EQ(json::toJson(aParsed->itsObject), anExpected + "]}");
            const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
            for (std::size_t i = 0; i < aList.size(); ++i)
                for (const auto& [aKey, aValue] : aMaps[i])
                    ASSERT_EQ(json::getString(json::asObject(aList[i]), aKey), aValue);
        }
}

// Only the exact key is a member; the view accessors see the same bytes as the copies. Every
// getter names a missing key or a member of another type with the object as the writer prints
// it: unescaped.
TEST(JsonLookup, FoundMembersAndTheMessagesOfMissingOrMistypedOnes) {
    auto aParsed =
        parse("{\"s\":\"x\",\"l\":[\"a\"],\"z\":null,\"n\":12,\"a\\\"b\":\"c\\\"d\\n\"}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonObject& anObject = aParsed->itsObject;
    EXPECT_EQ(json::getStringView(anObject, std::string("s")), "x");
    EXPECT_EQ(json::asStringView(json::getList(anObject, "l")[0]), "a");
    EXPECT_TRUE(json::hasMember(anObject, "z"));
    EXPECT_FALSE(json::hasMember(anObject, "S"));
    EXPECT_FALSE(json::hasMember(anObject, "s "));
    const auto aGet = [&](char theGetter, std::string_view theKey) {
        if (theGetter == 's')
            json::getString(anObject, theKey);
        else if (theGetter == 'v')
            json::getStringView(anObject, theKey);
        else if (theGetter == 'l')
            json::getList(anObject, theKey);
        else
            json::getObject(anObject, theKey);
    };
    const std::string aText =
        "\"{\"a\"b\":\"c\"d\n\",\"l\":[\"a\"],\"n\":12,\"s\":\"x\",\"z\":null}\"";
    const std::tuple<char, const char*, std::string> aTable[] = {
        {'s', "x", "Could not find \"x\" in object: " + aText},
        {'l', "x", "Could not find \"x\" in object: " + aText},
        {'o', "x", "Could not find \"x\" in object: " + aText},
        {'s', "n", "The type of \"n\" is not a string in: " + aText},
        {'v', "z", "The type of \"z\" is not a string in: " + aText},
        {'l', "s", "The type of \"s\" is not a list in: " + aText},
        {'o', "l", "The type of \"l\" is not an object in: " + aText},
    };
    for (const auto& [aGetter, aKey, aMessage] : aTable)
        EXPECT_EQ(messagesOf([&] { aGet(aGetter, aKey); }), std::vector<std::string>{aMessage})
            << aGetter << " " << aKey;
}

TEST(JsonLookup, AsObjectAndAsStringOnOtherTags) {
    auto aParsed = parse("{\"l\":[\"s\",{},1,null,true,[]]}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    const std::vector<std::string> aWrong = {"The type is wrong"};
    for (std::size_t i = 0; i < aList.size(); ++i) {
        if (i != 1) {
            EXPECT_EQ(messagesOf([&] { json::asObject(aList[i]); }), aWrong) << i;
        }
        if (i != 0) {
            EXPECT_EQ(messagesOf([&] { json::asStringView(aList[i]); }), aWrong) << i;
        }
    }
}

TEST(JsonWriter, NumbersAreTruncatedToThirtyTwoBits) {
    const std::pair<double, const char*> aCases[] = {
        {12.0, "12"},
        {-1.9, "-1"},
        {-0.5, "0"},
        {2147483647.0, "2147483647"},
        {-2147483648.0, "-2147483648"},
        {-1e10, "-2147483648"},
        {std::numeric_limits<double>::infinity(), "2147483647"},
        {std::nan(""), "0"},
    };
    for (const auto& [aValue, aText] : aCases)
        EXPECT_EQ(json::toJson(json::JsonValue::ofNumber(aValue)), aText) << aValue;
}

// Slash, quote, backslash, backspace, tab and line feed are escaped, in both forms; every other
// byte passes, and the parser reads the text back.
TEST(JsonEscape, RequestEscapesOnlyTheirSixBytes) {
    const std::pair<std::string_view, std::string_view> aCases[] = {
        {"a/b\"c", "a\\/b\\\"c"},
        {"\b\t\n", "\\b\\t\\n"},
        {"back\\slash", "back\\\\slash"},
        {"", ""},
        {"\f\v\x01\x1f\x7f", "\f\v\x01\x1f\x7f"},
        {"caf\xC3\xA9 \xFF", "caf\xC3\xA9 \xFF"},
        {std::string_view("a\0b", 3), std::string_view("a\0b", 3)}};
    for (const auto& [aText, anEscaped] : aCases)
        EXPECT_EQ(json::escapeJson(std::string(aText)), anEscaped) << aText;
    const std::string aText = "x/\"\\\b\t\n\ry";
    std::string anAppended = "kept ";
    json::appendEscapedJson(anAppended, aText);
    EXPECT_EQ(anAppended, "kept x\\/\\\"\\\\\\b\\t\\n\ry");
    EXPECT_EQ(decoded(json::escapeJson(aText)), aText);
}

// Integers are clamped to thirty-two bits, reals are not; an incomplete number reads as far as
// it goes ("-" is an Integer token without digits, "." a Real one).
TEST(JsonNumbers, IntegersAreClampedRealsAreNot) {
    const std::pair<const char*, double> anIntegers[] = {
        {"-0", 0.0},
        {"007", 7.0},
        {"2147483647", 2147483647.0},
        {"-2147483648", -2147483648.0},
        {"2147483648", 2147483647.0},
        {"-2147483649", -2147483648.0},
        {"99999999999999999999999999999999999999", 2147483647.0},
        {"-99999999999999999999999999999999999999", -2147483648.0},
    };
    const std::pair<const char*, double> aReals[] = {
        {"1.5e3", 1500.0}, {"1.5E3", 1500.0}, {"1.5e+3", 1500.0}, {"15e-1", 1.5},
        {"1e2", 100.0},    {"0.25", 0.25},    {"-0.25", -0.25},   {".5", 0.5},
        {"-.5", -0.5},     {"1.", 1.0},       {"1e10", 1e10},     {"3000000000.0", 3000000000.0},
        {"1e-999", 0.0},   {"-", 0.0},        {".", 0.0},         {"1e", 1.0},
        {"2e+", 2.0},      {"-e5", 0.0},
    };
    for (const auto& [aText, aValue] : anIntegers)
        EXPECT_EQ(number(aText), aValue) << aText;
    for (const auto& [aText, aValue] : aReals)
        EXPECT_EQ(number(aText), aValue) << aText;
    EXPECT_FALSE(std::signbit(number("-0")));
    EXPECT_TRUE(std::isinf(number("1e999")));
}

// Unicode escapes become UTF-8, surrogates CESU-8 (a lone one is encoded by itself). The simple
// and hexadecimal escapes are decoded; an unknown or incomplete one is kept as it stands and
// decoding goes on after it; other bytes pass through.
TEST(JsonStrings, EscapesDecodedOrKept) {
    const std::pair<std::string_view, std::string_view> aCases[] = {
        {"a\\u00e9b", "a\xC3\xA9"
                      "b"},
        {"\\u00E9", "\xC3\xA9"},
        {"\\u007f", "\x7F"},
        {"\\u0080", "\xC2\x80"},
        {"\\u07FF", "\xDF\xBF"},
        {"\\u0800", "\xE0\xA0\x80"},
        {"\\uFFFF", "\xEF\xBF\xBF"},
        {"\\u0000", std::string_view("\0", 1)},
        {"\\ud83d\\ude00", "\xED\xA0\xBD\xED\xB8\x80"},
        {"\\uD83D", "\xED\xA0\xBD"},
        {"\\\"\\/\\\\", "\"/\\"},
        {"\\b\\f\\n\\r\\t", "\x08\x0C\x0A\x0D\x09"},
        {"\\x41\\x4a\\x4A", "AJJ"},
        {"\\xff\\x00", std::string_view("\xFF\0", 2)},
        {"\\q\\n", "\\q\n"},
        {"\\a\\U0041", "\\a\\U0041"},
        {"\\u123", "\\u123"},
        {"\\uzzzz", "\\uzzzz"},
        {"\\u12g4", "\\u12g4"},
        {"\\u12345", "\xE1\x88\xB4"
                     "5"},
        {"\\xg1", "\\xg1"},
        {"\\x", "\\x"},
        {"\\u\\n", "\\u\n"},
        {"caf\xC3\xA9 \xED\xA0\xBD", "caf\xC3\xA9 \xED\xA0\xBD"},
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
