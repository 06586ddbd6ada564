#include "core/jsondecode.hpp"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace RepositoryAccess::json {

namespace {

// The value of a hexadecimal digit, or -1.
int hexValue(char theByte) {
    if (theByte >= '0' && theByte <= '9')
        return theByte - '0';
    if (theByte >= 'a' && theByte <= 'f')
        return theByte - 'a' + 10;
    if (theByte >= 'A' && theByte <= 'F')
        return theByte - 'A' + 10;
    return -1;
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

} // namespace

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

} // namespace RepositoryAccess::json
