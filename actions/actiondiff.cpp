#include "actions/actiondiff.hpp"

#include <map>

#include "actions/actionscope.hpp"
#include "actions/checkoutengine.hpp"
#include "actions/repositorylistings.hpp"
#include "actions/versiondiff.hpp"
#include "core/console.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/textdiff.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/status.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

using actiondiff::Side;

namespace {

constexpr std::string_view kDeleted = "__deleted__";

// The files whose content differs from what kivo recorded, and the conflicted ones.
struct ChangedFiles {
    PathSet itsChanged; // modified, deleted and new, in path order
    PathSet itsConflicted;
};

void addStatus(ChangedFiles& theFiles, const Status& theStatus) {
    for (const PathSet* aSet : {&theStatus.modified(), &theStatus.deleted(), &theStatus.newFiles()})
        theFiles.itsChanged = pathset::unite(theFiles.itsChanged, *aSet);
    theFiles.itsConflicted = pathset::unite(theFiles.itsConflicted, theStatus.conflicted());
}

ChangedFiles changedFiles(ActionScope& theScope) {
    if (theScope.itsInactiveObjects)
        for (const RepositoryObject& anObject : repositorylistings::inactiveObjectsOfPackages({}))
            theScope.itsObjects.emplace_back(anObject.package(), anObject.name(),
                                             anObject.suffix());
    ChangedFiles aFiles;
    if (!theScope.itsPackages.empty())
        addStatus(aFiles, Status(theScope.itsPackages, theScope.itsRecursive, false, false));
    if (!theScope.itsObjects.empty())
        addStatus(aFiles, Status(theScope.itsObjects, false, false));
    return aFiles;
}

// A conflict side as a text: the deletion marker stands for no content.
Side conflictSide(const std::string& thePath, std::string theWhat, std::string theDeletedWhat) {
    if (!sys::fileExists(thePath))
        return {"", std::move(theDeletedWhat)};
    std::string aContent = *sys::readFile(thePath);
    if (aContent.starts_with(kDeleted))
        return {"", std::move(theDeletedWhat)};
    return {std::move(aContent), std::move(theWhat)};
}

std::string versionText(const ObjectMetaData& theMeta) {
    return "#" + std::to_string(theMeta.itsVersionId);
}

// The versions the changed files are compared with: the version each file's metadata names
// (the active one with `active`), keyed by file; a file without one is compared with nothing.
std::map<std::string, RepositoryObject> versionsToRead(const ActionScope& theScope,
                                                       const PathSet& theFiles) {
    std::map<std::string, RepositoryObject> aVersions;
    if (isSet(params::active)) {
        std::map<std::string, RepositoryObject> anActive;
        for (RepositoryObject& anObject : repositorylistings::activeObjectsOfScope(theScope))
            anActive.insert_or_assign(anObject.workSpaceFileName(), std::move(anObject));
        for (const std::string& aFile : theFiles)
            if (const auto aFound = anActive.find(aFile); aFound != anActive.end())
                aVersions.emplace(aFile, aFound->second);
        return aVersions;
    }
    for (const std::string& aFile : theFiles) {
        RepositoryObject anObject = objects::fromWorkSpaceFile(aFile);
        const ObjectMetaData& aMeta = anObject.metaData();
        if (aMeta.itsType >= 1 && aMeta.itsType <= 3 && aMeta.itsVersionId > 0 &&
            !aMeta.itsIsDeletion)
            aVersions.emplace(aFile, std::move(anObject));
    }
    return aVersions;
}

// The contents of the versions: the active and inactive ones in one bulk read. An active version
// that another user replaced since the checkout is read again as the historical version the
// file was based on.
std::map<std::string, std::string>
readVersions(std::map<std::string, RepositoryObject>& theVersions) {
    std::vector<RepositoryObject> aCurrent;
    std::vector<RepositoryObject> aHistorical;
    for (const auto& anEntry : theVersions)
        (anEntry.second.metaData().itsType == 3 ? aHistorical : aCurrent).push_back(anEntry.second);
    std::map<std::string, std::string> aContents;
    std::vector<ObjectContent> aRead = repofunobjects::readObjects(aCurrent);
    for (std::size_t i = 0; i < aCurrent.size() && i < aRead.size(); ++i) {
        const std::int32_t aWanted = aCurrent[i].metaData().itsVersionId;
        const std::int32_t aGot = aRead[i].itsObject.metaData().itsVersionId;
        if (!isSet(params::active) && aCurrent[i].metaData().itsType == 1 && aGot != 0 &&
            aGot != aWanted) {
            RepositoryObject aBase = checkoutversions::historicalRecord(aCurrent[i], aWanted);
            theVersions.insert_or_assign(aCurrent[i].workSpaceFileName(), aBase);
            aHistorical.push_back(std::move(aBase));
            continue;
        }
        aContents[aCurrent[i].workSpaceFileName()] = std::move(aRead[i].itsContent);
    }
    for (auto& anEntry : checkoutversions::readContents(aHistorical))
        aContents.insert_or_assign(anEntry.first, std::move(anEntry.second));
    return aContents;
}

Side localSide(const std::string& theFile) {
    if (!sys::fileExists(theFile))
        return {"", "deleted"};
    return {*sys::readFile(theFile), "workspace"};
}

} // namespace

namespace actiondiff {

bool printDifference(const std::string& theRelative, const Side& theOld, const Side& theNew) {
    if (theOld.itsContent == theNew.itsContent)
        return false;
    const std::string aName = textdiff::quotedName(theRelative);
    if (textdiff::isBinary(theOld.itsContent) || textdiff::isBinary(theNew.itsContent)) {
        console::say("Binary files " + aName + " (" + theOld.itsWhat + ") and " + aName + " (" +
                     theNew.itsWhat + ") differ\n");
        return true;
    }
    console::say(textdiff::unified(theOld.itsContent, theNew.itsContent,
                                   aName + "\t(" + theOld.itsWhat + ")",
                                   aName + "\t(" + theNew.itsWhat + ")"));
    return true;
}

} // namespace actiondiff

void actionDiff::execute() {
    KIVO_PERF_SCOPE("actionDiff::execute()");
    if (versiondiff::requested()) {
        versiondiff::print();
        return;
    }
    ActionScope aScope = actionscope::fromParameters();
    const ChangedFiles aFiles = changedFiles(aScope);
    const auto& aWorkspace = *workspace::get();

    std::map<std::string, RepositoryObject> aVersions = versionsToRead(aScope, aFiles.itsChanged);
    const std::map<std::string, std::string> aContents = readVersions(aVersions);
    const std::string aBaseWord = isSet(params::active) ? "active " : "base ";

    bool aPrinted = false;
    for (const std::string& aFile : pathset::unite(aFiles.itsChanged, aFiles.itsConflicted)) {
        const std::string aRelative = aWorkspace.relativeFileName(aFile);
        Side anOld{"", "new"};
        if (pathset::contains(aFiles.itsConflicted, aFile)) {
            const RepositoryObject anObject = objects::fromWorkSpaceFile(aFile);
            anOld = conflictSide(anObject.diffFileName(),
                                 "remote " + versionText(anObject.metaData()), "remote deletion");
            aPrinted = actiondiff::printDifference(aRelative, anOld,
                                                   conflictSide(aFile, "workspace", "deleted")) ||
                       aPrinted;
            continue;
        }
        if (const auto aVersion = aVersions.find(aFile); aVersion != aVersions.end()) {
            const auto aContent = aContents.find(aFile);
            anOld = {aContent == aContents.end() ? std::string() : aContent->second,
                     aBaseWord + versionText(aVersion->second.metaData())};
        }
        aPrinted = actiondiff::printDifference(aRelative, anOld, localSide(aFile)) || aPrinted;
    }
    if (!aPrinted)
        console::sayLine("No differences.");
}

} // namespace RepositoryAccess
