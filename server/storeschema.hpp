#pragma once

#include "server/sqlitedb.hpp"

#include <string>
#include <vector>

namespace RepositoryAccess::server::storeschema {

// Creates the tables of a new repository file at the newest storage level; runs inside the
// caller's transaction.
void create(SqliteDatabase& theDatabase);

// The tables of a repository inside a PostgreSQL database, at the newest storage level: the same
// tables, columns and keys as a repository file, so that rows move between the two unchanged.
// Text compares byte by byte (collation "C"), as in the file.
const char* serverTables();

// Every table of a repository at the newest storage level, each after the tables that its
// foreign keys name, so that rows can be inserted in this order. A copy of a repository moves
// exactly these tables and refuses a source that holds another one: a new table belongs here.
const std::vector<std::string>& tableNames();

// Brings an existing repository file up to the newest storage level, one upgrade step after the
// other in one write transaction; a file that is up to date is only read. Fails for a file made
// by a newer program.
void upgrade(SqliteDatabase& theDatabase);

} // namespace RepositoryAccess::server::storeschema
