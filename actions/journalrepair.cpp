#include "actions/journalrepair.hpp"

#include <map>
#include <optional>

#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/hash.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess::journalrepair {

namespace {

// One journaled object with its local state.
struct Candidate {
    RepositoryObject itsObject;
    JournalEntry::Repair itsRepair;
    std::optional<sys::StampedContent> itsFile;
};

std::map<std::string, Candidate> candidatesOf(const std::vector<JournalEntry>& theEntries) {
    std::map<std::string, Candidate> aCandidates;
    for (const JournalEntry& anEntry : theEntries) {
        RepositoryObject anObject(anEntry.itsPackage, anEntry.itsName, anEntry.itsSuffix);
        auto [anIt, anInserted] = aCandidates.try_emplace(
            anObject.key(), Candidate{objects::withMetaFile(anObject), anEntry.itsRepair, {}});
        // A repository change outweighs a checkout of the same object.
        if (!anInserted && anEntry.itsRepair == JournalEntry::Repair::repository)
            anIt->second.itsRepair = anEntry.itsRepair;
    }
    for (auto& [aKey, aCandidate] : aCandidates)
        if (sys::fileExists(aCandidate.itsObject.workSpaceFileName()))
            aCandidate.itsFile = sys::readFileStamped(aCandidate.itsObject.workSpaceFileName());
    return aCandidates;
}

std::int32_t baseVersionOf(const ObjectMetaData& theMetaData) {
    return theMetaData.itsVersionId - (theMetaData.itsType == 2 ? 1 : 0);
}

// The repository's version of the object for this user: the inactive one of the user's
// repository workspace, else the active one; none when neither exists.
std::optional<RepositoryObject> repositoryVersion(const RepositoryObject& theObject) {
    const auto anInactive = repositorylistings::inactiveObjectsOf({theObject});
    if (!anInactive.empty()) {
        RepositoryObject aVersion = theObject;
        aVersion.setMetaData(anInactive.front().metaData());
        aVersion.setVersion(repositorylistings::inactiveVersionRecord());
        return aVersion;
    }
    if (!repofunobjects::existsObject(RepositorySession::active(), theObject))
        return std::nullopt;
    RepositoryObject aVersion = theObject;
    aVersion.setMetaData(repofunobjects::readActiveObjectMetaData(theObject));
    aVersion.setVersion({1, {}, {}, aVersion.metaData().itsVersionId});
    return aVersion;
}

// The content hash of each object's version, read in one batch.
std::map<std::string, std::string> contentHashes(const std::vector<RepositoryObject>& theObjects) {
    std::map<std::string, std::string> aHashes;
    if (theObjects.empty())
        return aHashes;
    const auto aContents = repofunobjects::readObjects(theObjects);
    for (std::size_t i = 0; i < aContents.size() && i < theObjects.size(); ++i)
        aHashes[theObjects[i].key()] = hash::calc(aContents[i].itsContent);
    return aHashes;
}

class Repair {
public:
    explicit Repair(const std::vector<JournalEntry>& theEntries)
        : itsCandidates(candidatesOf(theEntries)), itsStatus(workspace::get()->status()) {}

    void run() {
        std::vector<RepositoryObject> aToRead;
        for (auto& [aKey, aCandidate] : itsCandidates) {
            if (aCandidate.itsRepair == JournalEntry::Repair::repository) {
                itsRemote[aKey] = repositoryVersion(aCandidate.itsObject);
                if (itsRemote[aKey] && aCandidate.itsFile &&
                    !itsRemote[aKey]->metaData().itsIsDeletion)
                    aToRead.push_back(*itsRemote[aKey]);
            } else if (aCandidate.itsFile && aCandidate.itsObject.metaData().itsType != 0 &&
                       !aCandidate.itsObject.metaData().itsIsDeletion) {
                aToRead.push_back(aCandidate.itsObject);
            }
        }
        itsRemoteHashes = contentHashes(aToRead);
        for (auto& [aKey, aCandidate] : itsCandidates) {
            if (aCandidate.itsRepair == JournalEntry::Repair::repository)
                alignWithRepository(aCandidate, itsRemote[aKey]);
            else
                adoptCheckedOut(aCandidate);
        }
    }

private:
    bool equalsRemote(const Candidate& theCandidate, std::string& theHash) const {
        const auto aRemote = itsRemoteHashes.find(theCandidate.itsObject.key());
        if (!theCandidate.itsFile || aRemote == itsRemoteHashes.end())
            return false;
        theHash = hash::calc(*theCandidate.itsFile->itsBytes);
        return theHash == aRemote->second;
    }

    void alignWithRepository(const Candidate& theCandidate,
                             const std::optional<RepositoryObject>& theRemote) {
        const std::string& aFile = theCandidate.itsObject.workSpaceFileName();
        if (!theRemote && theCandidate.itsFile) {
            // The repository has no version of it (the run's writes were lost, or it reverted
            // a new object): the file is new again, whatever the run had recorded.
            objects::deleteMetaFile(theCandidate.itsObject);
            itsStatus.removeFile(aFile);
            return;
        }
        if (!theRemote || theRemote->metaData().itsIsDeletion) {
            if (theCandidate.itsFile)
                return;
            if (theRemote)
                objects::writeMetaFile(*theRemote);
            else
                objects::deleteMetaFile(theCandidate.itsObject);
            itsStatus.removeFile(aFile);
            return;
        }
        const std::int32_t aBase = baseVersionOf(theRemote->metaData());
        std::string aHash;
        if (equalsRemote(theCandidate, aHash)) {
            objects::writeMetaFile(*theRemote);
            itsStatus.setFileStatus(aFile, aHash, theCandidate.itsFile->itsTimestamp, aBase,
                                    theCandidate.itsFile->itsFileStat);
            return;
        }
        if (!itsStatus.hasFile(aFile))
            return;
        objects::writeMetaFile(*theRemote);
        // The entry describes the repository's version: a file that differs from it shows as
        // modified, whatever the interrupted run had recorded.
        const auto aRemoteHash = itsRemoteHashes.find(theCandidate.itsObject.key());
        if (aRemoteHash == itsRemoteHashes.end())
            itsStatus.setBaseVersion(aFile, aBase);
        else
            itsStatus.setFileStatus(aFile, aRemoteHash->second, itsStatus.getTimestamp(aFile),
                                    aBase);
    }

    void adoptCheckedOut(const Candidate& theCandidate) {
        const std::string& aFile = theCandidate.itsObject.workSpaceFileName();
        std::string aHash;
        if (!equalsRemote(theCandidate, aHash))
            return;
        if (itsStatus.hasFile(aFile) && itsStatus.getHash(aFile) == aHash)
            return;
        itsStatus.setFileStatus(aFile, aHash, theCandidate.itsFile->itsTimestamp,
                                baseVersionOf(theCandidate.itsObject.metaData()),
                                theCandidate.itsFile->itsFileStat);
    }

    std::map<std::string, Candidate> itsCandidates;
    WorkSpaceStatusFile& itsStatus;
    std::map<std::string, std::optional<RepositoryObject>> itsRemote;
    std::map<std::string, std::string> itsRemoteHashes;
};

} // namespace

void repair(const std::vector<JournalEntry>& theEntries) {
    console::progress("Finishing the work of an interrupted run (" +
                      std::to_string(theEntries.size()) + " journal entries)");
    Repair(theEntries).run();
}

} // namespace RepositoryAccess::journalrepair
