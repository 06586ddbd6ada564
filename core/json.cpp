#include "core/json.hpp"
#include "core/jsoninternal.hpp"

#include "core/error.hpp"
#include "core/perftrace.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define KIVO_JSON_SSE2 1
#endif

namespace RepositoryAccess::json {

// ------------------------------------------------------------------------------------------------
// Parser

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

// The value of a hexadecimal digit, or -1.
inline int hexValue(char theByte) {
    if (theByte >= '0' && theByte <= '9')
        return theByte - '0';
    if (theByte >= 'a' && theByte <= 'f')
        return theByte - 'a' + 10;
    if (theByte >= 'A' && theByte <= 'F')
        return theByte - 'A' + 10;
    return -1;
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

// Encodes a code point as UTF-8 (1 to 3 bytes); from 0x10000 to 0x10FFFF as CESU-8 (two 3-byte
// surrogate sequences); above that nothing. Returns the number of bytes written.
std::size_t encodeUtf8(std::uint32_t theCodePoint, char* theOut) {
    auto aByte = [](std::uint32_t theValue) { return static_cast<char>(theValue); };
    if (theCodePoint < 0x80) {
        theOut[0] = aByte(theCodePoint);
        return 1;
    }
    if (theCodePoint < 0x800) {
        theOut[0] = aByte(0xC0 | (theCodePoint >> 6));
        theOut[1] = aByte(0x80 | (theCodePoint & 0x3F));
        return 2;
    }
    if (theCodePoint < 0x10000) {
        theOut[0] = aByte(0xE0 | (theCodePoint >> 12));
        theOut[1] = aByte(0x80 | ((theCodePoint >> 6) & 0x3F));
        theOut[2] = aByte(0x80 | (theCodePoint & 0x3F));
        return 3;
    }
    if (theCodePoint <= 0x10FFFF) {
        const std::uint32_t aValue = theCodePoint - 0x10000;
        const std::size_t aHigh = encodeUtf8(0xD800 + (aValue >> 10), theOut);
        return aHigh + encodeUtf8(0xDC00 + (aValue & 0x3FF), theOut + aHigh);
    }
    return 0;
}

// Decodes the escapes of a raw string token into theOut (which has room for theSize bytes: no
// escape lengthens its text). Returns the decoded length.
std::size_t decodeEscapes(const char* theText, std::size_t theSize, char* theOut) {
    const char* aPos = theText;
    const char* const anEnd = theText + theSize;
    char* aOut = theOut;
    while (aPos != anEnd) {
        const char* aBackslash = static_cast<const char*>(
            std::memchr(aPos, '\\', static_cast<std::size_t>(anEnd - aPos)));
        const char* aRunEnd = aBackslash != nullptr ? aBackslash : anEnd;
        std::memcpy(aOut, aPos, static_cast<std::size_t>(aRunEnd - aPos));
        aOut += aRunEnd - aPos;
        aPos = aRunEnd;
        if (aPos == anEnd)
            break;
        // aPos is at a backslash.
        const std::size_t aRemaining = static_cast<std::size_t>(anEnd - aPos);
        if (aRemaining < 2) {
            *aOut++ = '\\';
            ++aPos;
            break;
        }
        const char anEscape = aPos[1];
        switch (anEscape) {
        case '"':
        case '/':
        case '\\':
            *aOut++ = anEscape;
            aPos += 2;
            continue;
        case 'b':
            *aOut++ = '\x08';
            aPos += 2;
            continue;
        case 'f':
            *aOut++ = '\x0C';
            aPos += 2;
            continue;
        case 'n':
            *aOut++ = '\x0A';
            aPos += 2;
            continue;
        case 'r':
            *aOut++ = '\x0D';
            aPos += 2;
            continue;
        case 't':
            *aOut++ = '\x09';
            aPos += 2;
            continue;
        case 'u':
            if (aRemaining >= 6) {
                const int a0 = hexValue(aPos[2]), a1 = hexValue(aPos[3]), a2 = hexValue(aPos[4]),
                          a3 = hexValue(aPos[5]);
                if ((a0 | a1 | a2 | a3) >= 0) {
                    const auto aUnit =
                        static_cast<std::uint32_t>((a0 << 12) | (a1 << 8) | (a2 << 4) | a3);
                    aOut += encodeUtf8(aUnit, aOut);
                    aPos += 6;
                    continue;
                }
            }
            break;
        case 'x':
            if (aRemaining >= 4) {
                const int a0 = hexValue(aPos[2]), a1 = hexValue(aPos[3]);
                if ((a0 | a1) >= 0) {
                    *aOut++ = static_cast<char>((a0 << 4) | a1);
                    aPos += 4;
                    continue;
                }
            }
            break;
        default:
            break;
        }
        // Unknown or incomplete escape: keep the backslash and the next byte as they stand.
        *aOut++ = aPos[0];
        *aOut++ = aPos[1];
        aPos += 2;
    }
    return static_cast<std::size_t>(aOut - theOut);
}

// The text of an Integer token ("-" and digits) as a 32-bit value, clamped to the range.
std::int32_t toInteger(const char* theText, const char* theEnd) {
    bool aNegative = false;
    if (theText != theEnd && *theText == '-') {
        aNegative = true;
        ++theText;
    }
    std::uint64_t aValue = 0;
    for (; theText != theEnd; ++theText) {
        aValue = aValue * 10 + static_cast<unsigned>(*theText - '0');
        if (aValue > 0x80000000u) {
            aValue = 0x80000000u + 1; // beyond either bound; stays there
            break;
        }
    }
    if (aNegative)
        return aValue >= 0x80000000u ? std::numeric_limits<std::int32_t>::min()
                                     : -static_cast<std::int32_t>(aValue);
    return aValue >= 0x7FFFFFFFu ? std::numeric_limits<std::int32_t>::max()
                                 : static_cast<std::int32_t>(aValue);
}

// The text of a Real token as a decimal double, read like strtod: the longest prefix that forms
// a number counts, no number at all gives 0, overflow gives an infinity, underflow zero.
double toReal(const char* theText, const char* theEnd) {
    double aValue = 0.0;
    const auto [aPtr, anError] = std::from_chars(theText, theEnd, aValue);
    if (anError == std::errc())
        return aValue;
    if (anError == std::errc::result_out_of_range) {
        const std::string aCopy(theText, aPtr);
        return std::strtod(aCopy.c_str(), nullptr);
    }
    return 0.0;
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
        if (itsEscaped) {
            char* aChars = static_cast<char*>(itsAllocator.allocate(itsTextSize, 1));
            const std::size_t aSize = decodeEscapes(itsText, itsTextSize, aChars);
            itsAllocator.shrinkLast(aChars, itsTextSize, aSize);
            return {aChars, aSize};
        }
        if (itsTextSize > kInternMaxKeySize)
            return copyKey();
        const std::uint32_t aHash = hashKey(itsText, itsTextSize);
        for (std::size_t i = aHash;; ++i) {
            InternSlot& aSlot = itsInternSlots[i & (kInternSlotCount - 1)];
            if (aSlot.itsData == nullptr) {
                const std::string_view aKey = copyKey();
                if (itsInternCount < kInternMaxCount) {
                    aSlot = {aKey.data(), static_cast<std::uint32_t>(aKey.size()), aHash};
                    ++itsInternCount;
                }
                return aKey;
            }
            if (aSlot.itsHash == aHash && aSlot.itsSize == itsTextSize &&
                equalShort(aSlot.itsData, itsText, itsTextSize))
                return {aSlot.itsData, itsTextSize};
        }
    }

    std::string_view copyKey() {
        char* aChars = static_cast<char*>(itsAllocator.allocate(itsTextSize, 1));
        std::memcpy(aChars, itsText, itsTextSize);
        return {aChars, itsTextSize};
    }

    // Stores the members itsMembers[theBase, theBase + theCount) sorted by key, of equal keys the
    // last, in the allocator.
    JsonObject storeMembers(std::size_t theBase, std::size_t theCount) {
        JsonMember* aMembers = itsMembers.data() + theBase;
        if (theCount < 2 || theCount > kShapeMaxCount) {
            const std::size_t aSize = sortMembers(aMembers, theCount);
            auto* aStored = static_cast<JsonMember*>(
                itsAllocator.allocate(aSize * sizeof(JsonMember), alignof(JsonMember)));
            if (aSize != 0)
                std::memcpy(static_cast<void*>(aStored), aMembers, aSize * sizeof(JsonMember));
            return JsonObject(aStored, aSize);
        }
        // Objects of one response mostly have the same keys in the same order: their order after
        // sorting is remembered by the keys' addresses (shared, see takeKey) and reused.
        Shape& aShape =
            itsShapes[(theCount * 7 +
                       (reinterpret_cast<std::uintptr_t>(aMembers[0].key.data()) >> 2)) %
                      kShapeCount];
        bool aKnown = aShape.itsCount == theCount;
        for (std::size_t i = 0; aKnown && i < theCount; ++i)
            aKnown = aShape.itsKeys[i] == aMembers[i].key.data() &&
                     aShape.itsKeySizes[i] == aMembers[i].key.size();
        if (!aKnown)
            learnShape(aShape, aMembers, theCount);
        auto* aStored = static_cast<JsonMember*>(
            itsAllocator.allocate(aShape.itsKept * sizeof(JsonMember), alignof(JsonMember)));
        for (std::size_t i = 0; i < aShape.itsKept; ++i)
            aStored[i] = aMembers[aShape.itsOrder[i]];
        return JsonObject(aStored, aShape.itsKept);
    }

    static constexpr std::size_t kShapeMaxCount = 24;
    static constexpr std::size_t kShapeCount = 8;
    struct Shape {
        std::size_t itsCount = 0; // 0: unused
        std::size_t itsKept = 0;
        const char* itsKeys[kShapeMaxCount];
        std::size_t itsKeySizes[kShapeMaxCount];
        std::uint8_t itsOrder[kShapeMaxCount]; // indexes of the kept members in key order
    };

    static void learnShape(Shape& theShape, const JsonMember* theMembers, std::size_t theCount) {
        theShape.itsCount = theCount;
        std::uint8_t* anOrder = theShape.itsOrder;
        for (std::size_t i = 0; i < theCount; ++i) {
            theShape.itsKeys[i] = theMembers[i].key.data();
            theShape.itsKeySizes[i] = theMembers[i].key.size();
            // Stable insertion of member i into the sorted indexes [0, i).
            std::size_t j = i;
            while (j > 0 && theMembers[anOrder[j - 1]].key > theMembers[i].key) {
                anOrder[j] = anOrder[j - 1];
                --j;
            }
            anOrder[j] = static_cast<std::uint8_t>(i);
        }
        // Of every run of equal keys keep the last (the one that came last in the text).
        std::size_t aKept = 0;
        for (std::size_t i = 0; i < theCount; ++i) {
            if (i + 1 < theCount && theMembers[anOrder[i]].key == theMembers[anOrder[i + 1]].key)
                continue;
            anOrder[aKept++] = anOrder[i];
        }
        theShape.itsKept = aKept;
    }

    // Whether two short byte strings of theSize bytes (at most kInternMaxKeySize) are equal.
    static bool equalShort(const char* theLeft, const char* theRight, std::size_t theSize) {
        if (theSize >= 8) {
            std::uint64_t aDiff = 0;
            for (std::size_t i = 0; i + 8 < theSize; i += 8)
                aDiff |= load64(theLeft + i) ^ load64(theRight + i);
            return (aDiff | (load64(theLeft + theSize - 8) ^ load64(theRight + theSize - 8))) == 0;
        }
        if (theSize >= 4)
            return ((load32(theLeft) ^ load32(theRight)) |
                    (load32(theLeft + theSize - 4) ^ load32(theRight + theSize - 4))) == 0;
        for (std::size_t i = 0; i < theSize; ++i)
            if (theLeft[i] != theRight[i])
                return false;
        return true;
    }

    static std::uint64_t load64(const char* thePos) {
        std::uint64_t aWord;
        std::memcpy(&aWord, thePos, 8);
        return aWord;
    }

    static std::uint32_t load32(const char* thePos) {
        std::uint32_t aWord;
        std::memcpy(&aWord, thePos, 4);
        return aWord;
    }

    // A hash of a short key (at most kInternMaxKeySize bytes).
    static std::uint32_t hashKey(const char* theText, std::size_t theSize) {
        auto aMix = [](std::uint64_t theValue) {
            theValue *= 0x9E3779B97F4A7C15ull;
            return theValue ^ (theValue >> 29);
        };
        std::uint64_t aHash = 0x2545F4914F6CDD1Dull ^ theSize;
        if (theSize >= 8) {
            for (std::size_t i = 0; i + 8 < theSize; i += 8)
                aHash = aMix(aHash ^ load64(theText + i));
            aHash = aMix(aHash ^ load64(theText + theSize - 8));
        } else if (theSize >= 4) {
            aHash = aMix(aHash ^
                         (load32(theText) | (std::uint64_t(load32(theText + theSize - 4)) << 32)));
        } else if (theSize > 0) {
            const auto aByte = [theText](std::size_t theIndex) {
                return std::uint64_t(static_cast<unsigned char>(theText[theIndex]));
            };
            aHash =
                aMix(aHash ^ (aByte(0) | (aByte(theSize / 2) << 8) | (aByte(theSize - 1) << 16)));
        }
        return static_cast<std::uint32_t>(aHash >> 32);
    }

    static constexpr std::size_t kInternMaxKeySize = 32;
    static constexpr std::size_t kInternSlotCount = 256; // a power of two
    static constexpr std::size_t kInternMaxCount = kInternSlotCount / 2;
    struct InternSlot {
        const char* itsData;
        std::uint32_t itsSize;
        std::uint32_t itsHash;
    };

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
    // Shared short keys (open addressing) and remembered key orders, see takeKey and storeMembers.
    InternSlot itsInternSlots[kInternSlotCount] = {};
    std::size_t itsInternCount = 0;
    Shape itsShapes[kShapeCount];
};

bool jsonParse(const char* theText, std::size_t theSize, JsonObject& theObject,
               JsonAllocator& theAllocator) {
    KIVO_PERF_SCOPE("json::jsonParse()");
    theObject = JsonObject();
    JsonParser aParser(theText, theSize, theAllocator);
    return aParser.parseDocument(theObject);
}

} // namespace RepositoryAccess::json
