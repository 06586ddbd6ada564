#include "core/version.hpp"

#include <algorithm>
#include <limits>

#include "core/error.hpp"

namespace RepositoryAccess::version {

namespace {

bool isBlank(char theChar) {
    return theChar == ' ' || theChar == '\t' || theChar == '\n' || theChar == '\v' ||
           theChar == '\f' || theChar == '\r';
}

// The decimal value of the leading digits after optional blanks and a sign; no digits give 0, a
// value beyond the 32-bit range is clamped to it.
std::int32_t leadingNumber(std::string_view thePart) {
    std::size_t aPos = 0;
    while (aPos < thePart.size() && isBlank(thePart[aPos]))
        ++aPos;
    bool aNegative = false;
    if (aPos < thePart.size() && (thePart[aPos] == '+' || thePart[aPos] == '-')) {
        aNegative = thePart[aPos] == '-';
        ++aPos;
    }
    constexpr std::int64_t aLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t aValue = 0;
    for (; aPos < thePart.size() && thePart[aPos] >= '0' && thePart[aPos] <= '9'; ++aPos) {
        aValue = aValue * 10 + (thePart[aPos] - '0');
        if (aValue > aLimit)
            aValue = aLimit;
    }
    if (aNegative)
        return static_cast<std::int32_t>(-aValue);
    return static_cast<std::int32_t>(std::min(aValue, aLimit - 1));
}

} // namespace

Version parseVersion(std::string_view theText) {
    std::size_t aFirstDot = theText.find('.');
    std::size_t aSecondDot =
        aFirstDot == std::string_view::npos ? aFirstDot : theText.find('.', aFirstDot + 1);
    if (aSecondDot == std::string_view::npos ||
        theText.find('.', aSecondDot + 1) != std::string_view::npos)
        throw Error("Bad version: " + std::string(theText) +
                    ", expected version of the format: "
                    "[0-9][0-9][0-9][0-9].[0-9][0-9][0-9][0-9].[0-9][0-9][0-9][0-9]");
    Version aVersion;
    aVersion.itsMajor = leadingNumber(theText.substr(0, aFirstDot));
    aVersion.itsMinor = leadingNumber(theText.substr(aFirstDot + 1, aSecondDot - aFirstDot - 1));
    aVersion.itsMicro = leadingNumber(theText.substr(aSecondDot + 1));
    return aVersion;
}

std::string formatVersion(const Version& theVersion) {
    return std::to_string(theVersion.itsMajor) + "." + std::to_string(theVersion.itsMinor) + "." +
           std::to_string(theVersion.itsMicro);
}

} // namespace RepositoryAccess::version
