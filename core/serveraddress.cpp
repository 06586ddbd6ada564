#include "core/serveraddress.hpp"

#include <cctype>

namespace RepositoryAccess {

namespace {

constexpr std::string_view kHidden = "***";

bool namesPassword(std::string_view theName) {
    std::string aName(theName);
    for (char& aChar : aName)
        aChar = static_cast<char>(std::tolower(static_cast<unsigned char>(aChar)));
    return aName.find("password") != std::string::npos;
}

// Appends theQuery ("name=value&...") to theText with the values of password parameters hidden.
void appendRedactedQuery(std::string& theText, std::string_view theQuery) {
    while (!theQuery.empty()) {
        const std::size_t anAnd = theQuery.find('&');
        const std::string_view aPair = theQuery.substr(0, anAnd);
        const std::size_t anEquals = aPair.find('=');
        if (anEquals != std::string_view::npos && namesPassword(aPair.substr(0, anEquals)))
            theText.append(aPair.substr(0, anEquals + 1)).append(kHidden);
        else
            theText.append(aPair);
        if (anAnd == std::string_view::npos)
            return;
        theText += '&';
        theQuery.remove_prefix(anAnd + 1);
    }
}

} // namespace

std::size_t uriSchemeLength(std::string_view theText) {
    const std::size_t anEnd = theText.find("://");
    if (anEnd == std::string_view::npos || anEnd == 0 ||
        !std::isalpha(static_cast<unsigned char>(theText[0])))
        return 0;
    for (std::size_t i = 0; i < anEnd; ++i) {
        const unsigned char aChar = static_cast<unsigned char>(theText[i]);
        if (!std::isalnum(aChar) && aChar != '+' && aChar != '-' && aChar != '.')
            return 0;
    }
    return anEnd;
}

bool isServerUri(const std::string& theArgument) {
    return theArgument.starts_with("postgresql://") || theArgument.starts_with("postgres://");
}

std::optional<AddressSecret> addressPassword(std::string_view theText) {
    const std::size_t aScheme = uriSchemeLength(theText);
    const std::size_t aStart = aScheme == 0 ? 0 : aScheme + 3;
    const std::size_t anAt = theText.rfind('@');
    const std::size_t aColon = theText.find(':', aStart);
    if (anAt == std::string_view::npos || anAt < aStart || aColon >= anAt)
        return std::nullopt;
    return AddressSecret{aColon + 1, anAt - aColon - 1};
}

std::string redactedAddress(std::string_view theText) {
    std::string aText;
    std::size_t aNext = 0;
    if (const std::optional<AddressSecret> aSecret = addressPassword(theText)) {
        aText.append(theText.substr(0, aSecret->itsStart)).append(kHidden);
        aNext = aSecret->itsStart + aSecret->itsSize;
    }
    const std::string_view aRest = theText.substr(aNext);
    const std::size_t aQuery = aRest.find('?');
    aText.append(aRest.substr(0, aQuery));
    if (aQuery != std::string_view::npos) {
        aText += '?';
        appendRedactedQuery(aText, aRest.substr(aQuery + 1));
    }
    return aText;
}

} // namespace RepositoryAccess
