#include "sqlitefile/fileschema.hpp"

#include "server/transaction.hpp"

#include <string>
#include <vector>

namespace RepositoryAccess::server::fileschema {

namespace {

// The tables of storage level 0, the first layout of a repository file.
const char* const kLevelZero = R"SQL(
CREATE TABLE settings (name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE users (name TEXT PRIMARY KEY, password_hash TEXT NOT NULL);
CREATE TABLE object_types (
  object_type TEXT PRIMARY KEY, description TEXT NOT NULL, file_extension TEXT NOT NULL,
  mime_type TEXT NOT NULL, is_file_type TEXT NOT NULL, use_cdata TEXT NOT NULL,
  use_bdata TEXT NOT NULL);
CREATE TABLE packages (
  name TEXT PRIMARY KEY, src_system TEXT NOT NULL, description TEXT NOT NULL,
  responsible TEXT NOT NULL, orig_lang TEXT NOT NULL, structural TEXT NOT NULL,
  delivery_unit TEXT NOT NULL, du_vendor TEXT NOT NULL, transportable TEXT NOT NULL,
  text_collection TEXT NOT NULL, text_status TEXT NOT NULL,
  text_terminology_domain TEXT NOT NULL, hints_for_translation TEXT NOT NULL);
CREATE TABLE objects (
  id INTEGER PRIMARY KEY, package TEXT NOT NULL, name TEXT NOT NULL, suffix TEXT NOT NULL,
  latest INTEGER NOT NULL DEFAULT 0, inactive_count INTEGER NOT NULL DEFAULT 0,
  UNIQUE (package, name, suffix));
CREATE TABLE history (
  object_id INTEGER NOT NULL REFERENCES objects (id) ON DELETE CASCADE,
  version_nr INTEGER NOT NULL, is_deletion INTEGER NOT NULL, content BLOB,
  activated_at TEXT NOT NULL, activated_by TEXT NOT NULL, object_status TEXT NOT NULL,
  change_number TEXT NOT NULL, released_at TEXT NOT NULL,
  PRIMARY KEY (object_id, version_nr));
CREATE TABLE inactive_versions (
  object_id INTEGER NOT NULL,
  owner TEXT NOT NULL, workspace TEXT NOT NULL, version_id INTEGER NOT NULL,
  is_deletion INTEGER NOT NULL, content BLOB, last_changed_at TEXT NOT NULL,
  PRIMARY KEY (owner, workspace, object_id));
CREATE TABLE counters (name TEXT PRIMARY KEY, value INTEGER NOT NULL);
)SQL";

// Upgrade steps: step i brings a file from level i to level i + 1. A step is only ever appended,
// never changed, so that every file ever written can still be opened. The level is kept in
// SQLite's user_version.
const std::vector<const char*>& upgradeSteps() {
    static const std::vector<const char*> kSteps = {
        // 1: delivery units, keyed by name and vendor.
        R"SQL(
CREATE TABLE delivery_units (
  name TEXT NOT NULL, vendor TEXT NOT NULL, caption TEXT NOT NULL, responsible TEXT NOT NULL,
  version TEXT NOT NULL, version_sp TEXT NOT NULL, version_patch TEXT NOT NULL,
  last_update TEXT NOT NULL, qrts_id TEXT NOT NULL, sp_qrts_id TEXT NOT NULL, ach TEXT NOT NULL,
  PRIMARY KEY (name, vendor));
CREATE INDEX packages_by_delivery_unit ON packages (delivery_unit, du_vendor);
)SQL",
        // 2: change tracking. The entries of a change go with their object; a history entry
        // names its change by id, and the partial index finds the versions of one change at its
        // release.
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
        // 3: the administrator mark of a user (1 marked). While nobody is marked, every user
        // administers, so the users of an older file keep what they could do.
        R"SQL(
ALTER TABLE users ADD COLUMN is_admin INTEGER NOT NULL DEFAULT 0;
)SQL",
    };
    return kSteps;
}

std::int64_t newestLevel() {
    return static_cast<std::int64_t>(upgradeSteps().size());
}

std::int64_t levelOf(SqlDatabase& theDatabase) {
    auto aQuery = theDatabase.query("PRAGMA user_version");
    return aQuery.step() ? aQuery.integer(0) : 0;
}

// Runs the steps from theLevel on and records the newest level.
void applySteps(SqlDatabase& theDatabase, std::int64_t theLevel) {
    for (std::size_t i = static_cast<std::size_t>(theLevel); i < upgradeSteps().size(); ++i)
        theDatabase.execute(upgradeSteps()[i]);
    theDatabase.execute("PRAGMA user_version = " + std::to_string(newestLevel()));
}

} // namespace

void create(SqlDatabase& theDatabase) {
    theDatabase.execute(kLevelZero);
    applySteps(theDatabase, 0);
}

void upgrade(SqlDatabase& theDatabase) {
    if (levelOf(theDatabase) == newestLevel())
        return;
    Transaction aTransaction(theDatabase, true);
    // Another process may have upgraded the file meanwhile: the level is read again under the
    // write lock.
    std::int64_t aLevel = levelOf(theDatabase);
    if (aLevel > newestLevel())
        throw StorageError("The repository file has storage level " + std::to_string(aLevel) +
                           "; this program knows levels up to " + std::to_string(newestLevel()));
    applySteps(theDatabase, aLevel);
    aTransaction.commit();
}

} // namespace RepositoryAccess::server::fileschema
