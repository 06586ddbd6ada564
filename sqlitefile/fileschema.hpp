#pragma once

#include "server/sqldatabase.hpp"

namespace RepositoryAccess::server::fileschema {

// Creates the tables of a new repository file at the newest storage level; runs inside the
// caller's transaction.
void create(SqlDatabase& theDatabase);

// Brings an existing repository file up to the newest storage level, one upgrade step after the
// other in one write transaction; a file that is up to date is only read. Fails for a file made
// by a newer program.
void upgrade(SqlDatabase& theDatabase);

} // namespace RepositoryAccess::server::fileschema
