#include "server/enginetext.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace RepositoryAccess::server::text {

bool globMatch(std::string_view thePattern, std::string_view theText) {
    // Iterative matcher with one backtrack point per star: linear in practice, never recursive.
    std::size_t p = 0, t = 0, aStar = std::string_view::npos, aMark = 0;
    while (t < theText.size()) {
        if (p < thePattern.size() && thePattern[p] == '*') {
            aStar = p++;
            aMark = t;
        } else if (p < thePattern.size() && thePattern[p] == theText[t]) {
            ++p;
            ++t;
        } else if (aStar != std::string_view::npos) {
            p = aStar + 1;
            t = ++aMark;
        } else {
            return false;
        }
    }
    while (p < thePattern.size() && thePattern[p] == '*')
        ++p;
    return p == thePattern.size();
}

std::string latin1ToUtf8(std::string_view theText) {
    std::string aResult;
    aResult.reserve(theText.size());
    for (char aChar : theText) {
        auto aByte = static_cast<unsigned char>(aChar);
        if (aByte < 0x80) {
            aResult += aChar;
        } else {
            aResult += static_cast<char>(0xC0 | (aByte >> 6));
            aResult += static_cast<char>(0x80 | (aByte & 0x3F));
        }
    }
    return aResult;
}

std::string toWindowsLineEnds(std::string_view theText) {
    std::string aResult;
    aResult.reserve(theText.size() + theText.size() / 16);
    for (std::size_t i = 0; i < theText.size(); ++i) {
        if (theText[i] == '\n' && (i == 0 || theText[i - 1] != '\r'))
            aResult += '\r';
        aResult += theText[i];
    }
    return aResult;
}

std::string nowTimestamp() {
    auto aNow = std::chrono::system_clock::now();
    auto aMillis =
        std::chrono::duration_cast<std::chrono::milliseconds>(aNow.time_since_epoch()).count();
    std::time_t aSeconds = static_cast<std::time_t>(aMillis / 1000);
    std::tm aTime{};
    gmtime_r(&aSeconds, &aTime);
    char aBuffer[80];
    std::snprintf(aBuffer, sizeof aBuffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d",
                  aTime.tm_year + 1900, aTime.tm_mon + 1, aTime.tm_mday, aTime.tm_hour,
                  aTime.tm_min, aTime.tm_sec, static_cast<int>(aMillis % 1000));
    return aBuffer;
}

std::optional<std::string> normaliseTimestamp(std::string_view theText) {
    // Layout of the full form; 'd' is a digit, other characters must match.
    static constexpr std::string_view kLayout = "dddd-dd-dd dd:dd:dd.ddd";
    std::string aText(theText);
    if (aText.size() > 10 && aText[10] == 'T')
        aText[10] = ' ';
    if (aText.size() == 10)
        aText += " 00:00:00.000";
    else if (aText.size() == 19)
        aText += ".000";
    if (aText.size() != kLayout.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        bool aDigit = aText[i] >= '0' && aText[i] <= '9';
        if (kLayout[i] == 'd' ? !aDigit : aText[i] != kLayout[i])
            return std::nullopt;
    }
    return aText;
}

std::string parentPackage(std::string_view thePackage) {
    bool anInQuotes = false;
    std::size_t aLastDot = std::string_view::npos;
    for (std::size_t i = 0; i < thePackage.size(); ++i) {
        if (thePackage[i] == '"')
            anInQuotes = !anInQuotes;
        else if (thePackage[i] == '.' && !anInQuotes)
            aLastDot = i;
    }
    return aLastDot == std::string_view::npos ? std::string()
                                              : std::string(thePackage.substr(0, aLastDot));
}

} // namespace RepositoryAccess::server::text
