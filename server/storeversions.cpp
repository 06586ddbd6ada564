// The versions of the repository store's objects: the active versions, their history and the
// inactive versions of the workspaces.
#include "server/repositorystore.hpp"

#include <algorithm>
#include <optional>
#include <utility>

namespace RepositoryAccess::server {

namespace {

const char* const kHistoryColumns =
    "version_nr, is_deletion, activated_at, activated_by, object_status, change_number, "
    "released_at";

HistoryRecord readHistory(SqlQuery& theQuery, int theFirst, bool theWithContent) {
    HistoryRecord anEntry;
    anEntry.itsNumber = theQuery.integer(theFirst);
    anEntry.itsIsDeletion = theQuery.integer(theFirst + 1) != 0;
    anEntry.itsActivatedAt = theQuery.text(theFirst + 2);
    anEntry.itsActivatedBy = theQuery.text(theFirst + 3);
    anEntry.itsObjectStatus = theQuery.text(theFirst + 4);
    anEntry.itsChangeNumber = theQuery.text(theFirst + 5);
    anEntry.itsReleasedAt = theQuery.text(theFirst + 6);
    if (theWithContent)
        anEntry.itsContent = theQuery.text(theFirst + 7);
    return anEntry;
}

InactiveRecord readInactive(SqlQuery& theQuery, int theFirst, bool theWithContent) {
    InactiveRecord aVersion;
    aVersion.itsOwner = theQuery.text(theFirst);
    aVersion.itsWorkspace = theQuery.text(theFirst + 1);
    aVersion.itsVersionId = theQuery.integer(theFirst + 2);
    aVersion.itsIsDeletion = theQuery.integer(theFirst + 3) != 0;
    aVersion.itsLastChangedAt = theQuery.text(theFirst + 4);
    if (theWithContent)
        aVersion.itsContent = theQuery.text(theFirst + 5);
    return aVersion;
}

// The texts that begin with thePrefix lie between it and its successor, the prefix with its last
// byte raised. A byte of a multi-byte character is dropped first, so that the successor stays
// valid text; the range is then wider than asked for. None for an empty prefix.
std::optional<std::pair<std::string, std::string>> prefixRange(std::string_view thePrefix) {
    std::string aFrom(thePrefix);
    while (!aFrom.empty() && static_cast<unsigned char>(aFrom.back()) >= 0x7F)
        aFrom.pop_back();
    if (aFrom.empty())
        return std::nullopt;
    std::string aTo = aFrom;
    ++aTo.back();
    return std::pair{std::move(aFrom), std::move(aTo)};
}

// Narrows a query of objects `o` to the package thePackage (theWholeName) or to the packages that
// begin with it, so that the package index is searched; answers the values of the marks added.
std::vector<std::string> narrowToPackage(std::string& theSql, std::string_view thePackage,
                                         bool theWholeName) {
    if (theWholeName) {
        theSql += " AND o.package = ?";
        return {std::string(thePackage)};
    }
    if (auto aRange = prefixRange(thePackage)) {
        theSql += " AND o.package >= ? AND o.package < ?";
        return {std::move(aRange->first), std::move(aRange->second)};
    }
    return {};
}

// The rows of a query that selects an object's id, package, name and suffix and then the history
// columns of one of its versions.
std::vector<ActiveObject> readObjectsWithHistory(SqlQuery& theQuery) {
    std::vector<ActiveObject> aList;
    while (theQuery.step())
        aList.push_back({theQuery.integer(0),
                         {theQuery.text(1), theQuery.text(2), theQuery.text(3)},
                         readHistory(theQuery, 4, false)});
    return aList;
}

} // namespace

std::int64_t RepositoryStore::latest(std::int64_t theObject) {
    auto aQuery = itsDatabase->query("SELECT latest FROM objects WHERE id = ?");
    aQuery.bind(1, theObject);
    return aQuery.step() ? aQuery.integer(0) : 0;
}

std::vector<ActiveObject> RepositoryStore::activeObjects(std::string_view thePackage,
                                                         bool theWholeName) {
    std::string aSql = std::string("SELECT o.id, o.package, o.name, o.suffix, ") + kHistoryColumns +
                       " FROM objects o JOIN history h ON h.object_id = o.id AND "
                       "h.version_nr = o.latest WHERE h.is_deletion = 0";
    const std::vector<std::string> aBounds = narrowToPackage(aSql, thePackage, theWholeName);
    auto aQuery = itsDatabase->query(aSql + " ORDER BY o.package, o.name, o.suffix");
    for (std::size_t i = 0; i < aBounds.size(); ++i)
        aQuery.bind(static_cast<int>(i) + 1, aBounds[i]);
    return readObjectsWithHistory(aQuery);
}

std::optional<HistoryRecord>
RepositoryStore::historyEntry(std::int64_t theObject, std::int64_t theNumber, bool theWithContent) {
    auto aQuery =
        itsDatabase->query(std::string("SELECT ") + kHistoryColumns +
                           ", content FROM history WHERE object_id = ? AND version_nr = ?");
    aQuery.bind(1, theObject).bind(2, theNumber);
    if (!aQuery.step())
        return std::nullopt;
    return readHistory(aQuery, 0, theWithContent);
}

std::optional<HistoryRecord> RepositoryStore::historyAt(std::int64_t theObject,
                                                        const std::string& theTimestamp,
                                                        bool theWithContent) {
    auto aQuery = itsDatabase->query(std::string("SELECT ") + kHistoryColumns +
                                     ", content FROM history WHERE object_id = ? AND "
                                     "activated_at <= ? ORDER BY version_nr DESC LIMIT 1");
    aQuery.bind(1, theObject).bind(2, theTimestamp);
    if (!aQuery.step())
        return std::nullopt;
    return readHistory(aQuery, 0, theWithContent);
}

std::optional<NewestEntry> RepositoryStore::newestEntry(const ObjectKey& theKey,
                                                        bool theWithContent) {
    auto aQuery = itsDatabase->query(
        std::string("SELECT o.id, h.object_id, ") + kHistoryColumns +
        (theWithContent ? ", h.content" : "") +
        " FROM objects o LEFT JOIN history h ON h.object_id = o.id AND "
        "h.version_nr = o.latest WHERE o.package = ? AND o.name = ? AND o.suffix = ?");
    aQuery.bind(1, theKey.itsPackage).bind(2, theKey.itsName).bind(3, theKey.itsSuffix);
    if (!aQuery.step())
        return std::nullopt;
    NewestEntry aNewest{aQuery.integer(0), std::nullopt};
    if (!aQuery.isNull(1))
        aNewest.itsEntry = readHistory(aQuery, 2, theWithContent);
    return aNewest;
}

namespace {

// The names of one question of newestEntries: a shorter list repeats its last name, so that
// every question has the same text and its plan is made once.
std::string nameMarks() {
    std::string aMarks = "?";
    for (std::size_t i = 1; i < RepositoryStore::kNewestTogether; ++i)
        aMarks += ", ?";
    return aMarks;
}

} // namespace

std::vector<std::optional<NewestEntry>>
RepositoryStore::newestEntries(std::span<const ObjectKey> theKeys, bool theWithContent) {
    static const std::string kFrom =
        std::string(" FROM objects o LEFT JOIN history h ON h.object_id = o.id AND h.version_nr = "
                    "o.latest WHERE o.package = ? AND o.name IN (") +
        nameMarks() + ")";
    static const std::string kColumns =
        std::string("SELECT o.id, o.name, o.suffix, h.object_id, ") + kHistoryColumns;
    static const std::string kWithContent = kColumns + ", h.content" + kFrom;
    static const std::string kWithout = kColumns + kFrom;
    std::vector<std::optional<NewestEntry>> aFound(theKeys.size());
    std::vector<bool> anAsked(theKeys.size(), false);
    for (std::size_t aFirst = 0; aFirst < theKeys.size(); ++aFirst) {
        if (anAsked[aFirst])
            continue;
        // The keys of one question: those of the first package not yet asked for.
        const std::string& aPackage = theKeys[aFirst].itsPackage;
        std::vector<std::size_t> aPlaces;
        for (std::size_t i = aFirst; i < theKeys.size() && aPlaces.size() < kNewestTogether; ++i)
            if (!anAsked[i] && theKeys[i].itsPackage == aPackage) {
                anAsked[i] = true;
                aPlaces.push_back(i);
            }
        auto aQuery = itsDatabase->query(theWithContent ? kWithContent : kWithout);
        aQuery.bind(1, aPackage);
        for (std::size_t i = 0; i < kNewestTogether; ++i)
            aQuery.bind(static_cast<int>(i) + 2,
                        theKeys[aPlaces[std::min(i, aPlaces.size() - 1)]].itsName);
        // A row may be of a name asked for with another suffix; a key asked for twice gets it
        // twice.
        while (aQuery.step()) {
            const std::string aName = aQuery.text(1), aSuffix = aQuery.text(2);
            NewestEntry aNewest{aQuery.integer(0), std::nullopt};
            if (!aQuery.isNull(3))
                aNewest.itsEntry = readHistory(aQuery, 4, theWithContent);
            std::optional<NewestEntry>* aTaker = nullptr;
            for (std::size_t aPlace : aPlaces)
                if (theKeys[aPlace].itsName == aName && theKeys[aPlace].itsSuffix == aSuffix) {
                    if (aTaker != nullptr)
                        *aTaker = aNewest;
                    aTaker = &aFound[aPlace];
                }
            if (aTaker != nullptr)
                *aTaker = std::move(aNewest);
        }
    }
    return aFound;
}

std::vector<HistoryRecord> RepositoryStore::history(std::int64_t theObject) {
    std::vector<HistoryRecord> aList;
    auto aQuery = itsDatabase->query(std::string("SELECT ") + kHistoryColumns +
                                     " FROM history WHERE object_id = ? ORDER BY version_nr");
    aQuery.bind(1, theObject);
    while (aQuery.step())
        aList.push_back(readHistory(aQuery, 0, false));
    return aList;
}

std::vector<ActiveObject> RepositoryStore::recentHistory(std::int64_t theSkip,
                                                         std::int64_t theCount) {
    auto aQuery = itsDatabase->query(
        std::string("SELECT o.id, o.package, o.name, o.suffix, ") + kHistoryColumns +
        " FROM history h JOIN objects o ON o.id = h.object_id ORDER BY h.activated_at DESC, "
        "o.package, o.name, o.suffix, h.version_nr DESC LIMIT ? OFFSET ?");
    aQuery.bind(1, theCount);
    aQuery.bind(2, theSkip);
    return readObjectsWithHistory(aQuery);
}

namespace {

constexpr const char* kInsertHistory =
    "INSERT INTO history (object_id, version_nr, is_deletion, content, activated_at, "
    "activated_by, object_status, change_number, released_at) ";

} // namespace

void RepositoryStore::appendHistory(std::int64_t theObject, const HistoryRecord& theEntry) {
    auto aQuery =
        itsDatabase->query(std::string(kInsertHistory) + "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    aQuery.bind(1, theObject).bind(2, theEntry.itsNumber).bind(3, theEntry.itsIsDeletion ? 1 : 0);
    if (theEntry.itsIsDeletion)
        aQuery.bindNull(4);
    else
        aQuery.bindBlob(4, theEntry.itsContent);
    aQuery.bind(5, theEntry.itsActivatedAt)
        .bind(6, theEntry.itsActivatedBy)
        .bind(7, theEntry.itsObjectStatus)
        .bind(8, theEntry.itsChangeNumber)
        .bind(9, theEntry.itsReleasedAt)
        .run();
    raiseLatest(theObject, theEntry.itsNumber);
}

namespace {

// The objects that one statement of a bulk activation names: a shorter list repeats its last
// object, so that every statement has the same text and its plan is made once.
constexpr std::size_t kActivatedTogether = 100;

std::string objectMarks() {
    std::string aMarks = "?";
    for (std::size_t i = 1; i < kActivatedTogether; ++i)
        aMarks += ", ?";
    return aMarks;
}

// Binds the objects of a bulk statement from theFirst, after its other parameters.
void bindObjects(SqlQuery& theQuery, int theFirst, std::span<const std::int64_t> theObjects) {
    for (std::size_t i = 0; i < kActivatedTogether; ++i)
        theQuery.bind(theFirst + static_cast<int>(i),
                      theObjects[std::min(i, theObjects.size() - 1)]);
}

} // namespace

// The content (or the deletion) goes from the inactive version to the history inside the
// database: an activation of many objects never holds their contents. Three statements move a
// hundred objects: an activation of thousands asks the database a few dozen times.
void RepositoryStore::activateInactive(std::span<const std::int64_t> theObjects,
                                       const HistoryRecord& theEntry, const std::string& theOwner,
                                       const std::string& theWorkspace) {
    static const std::string kMarks = objectMarks();
    static const std::string kInsert =
        std::string(kInsertHistory) +
        "SELECT i.object_id, o.latest + 1, i.is_deletion, i.content, ?, ?, ?, ?, ? "
        "FROM inactive_versions i JOIN objects o ON o.id = i.object_id "
        "WHERE i.owner = ? AND i.workspace = ? AND i.object_id IN (" +
        kMarks + ")";
    static const std::string kUpdate =
        "UPDATE objects SET latest = latest + 1, inactive_count = inactive_count - 1 "
        "WHERE id IN (" +
        kMarks +
        ") AND EXISTS (SELECT 1 FROM inactive_versions i "
        "WHERE i.object_id = objects.id AND i.owner = ? AND i.workspace = ?)";
    static const std::string kDelete =
        "DELETE FROM inactive_versions WHERE owner = ? AND workspace = ? AND object_id IN (" +
        kMarks + ")";
    for (std::size_t aBegin = 0; aBegin < theObjects.size(); aBegin += kActivatedTogether) {
        const auto aChunk =
            theObjects.subspan(aBegin, std::min(kActivatedTogether, theObjects.size() - aBegin));
        auto anInsert = itsDatabase->query(kInsert);
        anInsert.bind(1, theEntry.itsActivatedAt)
            .bind(2, theEntry.itsActivatedBy)
            .bind(3, theEntry.itsObjectStatus)
            .bind(4, theEntry.itsChangeNumber)
            .bind(5, theEntry.itsReleasedAt)
            .bind(6, theOwner)
            .bind(7, theWorkspace);
        bindObjects(anInsert, 8, aChunk);
        anInsert.run();
        auto anUpdate = itsDatabase->query(kUpdate);
        bindObjects(anUpdate, 1, aChunk);
        anUpdate.bind(kActivatedTogether + 1, theOwner).bind(kActivatedTogether + 2, theWorkspace);
        anUpdate.run();
        auto aDelete = itsDatabase->query(kDelete);
        aDelete.bind(1, theOwner).bind(2, theWorkspace);
        bindObjects(aDelete, 3, aChunk);
        aDelete.run();
    }
}

bool RepositoryStore::deleteInactive(std::int64_t theObject, const std::string& theOwner,
                                     const std::string& theWorkspace) {
    itsDatabase
        ->query("DELETE FROM inactive_versions WHERE owner = ? AND workspace = ? AND object_id = ?")
        .bind(1, theOwner)
        .bind(2, theWorkspace)
        .bind(3, theObject)
        .run();
    return itsDatabase->changes() > 0;
}

void RepositoryStore::raiseLatest(std::int64_t theObject, std::int64_t theNumber) {
    itsDatabase->query("UPDATE objects SET latest = ? WHERE id = ? AND latest < ?")
        .bind(1, theNumber)
        .bind(2, theObject)
        .bind(3, theNumber)
        .run();
}

std::optional<ActivationSource> RepositoryStore::activationSource(const ObjectKey& theKey,
                                                                  const std::string& theOwner,
                                                                  const std::string& theWorkspace) {
    auto aQuery = itsDatabase->query(
        "SELECT o.id, o.latest, i.object_id, i.owner, i.workspace, i.version_id, i.is_deletion, "
        "i.last_changed_at, CASE WHEN o.suffix = 'json' THEN i.content END, length(i.content) "
        "FROM objects o LEFT JOIN inactive_versions i ON "
        "i.owner = ? AND i.workspace = ? AND i.object_id = o.id "
        "WHERE o.package = ? AND o.name = ? AND o.suffix = ?");
    aQuery.bind(1, theOwner)
        .bind(2, theWorkspace)
        .bind(3, theKey.itsPackage)
        .bind(4, theKey.itsName)
        .bind(5, theKey.itsSuffix);
    if (!aQuery.step())
        return std::nullopt;
    ActivationSource aSource{aQuery.integer(0), aQuery.integer(1), std::nullopt, 0};
    if (!aQuery.isNull(2)) {
        aSource.itsVersion = readInactive(aQuery, 3, true);
        aSource.itsContentSize = aQuery.integer(9);
    }
    return aSource;
}

std::optional<InactiveRecord> RepositoryStore::inactive(std::int64_t theObject,
                                                        const std::string& theOwner,
                                                        const std::string& theWorkspace,
                                                        bool theWithContent) {
    auto aQuery = itsDatabase->query(
        "SELECT owner, workspace, version_id, is_deletion, last_changed_at, content "
        "FROM inactive_versions WHERE object_id = ? AND owner = ? AND workspace = ?");
    aQuery.bind(1, theObject).bind(2, theOwner).bind(3, theWorkspace);
    if (!aQuery.step())
        return std::nullopt;
    return readInactive(aQuery, 0, theWithContent);
}

// Inactive versions are keyed by workspace first, so that one index serves both the object
// lookups and the workspace listings; objects keep the count of their inactive versions, so that
// no question has to scan the versions of all workspaces. Every write touches as few pages as
// possible: this is the hot path of commit.
void RepositoryStore::putInactive(std::int64_t theObject, const InactiveRecord& theVersion) {
    putInactive(theObject, theVersion, theVersion.itsContent);
}

namespace {

// Binds marks 1 to 6 of an update or insert of an inactive version: the version's number,
// deletion mark, content, time of change, owner and workspace.
void bindVersion(SqlQuery& theQuery, const InactiveRecord& theVersion,
                 std::string_view theContent) {
    theQuery.bind(1, theVersion.itsVersionId).bind(2, theVersion.itsIsDeletion ? 1 : 0);
    if (theVersion.itsIsDeletion)
        theQuery.bindNull(3);
    else
        theQuery.bindBlob(3, theContent);
    theQuery.bind(4, theVersion.itsLastChangedAt)
        .bind(5, theVersion.itsOwner)
        .bind(6, theVersion.itsWorkspace);
}

// Runs an update or insert of an inactive version whose mark 7 is the object.
void runWithVersion(SqlQuery theQuery, std::int64_t theObject, const InactiveRecord& theVersion,
                    std::string_view theContent) {
    bindVersion(theQuery, theVersion, theContent);
    theQuery.bind(7, theObject).run();
}

// An update of a workspace's inactive version; the object's mark follows.
constexpr std::string_view kUpdateInactive =
    "UPDATE inactive_versions SET version_id = ?1, is_deletion = ?2, content = ?3, "
    "last_changed_at = ?4 WHERE owner = ?5 AND workspace = ?6 AND object_id = ";

constexpr const char* kInsertInactive =
    "INSERT INTO inactive_versions (version_id, is_deletion, content, last_changed_at, owner, "
    "workspace, object_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";

} // namespace

void RepositoryStore::putInactive(std::int64_t theObject, const InactiveRecord& theVersion,
                                  std::string_view theContent) {
    static const std::string kById = std::string(kUpdateInactive) + "?7";
    runWithVersion(itsDatabase->query(kById), theObject, theVersion, theContent);
    if (itsDatabase->changes() == 0)
        addInactive(theObject, theVersion, theContent);
}

bool RepositoryStore::replaceInactive(const ObjectKey& theKey, const InactiveRecord& theVersion,
                                      std::string_view theContent) {
    static const std::string kByKey =
        std::string(kUpdateInactive) +
        "(SELECT id FROM objects WHERE package = ?7 AND name = ?8 AND suffix = ?9)";
    auto aQuery = itsDatabase->query(kByKey);
    aQuery.bind(7, theKey.itsPackage).bind(8, theKey.itsName).bind(9, theKey.itsSuffix);
    bindVersion(aQuery, theVersion, theContent);
    aQuery.run();
    return itsDatabase->changes() > 0;
}

void RepositoryStore::addInactive(std::int64_t theObject, const InactiveRecord& theVersion,
                                  std::string_view theContent) {
    runWithVersion(itsDatabase->query(kInsertInactive), theObject, theVersion, theContent);
    itsDatabase->query("UPDATE objects SET inactive_count = inactive_count + 1 WHERE id = ?")
        .bind(1, theObject)
        .run();
}

std::optional<std::int64_t> RepositoryStore::createObject(const ObjectKey& theKey,
                                                          const InactiveRecord& theVersion,
                                                          std::string_view theContent) {
    itsDatabase
        ->query("INSERT INTO objects (package, name, suffix, inactive_count) VALUES (?, ?, ?, 1) "
                "ON CONFLICT DO NOTHING")
        .bind(1, theKey.itsPackage)
        .bind(2, theKey.itsName)
        .bind(3, theKey.itsSuffix)
        .run();
    if (itsDatabase->changes() == 0)
        return std::nullopt;
    const std::int64_t anObject = itsDatabase->lastInsertId();
    runWithVersion(itsDatabase->query(kInsertInactive), anObject, theVersion, theContent);
    return anObject;
}

void RepositoryStore::dropInactive(std::int64_t theObject, const std::string& theOwner,
                                   const std::string& theWorkspace) {
    if (!deleteInactive(theObject, theOwner, theWorkspace))
        return;
    itsDatabase->query("UPDATE objects SET inactive_count = inactive_count - 1 WHERE id = ?")
        .bind(1, theObject)
        .run();
}

std::vector<InactiveObject> RepositoryStore::inactiveInWorkspace(const std::string& theOwner,
                                                                 const std::string& theWorkspace,
                                                                 std::string_view thePackage,
                                                                 bool theWholeName) {
    std::vector<InactiveObject> aList;
    std::string aSql =
        "SELECT i.object_id, o.package, o.name, o.suffix, i.owner, i.workspace, i.version_id, "
        "i.is_deletion, i.last_changed_at FROM inactive_versions i JOIN objects o ON "
        "o.id = i.object_id WHERE i.owner = ? AND i.workspace = ?";
    const std::vector<std::string> aBounds = narrowToPackage(aSql, thePackage, theWholeName);
    auto aQuery = itsDatabase->query(aSql + " ORDER BY o.package, o.name, o.suffix");
    aQuery.bind(1, theOwner).bind(2, theWorkspace);
    for (std::size_t i = 0; i < aBounds.size(); ++i)
        aQuery.bind(static_cast<int>(i) + 3, aBounds[i]);
    while (aQuery.step())
        aList.push_back({aQuery.integer(0),
                         {aQuery.text(1), aQuery.text(2), aQuery.text(3)},
                         readInactive(aQuery, 4, false)});
    return aList;
}

std::int64_t RepositoryStore::countInactive(std::int64_t theObject) {
    auto aQuery = itsDatabase->query("SELECT inactive_count FROM objects WHERE id = ?");
    aQuery.bind(1, theObject);
    return aQuery.step() ? aQuery.integer(0) : 0;
}

std::vector<std::pair<std::string, std::string>>
RepositoryStore::workspaces(const std::string& theOwner) {
    std::vector<std::pair<std::string, std::string>> aList;
    auto aQuery = itsDatabase->query("SELECT DISTINCT owner, workspace FROM inactive_versions "
                                     "WHERE ?1 = '' OR owner = ?1 ORDER BY owner, workspace");
    aQuery.bind(1, theOwner);
    while (aQuery.step())
        aList.emplace_back(aQuery.text(0), aQuery.text(1));
    return aList;
}

void RepositoryStore::dropWorkspace(const std::string& theOwner, const std::string& theWorkspace) {
    itsDatabase
        ->query("UPDATE objects SET inactive_count = inactive_count - 1 WHERE id IN "
                "(SELECT object_id FROM inactive_versions WHERE owner = ?1 AND workspace = ?2)")
        .bind(1, theOwner)
        .bind(2, theWorkspace)
        .run();
    itsDatabase->query("DELETE FROM inactive_versions WHERE owner = ? AND workspace = ?")
        .bind(1, theOwner)
        .bind(2, theWorkspace)
        .run();
}

} // namespace RepositoryAccess::server
