#pragma once

#include "server/sqlitedb.hpp"

namespace RepositoryAccess::server::storeschema {

// Creates the tables of a new repository file at the newest storage level; runs inside the
// caller's transaction.
void create(SqliteDatabase& theDatabase);

// The tables of a repository inside a PostgreSQL database, at the newest storage level: the same
// tables, columns and keys as a repository file, so that rows move between the two unchanged.
// Text compares byte by byte (collation "C"), as in the file.
const char* serverTables();

// Brings an existing repository file up to the newest storage level, one upgrade step after the
// other in one write transaction; a file that is up to date is only read. Fails for a file made
// by a newer program.
void upgrade(SqliteDatabase& theDatabase);

} // namespace RepositoryAccess::server::storeschema
