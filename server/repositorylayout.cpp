#include "server/repositorylayout.hpp"

#include "server/repositorystore.hpp"

#include <iterator>
#include <string>

namespace RepositoryAccess::server {

namespace {

// Upgrade i turns layout i into layout i + 1.
const char* const kUpgrades[] = {
    // 1: change tracking. The entries of a change go with their object; a history entry names
    // its change by id, and the partial index finds the versions of one change at its release.
    R"SQL(
CREATE TABLE changes (
  id TEXT PRIMARY KEY, number INTEGER NOT NULL, status INTEGER NOT NULL,
  description TEXT NOT NULL, created_at TEXT NOT NULL, created_by TEXT NOT NULL,
  released_at TEXT NOT NULL, released_by TEXT NOT NULL);
CREATE TABLE change_entries (
  change_id TEXT NOT NULL REFERENCES changes (id),
  object_id INTEGER NOT NULL REFERENCES objects (id) ON DELETE CASCADE,
  PRIMARY KEY (change_id, object_id));
CREATE INDEX change_entries_by_object ON change_entries (object_id);
CREATE TABLE change_contributors (
  change_id TEXT NOT NULL REFERENCES changes (id) ON DELETE CASCADE, user TEXT NOT NULL,
  status INTEGER NOT NULL, description TEXT NOT NULL, validated_at TEXT NOT NULL,
  PRIMARY KEY (change_id, user));
CREATE INDEX history_by_change ON history (change_number) WHERE change_number <> '';
)SQL",
};

static_assert(std::size(kUpgrades) == layout::kCurrent);

} // namespace

namespace layout {

int recorded(SqliteDatabase& theDatabase) {
    auto aQuery = theDatabase.query("PRAGMA user_version");
    if (!aQuery.step())
        theDatabase.fail("read the layout version");
    return static_cast<int>(aQuery.integer(0));
}

void upgrade(SqliteDatabase& theDatabase, int theFrom) {
    for (int aStep = theFrom; aStep < kCurrent; ++aStep)
        theDatabase.execute(kUpgrades[aStep]);
    theDatabase.execute("PRAGMA user_version = " + std::to_string(kCurrent));
}

} // namespace layout

void RepositoryStore::upgradeLayout() {
    if (layout::recorded(itsDatabase) == layout::kCurrent)
        return;
    beginWrite();
    try {
        // Read again inside the transaction: another process may have upgraded the file.
        const int aLayout = layout::recorded(itsDatabase);
        if (aLayout > layout::kCurrent)
            throw StorageError("The repository file has the layout " + std::to_string(aLayout) +
                               ", which is newer than this program knows (" +
                               std::to_string(layout::kCurrent) + "); use a newer kivo-repo");
        layout::upgrade(itsDatabase, aLayout);
    } catch (...) {
        rollback();
        throw;
    }
    commit();
}

} // namespace RepositoryAccess::server
