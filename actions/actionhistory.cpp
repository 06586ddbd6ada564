#include "actions/actionhistory.hpp"

#include <charconv>
#include <cstdio>

#include "actions/actiondiff.hpp"
#include "actions/versiondiff.hpp"
#include "core/annotate.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/textcase.hpp"
#include "core/textdiff.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/reposession.hpp"
#include "repository/respprinters.hpp"
#include "workspace/objects.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// One activated version of an object with what its metadata adds to the history entry.
struct LoggedVersion {
    HistoryEntry itsEntry;
    ObjectMetaData itsMeta;
};

// The objects an argument names: one object, or every active object of a package for an
// argument that ends in "/".
std::vector<RepositoryObject> objectsOf(const std::string& theArgument) {
    if (!theArgument.ends_with('/'))
        return {objects::object_name_to_object_id(theArgument)};
    const std::string aPackage = workspace::normalizePackage(
        std::string_view(theArgument).substr(0, theArgument.size() - 1));
    return repofunobjects::findObjects(RepositorySession::active(), aPackage, "");
}

// True when the version passes the filters `since`, `until` (timestamps compared as texts, so
// a date alone is the start of that day), `createdBy` and `changeNumber`.
bool wanted(const HistoryEntry& theEntry, const ObjectMetaData& theMeta) {
    const std::string aSince = getValue(params::since);
    const std::string anUntil = getValue(params::until);
    const std::string aUser = getValue(params::createdBy);
    const std::string aChange = getValue(params::changeNumber);
    if (!aSince.empty() && theEntry.itsActivateAt < aSince)
        return false;
    if (!anUntil.empty() && theEntry.itsActivateAt.substr(0, anUntil.size()) > anUntil)
        return false;
    if (!aUser.empty() && !textcase::equalsIgnoringCase(theEntry.itsActivatedBy, aUser))
        return false;
    return aChange.empty() || theMeta.itsChangeNumber == aChange;
}

// "#N\tTIME\tUSER", then "\tchange C (released AT)" or "\tchange C (open)" when the version
// belongs to a change, and "\tdeletion" for a deletion.
std::string versionLine(const HistoryEntry& theEntry, const ObjectMetaData& theMeta) {
    std::string aLine = "#" + std::to_string(theEntry.itsVersionId) + "\t" +
                        theEntry.itsActivateAt + "\t" + theEntry.itsActivatedBy;
    if (!theMeta.itsChangeNumber.empty() && theMeta.itsChangeNumber != "0")
        aLine += "\tchange " + theMeta.itsChangeNumber +
                 (theMeta.itsReleasedAt.empty() ? std::string(" (open)")
                                                : " (released " + theMeta.itsReleasedAt + ")");
    if (theEntry.itsIsDeletion)
        aLine += "\tdeletion";
    return aLine + "\n";
}

void logObject(const RepositoryObject& theObject) {
    const std::vector<HistoryEntry> anEntries = repofunobjects::listHistory(theObject);
    const std::string aPath = respprinters::objectPath(theObject);
    console::say(textdiff::quotedName(aPath) + "\n");
    const bool aPatch = isSet(params::patch);
    for (std::size_t i = anEntries.size(); i-- > 0;) {
        const RepositoryObject aRecord =
            versiondiff::versionRecord(theObject, anEntries[i].itsVersionId);
        if (!wanted(anEntries[i], aRecord.metaData()))
            continue;
        console::say(versionLine(anEntries[i], aRecord.metaData()));
        if (!aPatch)
            continue;
        const actiondiff::Side aNew{versiondiff::contentOf(aRecord),
                                    "#" + std::to_string(anEntries[i].itsVersionId)};
        actiondiff::Side anOld{"", "new"};
        if (i > 0)
            anOld = {versiondiff::contentOf(
                         versiondiff::versionRecord(theObject, anEntries[i - 1].itsVersionId)),
                     "#" + std::to_string(anEntries[i - 1].itsVersionId)};
        actiondiff::printDifference(aPath, anOld, aNew);
    }
}

// The number that `version` names for annotate; 0 when none is given (the newest).
std::int64_t annotatedNumber() {
    const std::string aValue = getValue(params::version);
    if (aValue.empty())
        return 0;
    std::int64_t aNumber = 0;
    const char* anEnd = aValue.data() + aValue.size();
    const auto [aPos, anError] = std::from_chars(aValue.data(), anEnd, aNumber);
    if (anError != std::errc() || aPos != anEnd || aNumber <= 0)
        throw Error("Invalid version (must be a historical version (positive integer)): " + aValue);
    return aNumber;
}

// One annotated line: the version number right-aligned in five columns, the user padded to
// eight, " | " and the line with its line feed.
std::string annotatedLine(const annotate::FileVersion& theVersion, std::string_view theText) {
    char aNumber[16];
    std::snprintf(aNumber, sizeof aNumber, "%5s", theVersion.itsVersion.c_str());
    std::string aUser = theVersion.itsUser;
    if (aUser.size() < 8)
        aUser.resize(8, ' ');
    std::string aLine = std::string(aNumber) + " " + aUser + " | " + std::string(theText);
    return aLine.ends_with('\n') ? aLine : aLine + "\n";
}

} // namespace

void actionLog::execute() {
    KIVO_PERF_SCOPE("actionLog::execute()");
    for (const std::string& anArgument : parameters().getValues(params::object))
        for (const RepositoryObject& anObject : objectsOf(anArgument))
            logObject(anObject);
}

void actionAnnotate::execute() {
    KIVO_PERF_SCOPE("actionAnnotate::execute()");
    const std::string anArgument = getValue(params::object);
    const RepositoryObject anObject = objects::object_name_to_object_id(anArgument);
    const std::int64_t aWanted = annotatedNumber();
    std::vector<annotate::FileVersion> aVersions;
    for (const HistoryEntry& anEntry : repofunobjects::listHistory(anObject)) {
        if (aWanted > 0 && anEntry.itsVersionId > aWanted)
            break;
        aVersions.push_back(
            {versiondiff::contentOf(versiondiff::versionRecord(anObject, anEntry.itsVersionId)),
             std::to_string(anEntry.itsVersionId), anEntry.itsActivatedBy});
    }
    if (aVersions.empty() && aWanted == 0)
        throw Error("No historic versions for \"" + anArgument + "\"");
    if (aVersions.empty() ||
        (aWanted > 0 && aVersions.back().itsVersion != std::to_string(aWanted)))
        throw Error("Object \"" + anArgument + "\" has no historical version " +
                    std::to_string(aWanted) + ".");
    if (textdiff::isBinary(aVersions.back().itsText))
        throw Error("Object \"" + anArgument + "\" is binary and cannot be annotated.");
    std::string anOut;
    for (const annotate::AnnotatedLine& aLine : annotate::annotateLines(aVersions))
        anOut += annotatedLine(aVersions[aLine.itsVersion], aLine.itsText);
    console::say(anOut);
}

} // namespace RepositoryAccess
