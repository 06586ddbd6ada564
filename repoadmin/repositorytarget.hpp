#pragma once

#include "core/serveraddress.hpp"
#include "server/repositorystore.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess::server {

class Engine;

using SettingList = std::vector<std::pair<std::string, std::string>>;

// What putUser did: whether the user existed, and lines for the administrator.
struct UserChange {
    bool itsExisted = false;
    std::vector<std::string> itsNotes;
};

// An existing repository's database in a read transaction (one snapshot), with the names of all
// the tables it holds.
struct RepositorySnapshot {
    std::unique_ptr<SqlDatabase> itsDatabase;
    std::vector<std::string> itsTables;
};

// Where the administration tool keeps a repository: a repository file, or a database of a
// PostgreSQL server. Every method throws Error (StorageError for the database's failures).
class RepositoryTarget {
public:
    virtual ~RepositoryTarget() = default;

    // The target for messages: the file's path, or the server address without its password.
    virtual std::string name() const = 0;
    // The name of the database that holds the repository on a server; empty for a file.
    virtual std::string databaseName() const { return {}; }
    // Creates a new repository with the default settings, overridden by theSettings (by name);
    // fails with "... exists already" when the target holds a repository.
    virtual void create(const SettingList& theSettings) = 0;
    // The existing repository; fails when the target holds none.
    virtual std::unique_ptr<RepositoryStore> open() = 0;
    // The engine of the existing repository on a connection that refuses every write (for the
    // web view, which only reads).
    virtual std::unique_ptr<Engine> openReadOnly() = 0;
    // Adds the user theName (upper case) with thePassword, or changes its password.
    virtual UserChange putUser(const std::string& theName, const std::string& thePassword) = 0;
    // Takes the user theName out of the repository; its versions and inactive objects stay for
    // others to take over. Fails when there is no such user; returns lines for the administrator.
    virtual std::vector<std::string> removeUser(const std::string& theName) = 0;
    // Removes the repository with everything in it; fails when the target holds none.
    virtual void drop() = 0;

    // The existing repository in one snapshot, for a copy to read.
    virtual RepositorySnapshot openSnapshot() = 0;
    // Creates a new repository whose empty tables theFill writes, all in one transaction: when
    // anything fails, the target holds no repository afterwards. Fails like create() when it
    // holds one already. Returns lines for the administrator (users who need a password).
    virtual std::vector<std::string>
    createWith(const std::function<void(SqlDatabase&)>& theFill) = 0;
};

// The target that theArgument names: a server URI or a repository file's path.
std::unique_ptr<RepositoryTarget> makeTarget(const std::string& theArgument);

// Puts theUser into theStore in one write transaction that runs theAlso first (the server's
// login role); true when the user existed.
bool storeUser(RepositoryStore& theStore, const UserRecord& theUser,
               const std::function<void()>& theAlso);

// Takes theName out of theStore in one write transaction that runs theAlso after the row is gone
// (the server's grants); fails when there is no such user.
void unstoreUser(RepositoryStore& theStore, const std::string& theName,
                 const std::function<void()>& theAlso, const std::string& theTargetName);

} // namespace RepositoryAccess::server
