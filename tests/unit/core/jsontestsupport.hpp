#pragma once

// What the JSON tests share: parsing a text as a document and reading its parts.

#include "core/json.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>

namespace jsontest {

namespace json = RepositoryAccess::json;

// A parsed document: the allocator and the top-level object kept together, as callers must.
struct Parsed {
    json::JsonAllocator itsAllocator;
    json::JsonObject itsObject;
    bool itsOk = false;
};

// Parses a copy of theText held in a heap buffer of exactly its size, so that the sanitizer
// build catches any read past the end (the parser gets no terminator).
inline std::unique_ptr<Parsed> parse(std::string_view theText) {
    auto aParsed = std::make_unique<Parsed>();
    auto aBuffer = std::make_unique<char[]>(theText.size());
    std::copy(theText.begin(), theText.end(), aBuffer.get());
    aParsed->itsOk =
        json::jsonParse(aBuffer.get(), theText.size(), aParsed->itsObject, aParsed->itsAllocator);
    return aParsed;
}

inline bool parses(std::string_view theText) {
    return parse(theText)->itsOk;
}

// Every text of theTexts fails to parse.
inline void expectRefused(std::initializer_list<std::string_view> theTexts) {
    for (std::string_view aText : theTexts)
        EXPECT_FALSE(parses(aText)) << aText;
}

// The document written back after the parse of theText, which must succeed.
inline std::string reparsed(std::string_view theText) {
    auto aParsed = parse(theText);
    EXPECT_TRUE(aParsed->itsOk) << theText;
    return json::toJson(aParsed->itsObject);
}

// The value of a member of a document that must parse.
inline json::JsonValue member(const Parsed& theParsed, std::string_view theKey) {
    const json::JsonValue* aValue = theParsed.itsObject.find(theKey);
    if (aValue == nullptr) {
        ADD_FAILURE() << "no member " << theKey;
        return {};
    }
    return *aValue;
}

// The one string member "s" of {"s":"<theToken>"} after decoding.
inline std::string decoded(std::string_view theToken) {
    auto aParsed = parse("{\"s\":\"" + std::string(theToken) + "\"}");
    EXPECT_TRUE(aParsed->itsOk) << theToken;
    if (!aParsed->itsOk)
        return "<parse failed>";
    return json::getString(aParsed->itsObject, "s");
}

// The number held by member "n" of {"n":<theToken>}.
inline double number(std::string_view theToken) {
    auto aParsed = parse("{\"n\":" + std::string(theToken) + "}");
    EXPECT_TRUE(aParsed->itsOk) << theToken;
    const json::JsonValue aValue = member(*aParsed, "n");
    EXPECT_EQ(aValue.t, json::JT_NUMBER) << theToken;
    return aValue.t == json::JT_NUMBER ? aValue.u.numberValue : std::nan("");
}

} // namespace jsontest
