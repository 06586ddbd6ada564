#include "actions/checkoutengine.hpp"

#include <algorithm>
#include <cstddef>

#include "repository/repofunobjects.hpp"
#include "repository/reposession.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess::checkoutversions {

std::int32_t versionNumber(const RepositoryObject& theObject) {
    return theObject.metaData().itsVersionId;
}

RepositoryObject noVersionRecord(const RepositoryObject& theObject) {
    RepositoryObject aRecord(theObject.package(), theObject.name(), theObject.suffix());
    ObjectMetaData aMeta;
    aMeta.itsType = 3;
    aMeta.itsIsDeletion = true;
    aRecord.setMetaData(aMeta);
    aRecord.setVersion({3, {}, {}, 0});
    return aRecord;
}

RepositoryObject historicalRecord(const RepositoryObject& theObject, std::int32_t theVersionNr) {
    if (theVersionNr <= 0)
        return noVersionRecord(theObject);
    RepositoryObject aRecord(theObject.package(), theObject.name(), theObject.suffix());
    ObjectMetaData aMeta = repofunobjects::readHistoricalObjectMetaData(theObject, theVersionNr);
    aMeta.itsType = 3;
    aMeta.itsVersionId = theVersionNr;
    aRecord.setMetaData(aMeta);
    aRecord.setVersion({3, {}, {}, theVersionNr});
    return aRecord;
}

bool isDeletion(const RepositoryObject& theObject) {
    const ObjectMetaData& aMeta = theObject.metaData();
    return (aMeta.itsType == 2 || aMeta.itsType == 3) && aMeta.itsIsDeletion;
}

ObjectMap localObjects(const PathSet& theFiles) {
    ObjectMap aMap;
    for (const std::string& aFile : theFiles) {
        RepositoryObject anObject = objects::fromWorkSpaceFile(aFile);
        aMap.emplace(anObject.key(), std::move(anObject));
    }
    return aMap;
}

RepositoryObject baseVersionOf(const RepositoryObject& theLocal, const ObjectMap& theActive) {
    const ObjectMetaData& aLocal = theLocal.metaData();
    const bool aHasOwnVersion = aLocal.itsVersionId > 0 &&
                                (aLocal.itsType == 1 || aLocal.itsType == 2 || aLocal.itsType == 3);
    if (aHasOwnVersion) {
        const std::int32_t aNumber =
            aLocal.itsType == 2 ? aLocal.itsVersionId - 1 : aLocal.itsVersionId;
        const auto anActive = theActive.find(theLocal.key());
        if (anActive != theActive.end() && anActive->second.metaData().itsType == 1 &&
            versionNumber(anActive->second) == aNumber)
            return anActive->second;
        return historicalRecord(theLocal, aNumber);
    }
    const auto anActive = theActive.find(theLocal.key());
    if (anActive != theActive.end() && anActive->second.metaData().itsType == 1)
        return anActive->second;
    const auto aLatest = static_cast<std::int32_t>(
        repofunobjects::getNumberOfLatestVersion(RepositorySession::active(), theLocal));
    RepositoryObject aRecord = historicalRecord(theLocal, aLatest);
    if (aLatest > 0) {
        ObjectMetaData aMeta = aRecord.metaData();
        aMeta.itsIsDeletion = true;
        aRecord.setMetaData(aMeta);
    }
    return aRecord;
}

RepositoryObject versionAt(const std::string& theTimestamp, const RepositoryObject& theObject) {
    const ObjectMetaData aMeta =
        repofunobjects::readHistoricalObjectMetaData(theTimestamp, theObject);
    if (aMeta.itsVersionId <= 0)
        return noVersionRecord(theObject);
    RepositoryObject aRecord(theObject.package(), theObject.name(), theObject.suffix());
    ObjectMetaData aHistorical = aMeta;
    aHistorical.itsType = 3;
    aRecord.setMetaData(aHistorical);
    aRecord.setVersion({3, {}, {}, aMeta.itsVersionId});
    return aRecord;
}

std::map<std::string, std::string>
readContents(const std::vector<const RepositoryObject*>& theObjects) {
    // The historical group of one read shares a single timestamp, so historical versions are
    // read in one group per activation time. The groups point at the caller's objects: a
    // checkout of 100,000 objects copies only the part being read.
    std::vector<const RepositoryObject*> aCurrent;
    std::map<std::string, std::vector<const RepositoryObject*>> aHistorical;
    for (const RepositoryObject* anObject : theObjects) {
        if (anObject->metaData().itsType == 3)
            aHistorical[anObject->metaData().itsActivatedAt].push_back(anObject);
        else
            aCurrent.push_back(anObject);
    }
    std::map<std::string, std::string> aContents;
    // At most kObjectsPerRead objects a request: the answer of one read is held several times
    // over while it is taken apart, and 100,000 objects at once would take a gigabyte.
    constexpr std::size_t kObjectsPerRead = 1000;
    auto aRead = [&](const std::vector<const RepositoryObject*>& theGroup) {
        for (std::size_t aStart = 0; aStart < theGroup.size(); aStart += kObjectsPerRead) {
            std::vector<RepositoryObject> aPart;
            for (std::size_t i = aStart; i < std::min(theGroup.size(), aStart + kObjectsPerRead);
                 ++i)
                aPart.push_back(*theGroup[i]);
            std::vector<ObjectContent> aRead = repofunobjects::readObjects(aPart);
            for (std::size_t i = 0; i < aPart.size() && i < aRead.size(); ++i)
                aContents[aPart[i].workSpaceFileName()] = std::move(aRead[i].itsContent);
        }
    };
    if (!aCurrent.empty())
        aRead(aCurrent);
    for (const auto& aGroup : aHistorical)
        aRead(aGroup.second);
    return aContents;
}

std::map<std::string, std::string> readContents(const std::vector<RepositoryObject>& theObjects) {
    std::vector<const RepositoryObject*> anObjects;
    anObjects.reserve(theObjects.size());
    for (const RepositoryObject& anObject : theObjects)
        anObjects.push_back(&anObject);
    return readContents(anObjects);
}

std::optional<LocalFileState> identicalFile(const std::string& theFile,
                                            const std::string& theContent) {
    if (!sys::fileExists(theFile) || sys::getFileSize(theFile) != theContent.size())
        return std::nullopt;
    const sys::StampedContent aRead = sys::readFileStamped(theFile, false);
    if (*aRead.itsBytes != theContent)
        return std::nullopt;
    return LocalFileState{hash::calc(theContent), aRead.itsTimestamp, aRead.itsFileStat};
}

std::vector<std::pair<RepositoryObject, LocalFileState>>
takeIdentical(std::vector<Candidate>& theCandidates,
              std::map<std::string, std::string>& theContents) {
    std::vector<const RepositoryObject*> aToRead;
    for (const Candidate& aCandidate : theCandidates)
        if (!isDeletion(aCandidate.itsRemote))
            aToRead.push_back(&aCandidate.itsRemote);
    theContents = readContents(aToRead);
    std::vector<std::pair<RepositoryObject, LocalFileState>> anIdentical;
    std::vector<Candidate> aDiffering;
    for (Candidate& aCandidate : theCandidates) {
        const auto aContent = theContents.find(aCandidate.itsRemote.workSpaceFileName());
        auto aState = aContent == theContents.end()
                          ? std::nullopt
                          : identicalFile(aContent->first, aContent->second);
        if (aState)
            anIdentical.emplace_back(std::move(aCandidate.itsRemote), std::move(*aState));
        else
            aDiffering.push_back(std::move(aCandidate));
    }
    theCandidates = std::move(aDiffering);
    return anIdentical;
}

} // namespace RepositoryAccess::checkoutversions
