#include "core/utils.hpp"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>

#include "core/console.hpp"
#include "core/error.hpp"

namespace RepositoryAccess::utils {

namespace {

std::istream*& confirmInput() {
    static std::istream* theInput = nullptr;
    return theInput;
}

// "(\"<byte>\" 0x<hex>)"; a missing byte (text ended) is shown as an empty text with 0x00.
std::string byteReport(std::optional<unsigned char> theByte) {
    std::string aText = "(\"";
    if (theByte)
        aText += static_cast<char>(*theByte);
    aText += "\" 0x";
    appendHex(aText, theByte.value_or(0));
    aText += ")";
    return aText;
}

} // namespace

void appendHex(std::string& theText, unsigned char theByte) {
    static constexpr char theDigits[] = "0123456789abcdef";
    theText += theDigits[theByte >> 4];
    theText += theDigits[theByte & 0x0f];
}

std::string toHex(std::string_view theBytes) {
    std::string aText;
    aText.reserve(2 * theBytes.size());
    for (char aByte : theBytes)
        appendHex(aText, static_cast<unsigned char>(aByte));
    return aText;
}

bool fromHex(std::string_view theText, std::string& theBytes) {
    if (theText.size() % 2 != 0)
        return false;
    theBytes.clear();
    for (std::size_t i = 0; i < theText.size(); i += 2) {
        unsigned int aValue = 0;
        auto [anEnd, anError] =
            std::from_chars(theText.data() + i, theText.data() + i + 2, aValue, 16);
        if (anError != std::errc() || anEnd != theText.data() + i + 2)
            return false;
        theBytes += static_cast<char>(aValue);
    }
    return true;
}

std::pair<std::string, std::string> splitFirst(std::string_view theText, char theDelimiter) {
    bool anInsideQuotes = false;
    for (std::size_t aPos = 0; aPos < theText.size(); ++aPos) {
        char aChar = theText[aPos];
        if (aChar == '"')
            anInsideQuotes = !anInsideQuotes;
        else if (aChar == theDelimiter && !anInsideQuotes)
            return {std::string(theText.substr(0, aPos)), std::string(theText.substr(aPos + 1))};
    }
    if (anInsideQuotes)
        throw Error("Unclosed quote: " + std::string(theText));
    return {std::string(theText), std::string()};
}

std::vector<std::string> splitAll(std::string_view theText, char theDelimiter) {
    std::vector<std::string> aParts;
    std::string aRest(theText);
    while (!aRest.empty()) {
        auto [aHead, aTail] = splitFirst(aRest, theDelimiter);
        aParts.push_back(std::move(aHead));
        aRest = std::move(aTail);
    }
    return aParts;
}

std::string regexEscape(std::string_view theText) {
    // Every character that the pattern dialect gives a meaning of its own.
    static constexpr std::string_view kSpecial = "\\.()[]{}*+?^$|";
    std::string anEscaped;
    anEscaped.reserve(theText.size() + 8);
    for (char aChar : theText) {
        if (kSpecial.find(aChar) != std::string_view::npos)
            anEscaped += '\\';
        anEscaped += aChar;
    }
    return anEscaped;
}

std::string utf8ToLatin1(std::string_view theBytes) {
    std::string aResult;
    aResult.reserve(theBytes.size());
    for (std::size_t aPos = 0; aPos < theBytes.size(); ++aPos) {
        auto aByte = static_cast<unsigned char>(theBytes[aPos]);
        if (aByte < 0x80) {
            aResult += static_cast<char>(aByte);
        } else if ((aByte & 0xe0) == 0xc0) {
            ++aPos;
            if (aPos == theBytes.size())
                throw Error("Invalid second UTF-8 byte " + byteReport(std::nullopt));
            auto aSecond = static_cast<unsigned char>(theBytes[aPos]);
            if ((aSecond & 0xc0) != 0x80)
                throw Error("Invalid second UTF-8 byte " + byteReport(aSecond));
            aResult += static_cast<char>(((aByte & 0x03) << 6) | (aSecond & 0x3f));
        } else {
            throw Error("Invalid UTF-8 start byte " + byteReport(aByte));
        }
    }
    return aResult;
}

bool confirm(std::string_view theQuestion, bool theDefaultYes) {
    console::say(theQuestion);
    console::say(theDefaultYes ? " (Y/n): " : " (y/N): ");
    console::out().flush();
    std::istream& anInput = confirmInput() ? *confirmInput() : std::cin;
    int aChar = anInput.get();
    if (aChar != '\n' && aChar != std::istream::traits_type::eof())
        anInput.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    if (aChar == '\n')
        return theDefaultYes;
    return aChar == 'Y' || aChar == 'y';
}

void setConfirmInputForTests(std::istream* theInput) {
    confirmInput() = theInput;
}

std::string dropListNumbers(std::string_view thePage) {
    static constexpr std::string_view theItemTag = "<li>";
    std::string aFiltered;
    aFiltered.reserve(thePage.size());
    std::size_t aPos = 0;
    while (aPos < thePage.size()) {
        std::size_t aTag = thePage.find(theItemTag, aPos);
        if (aTag == std::string::npos) {
            aFiltered.append(thePage, aPos, std::string::npos);
            break;
        }
        aFiltered.append(thePage, aPos, aTag + theItemTag.size() - aPos);
        aPos = aTag + theItemTag.size();
        while (aPos < thePage.size() && thePage[aPos] >= '0' && thePage[aPos] <= '9')
            ++aPos;
        if (aPos < thePage.size() && (thePage[aPos] == ')' || thePage[aPos] == '*'))
            ++aPos;
    }
    return aFiltered;
}

std::string anchoredHost(const std::string& theHost) {
    constexpr std::string_view aScheme = "file:";
    if (!theHost.starts_with(aScheme) || theHost.size() == aScheme.size() ||
        theHost[aScheme.size()] == '/')
        return theHost;
    const std::string aFile = theHost.substr(aScheme.size());
    std::error_code anError;
    std::filesystem::path aPath = std::filesystem::absolute(aFile, anError);
    if (!anError)
        aPath = std::filesystem::weakly_canonical(aPath, anError);
    if (anError)
        throw Error("Cannot resolve the repository file \"" + aFile + "\": " + anError.message());
    return std::string(aScheme) + aPath.string();
}

} // namespace RepositoryAccess::utils
