#include "core/json.hpp"

#include "core/error.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace json = RepositoryAccess::json;
using RepositoryAccess::Error;

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

// The value of a member of a document that must parse.
json::JsonValue member(const Parsed& theParsed, std::string_view theKey) {
    const json::JsonValue* aValue = theParsed.itsObject.find(theKey);
    if (aValue == nullptr) {
        ADD_FAILURE() << "no member " << theKey;
        return {};
    }
    return *aValue;
}

// The one string member "s" of {"s":"<theToken>"} after decoding.
std::string decoded(std::string_view theToken) {
    auto aParsed = parse("{\"s\":\"" + std::string(theToken) + "\"}");
    EXPECT_TRUE(aParsed->itsOk) << theToken;
    if (!aParsed->itsOk)
        return "<parse failed>";
    return json::getString(aParsed->itsObject, "s");
}

// The number held by member "n" of {"n":<theToken>}.
double number(std::string_view theToken) {
    auto aParsed = parse("{\"n\":" + std::string(theToken) + "}");
    EXPECT_TRUE(aParsed->itsOk) << theToken;
    const json::JsonValue aValue = member(*aParsed, "n");
    EXPECT_EQ(aValue.t, json::JT_NUMBER) << theToken;
    return aValue.t == json::JT_NUMBER ? aValue.u.numberValue : std::nan("");
}

std::vector<std::string> messagesOf(const std::function<void()>& theCall) {
    try {
        theCall();
    } catch (const Error& anError) {
        return anError.messages();
    }
    return {"<no error>"};
}

std::string bytes(std::string_view theText) {
    std::string aHex;
    static const char kDigits[] = "0123456789ABCDEF";
    for (unsigned char c : theText) {
        if (!aHex.empty())
            aHex += ' ';
        aHex += kDigits[c >> 4];
        aHex += kDigits[c & 15];
    }
    return aHex;
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Model

TEST(JsonModel, ValueIsSixteenBytesAndDefaultsToNull) {
    EXPECT_EQ(sizeof(json::JsonValue), 16u);
    EXPECT_EQ(json::JsonValue().t, json::JT_NULL);
    EXPECT_EQ(static_cast<int>(json::JT_NULL), 0);
    EXPECT_EQ(static_cast<int>(json::JT_BOOL), 1);
    EXPECT_EQ(static_cast<int>(json::JT_NUMBER), 2);
    EXPECT_EQ(static_cast<int>(json::JT_STRING), 3);
    EXPECT_EQ(static_cast<int>(json::JT_LIST), 4);
    EXPECT_EQ(static_cast<int>(json::JT_OBJECT), 5);
    EXPECT_EQ(sizeof(json::JsonType), 4u);
}

TEST(JsonModel, AllocatorBuildsNodesAndNewObjectSortsKeepingTheLastDuplicate) {
    json::JsonAllocator anAllocator;
    const json::JsonString* aString = anAllocator.newString("hello");
    EXPECT_EQ(aString->view(), "hello");
    EXPECT_TRUE(*aString == "hello");
    const json::JsonValue aValues[] = {json::JsonValue::ofNumber(1),
                                       json::JsonValue::ofString(aString)};
    const json::JsonList* aList = anAllocator.newList(aValues);
    ASSERT_EQ(aList->size(), 2u);
    EXPECT_EQ((*aList)[1].u.stringValue, aString);
    const json::JsonMember aMembers[] = {{"b", json::JsonValue::ofNumber(1)},
                                         {"a", json::JsonValue::ofList(aList)},
                                         {"b", json::JsonValue::ofNumber(2)}};
    const json::JsonObject* anObject = anAllocator.newObject(aMembers);
    EXPECT_EQ(json::toJson(*anObject), "{\"a\":[1,\"hello\"],\"b\":2}");
    EXPECT_GT(anAllocator.bytesReserved(), 0u);
}

TEST(JsonModel, MovedAllocatorKeepsTheNodes) {
    auto aParsed = parse("{\"a\":[\"x\",{\"b\":\"y\"}]}");
    ASSERT_TRUE(aParsed->itsOk);
    json::JsonAllocator aMoved(std::move(aParsed->itsAllocator));
    json::JsonAllocator anAssigned;
    anAssigned = std::move(aMoved);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"a\":[\"x\",{\"b\":\"y\"}]}");
}

// ------------------------------------------------------------------------------------------------
// Document level

TEST(JsonDocument, EmptyObjectParsesToAnEmptyObject) {
    auto aParsed = parse("{}");
    EXPECT_TRUE(aParsed->itsOk);
    EXPECT_TRUE(aParsed->itsObject.empty());
    EXPECT_TRUE(parses(" \t\r\n{ \t\r\n} "));
}

TEST(JsonDocument, TheDocumentMustBeAnObject) {
    EXPECT_FALSE(parses("[]"));
    EXPECT_FALSE(parses("[{}]"));
    EXPECT_FALSE(parses("\"a\""));
    EXPECT_FALSE(parses("null"));
    EXPECT_FALSE(parses("12"));
    EXPECT_FALSE(parses("}"));
}

TEST(JsonDocument, EmptyOrBlankInputFails) {
    EXPECT_FALSE(parses(""));
    EXPECT_FALSE(parses("   "));
    EXPECT_FALSE(parses(" \t\r\n"));
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    EXPECT_FALSE(json::jsonParse(nullptr, 0, anObject, anAllocator));
}

TEST(JsonDocument, NothingAfterTheClosingBraceIsExamined) {
    auto aParsed = parse("{\"a\":\"1\"} ]]] \"unterminated \\");
    EXPECT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::getString(aParsed->itsObject, "a"), "1");
    EXPECT_TRUE(parses("{}{"));
    EXPECT_TRUE(parses("{}xyz"));
    EXPECT_TRUE(parses(std::string("{}\0\xff", 4)));
}

TEST(JsonDocument, FormFeedAndOtherControlBytesAreNotBlanks) {
    EXPECT_FALSE(parses("\f{}"));
    EXPECT_FALSE(parses("{\f}"));
    EXPECT_FALSE(parses("\v{}"));
    EXPECT_FALSE(parses(std::string("\0{}", 3)));
}

TEST(JsonDocument, TruncatedInputFails) {
    const std::string aComplete = "{\"a\":[1,2.5,true,null,\"x\\\"y\",{\"b\":\"c\"}],\"d\":false}";
    ASSERT_TRUE(parses(aComplete));
    for (std::size_t aSize = 0; aSize < aComplete.size(); ++aSize)
        EXPECT_FALSE(parses(aComplete.substr(0, aSize))) << aComplete.substr(0, aSize);
}

TEST(JsonDocument, TruncatedInsideTokensFails) {
    EXPECT_FALSE(parses("{\"a\":\"abc")); // inside a string value
    EXPECT_FALSE(parses("{\"ab"));        // inside a key
    EXPECT_FALSE(parses("{\"a\":\"x\\")); // a backslash as the last byte
    EXPECT_FALSE(parses("{\"a\":12"));    // inside a number
    EXPECT_FALSE(parses("{\"a\":1.5e"));  // inside an exponent
    EXPECT_FALSE(parses("{\"a\":tru"));   // "tru" at the end of the input
    EXPECT_FALSE(parses("{\"a\":nul"));
    EXPECT_FALSE(parses("{\"a\":fals"));
    EXPECT_FALSE(parses("{\"a\":true")); // complete word, no brace
    EXPECT_FALSE(parses("{\"a\":"));
    EXPECT_FALSE(parses("{\"a\""));
    EXPECT_FALSE(parses("{"));
}

TEST(JsonDocument, FailedParseKeepsTheTopLevelMembersReadSoFar) {
    auto aParsed = parse("{\"b\":\"2\",\"a\":\"1\",\"c\":[1,");
    EXPECT_FALSE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"a\":\"1\",\"b\":\"2\"}");
}

TEST(JsonDocument, ParseReplacesWhatTheObjectHeld) {
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    const std::string aFirst = "{\"a\":\"1\"}";
    ASSERT_TRUE(json::jsonParse(aFirst.data(), aFirst.size(), anObject, anAllocator));
    const std::string aSecond = "{\"b\":\"2\"}";
    ASSERT_TRUE(json::jsonParse(aSecond.data(), aSecond.size(), anObject, anAllocator));
    EXPECT_EQ(json::toJson(anObject), "{\"b\":\"2\"}");
}

TEST(JsonDocument, InputBufferMayBeReleasedAfterTheParse) {
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    {
        std::string aText = "{\"key\":\"value\",\"list\":[\"x\"],\"k\\u00e9y\":\"v\\n\"}";
        ASSERT_TRUE(json::jsonParse(aText.data(), aText.size(), anObject, anAllocator));
        std::fill(aText.begin(), aText.end(), '#');
    }
    EXPECT_EQ(json::toJson(anObject),
              "{\"key\":\"value\",\"k\xC3\xA9y\":\"v\n\",\"list\":[\"x\"]}");
}

// ------------------------------------------------------------------------------------------------
// Grammar: objects

TEST(JsonObjectGrammar, MembersAndNesting) {
    auto aParsed = parse("{\"s\":\"x\",\"n\":12,\"t\":true,\"f\":false,\"z\":null,"
                         "\"l\":[1,\"a\"],\"o\":{\"p\":{\"q\":\"r\"}}}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonObject& anObject = aParsed->itsObject;
    EXPECT_EQ(anObject.size(), 7u);
    EXPECT_EQ(member(*aParsed, "s").t, json::JT_STRING);
    EXPECT_EQ(member(*aParsed, "n").t, json::JT_NUMBER);
    EXPECT_EQ(member(*aParsed, "t").t, json::JT_BOOL);
    EXPECT_TRUE(member(*aParsed, "t").u.boolValue);
    EXPECT_EQ(member(*aParsed, "f").t, json::JT_BOOL);
    EXPECT_FALSE(member(*aParsed, "f").u.boolValue);
    EXPECT_EQ(member(*aParsed, "z").t, json::JT_NULL);
    EXPECT_EQ(member(*aParsed, "l").t, json::JT_LIST);
    EXPECT_EQ(member(*aParsed, "o").t, json::JT_OBJECT);
    EXPECT_EQ(json::getString(json::getObject(json::getObject(anObject, "o"), "p"), "q"), "r");
}

TEST(JsonObjectGrammar, DuplicateKeyKeepsTheLastValue) {
    auto aParsed = parse("{\"a\":\"x\",\"a\":\"y\"}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(aParsed->itsObject.size(), 1u);
    EXPECT_EQ(json::getString(aParsed->itsObject, "a"), "y");

    aParsed = parse("{\"a\":\"1\",\"b\":\"2\",\"a\":{\"c\":\"3\"},\"b\":\"4\",\"a\":[\"5\"]}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"a\":[\"5\"],\"b\":\"4\"}");

    // An escaped and a plain spelling of one key are the same key.
    aParsed = parse("{\"k\\u0065y\":\"1\",\"key\":\"2\"}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"key\":\"2\"}");
}

TEST(JsonObjectGrammar, KeysSortBytewiseShorterFirst) {
    auto aParsed =
        parse("{\"b\":1,\"ab\":2,\"\xC3\xA9\":3,\"a\":4,\"A\":5,\"\x7F\":6,\"\":7,\"abc\":8}");
    ASSERT_TRUE(aParsed->itsOk);
    std::vector<std::string> aKeys;
    for (const json::JsonMember& aMember : aParsed->itsObject)
        aKeys.emplace_back(aMember.key);
    EXPECT_EQ(aKeys,
              (std::vector<std::string>{"", "A", "a", "ab", "abc", "b", "\x7F", "\xC3\xA9"}));
    EXPECT_TRUE(json::hasMember(aParsed->itsObject, ""));
}

TEST(JsonObjectGrammar, MissingValueReadsAsNullWithoutConsumingTheToken) {
    auto aParsed = parse("{\"a\":}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(member(*aParsed, "a").t, json::JT_NULL);

    aParsed = parse("{\"a\":,\"b\":1}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(member(*aParsed, "a").t, json::JT_NULL);
    EXPECT_EQ(member(*aParsed, "b").u.numberValue, 1.0);
}

TEST(JsonObjectGrammar, StrictPlaces) {
    EXPECT_FALSE(parses("{\"a\":1,}")); // a comma must be followed by a key
    EXPECT_FALSE(parses("{,}"));
    EXPECT_FALSE(parses("{,\"a\":1}"));
    EXPECT_FALSE(parses("{\"a\" 1}")); // colon missing
    EXPECT_FALSE(parses("{\"a\"}"));
    EXPECT_FALSE(parses("{1:2}")); // key not a string
    EXPECT_FALSE(parses("{a:1}"));
    EXPECT_FALSE(parses("{\"a\":1 \"b\":2}")); // comma missing
    EXPECT_FALSE(parses("{\"a\":1]"));
    EXPECT_FALSE(parses("{\"a\":xyz}"));   // a bare word is neither comma nor brace
    EXPECT_FALSE(parses("{\"a\":True}"));  // uppercase is a one-byte token of its own
    EXPECT_FALSE(parses("{\"a\":+1}"));    // a plus does not start a number
    EXPECT_FALSE(parses("{\"a\":truex}")); // true, then the unknown word x
    EXPECT_FALSE(parses("{\"a\":'x'}"));
    EXPECT_FALSE(parses("{\"a\"::1}")); // the second colon is a missing value, then fails
    EXPECT_TRUE(parses("{\"a\":true}"));
}

// ------------------------------------------------------------------------------------------------
// Grammar: lists

TEST(JsonListGrammar, ListsOfValuesAndListsOfLists) {
    auto aParsed = parse("{\"l\":[[],[1,[2,[3]]],[\"a\"],{}]}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    ASSERT_EQ(aList.size(), 4u);
    EXPECT_EQ(aList[0].t, json::JT_LIST);
    EXPECT_TRUE(aList[0].u.listValue->empty());
    EXPECT_EQ(json::toJson(aList[1]), "[1,[2,[3]]]");
    EXPECT_EQ(json::asString((*aList[2].u.listValue)[0]), "a");
    EXPECT_TRUE(json::asObject(aList[3]).empty());
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"l\":[[],[1,[2,[3]]],[\"a\"],{}]}");
}

TEST(JsonListGrammar, CommaOnlyListReadsAsTwoNulls) {
    auto aParsed = parse("{\"l\":[,]}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    ASSERT_EQ(aList.size(), 2u);
    EXPECT_EQ(aList[0].t, json::JT_NULL);
    EXPECT_EQ(aList[1].t, json::JT_NULL);
}

TEST(JsonListGrammar, TrailingCommaAddsANull) {
    auto aParsed = parse("{\"l\":[1,]}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    ASSERT_EQ(aList.size(), 2u);
    EXPECT_EQ(aList[0].t, json::JT_NUMBER);
    EXPECT_EQ(aList[0].u.numberValue, 1.0);
    EXPECT_EQ(aList[1].t, json::JT_NULL);

    aParsed = parse("{\"l\":[,,1]}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"l\":[null,null,1]}");
}

TEST(JsonListGrammar, StrictPlaces) {
    EXPECT_FALSE(parses("{\"l\":[1 2]}"));
    EXPECT_FALSE(parses("{\"l\":[}"));
    EXPECT_FALSE(parses("{\"l\":[1}"));
    EXPECT_FALSE(parses("{\"l\":[xyz]}"));
    EXPECT_FALSE(parses("{\"l\":[+1]}"));
    EXPECT_FALSE(parses("{\"l\":[1:2]}"));
    EXPECT_FALSE(parses("{\"l\":[\"a\":1]}"));
    EXPECT_FALSE(parses("{\"l\":]}")); // ] as a missing value, then the object fails
    EXPECT_TRUE(parses("{\"l\":[]}"));
}

TEST(JsonListGrammar, LargeListKeepsTextOrder) {
    std::string aText = "{\"l\":[";
    for (int i = 0; i < 10000; ++i)
        aText += (i ? "," : "") + std::to_string(i);
    aText += "]}";
    auto aParsed = parse(aText);
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    ASSERT_EQ(aList.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(aList[static_cast<std::size_t>(i)].u.numberValue, i);
}

// ------------------------------------------------------------------------------------------------
// Nesting depth

namespace {

std::string nestedLists(int theDepth) {
    return "{\"a\":" + std::string(static_cast<std::size_t>(theDepth), '[') +
           std::string(static_cast<std::size_t>(theDepth), ']') + "}";
}

} // namespace

TEST(JsonNesting, DepthLimitCountsTheTopLevelObject) {
    EXPECT_TRUE(parses(nestedLists(json::kMaxNestingDepth - 1)));
    EXPECT_FALSE(parses(nestedLists(json::kMaxNestingDepth)));
}

TEST(JsonNesting, VeryDeepInputFailsWithoutCrashing) {
    EXPECT_FALSE(parses("{\"a\":" + std::string(100000, '[')));
    EXPECT_FALSE(parses(nestedLists(100000)));
    std::string aDeepObjects;
    for (int i = 0; i < 100000; ++i)
        aDeepObjects += "{\"a\":";
    EXPECT_FALSE(parses(aDeepObjects));
}

TEST(JsonNesting, DeepObjectsWithinTheLimit) {
    std::string aText;
    const int aDepth = json::kMaxNestingDepth;
    for (int i = 0; i < aDepth; ++i)
        aText += "{\"a\":";
    aText += "\"leaf\"";
    aText += std::string(static_cast<std::size_t>(aDepth), '}');
    // aDepth objects, the innermost holding a string: exactly at the limit.
    auto aParsed = parse(aText);
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonObject* anObject = &aParsed->itsObject;
    for (int i = 1; i < aDepth; ++i)
        anObject = &json::getObject(*anObject, "a");
    EXPECT_EQ(json::getString(*anObject, "a"), "leaf");
}

// ------------------------------------------------------------------------------------------------
// Numbers

TEST(JsonNumbers, IntegersAreHeldAsDoubles) {
    EXPECT_EQ(number("12"), 12.0);
    EXPECT_EQ(number("0"), 0.0);
    EXPECT_EQ(number("-7"), -7.0);
    EXPECT_EQ(number("007"), 7.0);
    EXPECT_EQ(number("2147483647"), 2147483647.0);
    EXPECT_EQ(number("-2147483648"), -2147483648.0);
    const double aZero = number("-0");
    EXPECT_EQ(aZero, 0.0);
    EXPECT_FALSE(std::signbit(aZero));
}

TEST(JsonNumbers, IntegersClampToThirtyTwoBits) {
    EXPECT_EQ(number("3000000000"), 2147483647.0);
    EXPECT_EQ(number("2147483648"), 2147483647.0);
    EXPECT_EQ(number("-2147483649"), -2147483648.0);
    EXPECT_EQ(number("-3000000000"), -2147483648.0);
    EXPECT_EQ(number("99999999999999999999999999999999999999"), 2147483647.0);
    EXPECT_EQ(number("-99999999999999999999999999999999999999"), -2147483648.0);
}

TEST(JsonNumbers, RealsAndExponentForms) {
    EXPECT_EQ(number("1.5e3"), 1500.0);
    EXPECT_EQ(number("1.5E3"), 1500.0);
    EXPECT_EQ(number("1.5e+3"), 1500.0);
    EXPECT_EQ(number("15e-1"), 1.5);
    EXPECT_EQ(number("1e2"), 100.0);
    EXPECT_EQ(number("0.25"), 0.25);
    EXPECT_EQ(number("-0.25"), -0.25);
    EXPECT_EQ(number(".5"), 0.5);
    EXPECT_EQ(number("-.5"), -0.5);
    EXPECT_EQ(number("1."), 1.0);
    EXPECT_EQ(number("1e10"), 1e10); // reals are not clamped
    EXPECT_EQ(number("3000000000.0"), 3000000000.0);
    EXPECT_TRUE(std::isinf(number("1e999")));
    EXPECT_EQ(number("1e-999"), 0.0);
}

TEST(JsonNumbers, IncompleteNumbersReadAsFarAsTheyGo) {
    EXPECT_EQ(number("-"), 0.0);  // an Integer token without digits
    EXPECT_EQ(number("."), 0.0);  // a Real token without digits
    EXPECT_EQ(number("1e"), 1.0); // exponent letter without digits
    EXPECT_EQ(number("2e+"), 2.0);
    EXPECT_EQ(number("-e5"), 0.0);
}

TEST(JsonNumbers, NumberTokenEndsWhereTheFormEnds) {
    EXPECT_FALSE(parses("{\"n\":1.2.3}")); // 1.2 and then the number .3
    EXPECT_FALSE(parses("{\"n\":1-2}"));   // 1 and then the number -2
    EXPECT_FALSE(parses("{\"n\":1x}"));
    EXPECT_FALSE(parses("{\"n\":0x10}"));
    auto aParsed = parse("{\"l\":[1e5,-2,3.25]}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"l\":[100000,-2,3]}");
}

// ------------------------------------------------------------------------------------------------
// Strings and escapes

TEST(JsonStrings, UnicodeEscapesBecomeUtf8) {
    EXPECT_EQ(bytes(decoded("a\\u00e9b")), "61 C3 A9 62");
    EXPECT_EQ(bytes(decoded("\\u00E9")), "C3 A9");
    EXPECT_EQ(bytes(decoded("\\u0041")), "41");
    EXPECT_EQ(bytes(decoded("\\u007f")), "7F");
    EXPECT_EQ(bytes(decoded("\\u0080")), "C2 80");
    EXPECT_EQ(bytes(decoded("\\u07FF")), "DF BF");
    EXPECT_EQ(bytes(decoded("\\u0800")), "E0 A0 80");
    EXPECT_EQ(bytes(decoded("\\uFFFF")), "EF BF BF");
    EXPECT_EQ(bytes(decoded("\\u0000")), "00");
}

TEST(JsonStrings, SurrogatePairsBecomeCesu8) {
    EXPECT_EQ(bytes(decoded("\\ud83d\\ude00")), "ED A0 BD ED B8 80");
    EXPECT_EQ(bytes(decoded("\\uD83D")), "ED A0 BD"); // a lone surrogate is encoded by itself
}

TEST(JsonStrings, SimpleEscapes) {
    EXPECT_EQ(decoded("\\\"\\/\\\\"), "\"/\\");
    EXPECT_EQ(decoded("\\b\\f\\n\\r\\t"), "\x08\x0C\x0A\x0D\x09");
    EXPECT_EQ(decoded("a\\\"b"), "a\"b"); // an escaped quote does not end the string
    EXPECT_EQ(decoded("\\\\"), "\\");
}

TEST(JsonStrings, HexByteEscape) {
    EXPECT_EQ(decoded("\\x41"), "A");
    EXPECT_EQ(decoded("\\x41\\x4a\\x4A"), "AJJ");
    EXPECT_EQ(bytes(decoded("\\xff\\x00")), "FF 00");
}

TEST(JsonStrings, UnknownAndIncompleteEscapesAreKept) {
    EXPECT_EQ(decoded("\\q"), "\\q");
    EXPECT_EQ(decoded("\\q\\n"), "\\q\n"); // decoding goes on after a kept escape
    EXPECT_EQ(decoded("\\a\\U0041"), "\\a\\U0041");
    EXPECT_EQ(decoded("\\u12"), "\\u12"); // too few bytes left
    EXPECT_EQ(decoded("\\u123"), "\\u123");
    EXPECT_EQ(decoded("\\uzzzz"), "\\uzzzz"); // not hexadecimal
    EXPECT_EQ(decoded("\\u12g4"), "\\u12g4");
    EXPECT_EQ(decoded("\\u12345"), "\xE1\x88\xB4"
                                   "5");
    EXPECT_EQ(decoded("\\x4"), "\\x4");
    EXPECT_EQ(decoded("\\xg1"), "\\xg1");
    EXPECT_EQ(decoded("\\x"), "\\x");
    EXPECT_EQ(decoded("\\u\\n"), "\\u\n");
}

TEST(JsonStrings, RawBytesPassThrough) {
    EXPECT_EQ(decoded("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(decoded("\xED\xA0\xBD"), "\xED\xA0\xBD");
    EXPECT_EQ(decoded("tab\there\nline"), "tab\there\nline");
    EXPECT_EQ(decoded(std::string("nul\0byte", 8)), std::string("nul\0byte", 8));
    EXPECT_EQ(decoded(""), "");
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

TEST(JsonStrings, EscapedKeys) {
    auto aParsed = parse("{\"k\\u00e9y\":\"v\",\"a\\\"b\":\"w\"}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::getString(aParsed->itsObject, "k\xC3\xA9y"), "v");
    EXPECT_EQ(json::getString(aParsed->itsObject, "a\"b"), "w");
}

// ------------------------------------------------------------------------------------------------
// Many objects: shared keys and remembered key orders must not change the result

namespace {

// Builds a document from random objects and compares every object with the map that a plain
// reading (bytewise order, last duplicate wins) gives.
void checkRandomObjects(unsigned theSeed, int theKeyPool, int theMaxMembers, int theObjects) {
    std::mt19937 aRandom(theSeed);
    std::vector<std::string> aKeys;
    for (int i = 0; i < theKeyPool; ++i) {
        std::string aKey = "k" + std::to_string(i);
        if (i % 5 == 1)
            aKey += std::string(40, 'L'); // longer than the shared-key limit
        if (i % 7 == 2)
            aKey = "";
        aKeys.push_back(aKey);
    }
    std::vector<std::vector<std::pair<std::string, std::string>>> aShapes;
    for (int i = 0; i < 6; ++i) {
        std::vector<std::pair<std::string, std::string>> aShape;
        const int aCount = static_cast<int>(aRandom() % static_cast<unsigned>(theMaxMembers + 1));
        for (int j = 0; j < aCount; ++j)
            aShape.emplace_back(aKeys[aRandom() % aKeys.size()], "");
        aShapes.push_back(aShape);
    }
    std::string aText = "{\"l\":[";
    std::vector<std::map<std::string, std::string>> anExpected;
    for (int i = 0; i < theObjects; ++i) {
        // Mostly repeated shapes, sometimes a fresh one.
        std::vector<std::pair<std::string, std::string>> aShape =
            aShapes[aRandom() % aShapes.size()];
        if (aRandom() % 4 == 0) {
            aShape.clear();
            const int aCount =
                static_cast<int>(aRandom() % static_cast<unsigned>(theMaxMembers + 1));
            for (int j = 0; j < aCount; ++j)
                aShape.emplace_back(aKeys[aRandom() % aKeys.size()], "");
        }
        std::map<std::string, std::string> aMap;
        aText += i ? ",{" : "{";
        for (std::size_t j = 0; j < aShape.size(); ++j) {
            const std::string aValue = std::to_string(aRandom() % 1000);
            aMap[aShape[j].first] = aValue;
            aText += (j ? ",\"" : "\"") + aShape[j].first + "\":\"" + aValue + "\"";
        }
        aText += "}";
        anExpected.push_back(aMap);
    }
    aText += "]}";
    auto aParsed = parse(aText);
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    ASSERT_EQ(aList.size(), anExpected.size());
    for (std::size_t i = 0; i < aList.size(); ++i) {
        std::map<std::string, std::string> aGot;
        std::vector<std::string> anOrder;
        for (const json::JsonMember& aMember : json::asObject(aList[i])) {
            aGot[std::string(aMember.key)] = json::asString(aMember.value);
            anOrder.emplace_back(aMember.key);
        }
        ASSERT_EQ(aGot, anExpected[i]) << "object " << i;
        ASSERT_TRUE(std::is_sorted(anOrder.begin(), anOrder.end())) << "object " << i;
        ASSERT_EQ(anOrder.size(), aGot.size()) << "object " << i;
        for (const auto& [aKey, aValue] : anExpected[i])
            ASSERT_EQ(json::getString(json::asObject(aList[i]), aKey), aValue);
    }
}

} // namespace

TEST(JsonManyObjects, RepeatedShapesWithDuplicates) {
    for (unsigned aSeed = 1; aSeed <= 20; ++aSeed)
        checkRandomObjects(aSeed, 12, 10, 300);
}

TEST(JsonManyObjects, LargeObjectsBeyondTheRememberedShapes) {
    for (unsigned aSeed = 1; aSeed <= 5; ++aSeed)
        checkRandomObjects(aSeed, 60, 80, 100);
}

TEST(JsonManyObjects, MoreDistinctKeysThanAreShared) {
    for (unsigned aSeed = 1; aSeed <= 5; ++aSeed)
        checkRandomObjects(aSeed, 600, 20, 400);
}

// ------------------------------------------------------------------------------------------------
// Lookups

TEST(JsonLookup, FoundMembers) {
    auto aParsed =
        parse("{\"s\":\"x\",\"l\":[\"a\",{\"k\":\"v\"}],\"o\":{\"p\":\"q\"},\"z\":null}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonObject& anObject = aParsed->itsObject;
    EXPECT_EQ(json::getString(anObject, "s"), "x");
    EXPECT_EQ(json::getStringView(anObject, std::string("s")), "x");
    const json::JsonList& aList = json::getList(anObject, "l");
    ASSERT_EQ(aList.size(), 2u);
    EXPECT_EQ(json::asString(aList[0]), "a");
    EXPECT_EQ(json::asStringView(aList[0]), "a");
    EXPECT_EQ(json::getString(json::asObject(aList[1]), "k"), "v");
    EXPECT_EQ(json::getString(json::getObject(anObject, "o"), "p"), "q");
    EXPECT_TRUE(json::hasMember(anObject, "z"));
    EXPECT_TRUE(json::hasMember(anObject, "s"));
    EXPECT_FALSE(json::hasMember(anObject, "S"));
    EXPECT_FALSE(json::hasMember(anObject, "s "));
    EXPECT_FALSE(json::hasMember(json::JsonObject(), "s"));
}

TEST(JsonLookup, MissingMemberMessages) {
    auto aParsed = parse("{\"b\":\"2\",\"a\":\"1\"}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonObject& anObject = aParsed->itsObject;
    const std::vector<std::string> anExpected = {
        "Could not find \"x\" in object: \"{\"a\":\"1\",\"b\":\"2\"}\""};
    EXPECT_EQ(messagesOf([&] { json::getString(anObject, "x"); }), anExpected);
    EXPECT_EQ(messagesOf([&] { json::getList(anObject, "x"); }), anExpected);
    EXPECT_EQ(messagesOf([&] { json::getObject(anObject, "x"); }), anExpected);
    EXPECT_EQ(messagesOf([&] { json::getStringView(anObject, "x"); }), anExpected);
    EXPECT_EQ(messagesOf([] { json::getString(json::JsonObject(), "k"); }),
              std::vector<std::string>{"Could not find \"k\" in object: \"{}\""});
}

TEST(JsonLookup, WrongTypeMessages) {
    auto aParsed = parse("{\"n\":12}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(messagesOf([&] { json::getString(aParsed->itsObject, "n"); }),
              std::vector<std::string>{"The type of \"n\" is not a string in: \"{\"n\":12}\""});
    aParsed = parse("{\"s\":\"x\",\"o\":{},\"l\":[]}");
    ASSERT_TRUE(aParsed->itsOk);
    const std::string aQuoted = "{\"l\":[],\"o\":{},\"s\":\"x\"}";
    EXPECT_EQ(messagesOf([&] { json::getList(aParsed->itsObject, "s"); }),
              std::vector<std::string>{"The type of \"s\" is not a list in: \"" + aQuoted + "\""});
    EXPECT_EQ(
        messagesOf([&] { json::getObject(aParsed->itsObject, "l"); }),
        std::vector<std::string>{"The type of \"l\" is not an object in: \"" + aQuoted + "\""});
    EXPECT_EQ(
        messagesOf([&] { json::getString(aParsed->itsObject, "o"); }),
        std::vector<std::string>{"The type of \"o\" is not a string in: \"" + aQuoted + "\""});
}

TEST(JsonLookup, MessagesQuoteTheObjectUnescaped) {
    auto aParsed = parse("{\"a\\\"b\":\"c\\\"d\\n\",\"t\":true}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(messagesOf([&] { json::getString(aParsed->itsObject, "t"); }),
              std::vector<std::string>{
                  "The type of \"t\" is not a string in: \"{\"a\"b\":\"c\"d\n\",\"t\":true}\""});
}

TEST(JsonLookup, AsObjectAndAsStringOnOtherTags) {
    auto aParsed = parse("{\"l\":[\"s\",{},1,null,true,[]]}");
    ASSERT_TRUE(aParsed->itsOk);
    const json::JsonList& aList = json::getList(aParsed->itsObject, "l");
    const std::vector<std::string> aWrong = {"The type is wrong"};
    EXPECT_EQ(messagesOf([&] { json::asObject(aList[0]); }), aWrong);
    EXPECT_EQ(messagesOf([&] { json::asString(aList[1]); }), aWrong);
    EXPECT_EQ(messagesOf([&] { json::asString(aList[2]); }), aWrong);
    EXPECT_EQ(messagesOf([&] { json::asObject(aList[3]); }), aWrong);
    EXPECT_EQ(messagesOf([&] { json::asStringView(aList[4]); }), aWrong);
    EXPECT_EQ(messagesOf([&] { json::asObject(aList[5]); }), aWrong);
}

// ------------------------------------------------------------------------------------------------
// Writer

TEST(JsonWriter, MembersInKeyOrderWithoutBlanks) {
    auto aParsed = parse("{ \"b\" : \"2\" ,\n \"a\" : [ 1 , { \"d\" : \"x\" , \"c\" : [ ] } ] }");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), "{\"a\":[1,{\"c\":[],\"d\":\"x\"}],\"b\":\"2\"}");
    std::ostringstream aStream;
    json::writeJson(aStream, aParsed->itsObject);
    EXPECT_EQ(aStream.str(), json::toJson(aParsed->itsObject));
    std::ostringstream aValueStream;
    json::writeJson(aValueStream, json::JsonValue::ofObject(&aParsed->itsObject));
    EXPECT_EQ(aValueStream.str(), aStream.str());
}

TEST(JsonWriter, NumbersAreTruncatedToThirtyTwoBits) {
    auto aText = [](double theValue) { return json::toJson(json::JsonValue::ofNumber(theValue)); };
    EXPECT_EQ(aText(12.0), "12");
    EXPECT_EQ(aText(1.9), "1");
    EXPECT_EQ(aText(-1.9), "-1");
    EXPECT_EQ(aText(0.5), "0");
    EXPECT_EQ(aText(-0.5), "0");
    EXPECT_EQ(aText(-0.0), "0");
    EXPECT_EQ(aText(2147483647.0), "2147483647");
    EXPECT_EQ(aText(-2147483648.0), "-2147483648");
    EXPECT_EQ(aText(1e10), "2147483647");
    EXPECT_EQ(aText(-1e10), "-2147483648");
    EXPECT_EQ(aText(std::numeric_limits<double>::infinity()), "2147483647");
    EXPECT_EQ(aText(std::nan("")), "0");
}

TEST(JsonWriter, BooleansNullAndUnescapedStrings) {
    json::JsonAllocator anAllocator;
    EXPECT_EQ(json::toJson(json::JsonValue::ofBool(true)), "true");
    EXPECT_EQ(json::toJson(json::JsonValue::ofBool(false)), "false");
    EXPECT_EQ(json::toJson(json::JsonValue::null()), "null");
    EXPECT_EQ(json::toJson(json::JsonValue::ofString(anAllocator.newString("a\"b\\c/\n"))),
              "\"a\"b\\c/\n\"");
    EXPECT_EQ(json::toJson(json::JsonValue::ofList(anAllocator.newList({}))), "[]");
    std::ostringstream aStream;
    json::writeJson(aStream, json::JsonValue::ofNumber(-42));
    EXPECT_EQ(aStream.str(), "-42");
}

TEST(JsonWriter, ParsedDocumentRoundTrips) {
    const std::string aText =
        "{\"a\":[1,-2,true,false,null,\"x\"],\"b\":{\"c\":{},\"d\":[[]]},\"e\":\"\"}";
    auto aParsed = parse(aText);
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::toJson(aParsed->itsObject), aText);
}

// ------------------------------------------------------------------------------------------------
// Request escaping

TEST(JsonEscape, RequestEscapes) {
    EXPECT_EQ(json::escapeJson("a/b\"c"), "a\\/b\\\"c");
    EXPECT_EQ(json::escapeJson("\b\t\n"), "\\b\\t\\n");
    EXPECT_EQ(json::escapeJson("back\\slash"), "back\\\\slash");
    EXPECT_EQ(json::escapeJson(""), "");
    EXPECT_EQ(json::escapeJson("plain"), "plain");
}

TEST(JsonEscape, OtherBytesPassUnchanged) {
    EXPECT_EQ(json::escapeJson("a\rb"), "a\rb");
    EXPECT_EQ(json::escapeJson("\f\v\x01\x1f\x7f"), "\f\v\x01\x1f\x7f");
    EXPECT_EQ(json::escapeJson("caf\xC3\xA9 \xFF"), "caf\xC3\xA9 \xFF");
    EXPECT_EQ(json::escapeJson(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(JsonEscape, StreamFormWritesTheSameBytesWithoutQuotes) {
    const std::string aText = "x/\"\\\b\t\n\ry";
    std::ostringstream aStream;
    json::escapeJson(aStream, aText);
    EXPECT_EQ(aStream.str(), "x\\/\\\"\\\\\\b\\t\\n\ry");
    EXPECT_EQ(aStream.str(), json::escapeJson(aText));
}

TEST(JsonEscape, EscapedTextParsesBack) {
    const std::string aText = "p1/p2 \"quoted\" back\\slash\ttab\nline";
    auto aParsed = parse("{\"s\":\"" + json::escapeJson(aText) + "\"}");
    ASSERT_TRUE(aParsed->itsOk);
    EXPECT_EQ(json::getString(aParsed->itsObject, "s"), aText);
}
