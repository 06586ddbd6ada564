#include "core/htmlpage.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"

namespace RepositoryAccess::webview {

using htmlpage::escape;

namespace {

std::string changeStatus(std::string_view theStatus) {
    if (theStatus == "1")
        return "open";
    if (theStatus == "2")
        return "released";
    if (theStatus == "3")
        return "abandoned";
    return std::string(theStatus);
}

// The validation state of a change: how many of its contributors validated their part.
std::string validation(const json::JsonObject& theChange) {
    const json::JsonList& aContributors = json::getList(theChange, "contributors");
    std::size_t aValidated = 0;
    for (const json::JsonValue& aValue : aContributors)
        if (text(json::asObject(aValue), "status") == "2")
            ++aValidated;
    return std::to_string(aValidated) + " of " + std::to_string(aContributors.size()) +
           " validated";
}

std::string changeLink(const std::string& theId) {
    return link("/change", {{"id", theId}}, theId);
}

} // namespace

Page activityPage(RepositoryReader& theReader, const PageRequest& theRequest) {
    const std::size_t aPage = theRequest.pageNumber();
    // One row more than a page shows tells whether a next page exists.
    auto anEntries = theReader.recentActivity(static_cast<std::int64_t>((aPage - 1) * kPageSize),
                                              static_cast<std::int64_t>(kPageSize + 1));
    const bool aMore = anEntries.size() > kPageSize;
    if (aMore)
        anEntries.pop_back();
    Page aResult{"Activity", {}};
    if (anEntries.empty())
        aResult.itsBody = "<p>Nothing has been activated.</p>\n";
    aResult.itsBody += "<table>\n<tr><th>Activated</th><th>By</th><th>Object</th>"
                       "<th>Version</th><th>Change</th></tr>\n";
    for (const server::ActiveObject& anEntry : anEntries) {
        const server::ObjectKey& aKey = anEntry.itsKey;
        const std::string& aChange = anEntry.itsEntry.itsChangeNumber;
        aResult.itsBody +=
            "<tr><td>" + escape(anEntry.itsEntry.itsActivatedAt) + "</td><td>" +
            escape(anEntry.itsEntry.itsActivatedBy) + "</td><td>" +
            objectLink(aKey.itsPackage, aKey.itsName, aKey.itsSuffix) + "</td><td>" +
            std::to_string(anEntry.itsEntry.itsNumber) +
            (anEntry.itsEntry.itsIsDeletion ? " (deletion)" : "") + "</td><td>" +
            (aChange.empty() || aChange == "0" ? std::string() : changeLink(aChange)) +
            "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n" + pager("/activity", {}, aPage, aMore);
    return aResult;
}

Page changesPage(RepositoryReader& theReader, const PageRequest& theRequest) {
    auto anAnswer = theReader.read(theRequest.itsUser, "find", "changes", "\"filter\":{}", "40101");
    const json::JsonList& aChanges = json::getList(anAnswer->itsJson, "changes");
    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aChanges.size(), aPage);
    Page aResult{"Changes", {}};
    if (aChanges.size() == 0)
        aResult.itsBody = "<p>The repository holds no changes.</p>\n";
    aResult.itsBody += "<table>\n<tr><th>Change</th><th>Status</th><th>Contributors</th>"
                       "<th>Created</th><th>By</th><th>Description</th></tr>\n";
    // Newest first: the repository lists them in the order they were made.
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const json::JsonObject& aChange = json::asObject(aChanges[aChanges.size() - 1 - i]);
        aResult.itsBody += "<tr><td>" + changeLink(text(aChange, "changeID")) + "</td><td>" +
                           changeStatus(text(aChange, "status")) + "</td><td>" +
                           validation(aChange) + "</td><td>" + escape(text(aChange, "createdAt")) +
                           "</td><td>" + escape(text(aChange, "createdBy")) + "</td><td>" +
                           escape(text(aChange, "description")) + "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n" + pager("/changes", {}, aPage, aSlice.itsMore);
    return aResult;
}

Page changePage(RepositoryReader& theReader, const PageRequest& theRequest) {
    const std::string anId = theRequest.required("id");
    std::string aMembers = "\"changeIDs\":[\"";
    json::appendEscapedJson(aMembers, anId);
    aMembers += "\"]";
    auto anAnswer = theReader.read(theRequest.itsUser, "read", "changes", aMembers);
    const json::JsonList& aChanges = json::getList(anAnswer->itsJson, "changes");
    if (aChanges.size() == 0)
        throw MissingPage("No change " + anId);
    const json::JsonObject& aChange = json::asObject(aChanges[0]);
    Page aResult{"Change " + anId, attributeTable(aChange)};
    aResult.itsBody += "<p>Status: " + changeStatus(text(aChange, "status")) + ", " +
                       validation(aChange) +
                       "</p>\n<h2>Contributors</h2>\n<table>\n"
                       "<tr><th>User</th><th>State</th><th>Validated</th><th>Comment</th></tr>\n";
    for (const json::JsonValue& aValue : json::getList(aChange, "contributors")) {
        const json::JsonObject& aContributor = json::asObject(aValue);
        aResult.itsBody += "<tr><td>" + escape(text(aContributor, "user")) + "</td><td>" +
                           (text(aContributor, "status") == "2" ? "validated" : "open") +
                           "</td><td>" + escape(text(aContributor, "validatedAt")) + "</td><td>" +
                           escape(text(aContributor, "description")) + "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n<h2>Objects</h2>\n<ul>\n";
    // A change's objects are few (one activation's worth each); the page shows them all.
    for (const json::JsonValue& aValue : json::getList(aChange, "entries")) {
        const json::JsonObject& anObject = json::asObject(aValue);
        aResult.itsBody += "<li>" +
                           objectLink(text(anObject, "package"), text(anObject, "name"),
                                      text(anObject, "suffix")) +
                           "</li>\n";
    }
    aResult.itsBody += "</ul>\n";
    return aResult;
}

} // namespace RepositoryAccess::webview
