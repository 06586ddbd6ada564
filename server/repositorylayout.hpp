#pragma once

#include "server/sqlitedb.hpp"

namespace RepositoryAccess::server::layout {

// The layout of the tables that this build writes, kept in the file's `user_version`. A file of
// an older layout is brought up to date when it is opened; a newer one is refused, so that an
// old program never writes into tables it does not know.
inline constexpr int kCurrent = 1;

// Runs the upgrades from layout theFrom to the current one and records the new layout; the
// caller holds the write transaction.
void upgrade(SqliteDatabase& theDatabase, int theFrom);

// The layout recorded in the file.
int recorded(SqliteDatabase& theDatabase);

} // namespace RepositoryAccess::server::layout
