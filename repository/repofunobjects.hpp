#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "repository/repofunbase.hpp"
#include "repository/reqobjects.hpp"
#include "workspace/objects.hpp"

// The repository functions on objects: activation, deletion, searches, metadata, history,
// reading, writing, reverting and pulling.
namespace RepositoryAccess {

// What an activation answered; the activate action judges it.
struct ActivationResult {
    RepositoryErrorTriple itsError;
    std::string itsActivationId;
    std::vector<CheckResult> itsCheckResults;
    std::string itsChangeId;
};

// An object as read from the repository: the object (with the metadata the repository sent) and
// its content.
struct ObjectContent {
    RepositoryObject itsObject;
    std::string itsContent;
};

namespace repofunobjects {

// Activates the inactive versions of theObjects in the default inactive session. The error
// triple is handed back, not judged.
ActivationResult activateObjects(const std::vector<RepositoryObject>& theObjects,
                                 const std::string& theActivationMode,
                                 const std::string& theChangeId);

// Deletes an object in the default inactive session; true when the repository only dropped an
// inactive version ("isReverted" "1").
bool deleteObject(const RepositoryObject& theObject);

// Whether the object exists in theSession; the error code is not judged.
bool existsObject(const RepositorySession& theSession, const RepositoryObject& theObject);

// The active objects of one package with their metadata, in one call. Objects whose names
// cannot be workspace files are left out without a word: the caller looks for its own files.
std::vector<RepositoryObject> activeObjectsOfPackage(const std::string& thePackage);
// The same for each of thePackages, asked together.
std::vector<std::vector<RepositoryObject>>
activeObjectsOfPackages(const std::vector<std::string>& thePackages);

// The objects of theSession that match the package and name patterns, restricted by theList.
std::vector<RepositoryObject>
findObjects(const RepositorySession& theSession, const std::string& thePackage,
            const std::string& theName, const std::vector<std::string>& theList = {},
            ObjectSearchList theListKind = ObjectSearchList::suffixes);

// One search of searchObjects: the objects of itsSession that match the package and name
// patterns, restricted by itsList. A search in the active session finds them, as findObjects
// does; one in an inactive session lists them, as listInactiveObjects does.
struct ObjectSearch {
    RepositorySession itsSession;
    std::string itsPackage;
    std::string itsName;
    std::vector<std::string> itsList = {};
    ObjectSearchList itsListKind = ObjectSearchList::suffixes;
};
// The answers of theSearches, in their order, each judged as findObjects or listInactiveObjects
// judges it: the searches go to the repository together, in one round trip to a server.
std::vector<std::vector<RepositoryObject>>
searchObjects(const std::vector<ObjectSearch>& theSearches);

// The number of the object's latest activated version (0 when never activated).
std::int64_t getNumberOfLatestVersion(const RepositorySession& theSession,
                                      const RepositoryObject& theObject);

// The object types the repository knows.
std::vector<ObjectType> listAllObjectTypes(const std::string& theRestrict2DesignTimeOnly);

// The activated versions of the object.
std::vector<HistoryEntry> listHistory(const RepositoryObject& theObject);

// The inactive objects of theSession that match; an empty result (code 40132) is no failure.
std::vector<RepositoryObject>
listInactiveObjects(const RepositorySession& theSession, const std::string& thePackage,
                    const std::string& theName, const std::vector<std::string>& theList = {},
                    ObjectSearchList theListKind = ObjectSearchList::suffixes);

// Moves the inactive versions of theObjects from theUser's workspace theWorkSpace into the
// default inactive session.
void pullInactiveObjects(const std::vector<RepositoryObject>& theObjects,
                         const std::string& theUser, const std::string& theWorkSpace);

// The metadata of the object's active version.
ObjectMetaData readActiveObjectMetaData(const RepositoryObject& theObject);
// The metadata of the active version of each of theObjects, in their order; the reads go to the
// repository together, and the first that fails throws as the read of its object alone would.
std::vector<ObjectMetaData>
readActiveObjectMetaData(const std::vector<RepositoryObject>& theObjects);

// The metadata of the object's version that was active at theTimestamp; without one (40112) a
// historical record with empty values.
ObjectMetaData readHistoricalObjectMetaData(const std::string& theTimestamp,
                                            const RepositoryObject& theObject);

// The metadata of the object's historical version theVersionNr; a missing one (40132) gives the
// answer's (empty) metadata.
ObjectMetaData readHistoricalObjectMetaData(const RepositoryObject& theObject,
                                            std::int32_t theVersionNr);

// The metadata of the object's inactive version in the default inactive session; fails unless
// exactly one inactive object of that name exists.
ObjectMetaData readInactiveObjectMetaData(const RepositoryObject& theObject);

// The content and metadata of the object's version in theSession.
ObjectContent readObject(const RepositorySession& theSession, const RepositoryObject& theObject);

// The contents of many objects, in the order of theObjects. Each object's metadata type (1, 2,
// 3) selects the active, default inactive or historical session; active and inactive groups are
// read in one request each when the schema version is above 37 and `noBulkRead` is not set,
// otherwise, like the historical group always, one object at a time.
std::vector<ObjectContent> readObjects(const std::vector<RepositoryObject>& theObjects);

// Drops the inactive versions of theObjects from the default inactive session.
void revertObjects(const std::vector<RepositoryObject>& theObjects);

// Writes theContent as the object's inactive version in the default inactive session, based on
// the object's metadata; returns the new inactive metadata.
ObjectMetaData writeObject(const RepositoryObject& theObject, SharedString theContent,
                           bool theIsBinary = false);

// One write of writeObject, prepared to go with others: the request became its frame, which
// holds the content from now on.
struct ObjectWrite {
    RepositoryObject itsObject;
    Connection::PreparedCall itsCall;
};
ObjectWrite prepareWriteObject(const RepositoryObject& theObject, SharedString theContent,
                               bool theIsBinary = false);
// Sends theWrites to the repository together and, in their order, judges each answer as
// writeObject does and hands its new inactive metadata to theWritten with the write's index. A
// refused write throws after the writes before it were handed over.
void writeObjects(std::vector<ObjectWrite> theWrites,
                  const std::function<void(std::size_t, const ObjectMetaData&)>& theWritten);

// The writes of writeObjects in three steps, so that the run prepares its next writes and
// records the ones before while the repository makes these: send() starts them (on a server
// they travel while the run goes on), arrive() waits for their answers, and judge() judges
// them as writeObjects does. Writes are sent only after the ones before have arrived.
class WritesOnTheirWay {
public:
    void send(std::vector<ObjectWrite> theWrites);
    // Waits for the answers of the writes sent, if any.
    void arrive();
    // Judges the answers that arrived, in order; throws at the first refused write.
    void judge(const std::function<void(std::size_t, const ObjectMetaData&)>& theWritten);

private:
    std::vector<ObjectWrite> itsSent;
    std::vector<ObjectWrite> itsArrived;
    std::vector<RepositoryMessage> itsAnswers;
};

// The content of one attachment slot: its CDATA when not empty, else its BDATA; a "properties"
// object's CDATA is turned from UTF-8 into Latin-1. Fails with "Could not convert CDATA of
// object <descriptor> from UTF-8 to Latin-1" around the conversion's message.
std::string slotContent(const RepositoryObject& theObject, const std::string& theCData,
                        const std::string& theBData);

} // namespace repofunobjects
} // namespace RepositoryAccess
