#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::pgextension {

// Answers one repoV2 request frame for theCaller (the session's login role, an upper-case
// repository user) with a repoV2 answer frame, by the repository engine of this backend on the
// tables of the database. A frame that cannot be read, or an unknown request, is answered with
// 40130. Throws server::StorageError (SpiError for a failure of PostgreSQL) when the tables
// cannot be read or written; the request has then been rolled back.
std::string answerFrame(std::string_view theFrame, const std::string& theCaller);

// Creates the repository's tables in the current schema (the first of the search path) and
// fills them with the default settings and object types, theDatabaseName as the setting
// database_name. Throws like answerFrame.
void installRepository(const std::string& theDatabaseName);

} // namespace RepositoryAccess::pgextension
