#pragma once

#include "server/sqldatabase.hpp"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace RepositoryAccess::server {

// Creates a new repository file at thePath with its tables, the default settings (overridden by
// theSettings, by name) and the object types, all in one transaction; fails when the file
// exists.
void createRepositoryFile(const std::string& thePath,
                          const std::vector<std::pair<std::string, std::string>>& theSettings);

// Opens the existing repository file at thePath, brought up to the newest storage level, for
// the engine or the store to work on; throws StorageError when it cannot.
std::unique_ptr<SqlDatabase> openRepositoryFile(const std::string& thePath);

} // namespace RepositoryAccess::server
