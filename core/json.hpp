#pragma once

// The JSON model and parser: a tagged 16-byte value tree whose nodes live in a
// per-document arena, the lenient parser `jsonParse`, the lookups with the program's messages,
// the generic writer `writeJson` and the request escaping `escapeJson`.
//
// Ownership in one sentence: every string, list and object that `jsonParse` creates lives in the
// `JsonAllocator` passed to it, and the caller's top-level `JsonObject` refers into that
// allocator, so the caller keeps the object and its allocator alive together (a response holds
// both as members). The input text may be released right after the parse: strings are copies.
//
// All node types are trivially copyable and trivially destructible views; copying a
// `JsonObject`, `JsonList` or `JsonValue` copies a reference to the same arena data.
//
// Design choices:
// - The allocator is an arena (bump allocation in large blocks, all freed together) instead of
//   three collections of shared handles; the lifetime rule is the same.
// - Lists and objects are built on a scratch stack while their text is read and then stored once,
//   exactly sized, so they are read-only after the parse (no growable array). An object's members
//   are sorted once, stably, at its closing brace; of equal keys the last one is kept.
// - Short keys are stored once per document and shared by the members that use them.
// - Nesting is limited to kMaxNestingDepth levels, so that hostile input cannot exhaust the stack.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "core/arena.hpp"

namespace RepositoryAccess::json {

enum JsonType : std::int32_t {
    JT_NULL = 0,
    JT_BOOL = 1,
    JT_NUMBER = 2,
    JT_STRING = 3,
    JT_LIST = 4,
    JT_OBJECT = 5,
};

class JsonList;
class JsonObject;

// A string node in the allocator: its length followed by its bytes (no terminator). Strings are
// byte strings, limited to 4 GiB - 1 bytes (the repoV2 frame has 32-bit lengths).
// Read it with view(), or let it convert to std::string_view.
class JsonString {
public:
    std::size_t size() const { return itsSize; }
    bool empty() const { return itsSize == 0; }
    const char* data() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view view() const { return {data(), itsSize}; }
    operator std::string_view() const { return view(); }
    friend bool operator==(const JsonString& theLeft, std::string_view theRight) {
        return theLeft.view() == theRight;
    }

private:
    friend class JsonParser;
    explicit JsonString(std::uint32_t theSize) : itsSize(theSize) {}
    std::uint32_t itsSize;
};

// A plain 16-byte tagged value, copied freely. The pointers do not own: the nodes belong to the
// allocator of the document. A default-constructed value is JT_NULL.
struct JsonValue {
    JsonType t = JT_NULL;
    union Slot {
        double numberValue;            // JT_NUMBER (integers are held as doubles)
        bool boolValue;                // JT_BOOL
        const JsonString* stringValue; // JT_STRING: the bytes, as they were decoded
        const JsonList* listValue;     // JT_LIST
        const JsonObject* objectValue; // JT_OBJECT
    } u{0.0};

    static JsonValue null() { return {}; }
    static JsonValue ofBool(bool theValue) {
        JsonValue aValue;
        aValue.t = JT_BOOL;
        aValue.u.boolValue = theValue;
        return aValue;
    }
    static JsonValue ofNumber(double theValue) {
        JsonValue aValue;
        aValue.t = JT_NUMBER;
        aValue.u.numberValue = theValue;
        return aValue;
    }
    static JsonValue ofString(const JsonString* theValue) {
        JsonValue aValue;
        aValue.t = JT_STRING;
        aValue.u.stringValue = theValue;
        return aValue;
    }
    static JsonValue ofList(const JsonList* theValue) {
        JsonValue aValue;
        aValue.t = JT_LIST;
        aValue.u.listValue = theValue;
        return aValue;
    }
    static JsonValue ofObject(const JsonObject* theValue) {
        JsonValue aValue;
        aValue.t = JT_OBJECT;
        aValue.u.objectValue = theValue;
        return aValue;
    }
};
static_assert(sizeof(JsonValue) == 16, "JsonValue is a 16-byte tagged value");

// One member of an object. The key refers to bytes owned by the document's allocator.
struct JsonMember {
    std::string_view key;
    JsonValue value;
};

// The values of a list in text order. Read-only view into the allocator.
class JsonList {
public:
    JsonList() = default;
    JsonList(const JsonValue* theValues, std::size_t theSize)
        : itsValues(theValues), itsSize(theSize) {}

    std::size_t size() const { return itsSize; }
    bool empty() const { return itsSize == 0; }
    const JsonValue& operator[](std::size_t theIndex) const { return itsValues[theIndex]; }
    const JsonValue* begin() const { return itsValues; }
    const JsonValue* end() const { return itsValues + itsSize; }

private:
    const JsonValue* itsValues = nullptr;
    std::size_t itsSize = 0;
};

// A map from key to value, kept sorted by key in bytewise order (shorter key first on a common
// prefix) with unique keys; iteration runs in key order. Read-only view into the allocator. The
// top-level object of a document is the caller's own variable, filled in place by `jsonParse`.
class JsonObject {
public:
    JsonObject() = default;

    std::size_t size() const { return itsSize; }
    bool empty() const { return itsSize == 0; }
    const JsonMember* begin() const { return itsMembers; }
    const JsonMember* end() const { return itsMembers + itsSize; }

    // The member's value, or nullptr when the key is missing (binary search, bytewise).
    const JsonValue* find(std::string_view theKey) const;
    bool contains(std::string_view theKey) const { return find(theKey) != nullptr; }

private:
    friend class JsonParser;
    JsonObject(const JsonMember* theMembers, std::size_t theSize)
        : itsMembers(theMembers), itsSize(theSize) {}

    const JsonMember* itsMembers = nullptr;
    std::size_t itsSize = 0;
};

// The per-document arena: strings, lists and objects are bump-allocated in large blocks and freed
// together when the allocator is destroyed; moving keeps every node where it is, so a moved
// allocator still owns what the values point to. After decoding escapes, which never lengthen a
// string, the parser gives back the tail of a string with shrinkLast().
class JsonAllocator : public Arena {};

// Containers nested deeper than this (the top-level object counts as level 1) make `jsonParse`
// return false instead of exhausting the stack of the recursive parser.
inline constexpr int kMaxNestingDepth = 1000;

// Parses theSize bytes at theText (no terminator needed) into theObject, whose nodes are
// created in theAllocator. The document must be an object; nothing after its closing brace is
// looked at. Returns false on any syntax error and never throws for syntax; on false theObject
// holds the top-level members read completely before the error, and callers discard it.
// theObject is expected to be empty; its previous contents are replaced.
bool jsonParse(const char* theText, std::size_t theSize, JsonObject& theObject,
               JsonAllocator& theAllocator);

// Lookups. They raise RepositoryAccess::Error with the program's messages (which quote the
// whole object as writeJson prints it). The returned references point into the allocator.
std::string getString(const JsonObject& theObject, std::string_view theKey);
std::string_view getStringView(const JsonObject& theObject, std::string_view theKey);
const JsonList& getList(const JsonObject& theObject, std::string_view theKey);
const JsonObject& getObject(const JsonObject& theObject, std::string_view theKey);
bool hasMember(const JsonObject& theObject, std::string_view theKey);

// For list elements: fail with "The type is wrong" when the value has another tag.
const JsonObject& asObject(const JsonValue& theValue);
std::string asString(const JsonValue& theValue);
std::string_view asStringView(const JsonValue& theValue);

// The generic writer, without any white space: objects in key order with unescaped keys,
// strings unescaped, numbers truncated toward zero to a 32-bit signed integer (clamped to its
// range; NaN writes 0), booleans as true and false, null as null.
void writeJson(std::ostream& theStream, const JsonValue& theValue);
void writeJson(std::ostream& theStream, const JsonObject& theObject);
// The same text as a string (for error messages and for re-serialising unknown members).
std::string toJson(const JsonValue& theValue);
std::string toJson(const JsonObject& theObject);

// Request escaping: backspace, tab, line feed, double quote, slash and backslash become \b, \t,
// \n, \", \/ and \\; every other byte is written unchanged. No surrounding quotes.
void appendEscapedJson(std::string& theOut, std::string_view theText);
std::string escapeJson(std::string_view theText);

// The text of one JSON object, built member by member in one buffer (string values with the
// request escaping): the metadata files and the repository's answers are thousands of small
// objects, and a chain of concatenations allocates several times for each.
class ObjectText {
public:
    ObjectText() {
        itsText.reserve(256);
        itsText += '{';
    }
    // "name":"value", the value escaped.
    ObjectText& string(std::string_view theName, std::string_view theValue);
    // "name":json, the value written as it is (an object, a list or a literal).
    ObjectText& raw(std::string_view theName, std::string_view theJson);
    // The object's text; the builder is spent.
    std::string take() {
        itsText += '}';
        return std::move(itsText);
    }

private:
    void name(std::string_view theName);

    std::string itsText;
};

} // namespace RepositoryAccess::json
