#pragma once

#include "core/recordfields.hpp"
#include "server/sqldatabase.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace RepositoryAccess::server {

// A package row. `content` is derived (it holds active objects) and never stored. The
// attributes of the package description that the engine's code does not name live, by key, in
// itsOtherAttributes.
struct PackageRecord {
    std::string itsName, itsSrcSystem, itsDescription, itsResponsible, itsOrigLang, itsStructural,
        itsDeliveryUnit, itsDuVendor, itsTransportable, itsContent, itsTextCollection,
        itsTextStatus, itsTextTerminologyDomain, itsHintsForTranslation;
    OtherAttributes itsOtherAttributes = {};
};

// A delivery unit; name and vendor are its key.
struct DeliveryUnitRecord {
    std::string itsName, itsVendor, itsCaption, itsResponsible, itsVersion, itsVersionSp,
        itsVersionPatch, itsLastUpdate, itsQrtsId, itsSpQrtsId, itsAch;
    OtherAttributes itsOtherAttributes = {};
};

// The descriptions of the records whose columns, JSON members and request members the engine
// takes from them; a test hands the store a copy with more attributes (and a table that has
// their columns).
struct RecordDescriptions {
    RecordDescription itsPackage = packageFields();
    RecordDescription itsDeliveryUnit = deliveryUnitFields();
    RecordDescription itsChange = changeFields();
    RecordDescription itsContributor = contributorFields();
};

// An object type: which suffix it has and whether its content travels as text or binary.
struct ObjectTypeRecord {
    std::string itsObjectType, itsDescription, itsFileExtension, itsMimeType, itsIsFileType,
        itsUseCData, itsUseBData;
};

// The identity of an object.
struct ObjectKey {
    std::string itsPackage, itsName, itsSuffix;
    bool operator==(const ObjectKey&) const = default;
};

// One activated version of an object (history entry `itsNumber`).
struct HistoryRecord {
    std::int64_t itsNumber = 0;
    bool itsIsDeletion = false;
    std::string itsActivatedAt, itsActivatedBy, itsObjectStatus = "0", itsChangeNumber,
                                                itsReleasedAt;
    std::string itsContent; // filled only when asked for
};

// The inactive version of an object in one user's workspace.
struct InactiveRecord {
    std::string itsOwner, itsWorkspace;
    std::int64_t itsVersionId = 0; // its base is itsVersionId - 1
    bool itsIsDeletion = false;
    std::string itsLastChangedAt;
    std::string itsContent; // filled only when asked for
};

// What an activation reads of an object: its number of the newest history entry and the
// inactive version of one workspace with the size of its content. The content itself comes only
// for a suffix "json", whose text the activation checks.
struct ActivationSource {
    std::int64_t itsObject = 0;
    std::int64_t itsLatest = 0;
    std::optional<InactiveRecord> itsVersion;
    std::int64_t itsContentSize = 0;
};

// An object with its newest history entry; none when it was never activated.
struct NewestEntry {
    std::int64_t itsObject = 0;
    std::optional<HistoryRecord> itsEntry;
};

// An object with its active (newest, non-deletion) history entry.
struct ActiveObject {
    std::int64_t itsId = 0;
    ObjectKey itsKey;
    HistoryRecord itsEntry;
};

// An object with the inactive version of one workspace.
struct InactiveObject {
    std::int64_t itsId = 0;
    ObjectKey itsKey;
    InactiveRecord itsVersion;
};

// A change of change tracking; its id is "<database name>//<number>". Status: 1 open,
// 2 released, 3 abandoned. The attributes of the change description that the engine's code does
// not name live, by key, in itsOtherAttributes.
struct ChangeRecord {
    std::string itsId;
    std::int64_t itsNumber = 0;
    int itsStatus = 1;
    std::string itsDescription, itsCreatedAt, itsCreatedBy, itsReleasedAt, itsReleasedBy;
    OtherAttributes itsOtherAttributes = {};
};

// A user who contributes to a change. Status: 1 open, 2 validated. The attributes of the
// contributor description that the engine's code does not name live, by key, in
// itsOtherAttributes.
struct ContributorRecord {
    std::string itsUser;
    int itsStatus = 1;
    std::string itsDescription, itsValidatedAt;
    OtherAttributes itsOtherAttributes = {};
};

// A user of the repository with the stored password hash and whether the user is marked as an
// administrator.
struct UserRecord {
    std::string itsName, itsPasswordHash;
    bool itsAdministrator = false;
};

// Every byte the engine keeps lives behind this class: settings, users, object types,
// packages, objects, their history and inactive versions. It knows SQL and nothing of the
// version rules; the database below it is the repository file or a database server's own tables.
// All methods throw StorageError on failure.
class RepositoryStore {
public:
    // Fills a new, empty schema: the default settings, overridden by theSettings (by name),
    // and the object types.
    static void seed(SqlDatabase& theDatabase,
                     const std::vector<std::pair<std::string, std::string>>& theSettings);

    // Works on theDatabase, whose schema is up to date, with the records as described.
    explicit RepositoryStore(std::unique_ptr<SqlDatabase> theDatabase,
                             RecordDescriptions theDescriptions = {});

    const RecordDescriptions& descriptions() const { return itsDescriptions; }

    // The database below, for the transactions around the store's work (class Transaction):
    // one per request. A write transaction serialises with every other writer at once, so two
    // writers never interleave (the second waits).
    SqlDatabase& database() { return *itsDatabase; }

    // The users and packages that the requests of the transaction holding the write lock found
    // (SqlDatabase::lockedTransaction()) are kept until it ends, so that each write's check of
    // its caller and its package runs one statement per transaction, not one per request. No
    // other writer can change them under the lock; the store forgets what its own requests
    // delete, and forgetFacts() forgets all when a request is taken back.
    void forgetFacts();
    bool isUser(const std::string& theName);

    // Settings.
    std::optional<std::string> getSetting(const std::string& theName);
    void setSetting(const std::string& theName, const std::string& theValue);
    std::vector<std::pair<std::string, std::string>> listSettings();

    // Users (names are upper case). putUser sets the password hash of a new or existing user and
    // leaves the administrator mark of an existing one as it is.
    std::optional<UserRecord> findUser(const std::string& theName);
    void putUser(const UserRecord& theUser);
    // Takes the user out; its versions and inactive objects stay. False when there is no such user.
    bool removeUser(const std::string& theName);
    std::vector<std::string> listUsers();
    // Marks or unmarks the existing user theName as an administrator; false when there is no
    // such user.
    bool markAdministrator(const std::string& theName, bool theAdministrator);
    // The users marked as administrators, by name.
    std::vector<std::string> listAdministrators();

    // Object types.
    std::vector<ObjectTypeRecord> listObjectTypes();
    // The first type, in the order of their names, whose file extension is theSuffix. No
    // request changes the types, and a read of many contents looks one up for each: the
    // requests of one statement (SqlDatabase::enclosingTransaction()) read them once.
    std::optional<ObjectTypeRecord> findObjectType(const std::string& theSuffix);

    // Packages; itsContent of the results is computed.
    std::optional<PackageRecord> findPackage(const std::string& theName);
    bool packageExists(const std::string& theName);
    std::vector<PackageRecord> listPackages();
    void insertPackage(const PackageRecord& thePackage);
    void updatePackage(const PackageRecord& thePackage);
    void deletePackage(const std::string& theName);
    // Names of the packages below theName (at any depth).
    std::vector<std::string> subPackages(const std::string& theName);

    // Delivery units (storedeliveryunits.cpp).
    std::optional<DeliveryUnitRecord> findDeliveryUnit(const std::string& theName,
                                                       const std::string& theVendor);
    std::vector<DeliveryUnitRecord> listDeliveryUnits();
    // Inserts the delivery unit or replaces the one with its name and vendor.
    void putDeliveryUnit(const DeliveryUnitRecord& theUnit);
    void deleteDeliveryUnit(const std::string& theName, const std::string& theVendor);
    // The packages assigned to a delivery unit, ordered by name.
    std::vector<PackageRecord> packagesOfDeliveryUnit(const std::string& theName,
                                                      const std::string& theVendor);

    // Objects.
    std::optional<std::int64_t> findObject(const ObjectKey& theKey);
    std::int64_t createObject(const ObjectKey& theKey);
    // A new object with its first inactive version: two inserts, where creating the object and
    // putting the version would look for a version that cannot exist yet and count it apart.
    // None, and nothing written, when the object exists already.
    std::optional<std::int64_t> createObject(const ObjectKey& theKey,
                                             const InactiveRecord& theVersion,
                                             std::string_view theContent);
    ObjectKey objectKey(std::int64_t theObject);
    std::vector<std::int64_t> objectsInPackage(const std::string& thePackage);
    // Removes the object with its history and every inactive version.
    void deleteObject(std::int64_t theObject);
    // Removes every inactive version of the objects of one package (in one pass).
    void dropInactiveOfPackage(const std::string& thePackage);
    // Number of the newest history entry, 0 when never activated.
    std::int64_t latest(std::int64_t theObject);
    // Objects whose newest history entry is not a deletion, with that entry (no content), in key
    // order. With thePackage only those of the package of that name (theWholeName), or at least
    // those whose package begins with it: the package index is searched for the prefix alone.
    std::vector<ActiveObject> activeObjects(std::string_view thePackage = {},
                                            bool theWholeName = false);

    // History.
    std::optional<HistoryRecord> historyEntry(std::int64_t theObject, std::int64_t theNumber,
                                              bool theWithContent);
    // The newest entry activated at or before theTimestamp (normalised text).
    std::optional<HistoryRecord> historyAt(std::int64_t theObject, const std::string& theTimestamp,
                                           bool theWithContent);
    std::vector<HistoryRecord> history(std::int64_t theObject);
    // The activations of the whole repository, newest first: theCount entries after skipping
    // theSkip, each with its object (itsEntry is that version, a deletion included).
    std::vector<ActiveObject> recentHistory(std::int64_t theSkip, std::int64_t theCount);
    // The object of theKey with its newest history entry, in one question; none when no such
    // object exists.
    std::optional<NewestEntry> newestEntry(const ObjectKey& theKey, bool theWithContent);
    // newestEntry of each of theKeys, in their order: one question for every kNewestTogether
    // keys of one package, so that a bulk read of a package's objects does not ask once for
    // each of them.
    static constexpr std::size_t kNewestTogether = 32;
    std::vector<std::optional<NewestEntry>> newestEntries(std::span<const ObjectKey> theKeys,
                                                          bool theWithContent);
    void appendHistory(std::int64_t theObject, const HistoryRecord& theEntry);
    // Makes the workspace's inactive versions of theObjects the version after the newest of
    // each (their contents and deletion marks), all with theEntry's activation time, user,
    // status, change and release, and drops them.
    void activateInactive(std::span<const std::int64_t> theObjects, const HistoryRecord& theEntry,
                          const std::string& theOwner, const std::string& theWorkspace);

    // Inactive versions.
    // The object of theKey with what its activation from the workspace needs, in one question;
    // none when no such object exists.
    std::optional<ActivationSource> activationSource(const ObjectKey& theKey,
                                                     const std::string& theOwner,
                                                     const std::string& theWorkspace);
    std::optional<InactiveRecord> inactive(std::int64_t theObject, const std::string& theOwner,
                                           const std::string& theWorkspace, bool theWithContent);
    void putInactive(std::int64_t theObject, const InactiveRecord& theVersion);
    // The same with theContent in place of the record's, so that a large write is not copied.
    void putInactive(std::int64_t theObject, const InactiveRecord& theVersion,
                     std::string_view theContent);
    // Replaces the workspace's inactive version of theKey's object by theVersion, in one
    // question; false when the workspace holds none (or the object does not exist).
    bool replaceInactive(const ObjectKey& theKey, const InactiveRecord& theVersion,
                         std::string_view theContent);
    // Adds theVersion as the object's inactive version of a workspace that holds none.
    void addInactive(std::int64_t theObject, const InactiveRecord& theVersion,
                     std::string_view theContent);
    void dropInactive(std::int64_t theObject, const std::string& theOwner,
                      const std::string& theWorkspace);
    // The inactive versions of one workspace, in key order; thePackage and theWholeName narrow
    // them as for activeObjects.
    std::vector<InactiveObject> inactiveInWorkspace(const std::string& theOwner,
                                                    const std::string& theWorkspace,
                                                    std::string_view thePackage = {},
                                                    bool theWholeName = false);
    std::int64_t countInactive(std::int64_t theObject);
    // (owner, workspace) pairs that hold inactive versions; theOwner empty = all owners.
    std::vector<std::pair<std::string, std::string>> workspaces(const std::string& theOwner);
    void dropWorkspace(const std::string& theOwner, const std::string& theWorkspace);

    // Changes, their entries (objects) and their contributors (repositorychanges.cpp).
    std::optional<ChangeRecord> findChange(const std::string& theId);
    // Every change, oldest first.
    std::vector<ChangeRecord> listChanges();
    void insertChange(const ChangeRecord& theChange);
    void updateChange(const ChangeRecord& theChange);
    // Removes the change with its contributors (its entries must be gone).
    void deleteChange(const std::string& theId);
    bool hasOpenChanges();
    std::vector<std::int64_t> changeEntries(const std::string& theId);
    void addChangeEntry(const std::string& theId, std::int64_t theObject);
    void removeChangeEntry(const std::string& theId, std::int64_t theObject);
    // The open changes that hold theObject.
    std::vector<std::string> openChangesOf(std::int64_t theObject);
    std::vector<ContributorRecord> contributors(const std::string& theId);
    std::optional<ContributorRecord> findContributor(const std::string& theId,
                                                     const std::string& theUser);
    void putContributor(const std::string& theId, const ContributorRecord& theContributor);
    void removeContributor(const std::string& theId, const std::string& theUser);
    // The history entries of theObject that carry change theFrom carry theTo instead.
    void reassignVersions(std::int64_t theObject, const std::string& theFrom,
                          const std::string& theTo);
    // Stamps the history entries of a change, not stamped yet, as released at theTimestamp.
    void releaseVersions(const std::string& theId, const std::string& theTimestamp);

    // A growing number per counter name, starting at 1.
    std::int64_t nextNumber(const std::string& theCounter);

    // Totals for the administration tool: objects, history entries, inactive versions.
    std::int64_t countRows(const std::string& theTable);

private:
    // Makes theNumber the object's newest version unless a newer one is known.
    void raiseLatest(std::int64_t theObject, std::int64_t theNumber);
    // Deletes the workspace's inactive version of the object, without its count; false when
    // there was none.
    bool deleteInactive(std::int64_t theObject, const std::string& theOwner,
                        const std::string& theWorkspace);
    // Keeps the facts only while the transaction that found them holds the write lock; true
    // when facts may be kept.
    bool followLockedTransaction();
    std::unique_ptr<SqlDatabase> itsDatabase;
    RecordDescriptions itsDescriptions;
    struct KnownFacts {
        std::uint64_t itsScope = 0;
        std::set<std::string, std::less<>> itsUsers;
        std::set<std::string, std::less<>> itsPackages;
    } itsFacts;
    struct KnownTypes {
        std::uint64_t itsScope = 0;
        std::vector<ObjectTypeRecord> itsTypes;
    } itsObjectTypes;
};

} // namespace RepositoryAccess::server
