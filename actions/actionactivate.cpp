#include "actions/actionactivate.hpp"

#include <algorithm>

#include "actions/checkoutengine.hpp"
#include "actions/listedmetadata.hpp"
#include "actions/pushresolution.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/progressline.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/connection.hpp"
#include "repository/repofunchangetracking.hpp"
#include "repository/respprinters.hpp"
#include "workspace/status.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

// The first repository API version that knows change tracking.
constexpr std::int64_t kChangeTrackingApiVersion = 8;

// A check result that reports an object whose inactive version is based on an outdated one.
bool isActivationConflict(const CheckResult& theResult) {
    return theResult.itsErrorCode == "40129" &&
           (!theResult.itsPackage.empty() || !theResult.itsName.empty());
}

// The workspace file of the object a check result names.
std::string conflictPath(const CheckResult& theResult) {
    if (!theResult.itsWorkSpaceFileName.empty())
        return theResult.itsWorkSpaceFileName;
    return RepositoryObject(theResult.itsPackage, theResult.itsName, theResult.itsSuffix)
        .workSpaceFileName();
}

// The ids of the changes, each once, in the order of their first appearance.
std::vector<std::string> changeIds(const std::vector<ChangeEntry>& theChanges) {
    std::vector<std::string> anIds;
    for (const ChangeEntry& aChange : theChanges)
        if (std::find(anIds.begin(), anIds.end(), aChange.itsChangeId) == anIds.end())
            anIds.push_back(aChange.itsChangeId);
    return anIds;
}

bool isContributor(const ChangeEntry& theChange, const std::string& theUser) {
    return std::any_of(theChange.itsContributors.begin(), theChange.itsContributors.end(),
                       [&](const Contributor& theContributor) {
                           return textcase::equalsIgnoringCase(theContributor.itsUser, theUser);
                       });
}

// A simulated activation activated nothing; the active version it would have made carries the
// number of the inactive one, so the simulated run shows the metadata writes it would do.
ObjectMetaData simulatedActive(const RepositoryObject& theObject) {
    ObjectMetaData aMetaData = theObject.metaData();
    aMetaData.itsType = 1;
    return aMetaData;
}

std::vector<ObjectMetaData> simulatedActive(const std::vector<RepositoryObject>& theObjects) {
    std::vector<ObjectMetaData> aMetaData;
    aMetaData.reserve(theObjects.size());
    for (const RepositoryObject& anObject : theObjects)
        aMetaData.push_back(simulatedActive(anObject));
    return aMetaData;
}

// The metadata reads after an activation go to the repository this many at a time.
constexpr std::size_t kMetaDataBatch = 100;

} // namespace

void actionActivate::execute() {
    KIVO_PERF_SCOPE("actionActivate::execute()");
    const ActionScope aScope = actionscope::fromParameters();
    const std::vector<RepositoryObject> anObjects = collectObjects(aScope);
    if (pushresolution::leaveConflictsToPush(hasConflictedFiles(aScope, anObjects), "Activate",
                                             "activated"))
        return;
    if (anObjects.empty()) {
        console::sayLine("Nothing to activate.");
        return;
    }

    itsMode = getValue(params::activationMode);
    if (itsMode.empty())
        itsMode = "0";
    itsIsCheck = itsMode == "5";
    if (!chooseChange(anObjects))
        return;

    recordJournal(anObjects);
    // The check results of 100,000 objects take much memory: they go before the metadata of the
    // activated objects is read.
    bool aRetrieve = false;
    {
        const ActivationResult aResult =
            repofunobjects::activateObjects(anObjects, itsMode, itsChangeId);
        reportCheckResults(aResult);
        aRetrieve = reportOutcome(aResult) && !itsIsCheck;
    }
    if (aRetrieve)
        retrieveMetaData(anObjects);
    if (isSet(params::log))
        writeLogFile();
    console::say(itsOutput.str());
}

void actionActivate::recordJournal(const std::vector<RepositoryObject>& theObjects) {
    KIVO_PERF_SCOPE("actionActivate::recordJournal()");
    std::vector<JournalEntry> aJournal;
    aJournal.reserve(theObjects.size());
    for (const RepositoryObject& anObject : theObjects)
        aJournal.push_back({anObject.package(), anObject.name(), anObject.suffix(),
                            JournalEntry::Repair::repository});
    workspace::get()->recordJournal(aJournal);
}

std::vector<RepositoryObject> actionActivate::collectObjects(const ActionScope& theScope) {
    KIVO_PERF_SCOPE("actionActivate::collectObjects()");
    return repositorylistings::inactiveObjectsOfScope(theScope);
}

bool actionActivate::hasConflictedFiles(const ActionScope& theScope,
                                        const std::vector<RepositoryObject>& theObjects) {
    KIVO_PERF_SCOPE("actionActivate::hasConflictedFiles()");
    if (theScope.itsInactiveObjects)
        return !Status(theObjects, true, false).conflicted().empty();
    if (!theScope.itsPackages.empty() &&
        !Status(theScope.itsPackages, theScope.itsRecursive, true, false).conflicted().empty())
        return true;
    return !theScope.itsObjects.empty() &&
           !Status(theScope.itsObjects, true, false).conflicted().empty();
}

bool actionActivate::chooseChange(const std::vector<RepositoryObject>& theObjects) {
    KIVO_PERF_SCOPE("actionActivate::chooseChange()");
    Connection& aConnection = context().connection();
    if (aConnection.getApiVersion() >= kChangeTrackingApiVersion)
        itsChangeTracking = repofunchangetracking::getChangeTrackingStatus() == "enabled";
    itsChangeId = getValue(params::changeId);
    if (!itsChangeTracking || !itsChangeId.empty())
        return true;

    const std::vector<std::string> anIds =
        changeIds(repofunchangetracking::getAffectedChanges(theObjects));
    const std::vector<ChangeEntry> aChanges =
        anIds.empty() ? std::vector<ChangeEntry>{} : repofunchangetracking::readChanges(anIds);
    if (isSet(params::getAffectedChanges)) {
        for (const std::string& anId : anIds)
            console::sayLine(anId);
        return false;
    }
    if (anIds.size() > 1) {
        std::string aList;
        for (const std::string& anId : anIds)
            aList += anId + "\n";
        throw Error("Activation failed: The objects are contained in more than one change:\n" +
                    aList);
    }
    if (anIds.size() == 1) {
        const bool aContributes =
            std::any_of(aChanges.begin(), aChanges.end(), [&](const ChangeEntry& theChange) {
                return theChange.itsChangeId == anIds.front() &&
                       isContributor(theChange, aConnection.getUserName());
            });
        if (!aContributes)
            throw Error("Activation failed: The objects are contained in precisely one change (\"" +
                        anIds.front() + "\"), but you are not one of the contributors.");
        itsChangeId = anIds.front();
    }
    return true;
}

void actionActivate::reportCheckResults(const ActivationResult& theResult) {
    KIVO_PERF_SCOPE("actionActivate::reportCheckResults()");
    const bool aVerbose = isSet(params::verbose);
    // The log gets every result, but is written only with --log.
    const bool aLogged = isSet(params::log);
    std::vector<std::string> aConflicts;
    for (const CheckResult& aCheck : theResult.itsCheckResults) {
        if (aLogged)
            respprinters::printCheckResult(aCheck, itsLog);
        if (aVerbose || aCheck.itsSeverity == "3")
            respprinters::printCheckResult(aCheck, itsOutput);
        if (isActivationConflict(aCheck))
            aConflicts.push_back(conflictPath(aCheck));
    }
    runstatistics::add(Statistic::activationConflicts,
                       static_cast<std::int64_t>(aConflicts.size()));
    if (aConflicts.empty() || isSet(params::noTips))
        return;
    std::string aText = "Activation conflicts:\n";
    for (const std::string& aPath : aConflicts)
        aText += "\t" + aPath + "\n";
    aText += "\nCall:\n\t* \"kivo checkout\".\n\n";
    itsOutput << aText;
    itsLog << aText;
}

bool actionActivate::reportOutcome(const ActivationResult& theResult) {
    const RepositoryErrorTriple& anError = theResult.itsError;
    const bool aSuccess = anError.itsCode == "0" || anError.itsCode == "40137" || itsMode == "4";
    if (aSuccess) {
        const std::string aLine =
            std::string("Successfully ") + (itsIsCheck ? "checked" : "activated") +
            " objects with activation ID " + theResult.itsActivationId + ".\n";
        if (isSet(params::verbose))
            itsOutput << aLine;
        itsLog << aLine;
        if (itsChangeTracking) {
            const std::string aChange = "Change: \"" + theResult.itsChangeId + "\"\n";
            itsOutput << aChange;
            itsLog << aChange;
        }
        return true;
    }
    // A request the repository refused before it began an activation carries no ID.
    std::string aLine =
        std::string("Failed to ") + (itsIsCheck ? "check" : "activate") + " objects" +
        (theResult.itsActivationId.empty() ? std::string()
                                           : " with activation ID " + theResult.itsActivationId) +
        ". Error " + anError.itsCode + ": " + anError.itsMessage;
    if (!anError.itsArgument.empty())
        aLine += ": " + anError.itsArgument;
    aLine += "\n";
    console::err() << aLine << std::flush;
    itsLog << aLine;
    exitstatus::fail();
    return false;
}

void actionActivate::retrieveMetaData(const std::vector<RepositoryObject>& theObjects) {
    KIVO_PERF_SCOPE("actionActivate::retrieveMetaData()");
    const bool aVerbose = isSet(params::verbose);
    if (aVerbose)
        itsOutput << "Retrieving meta data of activated objects...\n";
    WorkSpaceStatusFile& aStatus = workspace::get()->status();
    // The metadata read now is final for this run: its files go to disk while the reads go on.
    if (!isSet(params::simulate))
        workspace::get()->metaFiles().writeAhead();
    ProgressLine aProgress(theObjects.size());
    auto aRecord = [&](RepositoryObject& theObject, const ObjectMetaData& theMetaData) {
        theObject.setMetaData(theMetaData);
        theObject.setVersion({1, {}, {}, theMetaData.itsVersionId});
        objects::writeMetaFile(theObject);
        aStatus.setBaseVersion(theObject.workSpaceFileName(), theMetaData.itsVersionId);
        aProgress.advance();
        runstatistics::add(Statistic::activatedObjects);
    };
    // An activated deletion leaves no active version to read.
    std::vector<RepositoryObject> aToRead;
    for (const RepositoryObject& anActivated : theObjects) {
        if (aStatus.hasFile(anActivated.workSpaceFileName()) &&
            !anActivated.metaData().itsIsDeletion) {
            aToRead.push_back(anActivated);
            continue;
        }
        objects::deleteMetaFile(anActivated);
        aProgress.advance();
        runstatistics::add(Statistic::activatedObjects);
    }
    // One small read per object: the repository answers them in shared transactions, a batch
    // of reads at a time; a package activated in bulk is listed in one call instead.
    CallGroup aGroup(context().connection());
    const std::size_t aBatchSize = connection::callsTogether(kMetaDataBatch);
    const bool aSimulated = isSet(params::simulate);
    const auto aListed = aSimulated || aBatchSize == 1
                             ? std::unordered_map<std::string, ObjectMetaData>()
                             : listedmetadata::activeMetaData(aToRead, aStatus);
    std::vector<RepositoryObject> aBatch;
    auto aReadBatch = [&] {
        const std::vector<ObjectMetaData> aRead =
            aSimulated ? simulatedActive(aBatch) : repofunobjects::readActiveObjectMetaData(aBatch);
        for (std::size_t anIndex = 0; anIndex < aBatch.size(); ++anIndex)
            aRecord(aBatch[anIndex], aRead[anIndex]);
        aBatch.clear();
    };
    for (RepositoryObject& anObject : aToRead) {
        if (const auto aFound = aListed.find(anObject.key()); aFound != aListed.end()) {
            aRecord(anObject, aFound->second);
            continue;
        }
        aBatch.push_back(std::move(anObject));
        if (aBatch.size() >= aBatchSize)
            aReadBatch();
    }
    if (!aBatch.empty())
        aReadBatch();
    aGroup.end();
    if (aVerbose)
        itsOutput << "Successfully retrieved meta data of activated objects.\n";
}

// Each activation gets a log file of its own: the tick count makes the name new.
void actionActivate::writeLogFile() {
    const std::string aFileName =
        workspace::get()->logFileName("activation_" + std::to_string(sys::getTickCount()), "log");
    sys::writeFile(aFileName, itsLog.str());
    itsOutput << "Activation log file: \"" << aFileName << "\"\n";
}

} // namespace RepositoryAccess
