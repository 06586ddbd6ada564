// The change-tracking tables of the repository store: changes, their entries and contributors.
#include "server/repositorystore.hpp"

#include "server/records.hpp"
#include "server/storecolumns.hpp"

namespace RepositoryAccess::server {

std::optional<ChangeRecord> RepositoryStore::findChange(const std::string& theId) {
    const RecordDescription aFields = itsDescriptions.itsChange;
    auto aQuery = itsDatabase->query("SELECT " + storecolumns::columnList(aFields) +
                                     " FROM changes WHERE id = ?");
    aQuery.bind(1, theId);
    if (!aQuery.step())
        return std::nullopt;
    ChangeRecord aChange;
    storecolumns::readRecord(aQuery, aFields, aChange);
    return aChange;
}

std::vector<ChangeRecord> RepositoryStore::listChanges() {
    const RecordDescription aFields = itsDescriptions.itsChange;
    std::vector<ChangeRecord> aList;
    auto aQuery = itsDatabase->query("SELECT " + storecolumns::columnList(aFields) +
                                     " FROM changes ORDER BY number, id");
    while (aQuery.step())
        storecolumns::readRecord(aQuery, aFields, aList.emplace_back());
    return aList;
}

void RepositoryStore::insertChange(const ChangeRecord& theChange) {
    auto aQuery =
        itsDatabase->query(storecolumns::insertStatement("changes", itsDescriptions.itsChange));
    storecolumns::bindRecord(aQuery, itsDescriptions.itsChange, theChange);
    aQuery.run();
}

void RepositoryStore::updateChange(const ChangeRecord& theChange) {
    auto aQuery =
        itsDatabase->query(storecolumns::updateStatement("changes", itsDescriptions.itsChange));
    storecolumns::bindRecord(aQuery, itsDescriptions.itsChange, theChange);
    aQuery.run();
}

void RepositoryStore::deleteChange(const std::string& theId) {
    itsDatabase->query("DELETE FROM changes WHERE id = ?").bind(1, theId).run();
}

bool RepositoryStore::hasOpenChanges() {
    return itsDatabase->query("SELECT 1 FROM changes WHERE status = 1 LIMIT 1").step();
}

std::vector<std::int64_t> RepositoryStore::changeEntries(const std::string& theId) {
    std::vector<std::int64_t> aList;
    auto aQuery = itsDatabase->query(
        "SELECT e.object_id FROM change_entries e JOIN objects o ON o.id = e.object_id "
        "WHERE e.change_id = ? ORDER BY o.package, o.name, o.suffix");
    aQuery.bind(1, theId);
    while (aQuery.step())
        aList.push_back(aQuery.integer(0));
    return aList;
}

void RepositoryStore::addChangeEntry(const std::string& theId, std::int64_t theObject) {
    itsDatabase
        ->query("INSERT INTO change_entries (change_id, object_id) VALUES (?, ?) "
                "ON CONFLICT DO NOTHING")
        .bind(1, theId)
        .bind(2, theObject)
        .run();
}

void RepositoryStore::removeChangeEntry(const std::string& theId, std::int64_t theObject) {
    itsDatabase->query("DELETE FROM change_entries WHERE change_id = ? AND object_id = ?")
        .bind(1, theId)
        .bind(2, theObject)
        .run();
}

std::vector<std::string> RepositoryStore::openChangesOf(std::int64_t theObject) {
    std::vector<std::string> aList;
    auto aQuery =
        itsDatabase->query("SELECT c.id FROM change_entries e JOIN changes c ON c.id = e.change_id "
                           "WHERE e.object_id = ? AND c.status = 1 ORDER BY c.number, c.id");
    aQuery.bind(1, theObject);
    while (aQuery.step())
        aList.push_back(aQuery.text(0));
    return aList;
}

std::vector<ContributorRecord> RepositoryStore::contributors(const std::string& theId) {
    const RecordDescription aFields = itsDescriptions.itsContributor;
    std::vector<ContributorRecord> aList;
    // By name: the order is in the rows themselves, so a repository copied between a file and a
    // database server lists its contributors as before (a server has no rowid).
    auto aQuery = itsDatabase->query("SELECT " + storecolumns::columnList(aFields) +
                                     " FROM change_contributors WHERE change_id = ? ORDER BY "
                                     "\"user\"");
    aQuery.bind(1, theId);
    while (aQuery.step())
        storecolumns::readRecord(aQuery, aFields, aList.emplace_back());
    return aList;
}

std::optional<ContributorRecord> RepositoryStore::findContributor(const std::string& theId,
                                                                  const std::string& theUser) {
    const RecordDescription aFields = itsDescriptions.itsContributor;
    auto aQuery = itsDatabase->query("SELECT " + storecolumns::columnList(aFields) +
                                     " FROM change_contributors WHERE change_id = ? AND \"user\" "
                                     "= ?");
    aQuery.bind(1, theId).bind(2, theUser);
    if (!aQuery.step())
        return std::nullopt;
    ContributorRecord aContributor;
    storecolumns::readRecord(aQuery, aFields, aContributor);
    return aContributor;
}

void RepositoryStore::putContributor(const std::string& theId,
                                     const ContributorRecord& theContributor) {
    auto aQuery = itsDatabase->query(storecolumns::putStatement("change_contributors", "change_id",
                                                                itsDescriptions.itsContributor));
    aQuery.bind(1, theId);
    storecolumns::bindRecord(aQuery, itsDescriptions.itsContributor, theContributor, 2);
    aQuery.run();
}

void RepositoryStore::removeContributor(const std::string& theId, const std::string& theUser) {
    itsDatabase->query("DELETE FROM change_contributors WHERE change_id = ? AND \"user\" = ?")
        .bind(1, theId)
        .bind(2, theUser)
        .run();
}

void RepositoryStore::reassignVersions(std::int64_t theObject, const std::string& theFrom,
                                       const std::string& theTo) {
    itsDatabase
        ->query("UPDATE history SET change_number = ?3 WHERE object_id = ?1 AND change_number = ?2")
        .bind(1, theObject)
        .bind(2, theFrom)
        .bind(3, theTo)
        .run();
}

void RepositoryStore::releaseVersions(const std::string& theId, const std::string& theTimestamp) {
    itsDatabase
        ->query("UPDATE history SET released_at = ?2 WHERE change_number = ?1 AND change_number "
                "<> '' AND released_at = ''")
        .bind(1, theId)
        .bind(2, theTimestamp)
        .run();
}

} // namespace RepositoryAccess::server
