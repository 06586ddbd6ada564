#pragma once

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "server/answer.hpp"
#include "server/repositorystore.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// Everything one operation works with: the store inside the request's transaction, the
// request body and frame, the connected user and the answer being built.
struct Operation {
    RepositoryStore& itsStore;
    const json::JsonObject& itsBody;
    const MessageView& itsMessage; // the request frame's fields, read in place
    const std::string& itsUser;
    Answer& itsAnswer;
};

// The session a request works in: 1 active, 2 inactive (owner, workspace), 4 historical.
struct Session {
    int itsType = 1;
    std::string itsOwner, itsWorkspace, itsTimestamp;
};

// The version a read names: 1 active, 2 inactive (owner, workspace), 3 history number.
struct VersionRef {
    int itsType = 1;
    std::string itsOwner, itsWorkspace;
    std::int64_t itsNumber = 0;
};

// The version a writer's metadata names: its type (0 when none) and version id.
struct MetadataRef {
    int itsType = 0;
    std::int64_t itsVersionId = 0;
};

// Request readers. Missing or malformed members raise Error (answered as 40130), invalid
// values raise EngineError 40130 with a message naming the member.
std::string member(const json::JsonObject& theObject, std::string_view theName);
std::string optionalMember(const json::JsonObject& theObject, std::string_view theName);
bool flagMember(const json::JsonObject& theObject, std::string_view theName);
std::int64_t numberText(std::string_view theText, std::string_view theWhat);
Session readSession(const json::JsonObject& theBody);
ObjectKey readObjectKey(const json::JsonObject& theObject);
std::vector<ObjectKey> readObjectKeyList(const json::JsonObject& theBody, std::string_view theName);
VersionRef readVersion(const json::JsonObject& theObject);
MetadataRef readMetadata(const json::JsonObject& theBody);

// Requires an inactive session that belongs to the connected user (else 40130 or 40120).
void requireOwnWorkspace(const Operation& theOperation, const Session& theSession);

// Whether content of objects with theSuffix travels as binary (BDATA).
bool isBinarySuffix(RepositoryStore& theStore, const std::string& theSuffix);

// Why theName cannot be a package of the repository (the rule of core/objectnames, by which every
// client can make it a directory of a workspace, and not empty): the message, or empty.
std::string packageNameProblem(const std::string& theName);
// Why theKey cannot be an object of the repository (its package, then its name and suffix, by the
// rule of core/objectnames): the message, or empty.
std::string objectNameProblem(const ObjectKey& theKey);

// Describes an object in messages: package/name.suffix.
std::string describe(const ObjectKey& theKey);

// Creates the object of theKey with theVersion as its first inactive version; a storage failure
// when the object exists already, which a writer holding the write lock never meets.
std::int64_t createNewObject(RepositoryStore& theStore, const ObjectKey& theKey,
                             const InactiveRecord& theVersion, std::string_view theContent);

// What one activation did: its number, check results (a JSON list), outcome triple, the change
// it belongs to (empty without change tracking), how many objects it activated, and whether its
// changes must be undone (a failed or check-only run).
struct ActivationRun {
    std::string itsActivationId, itsCheckResults, itsCode, itsMessage;
    // The change the activated objects joined while change tracking is on, else empty.
    std::string itsChangeId;
    int itsActivated = 0;
    bool itsUndo = false;
};

// Operations, one function per request; grouped by file: opsobjects.cpp, opsreads.cpp,
// opsactivate.cpp, opspackages.cpp, opsdeliveryunits.cpp, opsexport.cpp, opsimport.cpp,
// opschanges.cpp, opscontributors.cpp, opschangefind.cpp and opsworkspaces.cpp (which also
// answers the repository-wide questions: schema version, vendor, export versions, object types,
// change tracking).
namespace ops {
// Activates the inactive versions of theKeys in theSession's workspace with theMode ("0", "3",
// "4" or "5"; others are refused with 40130), as theUser. With change tracking on, the objects
// join the change theChangeId (open, theUser a contributor) or, when it is empty, a new one.
ActivationRun runActivation(RepositoryStore& theStore, const Session& theSession,
                            const std::vector<ObjectKey>& theKeys, const std::string& theMode,
                            const std::string& theUser, const std::string& theChangeId = {});
// Creates the missing ancestors of thePackage as plain packages, from the root down.
void createAncestors(RepositoryStore& theStore, const std::string& thePackage);
// Whether theVersion is a decimal archive format version within the repository's range, and
// that range as "<min> to <max>".
bool supportsExportVersion(RepositoryStore& theStore, std::string_view theVersion);
std::string exportVersionRange(RepositoryStore& theStore);
// The delivery unit, or EngineError 40116 when it does not exist.
DeliveryUnitRecord requireDeliveryUnit(RepositoryStore& theStore, const std::string& theName,
                                       const std::string& theVendor);

void writeObject(Operation& theOperation);
void deleteObject(Operation& theOperation);
void revertObjects(Operation& theOperation);
void pullInactiveObjects(Operation& theOperation);
void activateObjects(Operation& theOperation);
void readObject(Operation& theOperation);
void readObjectMetadata(Operation& theOperation);
void readObjects(Operation& theOperation);
void findObjects(Operation& theOperation);
void listInactiveObjects(Operation& theOperation);
void listHistory(Operation& theOperation);
void numberOfLatestVersion(Operation& theOperation);
void existsObject(Operation& theOperation);
void createPackage(Operation& theOperation);
void existsPackage(Operation& theOperation);
void listPackages(Operation& theOperation);
void listRootPackages(Operation& theOperation);
void readPackage(Operation& theOperation);
void updatePackage(Operation& theOperation);
void deletePackage(Operation& theOperation);
void listInactiveWorkspaces(Operation& theOperation);
void deleteInactiveWorkspace(Operation& theOperation);
void dbSchemaVersion(Operation& theOperation);
void contentVendor(Operation& theOperation);
void supportedExportVersions(Operation& theOperation);
void listAllObjectTypes(Operation& theOperation);
void changeTrackingStatus(Operation& theOperation);
void createDeliveryUnit(Operation& theOperation);
void getDeliveryUnit(Operation& theOperation);
void updateDeliveryUnit(Operation& theOperation);
void deleteDeliveryUnit(Operation& theOperation);
void existsDeliveryUnit(Operation& theOperation);
void listDeliveryUnits(Operation& theOperation);
void checkDeliveryUnitBroken(Operation& theOperation);
void undeployDeliveryUnit(Operation& theOperation);
void exportDeliveryUnit(Operation& theOperation);
void exportLanguages(Operation& theOperation);
void importFile(Operation& theOperation);
void importFileList(Operation& theOperation);
void importLanguages(Operation& theOperation);
void toggleChangeTracking(Operation& theOperation);
void createChange(Operation& theOperation);
void deleteChange(Operation& theOperation);
void editChangeDescription(Operation& theOperation);
void releaseChange(Operation& theOperation);
void mergeChanges(Operation& theOperation);
void moveChangeEntries(Operation& theOperation);
void addContributor(Operation& theOperation);
void removeContributor(Operation& theOperation);
void editContributorComment(Operation& theOperation);
void validateContribution(Operation& theOperation);
void findChanges(Operation& theOperation);
void readChanges(Operation& theOperation);
void affectedChanges(Operation& theOperation);
} // namespace ops

} // namespace RepositoryAccess::server
