#include "webview/pagekit.hpp"

#include "core/htmlpage.hpp"
#include "webview/reader.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace RepositoryAccess::webview {

using htmlpage::escape;

std::string PageRequest::param(const std::string& theName) const {
    auto aFound = itsParams.find(theName);
    return aFound == itsParams.end() ? std::string() : aFound->second;
}

std::string PageRequest::required(const std::string& theName) const {
    auto aFound = itsParams.find(theName);
    if (aFound == itsParams.end())
        throw MissingPage("The page needs the parameter \"" + theName + "\"");
    return aFound->second;
}

std::size_t PageRequest::pageNumber() const {
    const std::string aText = param("page");
    std::size_t aNumber = 0;
    auto [anEnd, anError] = std::from_chars(aText.data(), aText.data() + aText.size(), aNumber);
    if (anError != std::errc() || anEnd != aText.data() + aText.size() || aNumber == 0 ||
        aNumber > 1'000'000'000)
        return 1;
    return aNumber;
}

std::string urlEncode(std::string_view theText) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string anEncoded;
    for (char aChar : theText) {
        const auto aByte = static_cast<unsigned char>(aChar);
        if (std::isalnum(aByte) || aChar == '-' || aChar == '_' || aChar == '.' || aChar == '~') {
            anEncoded += aChar;
            continue;
        }
        anEncoded += '%';
        anEncoded += kHex[aByte >> 4];
        anEncoded += kHex[aByte & 0x0f];
    }
    return anEncoded;
}

namespace {

std::string href(std::string_view thePath, const Query& theQuery) {
    std::string aUrl(thePath);
    char aSeparator = '?';
    for (const auto& [aName, aValue] : theQuery) {
        aUrl.append(1, aSeparator).append(urlEncode(aName)).append("=").append(urlEncode(aValue));
        aSeparator = '&';
    }
    return aUrl;
}

} // namespace

std::string link(std::string_view thePath, const Query& theQuery, std::string_view theText) {
    return "<a href=\"" + escape(href(thePath, theQuery)) + "\">" + escape(theText) + "</a>";
}

Slice slice(std::size_t theTotal, std::size_t thePage, std::size_t thePageSize) {
    Slice aSlice;
    aSlice.itsFirst = std::min(theTotal, (thePage - 1) * thePageSize);
    aSlice.itsEnd = std::min(theTotal, aSlice.itsFirst + thePageSize);
    aSlice.itsMore = aSlice.itsEnd < theTotal;
    return aSlice;
}

std::string pager(std::string_view thePath, Query theQuery, std::size_t thePage, bool theMore) {
    if (thePage <= 1 && !theMore)
        return {};
    std::string aHtml = "<p class=\"pager\">";
    theQuery.emplace_back("page", "");
    if (thePage > 1) {
        theQuery.back().second = std::to_string(thePage - 1);
        aHtml += link(thePath, theQuery, "Previous page") + " ";
    }
    aHtml += "Page " + std::to_string(thePage);
    if (theMore) {
        theQuery.back().second = std::to_string(thePage + 1);
        aHtml += " " + link(thePath, theQuery, "Next page");
    }
    return aHtml + "</p>\n";
}

std::string member(std::string_view theName, std::string_view theValue) {
    std::string aMember = "\"";
    aMember.append(theName).append("\":\"");
    json::appendEscapedJson(aMember, theValue);
    return aMember + "\"";
}

std::string objectMembers(std::string_view thePackage, std::string_view theName,
                          std::string_view theSuffix) {
    return "\"session\":{\"sessionType\":\"1\"},\"object\":{" + member("package", thePackage) +
           "," + member("name", theName) + "," + member("suffix", theSuffix) + "}";
}

std::string text(const json::JsonObject& theObject, std::string_view theName) {
    const json::JsonValue* aValue = theObject.find(theName);
    if (aValue == nullptr || aValue->t != json::JT_STRING)
        return {};
    return json::asString(*aValue);
}

std::string attributeTable(const json::JsonObject& theObject) {
    std::string aHtml = "<table class=\"attributes\">\n";
    for (const json::JsonMember& aMember : theObject)
        if (aMember.value.t == json::JT_STRING)
            aHtml += "<tr><th>" + escape(aMember.key) + "</th><td>" +
                     escape(json::asString(aMember.value)) + "</td></tr>\n";
    return aHtml + "</table>\n";
}

std::string objectLink(std::string_view thePackage, std::string_view theName,
                       std::string_view theSuffix) {
    std::string aShown(thePackage);
    aShown.append("/").append(theName);
    if (!theSuffix.empty())
        aShown.append(".").append(theSuffix);
    return link("/object",
                {{"package", std::string(thePackage)},
                 {"name", std::string(theName)},
                 {"suffix", std::string(theSuffix)}},
                aShown);
}

namespace {

const char* const kStyleLink = "<link rel=\"stylesheet\" href=\"/style.css\">\n";

} // namespace

std::string render(const Page& thePage, const std::string& theUser) {
    std::string aBody =
        "<nav>" + link("/packages", {}, "Packages") + " | " + link("/activity", {}, "Activity") +
        " | " + link("/changes", {}, "Changes") + " | " +
        link("/deliveryunits", {}, "Delivery units") +
        " | <form method=\"post\" action=\"/signout\">Signed in as " + escape(theUser) +
        " <button type=\"submit\">Sign out</button></form></nav>\n";
    aBody += "<h1>" + escape(thePage.itsTitle) + "</h1>\n" + thePage.itsBody;
    return htmlpage::frame(escape(thePage.itsTitle) + " - kivo", kStyleLink, aBody);
}

std::string signInPage(std::string_view theProblem) {
    std::string aBody = "<h1>Sign in</h1>\n";
    if (!theProblem.empty())
        aBody += "<p class=\"problem\">" + escape(theProblem) + "</p>\n";
    aBody += "<form method=\"post\" action=\"/signin\">\n"
             "<p><label>User <input name=\"user\" autocomplete=\"username\" required></label></p>\n"
             "<p><label>Password <input name=\"password\" type=\"password\" "
             "autocomplete=\"current-password\" required></label></p>\n"
             "<p><button type=\"submit\">Sign in</button></p>\n</form>\n";
    return htmlpage::frame("Sign in - kivo", kStyleLink, aBody);
}

std::string styleSheet() {
    std::string aSheet(htmlpage::styleRules());
    aSheet += "body {font-family: sans-serif;}\n"
              "nav form {display: inline;}\n"
              "table {border-collapse: collapse;}\n"
              "th, td {text-align: left; padding: 2px 8px; vertical-align: top;}\n"
              "pre .add {color: #060;}\npre .del {color: #a00;}\npre .hunk {color: #06a;}\n"
              ".problem {color: #a00;}\n"
              "td.line {white-space: pre; font-family: monospace;}\n";
    // The levels of the package tree (pagespackages indents no deeper than level 15).
    for (int aLevel = 0; aLevel <= 15; ++aLevel)
        aSheet += "td.d" + std::to_string(aLevel) +
                  " {padding-left: " + std::to_string(8 + 16 * aLevel) + "px;}\n";
    return aSheet;
}

} // namespace RepositoryAccess::webview
