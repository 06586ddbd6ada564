#pragma once

// What every page of the web view is made of: the request a page answers, the page it gives,
// links with their query, the pager of long lists and the page frame with its navigation.

#include "core/json.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess::webview {

class RepositoryReader;

// Rows of one page of a list.
inline constexpr std::size_t kPageSize = 100;
// Versions of one page of an object's history (each with its difference).
inline constexpr std::size_t kVersionsPerPage = 10;

// A GET of a page by a signed-in user.
struct PageRequest {
    std::string itsUser;
    std::map<std::string, std::string> itsParams;

    // The query parameter theName, empty when it is missing.
    std::string param(const std::string& theName) const;
    // The query parameter theName, which the page cannot do without (else a MissingPage).
    std::string required(const std::string& theName) const;
    // The page number of a paged list (from 1); anything else than a positive number is 1.
    std::size_t pageNumber() const;
};

struct Page {
    std::string itsTitle; // plain text
    std::string itsBody;  // HTML
};

using Query = std::vector<std::pair<std::string, std::string>>;

// theText percent-encoded for a URL's query (only unreserved characters stay).
std::string urlEncode(std::string_view theText);
// A link to thePath with theQuery, showing theText (plain text, escaped here).
std::string link(std::string_view thePath, const Query& theQuery, std::string_view theText);

// The rows [itsFirst, itsEnd) of a list of theTotal rows that page thePage shows.
struct Slice {
    std::size_t itsFirst = 0, itsEnd = 0;
    bool itsMore = false; // rows follow on the next page
};
Slice slice(std::size_t theTotal, std::size_t thePage, std::size_t thePageSize = kPageSize);
// The links to the previous and the next page of a list at thePath (empty when neither exists).
std::string pager(std::string_view thePath, Query theQuery, std::size_t thePage, bool theMore);

// A JSON member "theName":"theValue" of a request, the value escaped.
std::string member(std::string_view theName, std::string_view theValue);
// The members of a request for one object in the active session.
std::string objectMembers(std::string_view thePackage, std::string_view theName,
                          std::string_view theSuffix);
// A string member of an answer's object, empty when it is missing or no string.
std::string text(const json::JsonObject& theObject, std::string_view theName);
// Every string member of theObject as rows of a two-column table, in key order.
std::string attributeTable(const json::JsonObject& theObject);

// The link to an object's history page.
std::string objectLink(std::string_view thePackage, std::string_view theName,
                       std::string_view theSuffix);

// The whole HTML page of thePage for theUser: the style sheet, the navigation, the sign-out.
std::string render(const Page& thePage, const std::string& theUser);
// The sign-in page; theProblem (plain text) says why the last try failed.
std::string signInPage(std::string_view theProblem);
// The rules of the style sheet at /style.css: the help's look and the web view's tables.
std::string styleSheet();

} // namespace RepositoryAccess::webview
