#pragma once

#include "server/sqldatabase.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace RepositoryAccess::server {

// Copies a whole repository from one database to another, row for row: every table of
// storeschema::tableNames(), in that order, each value with the kind that the source gives it,
// each row read and written on its own (a table of large contents is never held whole). Both
// databases are in the caller's transactions, the target's a write transaction.
class RepositoryCopy {
public:
    // theSourceTables names every table that theSource holds; one that is no repository table
    // is refused with Error here, before anything is written.
    RepositoryCopy(SqlDatabase& theSource, const std::vector<std::string>& theSourceTables);

    // Removes theTarget's rows of the repository tables (the seeded rows of a new database) and
    // copies the source's rows into them; fails with StorageError when a table's columns differ.
    // Returns the number of rows copied.
    std::int64_t into(SqlDatabase& theTarget);
    // Gives the copy in theTarget the repository name theName (its setting database_name, after
    // which new changes are numbered).
    static void rename(SqlDatabase& theTarget, const std::string& theName);

private:
    SqlDatabase& itsSource;
};

} // namespace RepositoryAccess::server
