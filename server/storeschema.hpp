#pragma once

#include <string>
#include <vector>

namespace RepositoryAccess::server::storeschema {

// The tables of a repository inside a PostgreSQL database, at the newest storage level: the same
// tables, columns and keys as a repository file, so that rows move between the two unchanged.
// Text compares byte by byte (collation "C"), as in the file.
const char* serverTables();

// Every table of a repository at the newest storage level, each after the tables that its
// foreign keys name, so that rows can be inserted in this order. A copy of a repository moves
// exactly these tables and refuses a source that holds another one: a new table belongs here.
const std::vector<std::string>& tableNames();

} // namespace RepositoryAccess::server::storeschema
