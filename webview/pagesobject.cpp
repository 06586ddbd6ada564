#include "core/htmlpage.hpp"
#include "core/textdiff.hpp"
#include "webview/objectversions.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"

#include <algorithm>
#include <map>

namespace RepositoryAccess::webview {

using htmlpage::escape;

namespace {

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
    const ObjectVersions anObject(theReader, theRequest.itsUser, theRequest.required("package"),
                                  theRequest.required("name"), theRequest.param("suffix"));
    std::vector<ObjectVersions::Version> aVersions = anObject.versions();
    std::reverse(aVersions.begin(), aVersions.end());

    const std::size_t aPage = theRequest.pageNumber();
    const Slice aSlice = slice(aVersions.size(), aPage, kVersionsPerPage);
    // The contents this page compares, each read once: its versions and the one before the last.
    std::map<std::size_t, std::string> aContents;
    auto aContent = [&](std::size_t theIndex) -> const std::string& {
        static const std::string kNone;
        if (theIndex >= aVersions.size())
            return kNone;
        auto aFound = aContents.find(theIndex);
        if (aFound == aContents.end())
            aFound = aContents.emplace(theIndex, anObject.content(aVersions[theIndex])).first;
        return aFound->second;
    };

    const std::string aShown = anObject.shown();
    Page aResult{"Object " + aShown, {}};
    if (aVersions.empty())
        aResult.itsBody = "<p>The object has never been activated.</p>\n";
    else
        aResult.itsBody = "<p>" + link("/annotate", anObject.query(), "Annotated") + "</p>\n";
    for (std::size_t i = aSlice.itsFirst; i < aSlice.itsEnd; ++i) {
        const ObjectVersions::Version& aVersion = aVersions[i];
        aResult.itsBody += "<h2 id=\"v" + std::to_string(aVersion.itsNumber) + "\">Version " +
                           std::to_string(aVersion.itsNumber) +
                           (aVersion.itsIsDeletion ? " (deletion)" : "") + "</h2>\n<p>Activated " +
                           escape(aVersion.itsActivatedAt) + " by " +
                           escape(aVersion.itsActivatedBy) + "</p>\n";
        const std::string& aNew = aContent(i);
        const std::string& anOld = aContent(i + 1);
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
    aResult.itsBody += pager("/object", anObject.query(), aPage, aSlice.itsMore);
    return aResult;
}

} // namespace RepositoryAccess::webview
