#include "core/json.hpp"
#include "core/jsondecode.hpp"
#include "core/jsonkeys.hpp"

#include "core/perftrace.hpp"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define KIVO_JSON_SSE2 1
#endif

namespace RepositoryAccess::json {

// ------------------------------------------------------------------------------------------------
// Tokeniser and grammar; the tokens' values are decoded in jsondecode, the keys kept in jsonkeys.

namespace {

enum Token : std::uint8_t {
    TK_END,
    TK_STRING,
    TK_INTEGER,
    TK_REAL,
    TK_TRUE,
    TK_FALSE,
    TK_NULL,
    TK_UNKNOWN,      // a lowercase letter that does not start true, false or null
    TK_OPEN_OBJECT,  // {
    TK_CLOSE_OBJECT, // }
    TK_OPEN_LIST,    // [
    TK_CLOSE_LIST,   // ]
    TK_COMMA,        // ,
    TK_COLON,        // :
    TK_OTHER,        // any other byte, one byte long
};

// What a byte starts, for the dispatch of the tokeniser.
enum ByteClass : std::uint8_t {
    BC_OTHER,
    BC_SPACE,
    BC_QUOTE,
    BC_NUMBER,
    BC_LETTER,
    BC_OPEN_OBJECT,
    BC_CLOSE_OBJECT,
    BC_OPEN_LIST,
    BC_CLOSE_LIST,
    BC_COMMA,
    BC_COLON,
};

struct ByteClasses {
    std::uint8_t itsClass[256];
    constexpr ByteClasses() : itsClass() {
        for (int c = 0; c < 256; ++c)
            itsClass[c] = BC_OTHER;
        itsClass[' '] = itsClass['\t'] = itsClass['\n'] = itsClass['\r'] = BC_SPACE;
        itsClass['"'] = BC_QUOTE;
        itsClass['-'] = itsClass['.'] = BC_NUMBER;
        for (int c = '0'; c <= '9'; ++c)
            itsClass[c] = BC_NUMBER;
        for (int c = 'a'; c <= 'z'; ++c)
            itsClass[c] = BC_LETTER;
        itsClass['{'] = BC_OPEN_OBJECT;
        itsClass['}'] = BC_CLOSE_OBJECT;
        itsClass['['] = BC_OPEN_LIST;
        itsClass[']'] = BC_CLOSE_LIST;
        itsClass[','] = BC_COMMA;
        itsClass[':'] = BC_COLON;
    }
};
constexpr ByteClasses kByteClasses;

inline std::uint8_t byteClass(char theByte) {
    return kByteClasses.itsClass[static_cast<unsigned char>(theByte)];
}

inline bool isDigit(char theByte) {
    return static_cast<unsigned char>(theByte - '0') < 10;
}

// The first double quote or backslash in [thePos, theEnd), or theEnd.
inline const char* findQuoteOrBackslash(const char* thePos, const char* theEnd) {
#ifdef KIVO_JSON_SSE2
    const __m128i aQuote = _mm_set1_epi8('"');
    const __m128i aBackslash = _mm_set1_epi8('\\');
    while (theEnd - thePos >= 16) {
        const __m128i aBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(thePos));
        const int aMask = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(aBytes, aQuote), _mm_cmpeq_epi8(aBytes, aBackslash)));
        if (aMask != 0)
            return thePos + std::countr_zero(static_cast<unsigned>(aMask));
        thePos += 16;
    }
#endif
    while (thePos != theEnd && *thePos != '"' && *thePos != '\\')
        ++thePos;
    return thePos;
}

} // namespace

class JsonParser {
public:
    JsonParser(const char* theText, std::size_t theSize, JsonAllocator& theAllocator)
        : itsPos(theText), itsEnd(theText + theSize), itsAllocator(theAllocator) {}

    bool parseDocument(JsonObject& theObject) {
        next();
        if (itsToken != TK_OPEN_OBJECT)
            return false;
        itsDepth = 1;
        // The closing brace is the last token read: nothing after it is examined.
        return parseObjectBody(theObject, true);
    }

private:
    // Reads the next token.
    void next() {
        const char* aPos = itsPos;
        const char* const anEnd = itsEnd;
        for (;;) {
            if (aPos == anEnd) {
                itsToken = TK_END;
                itsPos = aPos;
                return;
            }
            switch (byteClass(*aPos)) {
            case BC_SPACE:
                ++aPos;
                continue;
            case BC_QUOTE:
                scanString(aPos + 1);
                return;
            case BC_NUMBER:
                scanNumber(aPos);
                return;
            case BC_LETTER:
                scanWord(aPos);
                return;
            case BC_OPEN_OBJECT:
                itsToken = TK_OPEN_OBJECT;
                break;
            case BC_CLOSE_OBJECT:
                itsToken = TK_CLOSE_OBJECT;
                break;
            case BC_OPEN_LIST:
                itsToken = TK_OPEN_LIST;
                break;
            case BC_CLOSE_LIST:
                itsToken = TK_CLOSE_LIST;
                break;
            case BC_COMMA:
                itsToken = TK_COMMA;
                break;
            case BC_COLON:
                itsToken = TK_COLON;
                break;
            default:
                itsToken = TK_OTHER;
                break;
            }
            itsPos = aPos + 1;
            return;
        }
    }

    void scanString(const char* thePos) {
        const char* const aStart = thePos;
        const char* const anEnd = itsEnd;
        bool anEscaped = false;
        for (;;) {
            thePos = findQuoteOrBackslash(thePos, anEnd);
            if (thePos == anEnd) {
                // No closing quote: the token runs to the end of the input.
                itsPos = anEnd;
                break;
            }
            if (*thePos == '"') {
                itsPos = thePos + 1;
                break;
            }
            if (anEnd - thePos >= 2) {
                anEscaped = true;
                thePos += 2;
            } else {
                thePos = anEnd; // a backslash as the very last byte is an ordinary byte
            }
        }
        itsToken = TK_STRING;
        itsText = aStart;
        itsTextSize = static_cast<std::size_t>(thePos - aStart);
        itsEscaped = anEscaped;
    }

    void scanNumber(const char* thePos) {
        const char* const aStart = thePos;
        const char* const anEnd = itsEnd;
        bool aReal = false;
        if (*thePos == '-')
            ++thePos;
        while (thePos != anEnd && isDigit(*thePos))
            ++thePos;
        if (thePos != anEnd && *thePos == '.') {
            aReal = true;
            ++thePos;
            while (thePos != anEnd && isDigit(*thePos))
                ++thePos;
        }
        if (thePos != anEnd && (*thePos == 'e' || *thePos == 'E')) {
            aReal = true;
            ++thePos;
            if (thePos != anEnd && (*thePos == '+' || *thePos == '-'))
                ++thePos;
            while (thePos != anEnd && isDigit(*thePos))
                ++thePos;
        }
        itsPos = thePos;
        if (aReal) {
            itsToken = TK_REAL;
            itsReal = toReal(aStart, thePos);
        } else {
            itsToken = TK_INTEGER;
            itsInteger = toInteger(aStart, thePos);
        }
    }

    void scanWord(const char* thePos) {
        const std::size_t aRemaining = static_cast<std::size_t>(itsEnd - thePos);
        if (aRemaining >= 4 && std::memcmp(thePos, "true", 4) == 0) {
            itsToken = TK_TRUE;
            itsPos = thePos + 4;
        } else if (aRemaining >= 5 && std::memcmp(thePos, "false", 5) == 0) {
            itsToken = TK_FALSE;
            itsPos = thePos + 5;
        } else if (aRemaining >= 4 && std::memcmp(thePos, "null", 4) == 0) {
            itsToken = TK_NULL;
            itsPos = thePos + 4;
        } else {
            itsToken = TK_UNKNOWN;
            itsPos = thePos + 1;
        }
    }

    // The current String token as a key: its (decoded) bytes in the allocator. Short keys are
    // stored once per document and shared by every member that has them.
    std::string_view takeKey() {
        if (!itsEscaped)
            return itsKeys.intern(itsText, itsTextSize);
        char* aChars = static_cast<char*>(itsAllocator.allocate(itsTextSize, 1));
        const std::size_t aSize = decodeEscapes(itsText, itsTextSize, aChars);
        itsAllocator.shrinkLast(aChars, itsTextSize, aSize);
        return {aChars, aSize};
    }

    // Stores the members itsMembers[theBase, theBase + theCount) sorted by key, of equal keys the
    // last, in the allocator.
    JsonObject storeMembers(std::size_t theBase, std::size_t theCount) {
        const std::span<const JsonMember> aStored =
            itsKeys.store(itsMembers.data() + theBase, theCount);
        return JsonObject(aStored.data(), aStored.size());
    }

    // The current String token as a string node (length and bytes in one allocation), or
    // nullptr when it is too long for a string node.
    const JsonString* takeString() {
        if (itsTextSize > std::numeric_limits<std::uint32_t>::max())
            return nullptr;
        char* aBlock = static_cast<char*>(
            itsAllocator.allocate(sizeof(JsonString) + itsTextSize, alignof(JsonString)));
        char* aChars = aBlock + sizeof(JsonString);
        std::size_t aSize = itsTextSize;
        if (!itsEscaped) {
            std::memcpy(aChars, itsText, aSize);
        } else {
            aSize = decodeEscapes(itsText, itsTextSize, aChars);
            itsAllocator.shrinkLast(aBlock, sizeof(JsonString) + itsTextSize,
                                    sizeof(JsonString) + aSize);
        }
        return new (aBlock) JsonString(static_cast<std::uint32_t>(aSize));
    }

    // Reads a value starting at the current token and moves past it. A token that cannot start
    // a value yields null and is left for the enclosing list or object.
    bool parseValue(JsonValue& theValue) {
        switch (itsToken) {
        case TK_STRING: {
            const JsonString* aString = takeString();
            if (aString == nullptr)
                return false;
            theValue = JsonValue::ofString(aString);
            break;
        }
        case TK_INTEGER:
            theValue = JsonValue::ofNumber(static_cast<double>(itsInteger));
            break;
        case TK_REAL:
            theValue = JsonValue::ofNumber(itsReal);
            break;
        case TK_TRUE:
            theValue = JsonValue::ofBool(true);
            break;
        case TK_FALSE:
            theValue = JsonValue::ofBool(false);
            break;
        case TK_NULL:
            theValue = JsonValue::null();
            break;
        case TK_OPEN_LIST: {
            if (++itsDepth > kMaxNestingDepth)
                return false;
            const JsonList* aList = parseListBody();
            if (aList == nullptr)
                return false;
            --itsDepth;
            theValue = JsonValue::ofList(aList);
            break;
        }
        case TK_OPEN_OBJECT: {
            if (++itsDepth > kMaxNestingDepth)
                return false;
            const JsonObject* anObject = parseNestedObject();
            if (anObject == nullptr)
                return false;
            --itsDepth;
            theValue = JsonValue::ofObject(anObject);
            break;
        }
        default:
            theValue = JsonValue::null();
            return true; // not consumed
        }
        next();
        return true;
    }

    // At `[`; on success at the matching `]`. Returns nullptr on failure.
    const JsonList* parseListBody() {
        next();
        if (itsToken == TK_CLOSE_LIST)
            return emptyList();
        const std::size_t aBase = itsValues.size();
        for (;;) {
            JsonValue aValue;
            if (!parseValue(aValue))
                return nullptr;
            itsValues.push_back(aValue);
            if (itsToken == TK_COMMA) {
                next();
                continue;
            }
            if (itsToken == TK_CLOSE_LIST)
                break;
            return nullptr;
        }
        const std::size_t aSize = itsValues.size() - aBase;
        char* aBlock = static_cast<char*>(
            itsAllocator.allocate(sizeof(JsonList) + aSize * sizeof(JsonValue), alignof(JsonList)));
        auto* aValues = reinterpret_cast<JsonValue*>(aBlock + sizeof(JsonList));
        std::memcpy(static_cast<void*>(aValues), itsValues.data() + aBase,
                    aSize * sizeof(JsonValue));
        itsValues.resize(aBase);
        return new (aBlock) JsonList(aValues, aSize);
    }

    const JsonList* emptyList() {
        return new (itsAllocator.allocate(sizeof(JsonList), alignof(JsonList))) JsonList();
    }

    const JsonObject* parseNestedObject() {
        JsonObject anObject;
        if (!parseObjectBody(anObject, false))
            return nullptr;
        return new (itsAllocator.allocate(sizeof(JsonObject), alignof(JsonObject)))
            JsonObject(anObject);
    }

    // At `{`; on success at the matching `}`. On failure of the top-level object, the members
    // read completely so far are still stored in it.
    bool parseObjectBody(JsonObject& theObject, bool theIsTopLevel) {
        const std::size_t aBase = itsMembers.size();
        std::size_t aCount = 0;
        next();
        if (itsToken == TK_CLOSE_OBJECT) {
            theObject = JsonObject();
            return true;
        }
        bool aResult = false;
        for (;;) {
            if (itsToken != TK_STRING)
                break;
            const std::string_view aKey = takeKey();
            next();
            if (itsToken != TK_COLON)
                break;
            next();
            JsonValue aValue;
            if (!parseValue(aValue))
                break;
            itsMembers.push_back({aKey, aValue});
            ++aCount;
            if (itsToken == TK_COMMA) {
                next();
                continue;
            }
            if (itsToken == TK_CLOSE_OBJECT)
                aResult = true;
            break;
        }
        if (!aResult && !theIsTopLevel)
            return false;
        itsMembers.resize(aBase + aCount);
        theObject = storeMembers(aBase, aCount);
        itsMembers.resize(aBase);
        return aResult;
    }

    // Tokeniser state.
    const char* itsPos;
    const char* const itsEnd;
    Token itsToken = TK_END;
    const char* itsText = nullptr; // String token: the raw bytes between the quotes
    std::size_t itsTextSize = 0;
    bool itsEscaped = false;
    std::int32_t itsInteger = 0;
    double itsReal = 0.0;

    JsonAllocator& itsAllocator;
    int itsDepth = 0;
    // Members and values of the open objects and lists, innermost last.
    std::vector<JsonMember> itsMembers;
    std::vector<JsonValue> itsValues;
    // Shared short keys and remembered key orders, see takeKey and storeMembers.
    JsonKeyTable itsKeys{itsAllocator};
};

bool jsonParse(const char* theText, std::size_t theSize, JsonObject& theObject,
               JsonAllocator& theAllocator) {
    KIVO_PERF_SCOPE("json::jsonParse()");
    theObject = JsonObject();
    JsonParser aParser(theText, theSize, theAllocator);
    return aParser.parseDocument(theObject);
}

} // namespace RepositoryAccess::json