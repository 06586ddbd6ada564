#include "actions/actioncommit.hpp"

#include <map>
#include <utility>

#include "actions/commitdecision.hpp"
#include "actions/pushresolution.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/interrupt.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/progressline.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/connection.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

bool hasInactiveVersion(const RepositoryObject& theObject) {
    return !repositorylistings::inactiveObjectsOf({theObject}).empty();
}

// A simulated write answer carries no metadata; this stand-in for the inactive version the
// repository would create lets the simulated run show the metadata write it would do.
ObjectMetaData simulatedInactive(const RepositoryObject& theObject, bool theIsDeletion) {
    return commitdecision::simulatedInactive(theObject.metaData(), theIsDeletion);
}

// The writes of a commit go to the repository this many, or this many bytes of content, at a
// time: together they cost one round trip to a server.
constexpr std::size_t kQueuedWrites = 100;
constexpr std::size_t kQueuedBytes = std::size_t{4} << 20;

std::string quoted(const std::string& thePath) {
    return "\"" + thePath + "\"";
}

} // namespace

// The status calculation already left out every file reached through a symbolic link; a file
// that became one since is not followed by the read (ReadAhead).
PathSet actionCommit::committable(const PathSet& theFiles) {
    const std::string aRoot = workspace::get()->srcDirName();
    PathSet aKept;
    for (const auto& aFile : theFiles) {
        std::string aReason;
        if (aFile.find('\\', aRoot.size()) != std::string::npos) {
            aReason = "a backslash cannot be part of a repository object's name";
        } else {
            try {
                itsObjects.emplace(aFile, objects::nameOfWorkSpaceFile(aFile));
            } catch (const Error& anError) {
                aReason = anError.what(); // the message of the name check
            }
        }
        if (aReason.empty())
            aKept.push_back(aFile);
        else
            console::refuse("Cannot commit file " + quoted(aFile) + ": " + aReason + ".");
    }
    return aKept;
}

// The object of a file, no longer kept: each file is committed once, and a commit of 100,000
// files gives the memory back for the activation that follows.
RepositoryObject actionCommit::takeObjectOf(const std::string& theFile) {
    auto aNode = itsObjects.extract(theFile);
    return aNode ? std::move(aNode.mapped()) : objects::nameOfWorkSpaceFile(theFile);
}

std::vector<JournalEntry> actionCommit::journalEntries() const {
    std::vector<JournalEntry> anEntries;
    auto anAdd = [&](const RepositoryObject& theObject) {
        anEntries.push_back({theObject.package(), theObject.name(), theObject.suffix(),
                             JournalEntry::Repair::repository});
    };
    for (const PathSet* aFiles : {&itsNew, &itsModified, &itsDeleted})
        for (const auto& aFile : *aFiles) {
            if (const auto aKept = itsObjects.find(aFile); aKept != itsObjects.end())
                anAdd(aKept->second);
            else
                anAdd(objects::nameOfWorkSpaceFile(aFile));
        }
    return anEntries;
}

void actionCommit::execute() {
    KIVO_PERF_SCOPE("actionCommit::execute()");
    const ActionScope aScope = actionscope::fromParameters();
    computeStatus(aScope);
    itsNew = committable(itsNew);
    itsModified = committable(itsModified);

    if (pushresolution::leaveConflictsToPush(!itsConflicted.empty(), "Commit", "committed"))
        return;
    if (nothingToCommit()) {
        console::sayLine("Nothing to commit.");
        return;
    }
    if (!itsNew.empty() || !itsModified.empty())
        readBinarySuffixes();
    // Thousands of small writes: the repository makes them durable together, not one by one;
    // the packages they need are created in the same transactions.
    CallGroup aGroup(context().connection());
    createPackages();
    workspace::get()->recordJournal(journalEntries());
    ProgressLine aProgress(itsNew.size() + itsModified.size() + itsDeleted.size());
    auto aStep = [&aProgress] {
        interrupt::check();
        aProgress.advance();
    };
    std::vector<const std::string*> aWritten;
    aWritten.reserve(itsNew.size() + itsModified.size());
    for (const PathSet* aSet : {&itsNew, &itsModified})
        for (const auto& aFile : *aSet)
            aWritten.push_back(&aFile);
    ReadAhead aReadAhead(aWritten);
    for (const std::string* aFile : aWritten) {
        aStep();
        commitFile(*aFile, aReadAhead.take());
    }
    finishWrites();
    for (const auto& aFile : itsDeleted) {
        aStep();
        commitDeletion(aFile);
    }
    aGroup.end();
}

void actionCommit::computeStatus(const ActionScope& theScope) {
    KIVO_PERF_SCOPE("actionCommit::computeStatus()");
    if (theScope.itsInactiveObjects) {
        merge(Status(repositorylistings::inactiveObjectsOfPackages({}), false, false));
        return;
    }
    if (!theScope.itsPackages.empty())
        merge(Status(theScope.itsPackages, theScope.itsRecursive, false, false));
    if (!theScope.itsObjects.empty())
        merge(Status(theScope.itsObjects, false, false));
}

void actionCommit::merge(const Status& theStatus) {
    itsConflicted = pathset::unite(itsConflicted, theStatus.conflicted());
    itsNew = pathset::unite(itsNew, theStatus.newFiles());
    itsModified = pathset::unite(itsModified, theStatus.modified());
    itsDeleted = pathset::unite(itsDeleted, theStatus.deleted());
    itsNewDirectories = pathset::unite(itsNewDirectories, theStatus.newDirectories());
}

bool actionCommit::nothingToCommit() const {
    return itsNew.empty() && itsModified.empty() && itsDeleted.empty() && itsNewDirectories.empty();
}

// The repository lists every object type; all of them are asked for, not only the design-time
// ones, so that no binary suffix is missed.
void actionCommit::readBinarySuffixes() {
    for (const ObjectType& aType : repofunobjects::listAllObjectTypes("0"))
        if (aType.itsIsFileType == "1" || textcase::equalsIgnoringCase(aType.itsIsFileType, "true"))
            itsBinarySuffixes.insert(aType.itsObjectType);
}

// The workspace directory itself is no package; its files belong to the root, which exists.
void actionCommit::createPackages() {
    KIVO_PERF_SCOPE("actionCommit::createPackages()");
    const bool anInherit = !isSet(params::noInherit);
    std::vector<std::string> aPackages;
    for (const auto& aDirectory : itsNewDirectories) {
        const std::string aPackage = workspace::normalizePackage(aDirectory + "/");
        if (aPackage.empty())
            continue;
        workspace::packageToDirectory(aPackage); // refuses the settings folder and `..`
        aPackages.push_back(aPackage);
    }
    if (aPackages.empty())
        return;
    const std::vector<bool> anExists = repofunpackages::existPackages(aPackages);
    std::vector<std::string> aMissing;
    for (std::size_t anIndex = 0; anIndex < aPackages.size(); ++anIndex)
        if (!anExists[anIndex])
            aMissing.push_back(aPackages[anIndex]);
    if (aMissing.empty())
        return;
    repofunpackages::createPackages(aMissing, anInherit);
    for (const std::string& aPackage : aMissing) {
        runstatistics::add(Statistic::createdPackages);
        console::progress("Created package: " + aPackage);
    }
}

void actionCommit::commitFile(const std::string& theFile, ReadAhead::Content theContent) {
    KIVO_PERF_SCOPE("actionCommit::commitFile()");
    RepositoryObject anObject = objects::withMetaFile(takeObjectOf(theFile));
    // A new version builds on the active one: an inactive version beside it goes first.
    if (commitdecision::hasActivatedVersion(anObject.metaData()) && hasInactiveVersion(anObject))
        repofunobjects::revertObjects({anObject});

    sys::StampedContent& aRead = theContent.itsRead;
    const bool aBinary = itsBinarySuffixes.contains(anObject.suffix());
    itsQueuedBytes += aRead.itsBytes ? aRead.itsBytes->size() : 0;
    // The content moves into the request, so that a large file is not held twice.
    itsWrites.push_back(
        repofunobjects::prepareWriteObject(anObject, std::move(aRead.itsBytes), aBinary));
    itsQueued.push_back({theFile, std::move(anObject), std::move(theContent.itsHash),
                         std::move(aRead.itsTimestamp), std::move(aRead.itsFileStat)});
    if (itsQueued.size() >= connection::callsTogether(kQueuedWrites) ||
        itsQueuedBytes >= kQueuedBytes)
        flushWrites();
}

void actionCommit::flushWrites() {
    KIVO_PERF_SCOPE("actionCommit::flushWrites()");
    std::vector<QueuedFile> anArrived = arriveWrites();
    itsSentFiles = std::exchange(itsQueued, {});
    itsQueuedBytes = 0;
    if (!itsWrites.empty())
        itsSent.send(std::exchange(itsWrites, {}));
    recordWrites(anArrived);
}

void actionCommit::finishWrites() {
    flushWrites();
    std::vector<QueuedFile> aLast = arriveWrites();
    recordWrites(aLast);
}

std::vector<actionCommit::QueuedFile> actionCommit::arriveWrites() {
    itsSent.arrive();
    return std::exchange(itsSentFiles, {});
}

void actionCommit::recordWrites(std::vector<QueuedFile>& theFiles) {
    auto aRecord = [&theFiles](std::size_t theIndex, const ObjectMetaData& theMetaData) {
        QueuedFile& aFile = theFiles[theIndex];
        RepositoryObject& anObject = aFile.itsObject;
        ObjectMetaData aMetaData = theMetaData;
        if (isSet(params::simulate) && aMetaData.itsType == 0)
            aMetaData = simulatedInactive(anObject, false);
        anObject.setMetaData(aMetaData);
        anObject.setVersion(repositorylistings::inactiveVersionRecord());
        objects::writeMetaFile(anObject);
        workspace::get()->status().setFileStatus(aFile.itsFile, aFile.itsHash, aFile.itsTimestamp,
                                                 aMetaData.itsVersionId - 1, aFile.itsFileStat);
        runstatistics::add(Statistic::committedFiles);
        console::progress("Committed file: " + quoted(anObject.workSpaceFileName()));
    };
    itsSent.judge(aRecord);
}

void actionCommit::commitDeletion(const std::string& theFile) {
    KIVO_PERF_SCOPE("actionCommit::commitDeletion()");
    RepositoryObject anObject = objects::fromWorkSpaceFile(theFile);
    const std::string aPath = quoted(anObject.workSpaceFileName());
    bool anInactive = false;
    bool anActive = false;
    if (commitdecision::hasActivatedVersion(anObject.metaData())) {
        anInactive = hasInactiveVersion(anObject);
        anActive = repofunobjects::existsObject(RepositorySession::active(), anObject);
    }
    const commitdecision::DeletionPlan aPlan =
        commitdecision::planDeletion(anObject.metaData(), anInactive, anActive);
    if (aPlan.itsRevertFirst)
        repofunobjects::revertObjects({anObject});

    if (aPlan.itsActivelyDeleted) {
        objects::deleteMetaFile(anObject);
        runstatistics::add(Statistic::committedFiles);
        console::sayLine("Committed file deletion (but no inactive object created as the object "
                         "is actively deleted): " +
                         aPath);
    } else if (repofunobjects::deleteObject(anObject)) {
        objects::deleteMetaFile(anObject);
        runstatistics::add(Statistic::revertedObjects);
        console::progress("There is no active version. Reverted inactive object: " + aPath);
    } else {
        // The deletion answer carries no metadata: the new inactive deletion is read back. A
        // simulated deletion left nothing to read.
        anObject.setMetaData(isSet(params::simulate)
                                 ? simulatedInactive(anObject, true)
                                 : repofunobjects::readInactiveObjectMetaData(anObject));
        anObject.setVersion(repositorylistings::inactiveVersionRecord());
        objects::writeMetaFile(anObject);
        runstatistics::add(Statistic::committedFiles);
        console::progress("Committed file deletion: " + aPath);
    }
    workspace::get()->status().removeFile(theFile);
}

} // namespace RepositoryAccess
