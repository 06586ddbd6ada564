#include "core/htmlpage.hpp"
#include "core/textdiff.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"

#include <algorithm>
#include <charconv>
#include <map>

namespace RepositoryAccess::webview {

using htmlpage::escape;

namespace {

std::int64_t versionNumber(const std::string& theText) {
    std::int64_t aNumber = 0;
    auto [anEnd, anError] =
        std::from_chars(theText.data(), theText.data() + theText.size(), aNumber);
    if (anError != std::errc() || anEnd != theText.data() + theText.size())
        throw Error("The repository answered a history entry without a version number: \"" +
                    theText + "\"");
    return aNumber;
}

struct Version {
    std::int64_t itsNumber = 0;
    bool itsIsDeletion = false;
    std::string itsActivatedAt, itsActivatedBy;
};

std::vector<Version> versions(const ReadAnswer& theHistory) {
    std::vector<Version> aList;
    for (const json::JsonValue& aValue : json::getList(theHistory.itsJson, "history")) {
        const json::JsonObject& anEntry = json::asObject(aValue);
        aList.push_back({versionNumber(text(anEntry, "versionId")),
                         text(anEntry, "isDeletion") == "true", text(anEntry, "activateAt"),
                         text(anEntry, "activatedBy")});
    }
    return aList;
}

// The unified difference as HTML: each line escaped and marked as added, deleted or a hunk head.
std::string diffHtml(const std::string& theDiff) {
    std::string aHtml = "<pre class=\"diff\">";
    for (std::string_view aLine : textdiff::splitLines(theDiff)) {
        const char* aClass = aLine.starts_with("@@")                               ? "hunk"
                             : aLine.starts_with("+") && !aLine.starts_with("+++") ? "add"
                             : aLine.starts_with("-") && !aLine.starts_with("---") ? "del"
                                                                                   : nullptr;
        if (aClass == nullptr)
            aHtml += escape(aLine);
        else
            aHtml += std::string("<span class=\"") + aClass + "\">" + escape(aLine) + "</span>";
    }
    return aHtml + "</pre>\n";
}

std::string label(const std::string& theShown, std::int64_t theNumber) {
    return theNumber == 0 ? theShown + " (none)"
                          : theShown + " (version " + std::to_string(theNumber) + ")";
}

} // namespace

Page objectPage(RepositoryReader& theReader, const PageRequest& theRequest) {
    const std::string aPackage = theRequest.required("package");
    const std::string aName = theRequest.required("name");
    const std::string aSuffix = theRequest.param("suffix");
    const std::string anObject = objectMembers(aPackage, aName, aSuffix);
    std::vector<Version> aVersions =
        versions(*theReader.read(theRequest.itsUser, "get", "history", anObject));
    std::reverse(aVersions.begin(), aVersions.end());

    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aVersions.size(), aPage, kVersionsPerPage);
    // The contents this page compares, each read once: its versions and the one before the last.
    std::map<std::int64_t, std::string> aContents;
    auto aContent = [&](std::int64_t theNumber) -> const std::string& {
        auto aFound = aContents.find(theNumber);
        if (aFound != aContents.end())
            return aFound->second;
        auto anAnswer = theReader.read(theRequest.itsUser, "read", "object",
                                       anObject + ",\"version\":{\"versionType\":\"3\"," +
                                           member("versionNr", std::to_string(theNumber)) + "}");
        return aContents.emplace(theNumber, anAnswer->slot(0)).first->second;
    };
    auto aVersionContent = [&](std::size_t theIndex) -> std::string {
        if (theIndex >= aVersions.size() || aVersions[theIndex].itsIsDeletion)
            return {};
        return aContent(aVersions[theIndex].itsNumber);
    };

    std::string aShown = aPackage + "/" + aName + (aSuffix.empty() ? "" : "." + aSuffix);
    Page aResult{"Object " + aShown, {}};
    if (aVersions.empty())
        aResult.itsBody = "<p>The object has never been activated.</p>\n";
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const Version& aVersion = aVersions[i];
        aResult.itsBody += "<h2 id=\"v" + std::to_string(aVersion.itsNumber) + "\">Version " +
                           std::to_string(aVersion.itsNumber) +
                           (aVersion.itsIsDeletion ? " (deletion)" : "") + "</h2>\n<p>Activated " +
                           escape(aVersion.itsActivatedAt) + " by " +
                           escape(aVersion.itsActivatedBy) + "</p>\n";
        const std::string aNew = aVersionContent(i);
        const std::string anOld = aVersionContent(i + 1);
        if (textdiff::isBinary(aNew) || textdiff::isBinary(anOld)) {
            aResult.itsBody +=
                "<p>Binary content (" + std::to_string(aNew.size()) + " bytes)</p>\n";
            continue;
        }
        const std::int64_t aBefore = i + 1 < aVersions.size() ? aVersions[i + 1].itsNumber : 0;
        const std::string aDiff = textdiff::unified(anOld, aNew, label(aShown, aBefore),
                                                    label(aShown, aVersion.itsNumber), 3);
        aResult.itsBody +=
            aDiff.empty() ? "<p>No difference to the version before.</p>\n" : diffHtml(aDiff);
    }
    aResult.itsBody +=
        pager("/object", {{"package", aPackage}, {"name", aName}, {"suffix", aSuffix}}, aPage,
              aSlice.itsMore);
    return aResult;
}

} // namespace RepositoryAccess::webview
