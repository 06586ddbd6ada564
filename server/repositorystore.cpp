#include "server/repositorystore.hpp"

#include "server/records.hpp"
#include "server/storecolumns.hpp"

namespace RepositoryAccess::server {

namespace {

const std::vector<std::pair<std::string, std::string>> kDefaultSettings = {
    {"api_version", "16"},      {"schema_version", "38"},   {"database_name", "ZEV"},
    {"vendor", "example.com"},  {"change_tracking", "off"}, {"export_version_min", "1"},
    {"export_version_max", "3"}};

struct SeedType {
    const char* itsSuffix;
    const char* itsDescription;
    const char* itsMimeType;
    bool itsBinary;
};

const SeedType kSeedTypes[] = {
    {"txt", "Text file", "text/plain", false},
    {"json", "JSON document", "application/json", false},
    {"xml", "XML document", "application/xml", false},
    {"properties", "Properties file", "text/plain", false},
    {"js", "JavaScript source", "application/javascript", false},
    {"css", "Style sheet", "text/css", false},
    {"html", "HTML page", "text/html", false},
    {"md", "Markdown text", "text/markdown", false},
    {"sql", "SQL script", "application/sql", false},
    {"csv", "Comma-separated values", "text/csv", false},
    {"kivoignore", "Ignore list", "text/plain", false},
    {"png", "PNG image", "image/png", true},
    {"jpg", "JPEG image", "image/jpeg", true},
    {"gif", "GIF image", "image/gif", true},
    {"pdf", "PDF document", "application/pdf", true},
    {"zip", "ZIP archive", "application/zip", true},
};

// Whether a package holds active objects: the derived attribute after the stored columns.
const char* const kPackageContent =
    ", CASE WHEN EXISTS (SELECT 1 FROM objects o JOIN history h ON h.object_id = o.id "
    "AND h.version_nr = o.latest WHERE o.package = packages.name AND h.is_deletion = 0) "
    "THEN 1 ELSE 0 END";

std::string selectPackages(RecordDescription theFields, std::string_view theRest) {
    return "SELECT " + storecolumns::columnList(theFields) + kPackageContent + " FROM packages " +
           std::string(theRest);
}

PackageRecord readPackage(const SqlQuery& theQuery, RecordDescription theFields) {
    PackageRecord aPackage;
    const int aContent = storecolumns::readRecord(theQuery, theFields, aPackage);
    aPackage.itsContent = theQuery.integer(aContent) ? "1" : "0";
    return aPackage;
}

} // namespace

void RepositoryStore::seed(SqlDatabase& theDatabase,
                           const std::vector<std::pair<std::string, std::string>>& theSettings) {
    for (const auto& [aName, aValue] : kDefaultSettings)
        theDatabase.query("INSERT INTO settings (name, value) VALUES (?, ?)")
            .bind(1, aName)
            .bind(2, aValue)
            .run();
    for (const auto& [aName, aValue] : theSettings)
        theDatabase
            .query("INSERT INTO settings (name, value) VALUES (?1, ?2) "
                   "ON CONFLICT (name) DO UPDATE SET value = ?2")
            .bind(1, aName)
            .bind(2, aValue)
            .run();
    for (const SeedType& aType : kSeedTypes)
        theDatabase.query("INSERT INTO object_types VALUES (?, ?, ?, ?, ?, ?, ?)")
            .bind(1, std::string_view(aType.itsSuffix))
            .bind(2, std::string_view(aType.itsDescription))
            .bind(3, std::string_view(aType.itsSuffix))
            .bind(4, std::string_view(aType.itsMimeType))
            .bind(5, std::string_view(aType.itsBinary ? "1" : "0"))
            .bind(6, std::string_view(aType.itsBinary ? "0" : "1"))
            .bind(7, std::string_view(aType.itsBinary ? "1" : "0"))
            .run();
}

RepositoryStore::RepositoryStore(std::unique_ptr<SqlDatabase> theDatabase,
                                 RecordDescriptions theDescriptions)
    : itsDatabase(std::move(theDatabase)), itsDescriptions(theDescriptions) {}

std::optional<std::string> RepositoryStore::getSetting(const std::string& theName) {
    auto aQuery = itsDatabase->query("SELECT value FROM settings WHERE name = ?");
    aQuery.bind(1, theName);
    if (!aQuery.step())
        return std::nullopt;
    return aQuery.text(0);
}

void RepositoryStore::setSetting(const std::string& theName, const std::string& theValue) {
    itsDatabase
        ->query("INSERT INTO settings (name, value) VALUES (?1, ?2) "
                "ON CONFLICT (name) DO UPDATE SET value = ?2")
        .bind(1, theName)
        .bind(2, theValue)
        .run();
}

std::vector<std::pair<std::string, std::string>> RepositoryStore::listSettings() {
    std::vector<std::pair<std::string, std::string>> aList;
    auto aQuery = itsDatabase->query("SELECT name, value FROM settings ORDER BY name");
    while (aQuery.step())
        aList.emplace_back(aQuery.text(0), aQuery.text(1));
    return aList;
}

bool RepositoryStore::followLockedTransaction() {
    const std::uint64_t aScope = itsDatabase->lockedTransaction();
    if (aScope != itsFacts.itsScope) {
        forgetFacts();
        itsFacts.itsScope = aScope;
    }
    return aScope != 0;
}

void RepositoryStore::forgetFacts() {
    itsFacts.itsUsers.clear();
    itsFacts.itsPackages.clear();
}

bool RepositoryStore::isUser(const std::string& theName) {
    const bool aKeeping = followLockedTransaction();
    if (itsFacts.itsUsers.contains(theName))
        return true;
    if (!findUser(theName))
        return false;
    if (aKeeping)
        itsFacts.itsUsers.insert(theName);
    return true;
}

std::optional<UserRecord> RepositoryStore::findUser(const std::string& theName) {
    auto aQuery =
        itsDatabase->query("SELECT name, password_hash, is_admin FROM users WHERE name = ?");
    aQuery.bind(1, theName);
    if (!aQuery.step())
        return std::nullopt;
    return UserRecord{aQuery.text(0), aQuery.text(1), aQuery.integer(2) != 0};
}

void RepositoryStore::putUser(const UserRecord& theUser) {
    itsDatabase
        ->query("INSERT INTO users (name, password_hash) VALUES (?1, ?2) "
                "ON CONFLICT (name) DO UPDATE SET password_hash = ?2")
        .bind(1, theUser.itsName)
        .bind(2, theUser.itsPasswordHash)
        .run();
}

bool RepositoryStore::removeUser(const std::string& theName) {
    if (!findUser(theName))
        return false;
    itsDatabase->query("DELETE FROM users WHERE name = ?").bind(1, theName).run();
    itsFacts.itsUsers.erase(theName);
    return true;
}

std::vector<std::string> RepositoryStore::listUsers() {
    std::vector<std::string> aList;
    auto aQuery = itsDatabase->query("SELECT name FROM users ORDER BY name");
    while (aQuery.step())
        aList.push_back(aQuery.text(0));
    return aList;
}

bool RepositoryStore::markAdministrator(const std::string& theName, bool theAdministrator) {
    itsDatabase->query("UPDATE users SET is_admin = ? WHERE name = ?")
        .bind(1, std::int64_t{theAdministrator ? 1 : 0})
        .bind(2, theName)
        .run();
    return itsDatabase->changes() > 0;
}

std::vector<std::string> RepositoryStore::listAdministrators() {
    std::vector<std::string> aList;
    auto aQuery = itsDatabase->query("SELECT name FROM users WHERE is_admin = 1 ORDER BY name");
    while (aQuery.step())
        aList.push_back(aQuery.text(0));
    return aList;
}

namespace {

// An object type from a row of "SELECT * FROM object_types".
ObjectTypeRecord readObjectType(const SqlQuery& theQuery) {
    return {theQuery.text(0), theQuery.text(1), theQuery.text(2), theQuery.text(3),
            theQuery.text(4), theQuery.text(5), theQuery.text(6)};
}

} // namespace

std::vector<ObjectTypeRecord> RepositoryStore::listObjectTypes() {
    std::vector<ObjectTypeRecord> aList;
    auto aQuery = itsDatabase->query("SELECT * FROM object_types ORDER BY object_type");
    while (aQuery.step())
        aList.push_back(readObjectType(aQuery));
    return aList;
}

std::optional<ObjectTypeRecord> RepositoryStore::findObjectType(const std::string& theSuffix) {
    const std::uint64_t aScope = itsDatabase->enclosingTransaction();
    if (aScope == 0) {
        auto aQuery = itsDatabase->query("SELECT * FROM object_types WHERE file_extension = ? "
                                         "ORDER BY object_type LIMIT 1");
        aQuery.bind(1, theSuffix);
        if (!aQuery.step())
            return std::nullopt;
        return readObjectType(aQuery);
    }
    if (aScope != itsObjectTypes.itsScope) {
        itsObjectTypes.itsTypes = listObjectTypes();
        itsObjectTypes.itsScope = aScope;
    }
    for (const ObjectTypeRecord& aType : itsObjectTypes.itsTypes)
        if (aType.itsFileExtension == theSuffix)
            return aType;
    return std::nullopt;
}

std::optional<PackageRecord> RepositoryStore::findPackage(const std::string& theName) {
    auto aQuery = itsDatabase->query(selectPackages(itsDescriptions.itsPackage, "WHERE name = ?"));
    aQuery.bind(1, theName);
    if (!aQuery.step())
        return std::nullopt;
    return readPackage(aQuery, itsDescriptions.itsPackage);
}

bool RepositoryStore::packageExists(const std::string& theName) {
    const bool aKeeping = followLockedTransaction();
    if (itsFacts.itsPackages.contains(theName))
        return true;
    auto aQuery = itsDatabase->query("SELECT 1 FROM packages WHERE name = ?");
    aQuery.bind(1, theName);
    if (!aQuery.step())
        return false;
    if (aKeeping)
        itsFacts.itsPackages.insert(theName);
    return true;
}

std::vector<PackageRecord> RepositoryStore::listPackages() {
    std::vector<PackageRecord> aList;
    auto aQuery = itsDatabase->query(selectPackages(itsDescriptions.itsPackage, "ORDER BY name"));
    while (aQuery.step())
        aList.push_back(readPackage(aQuery, itsDescriptions.itsPackage));
    return aList;
}

std::vector<PackageRecord> RepositoryStore::packagesOfDeliveryUnit(const std::string& theName,
                                                                   const std::string& theVendor) {
    std::vector<PackageRecord> aList;
    auto aQuery = itsDatabase->query(selectPackages(
        itsDescriptions.itsPackage, "WHERE delivery_unit = ? AND du_vendor = ? ORDER BY name"));
    aQuery.bind(1, theName).bind(2, theVendor);
    while (aQuery.step())
        aList.push_back(readPackage(aQuery, itsDescriptions.itsPackage));
    return aList;
}

void RepositoryStore::insertPackage(const PackageRecord& thePackage) {
    auto aQuery =
        itsDatabase->query(storecolumns::insertStatement("packages", itsDescriptions.itsPackage));
    storecolumns::bindRecord(aQuery, itsDescriptions.itsPackage, thePackage);
    aQuery.run();
}

void RepositoryStore::updatePackage(const PackageRecord& thePackage) {
    auto aQuery =
        itsDatabase->query(storecolumns::updateStatement("packages", itsDescriptions.itsPackage));
    storecolumns::bindRecord(aQuery, itsDescriptions.itsPackage, thePackage);
    aQuery.run();
}

void RepositoryStore::deletePackage(const std::string& theName) {
    itsDatabase->query("DELETE FROM packages WHERE name = ?").bind(1, theName).run();
    itsFacts.itsPackages.erase(theName);
}

std::vector<std::string> RepositoryStore::subPackages(const std::string& theName) {
    std::vector<std::string> aList;
    auto aQuery =
        itsDatabase->query("SELECT name FROM packages WHERE length(name) > length(?1) + 1 "
                           "AND substr(name, 1, length(?1) + 1) = ?1 || '.' ORDER BY name");
    aQuery.bind(1, theName);
    while (aQuery.step())
        aList.push_back(aQuery.text(0));
    return aList;
}

std::optional<std::int64_t> RepositoryStore::findObject(const ObjectKey& theKey) {
    auto aQuery =
        itsDatabase->query("SELECT id FROM objects WHERE package = ? AND name = ? AND suffix = ?");
    aQuery.bind(1, theKey.itsPackage).bind(2, theKey.itsName).bind(3, theKey.itsSuffix);
    if (!aQuery.step())
        return std::nullopt;
    return aQuery.integer(0);
}

std::int64_t RepositoryStore::createObject(const ObjectKey& theKey) {
    // A plain insert and the generated key: "RETURNING" would make SQLite keep a statement
    // journal for every new object, which costs a write of every page the insert touches.
    itsDatabase->query("INSERT INTO objects (package, name, suffix) VALUES (?, ?, ?)")
        .bind(1, theKey.itsPackage)
        .bind(2, theKey.itsName)
        .bind(3, theKey.itsSuffix)
        .run();
    return itsDatabase->lastInsertId();
}

ObjectKey RepositoryStore::objectKey(std::int64_t theObject) {
    auto aQuery = itsDatabase->query("SELECT package, name, suffix FROM objects WHERE id = ?");
    aQuery.bind(1, theObject);
    if (!aQuery.step())
        throw StorageError("Repository storage failed: object " + std::to_string(theObject) +
                           " vanished");
    return {aQuery.text(0), aQuery.text(1), aQuery.text(2)};
}

std::vector<std::int64_t> RepositoryStore::objectsInPackage(const std::string& thePackage) {
    std::vector<std::int64_t> aList;
    auto aQuery =
        itsDatabase->query("SELECT id FROM objects WHERE package = ? ORDER BY name, suffix");
    aQuery.bind(1, thePackage);
    while (aQuery.step())
        aList.push_back(aQuery.integer(0));
    return aList;
}

void RepositoryStore::dropInactiveOfPackage(const std::string& thePackage) {
    itsDatabase
        ->query("DELETE FROM inactive_versions WHERE object_id IN "
                "(SELECT id FROM objects WHERE package = ?1 AND inactive_count > 0)")
        .bind(1, thePackage)
        .run();
    itsDatabase->query("UPDATE objects SET inactive_count = 0 WHERE package = ?")
        .bind(1, thePackage)
        .run();
}

// The inactive versions go first (their table is keyed by workspace, so this looks through it,
// but only for an object that still has some); the history goes with the object.
void RepositoryStore::deleteObject(std::int64_t theObject) {
    if (countInactive(theObject) > 0)
        itsDatabase->query("DELETE FROM inactive_versions WHERE object_id = ?")
            .bind(1, theObject)
            .run();
    itsDatabase->query("DELETE FROM objects WHERE id = ?").bind(1, theObject).run();
}

std::int64_t RepositoryStore::nextNumber(const std::string& theCounter) {
    auto aQuery = itsDatabase->query("INSERT INTO counters (name, value) VALUES (?, 1) "
                                     "ON CONFLICT (name) DO UPDATE SET value = counters.value + 1 "
                                     "RETURNING value");
    aQuery.bind(1, theCounter);
    if (!aQuery.step())
        throw StorageError("Repository storage failed: counter " + theCounter);
    std::int64_t aValue = aQuery.integer(0);
    aQuery.run();
    return aValue;
}

std::int64_t RepositoryStore::countRows(const std::string& theTable) {
    auto aQuery = itsDatabase->query("SELECT count(*) FROM " + theTable);
    return aQuery.step() ? aQuery.integer(0) : 0;
}

} // namespace RepositoryAccess::server
