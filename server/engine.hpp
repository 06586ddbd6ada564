#pragma once

#include "server/repositorystore.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// The repository engine: frame in, frame out. Each request runs in one transaction of its
// database (a write request takes the write lock first); a refused request changes nothing.
// Requests that cannot be read are answered with error 40130, never by a crash.
class Engine {
public:
    // Opens an existing repository file; throws StorageError when it cannot.
    explicit Engine(const std::string& thePath);
    // Works on theDatabase, whose tables are up to date (a database server's own tables).
    explicit Engine(std::unique_ptr<SqlDatabase> theDatabase);

    // Answers one repoV2 request frame sent by theUser (an upper-case user name) with a repoV2
    // response frame. Throws StorageError only when the repository file itself fails.
    std::string call(const std::string& theUser, std::string_view theFrame);

    // True when theUser (upper case) exists and thePassword is its password.
    bool authenticate(const std::string& theUser, std::string_view thePassword);

    // A repository setting, read in its own transaction.
    std::optional<std::string> setting(const std::string& theName);

    RepositoryStore& store() { return itsStore; }

private:
    RepositoryStore itsStore;
};

} // namespace RepositoryAccess::server
