#include "actions/versiondiff.hpp"

#include <charconv>
#include <optional>
#include <utility>

#include "actions/actiondiff.hpp"
#include "actions/checkoutengine.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "repository/repofunchangetracking.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/respprinters.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess::versiondiff {

namespace {

using actiondiff::Side;

std::optional<std::int64_t> positiveNumber(std::string_view theText) {
    std::int64_t aNumber = 0;
    const char* anEnd = theText.data() + theText.size();
    const auto [aPos, anError] = std::from_chars(theText.data(), anEnd, aNumber);
    if (theText.empty() || anError != std::errc() || aPos != anEnd || aNumber <= 0)
        return std::nullopt;
    return aNumber;
}

// The two numbers of "N..M", or N and 0 (the workspace) for "N".
std::pair<std::int64_t, std::int64_t> versionRange(const std::string& theValue) {
    const std::size_t aDots = theValue.find("..");
    const auto aFirst = positiveNumber(std::string_view(theValue).substr(0, aDots));
    std::optional<std::int64_t> aSecond = 0;
    if (aDots != std::string::npos)
        aSecond = positiveNumber(std::string_view(theValue).substr(aDots + 2));
    if (!aFirst || !aSecond)
        throw Error("Invalid version (must be N or N..M with positive integers): " + theValue);
    return {*aFirst, *aSecond};
}

// A version as one side of a difference, "#N"; version 0 is no version at all ("new").
Side versionSide(const RepositoryObject& theObject, std::int64_t theNumber) {
    if (theNumber <= 0)
        return {"", "new"};
    return {contentOf(versionRecord(theObject, theNumber)), "#" + std::to_string(theNumber)};
}

Side workspaceSide(const RepositoryObject& theObject) {
    const std::string aFile = theObject.workSpaceFileName();
    if (!sys::fileExists(aFile))
        return {"", "deleted"};
    return {*sys::readFile(aFile), "workspace"};
}

bool printVersions() {
    const auto [aFirst, aSecond] = versionRange(getValue(params::version));
    const std::vector<std::string> anArguments = parameters().getValues(params::object);
    if (anArguments.empty())
        throw Error("kivo diff --version needs the objects to compare.");
    bool aPrinted = false;
    for (const std::string& anArgument : anArguments) {
        const RepositoryObject anObject = objects::object_name_to_object_id(anArgument);
        const Side aNew = aSecond == 0 ? workspaceSide(anObject) : versionSide(anObject, aSecond);
        aPrinted = actiondiff::printDifference(respprinters::objectPath(anObject),
                                               versionSide(anObject, aFirst), aNew) ||
                   aPrinted;
    }
    return aPrinted;
}

// The versions of theObject that belong to theChange, each against the version before it.
bool printChangeVersions(const RepositoryObject& theObject, const std::string& theChange) {
    const std::vector<HistoryEntry> anEntries = repofunobjects::listHistory(theObject);
    bool aPrinted = false;
    for (std::size_t i = 0; i < anEntries.size(); ++i) {
        const RepositoryObject aRecord = versionRecord(theObject, anEntries[i].itsVersionId);
        if (aRecord.metaData().itsChangeNumber != theChange)
            continue;
        const Side anOld =
            i == 0 ? Side{"", "new"} : versionSide(theObject, anEntries[i - 1].itsVersionId);
        const Side aNew{contentOf(aRecord), "#" + std::to_string(anEntries[i].itsVersionId)};
        aPrinted = actiondiff::printDifference(respprinters::objectPath(theObject), anOld, aNew) ||
                   aPrinted;
    }
    return aPrinted;
}

// The activated versions of each entry of the changes against the versions before them.
bool printChanges() {
    bool aPrinted = false;
    for (const ChangeEntry& aChange :
         repofunchangetracking::readChanges(parameters().getValues(params::changeId)))
        for (const RepositoryObject& anEntry : aChange.itsEntries)
            aPrinted = printChangeVersions(anEntry, aChange.itsChangeId) || aPrinted;
    return aPrinted;
}

} // namespace

RepositoryObject versionRecord(const RepositoryObject& theObject, std::int64_t theNumber) {
    return checkoutversions::historicalRecord(theObject, static_cast<std::int32_t>(theNumber));
}

std::string contentOf(const RepositoryObject& theRecord) {
    if (theRecord.metaData().itsIsDeletion)
        return {};
    std::vector<ObjectContent> aRead = repofunobjects::readObjects({theRecord});
    return aRead.empty() ? std::string() : std::move(aRead.front().itsContent);
}

bool requested() {
    return isSet(params::version) || isSet(params::changeId);
}

void print() {
    const bool aPrinted = isSet(params::changeId) ? printChanges() : printVersions();
    if (!aPrinted)
        console::sayLine("No differences.");
}

} // namespace RepositoryAccess::versiondiff
