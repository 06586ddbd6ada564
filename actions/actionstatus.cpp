#include "actions/actionstatus.hpp"

#include "actions/actionscope.hpp"
#include "actions/pushresolution.hpp"
#include "actions/repositorylistings.hpp"
#include "core/commandsyntax.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/textcase.hpp"
#include "core/version.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

bool whatIs(const std::string& theWhat, std::string_view theName) {
    return textcase::equalsIgnoringCase(theWhat, theName);
}

void addAll(PathSet& theTarget, const PathSet& theSource) {
    theTarget = pathset::unite(theTarget, theSource);
}

// The bracketed version information of a conflicted file, from its local metadata copy.
std::string conflictDetails(const std::string& theFile, std::int32_t theBase) {
    const RepositoryObject anObject = objects::fromWorkSpaceFile(theFile);
    const auto aText = objects::metaFileText(anObject.metaDataFileName());
    if (!aText)
        return " (base #" + std::to_string(theBase) + ")";
    const ObjectMetaData aMeta = objects::parseMetaFile(*aText, anObject.metaDataFileName()).first;
    const std::string aBase = " (base #" + std::to_string(theBase);
    const std::string anId = std::to_string(aMeta.itsVersionId);
    switch (aMeta.itsType) {
    case 1:
        return aBase + ", activated #" + anId + " by " + aMeta.itsActivatedBy + " on " +
               aMeta.itsActivatedAt + ")";
    case 2:
        return aBase + ", committed #" + anId + " on " + aMeta.itsLastChangedAt + ")";
    case 3:
        return aBase + ", activated (historical) #" + anId + " by " + aMeta.itsActivatedBy +
               " on " + aMeta.itsActivatedAt + ")";
    default:
        return aBase + ")";
    }
}

} // namespace

void actionStatus::checkArguments() const {
    if (getValue(params::what).empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
}

void actionStatus::execute() {
    KIVO_PERF_SCOPE("actionStatus::execute()");
    itsAdvanced = commandsyntax::isAdvancedMode();
    const std::string aWhat = getValue(params::what);
    if (whatIs(aWhat, "trackedPackages")) {
        statusTrackedPackages();
    } else if (whatIs(aWhat, "workSpace")) {
        statusWorkSpace();
    } else if (whatIs(aWhat, "inactiveObjects")) {
        statusInactiveObjects();
    } else if (whatIs(aWhat, "objects")) {
        std::vector<std::string> aPackages;
        std::vector<std::string> aFiles;
        actionscope::splitArguments(parameters().getValues(params::object), aPackages, aFiles);
        if (!aPackages.empty())
            statusPackages(aPackages);
        if (!aFiles.empty())
            statusObjects(aFiles);
        statusShared();
    } else if (whatIs(aWhat, "package") || whatIs(aWhat, "packages")) {
        statusPackages(parameters().getValues(params::package));
        statusShared();
    } else if (whatIs(aWhat, "object")) {
        statusObjects(parameters().getValues(params::object));
        statusShared();
    }
    // Status stays offline: the repair belongs to the next run that connects.
    if (workspace::isOpen() && workspace::get()->hasLeftoverJournal())
        console::sayLine("An interrupted run left unfinished work in this workspace; the next "
                         "action that connects to the repository finishes it.");
}

void actionStatus::statusTrackedPackages() {
    KIVO_PERF_SCOPE("statusTrackedPackages()");
    statusWorkSpace();
    const auto& aTracked = workspace::config().trackedPackages();
    if (aTracked.empty() && !itsAdvanced)
        return;
    statusPackages(std::vector<std::string>(aTracked.begin(), aTracked.end()));
    statusShared();
}

void actionStatus::statusWorkSpace() const {
    KIVO_PERF_SCOPE("statusWorkSpace()");
    const WorkSpaceConfigFile& aConfig = workspace::config();
    console::sayLine("Workspace: " + aConfig.name());
    if (!aConfig.key().empty()) {
        console::sayLine("Secure store key: " + aConfig.key());
    } else {
        console::sayLine("Host: " + aConfig.hostName());
        console::sayLine("User: " + aConfig.user());
    }
    if (!aConfig.clientFormatVersion())
        throw Error("Failed to read client format version from workspace config file.");
    console::sayLine("Client format version: " +
                     version::formatVersion(*aConfig.clientFormatVersion()));
    if (aConfig.trackedPackages().empty() && !itsAdvanced) {
        console::sayLine("No packages tracked.");
        console::sayLine("Call \"kivo help track\" for help.");
        return;
    }
    console::sayLine("Tracked packages:");
    for (const auto& aPackage : aConfig.trackedPackages())
        console::sayLine("\t" + aPackage);
}

void actionStatus::statusPackages(const std::vector<std::string>& thePackages) {
    KIVO_PERF_SCOPE("statusPackages()");
    std::vector<std::string> aPackages;
    for (const auto& anArgument : thePackages)
        aPackages.push_back(workspace::normalizePackage(anArgument));
    merge(Status(aPackages, !isSet(params::noRecursive), false, false));
    if (isSet(params::inactiveObjects)) {
        auto aFound = repositorylistings::inactiveObjectsOfPackages(aPackages);
        itsInactive.insert(itsInactive.end(), aFound.begin(), aFound.end());
    }
}

void actionStatus::statusObjects(const std::vector<std::string>& theFiles) {
    KIVO_PERF_SCOPE("statusObjects()");
    std::vector<RepositoryObject> anObjects;
    for (const auto& aFile : theFiles)
        anObjects.push_back(objects::object_name_to_object_id(aFile));
    merge(Status(anObjects, false, true));
    if (isSet(params::inactiveObjects)) {
        auto aFound = repositorylistings::inactiveObjectsOf(anObjects);
        itsInactive.insert(itsInactive.end(), aFound.begin(), aFound.end());
    }
}

void actionStatus::statusInactiveObjects() {
    KIVO_PERF_SCOPE("statusInactiveObjects()");
    const auto anInactive = repositorylistings::inactiveObjectsOfPackages({});
    merge(Status(anInactive, false, true));
    if (isSet(params::inactiveObjects))
        itsInactive.insert(itsInactive.end(), anInactive.begin(), anInactive.end());
    statusShared();
}

void actionStatus::merge(const Status& theStatus) {
    addAll(itsModified, theStatus.modified());
    addAll(itsDeleted, theStatus.deleted());
    addAll(itsConflicted, theStatus.conflicted());
    addAll(itsNew, theStatus.newFiles());
}

void actionStatus::printSection(const char* theHeading, const PathSet& theFiles,
                                bool theConflicts) const {
    if (theFiles.empty() && !itsAdvanced)
        return;
    const std::string aCurrentDir = sys::getCurrentDir();
    const WorkSpaceStatusFile& aStatusFile = workspace::get()->status();
    std::string aText = std::string("\n") + theHeading + "\n";
    for (const auto& aFile : theFiles) {
        aText += "\t" + sys::absoluteToRelativeFileName(aFile, aCurrentDir);
        const std::int32_t aBase = aStatusFile.getBaseVersion(aFile);
        if (!itsAdvanced && aBase != 0)
            aText += theConflicts ? conflictDetails(aFile, aBase)
                                  : " (base #" + std::to_string(aBase) + ")";
        aText += "\n";
    }
    console::say(aText);
}

void actionStatus::statusShared() const {
    KIVO_PERF_SCOPE("statusShared()");
    printSection("Changed files:", itsModified, false);
    printSection("Deleted files:", itsDeleted, false);
    printSection("Conflicts:", itsConflicted, true);
    printSection("New local files:", itsNew, false);
    if (!itsConflicted.empty() && !itsAdvanced && !isSet(params::noTips))
        console::say("\n" + std::string(pushresolution::kResolutionCalls));
    if (!itsInactive.empty()) {
        console::say("\nInactive Objects:\n");
        repositorylistings::printInactiveObjects(itsInactive);
    }
    console::say("\n");
}

} // namespace RepositoryAccess
