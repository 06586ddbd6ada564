#include "core/annotate.hpp"
#include "core/htmlpage.hpp"
#include "core/textdiff.hpp"
#include "webview/objectversions.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"

namespace RepositoryAccess::webview {

using htmlpage::escape;

namespace {

// How many versions an annotation reads at most: the chosen one and those before it. A line
// older than the oldest of them is shown as that version's "or earlier".
constexpr std::size_t kAnnotatedVersions = 50;

// The index of the newest version that is no deletion, or of the version "version" names.
std::size_t chosenVersion(const std::vector<ObjectVersions::Version>& theVersions,
                          const PageRequest& theRequest) {
    const std::string aWanted = theRequest.param("version");
    for (std::size_t i = theVersions.size(); i-- > 0;) {
        const bool aMatch = aWanted.empty() ? !theVersions[i].itsIsDeletion
                                            : std::to_string(theVersions[i].itsNumber) == aWanted;
        if (aMatch)
            return i;
    }
    throw MissingPage(aWanted.empty() ? "The object has no version to annotate"
                                      : "The object has no version " + aWanted);
}

} // namespace

Page annotatePage(RepositoryReader& theReader, const PageRequest& theRequest) {
    const ObjectVersions anObject(theReader, theRequest.itsUser, theRequest.required("package"),
                                  theRequest.required("name"), theRequest.param("suffix"));
    const auto& aVersions = anObject.versions();
    const std::size_t aChosen = chosenVersion(aVersions, theRequest);
    const std::size_t aFirst =
        aChosen + 1 > kAnnotatedVersions ? aChosen + 1 - kAnnotatedVersions : 0;
    std::vector<annotate::FileVersion> aTexts;
    for (std::size_t i = aFirst; i <= aChosen; ++i)
        aTexts.push_back({anObject.content(aVersions[i]), {}, {}});

    const ObjectVersions::Version& aVersion = aVersions[aChosen];
    Page aResult{"Annotated " + anObject.shown() + " (version " +
                     std::to_string(aVersion.itsNumber) + ")",
                 "<p>" + link("/object", anObject.query(), "History") + "</p>\n"};
    if (aVersion.itsIsDeletion) {
        aResult.itsBody += "<p>This version deleted the object.</p>\n";
        return aResult;
    }
    if (textdiff::isBinary(aTexts.back().itsText)) {
        aResult.itsBody += "<p>Binary content cannot be annotated.</p>\n";
        return aResult;
    }
    aResult.itsBody += "<table class=\"annotated\">\n";
    std::size_t aLineNumber = 0;
    for (const annotate::AnnotatedLine& aLine : annotate::annotateLines(aTexts)) {
        const ObjectVersions::Version& aSource = aVersions[aFirst + aLine.itsVersion];
        const bool anEarlier = aLine.itsVersion == 0 && aFirst > 0;
        std::string_view aText = aLine.itsText;
        if (aText.ends_with('\n'))
            aText.remove_suffix(1);
        aResult.itsBody += "<tr><td>" + std::to_string(aSource.itsNumber) +
                           (anEarlier ? " or earlier" : "") + "</td><td>" +
                           escape(aSource.itsActivatedBy) + "</td><td>" +
                           std::to_string(++aLineNumber) + "</td><td class=\"line\">" +
                           escape(aText) + "</td></tr>\n";
    }
    aResult.itsBody += "</table>\n";
    return aResult;
}

} // namespace RepositoryAccess::webview
