#include "repository/repofunobjects.hpp"

#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/json.hpp"
#include "core/parameters.hpp"
#include "core/utils.hpp"
#include "repository/respobjects.hpp"

namespace RepositoryAccess::repofunobjects {

using repofunbase::judge;
using repofunbase::send;
using repofunbase::sendTogether;

namespace {

// The schema version from which the repository reads many objects in one request.
constexpr std::int64_t kFirstBulkSchemaVersion = 38;

// "WIN" asks the repository for CRLF line ends; "LOCAL" and "UNIX" take the content as stored.
bool winFormat() {
    return getValue(params::lineEnd) == "WIN";
}

// Names each object that a listing left out, once per run (a run may list a package twice), and
// lets the run end with status 1: the listing it worked on is incomplete.
void reportRefusals(const ListObjectsResponse& theResponse) {
    static std::set<std::string> theReported;
    for (const std::string& aLine : theResponse.getRefusals())
        if (theReported.insert(aLine).second)
            console::refuse(aLine);
}

// The objects of a search's answer, judged as a search of active objects (theActive) or of
// inactive ones, for which an empty result (40132) is no failure.
std::vector<RepositoryObject> foundObjects(ListObjectsResponse theResponse, bool theActive) {
    if (theActive)
        judge(theResponse, "Failed to find objects (");
    else
        judge(theResponse, "Failed to list inactive objects (", {"0", "40132"});
    reportRefusals(theResponse);
    return theResponse.takeObjects();
}

std::string dotted(const RepositoryObject& theObject) {
    return theObject.name() + "." + theObject.suffix();
}

// The object with the version that its read group asks for.
RepositoryObject withGroupVersion(const RepositoryObject& theObject,
                                  const RepositorySession& theSession) {
    RepositoryObject anObject = theObject;
    switch (theObject.metaData().itsType) {
    case 1:
        anObject.setVersion({1, {}, {}, 0});
        break;
    case 2:
        anObject.setVersion({2, theSession.itsOwner, theSession.itsWorkSpace, 0});
        break;
    default:
        anObject.setVersion({3, {}, {}, theObject.metaData().itsVersionId});
        break;
    }
    return anObject;
}

// The error triple the repository attached to an object it could not read.
RepositoryErrorTriple objectError(const RepositoryObject& theObject) {
    const std::string& aText = theObject.error();
    json::JsonObject anError;
    json::JsonAllocator anAllocator;
    if (aText.empty() || !json::jsonParse(aText.data(), aText.size(), anError, anAllocator))
        return {{}, aText, {}};
    auto aMember = [&anError](std::string_view theKey) {
        return json::hasMember(anError, theKey) ? json::getString(anError, theKey) : std::string();
    };
    return {aMember("error-code"), aMember("error-msg"), aMember("error-arg")};
}

// "Failed to read objects (...)" with the count of objects read and one line per error object.
std::string bulkFailure(const ReadObjectsResponse& theResponse, std::size_t theRequested) {
    std::string aMessage =
        repofunbase::failureMessage("Failed to read objects (", repofunbase::tripleOf(theResponse));
    const auto& anErrors = theResponse.getErrorObjects();
    aMessage += "\nSuccessfuly read " + std::to_string(theResponse.getSuccessfulObjects().size()) +
                " of " + std::to_string(theRequested) + " objects.\nError objects (" +
                std::to_string(anErrors.size()) + "):";
    for (const RepositoryObject& anObject : anErrors)
        aMessage += "\n" + repofunbase::failureMessage(dotted(anObject), objectError(anObject));
    return aMessage + "\n";
}

// Checks that an attachment list holds one slot per object read.
void requireSlots(const std::vector<SharedString>& theSlots, std::size_t theExpected,
                  const char* theKind) {
    if (theSlots.size() != theExpected)
        throw Error(std::string("Not all objects attached as ") + theKind +
                    " to the Repository REST response (expected: " + std::to_string(theExpected) +
                    ", got: " + std::to_string(theSlots.size()) + ")");
}

// One read group: the objects of one metadata type with their places in the caller's list.
struct ReadGroup {
    RepositorySession itsSession;
    std::vector<RepositoryObject> itsObjects;
    std::vector<std::size_t> itsPlaces;
};

// Reads a group in one request and stores each content at its place.
void readBulk(const ReadGroup& theGroup, std::vector<std::optional<ObjectContent>>& theResults) {
    const std::size_t aCount = theGroup.itsObjects.size();
    auto aResponse = send<ReadObjectsResponse>(
        ReadObjectsRequest(theGroup.itsSession, theGroup.itsObjects, winFormat()));
    const auto& aSuccessful = aResponse.getSuccessfulObjects();
    if (aResponse.getErrorCode() != "0" || aSuccessful.size() != aCount)
        throw Error(bulkFailure(aResponse, aCount));
    const auto& aCData = aResponse.message().getCDataVec();
    const auto& aBData = aResponse.message().getBDataVec();
    requireSlots(aCData, aCount, "CDATA");
    requireSlots(aBData, aCount, "BDATA");
    for (std::size_t i = 0; i < aCount; ++i)
        theResults[theGroup.itsPlaces[i]] =
            ObjectContent{aSuccessful[i], slotContent(aSuccessful[i], *aCData[i], *aBData[i])};
}

// Reads a group one object at a time and stores each content at its place.
void readSingly(const ReadGroup& theGroup, std::vector<std::optional<ObjectContent>>& theResults) {
    for (std::size_t i = 0; i < theGroup.itsObjects.size(); ++i)
        theResults[theGroup.itsPlaces[i]] = readObject(
            theGroup.itsSession, withGroupVersion(theGroup.itsObjects[i], theGroup.itsSession));
}

} // namespace

std::string slotContent(const RepositoryObject& theObject, const std::string& theCData,
                        const std::string& theBData) {
    if (theCData.empty())
        return theBData;
    if (theObject.suffix() != "properties")
        return theCData;
    try {
        return utils::utf8ToLatin1(theCData);
    } catch (const Error& anError) {
        Error aFailure = anError;
        aFailure.addOuter("Could not convert CDATA of object " + theObject.toJson() +
                          " from UTF-8 to Latin-1");
        throw aFailure;
    }
}

ActivationResult activateObjects(const std::vector<RepositoryObject>& theObjects,
                                 const std::string& theActivationMode,
                                 const std::string& theChangeId) {
    auto aResponse = send<ActivateObjectsResponse>(ActivateObjectsRequest(
        repofunbase::defaultInactiveSession(), theObjects, theActivationMode, theChangeId));
    return {repofunbase::tripleOf(aResponse), aResponse.getActivationId(),
            aResponse.takeCheckResults(), aResponse.getChangeId()};
}

bool deleteObject(const RepositoryObject& theObject) {
    auto aResponse = send<DeleteObjectResponse>(
        DeleteObjectRequest(repofunbase::defaultInactiveSession(), theObject));
    judge(aResponse, "Failed to delete object " + dotted(theObject));
    return aResponse.getIsReverted() == "1";
}

bool existsObject(const RepositorySession& theSession, const RepositoryObject& theObject) {
    return send<ExistsObjectResponse>(ExistsObjectRequest(theSession, theObject)).exists();
}

std::vector<RepositoryObject> findObjects(const RepositorySession& theSession,
                                          const std::string& thePackage, const std::string& theName,
                                          const std::vector<std::string>& theList,
                                          ObjectSearchList theListKind) {
    return foundObjects(send<ListObjectsResponse>(FindObjectsRequest(
                            theSession, thePackage, theName, theList, theListKind)),
                        true);
}

std::vector<RepositoryObject> activeObjectsOfPackage(const std::string& thePackage) {
    return std::move(activeObjectsOfPackages({thePackage}).front());
}

std::vector<std::vector<RepositoryObject>>
activeObjectsOfPackages(const std::vector<std::string>& thePackages) {
    std::vector<FindObjectsRequest> aRequests;
    for (const std::string& aPackage : thePackages)
        aRequests.emplace_back(RepositorySession::active(), aPackage, "*");
    std::vector<std::vector<RepositoryObject>> anObjects;
    for (RepositoryMessage& anAnswer : sendTogether(aRequests)) {
        ListObjectsResponse aResponse(std::move(anAnswer));
        judge(aResponse, "Failed to find objects (");
        anObjects.push_back(aResponse.takeObjects());
    }
    return anObjects;
}

std::int64_t getNumberOfLatestVersion(const RepositorySession& theSession,
                                      const RepositoryObject& theObject) {
    auto aResponse = send<GetNumberOfLatestVersionResponse>(
        GetNumberOfLatestVersionRequest(theSession, theObject));
    judge(aResponse,
          "Failed to find out number of latest version of object \"" + dotted(theObject) + "\" (");
    return aResponse.getVersion();
}

std::vector<ObjectType> listAllObjectTypes(const std::string& theRestrict2DesignTimeOnly) {
    auto aResponse =
        send<ListAllObjectTypesResponse>(ListAllObjectTypesRequest(theRestrict2DesignTimeOnly));
    judge(aResponse, "Failed to list all object types (");
    return aResponse.getObjectTypes();
}

std::vector<HistoryEntry> listHistory(const RepositoryObject& theObject) {
    auto aResponse = send<ListHistoryResponse>(ListHistoryRequest(theObject));
    judge(aResponse, "Failed to list history (");
    return aResponse.getHistory();
}

std::vector<RepositoryObject> listInactiveObjects(const RepositorySession& theSession,
                                                  const std::string& thePackage,
                                                  const std::string& theName,
                                                  const std::vector<std::string>& theList,
                                                  ObjectSearchList theListKind) {
    return foundObjects(send<ListObjectsResponse>(ListInactiveObjectsRequest(
                            theSession, thePackage, theName, theList, theListKind)),
                        false);
}

std::vector<std::vector<RepositoryObject>>
searchObjects(const std::vector<ObjectSearch>& theSearches) {
    std::vector<std::unique_ptr<ObjectSearchRequest>> aRequests;
    std::vector<const RepositoryRequest*> aSent;
    for (const ObjectSearch& aSearch : theSearches) {
        if (aSearch.itsSession.isActive())
            aRequests.push_back(std::make_unique<FindObjectsRequest>(
                aSearch.itsSession, aSearch.itsPackage, aSearch.itsName, aSearch.itsList,
                aSearch.itsListKind));
        else
            aRequests.push_back(std::make_unique<ListInactiveObjectsRequest>(
                aSearch.itsSession, aSearch.itsPackage, aSearch.itsName, aSearch.itsList,
                aSearch.itsListKind));
        aSent.push_back(aRequests.back().get());
    }
    std::vector<RepositoryMessage> anAnswers = sendTogether(aSent);
    std::vector<std::vector<RepositoryObject>> anObjects;
    anObjects.reserve(anAnswers.size());
    for (std::size_t i = 0; i < anAnswers.size(); ++i)
        anObjects.push_back(foundObjects(ListObjectsResponse(std::move(anAnswers[i])),
                                         theSearches[i].itsSession.isActive()));
    return anObjects;
}

void pullInactiveObjects(const std::vector<RepositoryObject>& theObjects,
                         const std::string& theUser, const std::string& theWorkSpace) {
    auto aResponse = send<PullInactiveObjectsResponse>(PullInactiveObjectsRequest(
        repofunbase::defaultInactiveSession(), theObjects, theUser, theWorkSpace));
    judge(aResponse, "Failed to pull inactive objects (");
}

namespace {

ReadObjectMetadataRequest activeMetaDataRequest(const RepositoryObject& theObject) {
    RepositoryObject anObject = theObject;
    anObject.setVersion({1, {}, {}, 0});
    return ReadObjectMetadataRequest(RepositorySession::active(), std::move(anObject));
}

ObjectMetaData judgedActiveMetaData(const GetObjectResponse& theResponse) {
    judge(theResponse, "Failed to read active object meta data (");
    return theResponse.getMetaData();
}

} // namespace

ObjectMetaData readActiveObjectMetaData(const RepositoryObject& theObject) {
    return judgedActiveMetaData(send<GetObjectResponse>(activeMetaDataRequest(theObject)));
}

std::vector<ObjectMetaData>
readActiveObjectMetaData(const std::vector<RepositoryObject>& theObjects) {
    Connection& aConnection = connection::open();
    std::vector<Connection::PreparedCall> aCalls;
    aCalls.reserve(theObjects.size());
    for (const RepositoryObject& anObject : theObjects)
        aCalls.push_back(aConnection.prepareCall(activeMetaDataRequest(anObject)));
    std::vector<ObjectMetaData> aMetaData;
    aMetaData.reserve(theObjects.size());
    for (RepositoryMessage& aMessage : aConnection.callAll(std::move(aCalls)))
        aMetaData.push_back(judgedActiveMetaData(GetObjectResponse(std::move(aMessage))));
    return aMetaData;
}

ObjectMetaData readHistoricalObjectMetaData(const std::string& theTimestamp,
                                            const RepositoryObject& theObject) {
    auto aResponse = send<GetObjectResponse>(
        ReadObjectMetadataRequest(RepositorySession::historical(theTimestamp), theObject));
    judge(aResponse,
          "Failed to read historical (time stamp: " + theTimestamp +
              ") object meta data of object \"" + dotted(theObject) + "\" (",
          {"0", "40112"});
    if (aResponse.getErrorCode() == "40112") {
        ObjectMetaData aNone;
        aNone.itsType = 3;
        return aNone;
    }
    return aResponse.getMetaData();
}

ObjectMetaData readHistoricalObjectMetaData(const RepositoryObject& theObject,
                                            std::int32_t theVersionNr) {
    RepositoryObject anObject = theObject;
    anObject.setVersion({3, {}, {}, theVersionNr});
    auto aResponse = send<GetObjectResponse>(
        ReadObjectMetadataRequest(RepositorySession::active(), std::move(anObject)));
    judge(aResponse,
          "Failed to read historical (version number: " + std::to_string(theVersionNr) +
              ") object meta data of object \"" + dotted(theObject) + "\" (",
          {"0", "40132"});
    return aResponse.getMetaData();
}

ObjectMetaData readInactiveObjectMetaData(const RepositoryObject& theObject) {
    std::vector<RepositoryObject> aFound =
        listInactiveObjects(repofunbase::defaultInactiveSession(), theObject.package(),
                            theObject.name(), {theObject.suffix()});
    if (aFound.size() != 1)
        throw Error("Failed to read inactive object meta data. Exactly one inactive object " +
                    dotted(theObject) + " in package " + theObject.package() +
                    " expected, but found " + std::to_string(aFound.size()) +
                    " (possible reason: outdated Repository w/out support for number suffixes "
                    "such as \"1\").");
    return aFound.front().metaData();
}

ObjectContent readObject(const RepositorySession& theSession, const RepositoryObject& theObject) {
    auto aResponse = send<GetObjectResponse>(ReadObjectRequest(theSession, theObject, winFormat()));
    judge(aResponse, "Failed to read object \"" + dotted(theObject) + "\" (");
    const auto& aCData = aResponse.getCData();
    const auto& aBData = aResponse.getBData();
    RepositoryObject anObject = theObject;
    anObject.setMetaData(aResponse.getMetaData());
    if (aResponse.getVersion().itsVersionType != 0)
        anObject.setVersion(aResponse.getVersion());
    std::string aContent = slotContent(anObject, *aCData.front(), *aBData.front());
    return {std::move(anObject), std::move(aContent)};
}

std::vector<ObjectContent> readObjects(const std::vector<RepositoryObject>& theObjects) {
    std::vector<std::optional<ObjectContent>> aResults(theObjects.size());
    if (theObjects.empty())
        return {};
    ReadGroup anActive{RepositorySession::active(), {}, {}};
    ReadGroup anInactive{repofunbase::defaultInactiveSession(), {}, {}};
    ReadGroup aHistorical{RepositorySession::historical({}), {}, {}};
    for (std::size_t i = 0; i < theObjects.size(); ++i) {
        const RepositoryObject& anObject = theObjects[i];
        const int aType = anObject.metaData().itsType;
        KIVO_CHECK(aType >= 1 && aType <= 3,
                   "Cannot read object " + anObject.key() + " without repository metadata");
        ReadGroup& aGroup = aType == 1 ? anActive : aType == 2 ? anInactive : aHistorical;
        aGroup.itsObjects.push_back(anObject);
        aGroup.itsPlaces.push_back(i);
    }
    if (!aHistorical.itsObjects.empty())
        aHistorical.itsSession.itsTimestamp =
            aHistorical.itsObjects.front().metaData().itsActivatedAt;

    const bool aBulk =
        repofunbase::getDBSchemaVersion() >= kFirstBulkSchemaVersion && !isSet(params::noBulkRead);
    for (const ReadGroup* aGroup : {&anActive, &anInactive}) {
        if (aGroup->itsObjects.empty())
            continue;
        if (aBulk)
            readBulk(*aGroup, aResults);
        else
            readSingly(*aGroup, aResults);
    }
    readSingly(aHistorical, aResults);

    std::vector<ObjectContent> aContents;
    aContents.reserve(aResults.size());
    for (std::optional<ObjectContent>& aResult : aResults)
        aContents.push_back(std::move(*aResult));
    return aContents;
}

void revertObjects(const std::vector<RepositoryObject>& theObjects) {
    auto aResponse = send<RevertObjectsResponse>(
        RevertObjectsRequest(repofunbase::defaultInactiveSession(), theObjects));
    judge(aResponse, "Failed to revert objects (");
}

namespace {

ObjectMetaData judgedWrite(const RepositoryObject& theObject, RepositoryMessage theAnswer) {
    WriteObjectResponse aResponse(std::move(theAnswer));
    judge(aResponse, "Failed to write object " + dotted(theObject));
    return aResponse.getMetaData();
}

} // namespace

ObjectWrite prepareWriteObject(const RepositoryObject& theObject, SharedString theContent,
                               bool theIsBinary) {
    // The request goes with this statement: a caller that moved the content in leaves the frame
    // as its only copy while the repository stores it.
    return {theObject, connection::open().prepareCall(
                           WriteObjectRequest(repofunbase::defaultInactiveSession(), theObject,
                                              std::move(theContent), theIsBinary))};
}

ObjectMetaData writeObject(const RepositoryObject& theObject, SharedString theContent,
                           bool theIsBinary) {
    ObjectWrite aWrite = prepareWriteObject(theObject, std::move(theContent), theIsBinary);
    return judgedWrite(aWrite.itsObject, connection::open().call(std::move(aWrite.itsCall)));
}

namespace {

std::vector<Connection::PreparedCall> callsOf(std::vector<ObjectWrite>& theWrites) {
    std::vector<Connection::PreparedCall> aCalls;
    aCalls.reserve(theWrites.size());
    for (ObjectWrite& aWrite : theWrites)
        aCalls.push_back(std::move(aWrite.itsCall));
    return aCalls;
}

void judgeWrites(const std::vector<ObjectWrite>& theWrites,
                 std::vector<RepositoryMessage> theAnswers,
                 const std::function<void(std::size_t, const ObjectMetaData&)>& theWritten) {
    for (std::size_t anIndex = 0; anIndex < theAnswers.size(); ++anIndex)
        theWritten(anIndex,
                   judgedWrite(theWrites[anIndex].itsObject, std::move(theAnswers[anIndex])));
}

} // namespace

void writeObjects(std::vector<ObjectWrite> theWrites,
                  const std::function<void(std::size_t, const ObjectMetaData&)>& theWritten) {
    judgeWrites(theWrites, connection::open().callAll(callsOf(theWrites)), theWritten);
}

void WritesOnTheirWay::send(std::vector<ObjectWrite> theWrites) {
    KIVO_CHECK(itsSent.empty(), "The writes sent before have not arrived yet");
    connection::open().sendAll(callsOf(theWrites));
    itsSent = std::move(theWrites);
}

void WritesOnTheirWay::arrive() {
    if (itsSent.empty())
        return;
    KIVO_CHECK(itsArrived.empty(), "The writes that arrived before were not judged yet");
    itsAnswers = connection::open().collect();
    itsArrived = std::exchange(itsSent, {});
}

void WritesOnTheirWay::judge(
    const std::function<void(std::size_t, const ObjectMetaData&)>& theWritten) {
    std::vector<ObjectWrite> aWrites = std::exchange(itsArrived, {});
    judgeWrites(aWrites, std::exchange(itsAnswers, {}), theWritten);
}

} // namespace RepositoryAccess::repofunobjects
