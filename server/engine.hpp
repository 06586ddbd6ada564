#pragma once

#include "server/groupbudget.hpp"
#include "server/passwordhash.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess::server {

// The repository engine: frame in, frame out. Each request runs in one transaction of its
// database (a write request takes the write lock first); a refused request changes nothing.
// Requests that cannot be read are answered with error 40130, never by a crash.
class Engine {
public:
    // Works on theDatabase, whose tables are up to date (a repository file that its own library
    // opened and upgraded, or a database server's own tables), with the records as described.
    explicit Engine(std::unique_ptr<SqlDatabase> theDatabase,
                    RecordDescriptions theDescriptions = {});

    // Answers one repoV2 request frame sent by theUser (an upper-case user name) with a repoV2
    // response frame. Throws StorageError only when the repository file itself fails.
    std::string call(const std::string& theUser, std::string_view theFrame);

    // True when theUser (upper case) exists and thePassword is its password.
    bool authenticate(const std::string& theUser, std::string_view thePassword,
                      PasswordMemo* apMemo = nullptr);

    // A repository setting, read in its own transaction.
    std::optional<std::string> setting(const std::string& theName);

    // Lets the requests that follow share write transactions until endGroup, each request still
    // atomic on its own (a savepoint): a run that sends thousands of small requests then waits
    // for a few commits instead of one per request. A shared transaction commits when it has
    // used its GroupBudget, so that other writers wait for at most one of them. A storage failure
    // rolls back the whole open transaction, the group's earlier requests in it included; so does
    // the end of a process that never ends the group.
    void beginGroup();
    // Commits the group's open transaction; throws StorageError when that fails.
    void endGroup();

    RepositoryStore& store() { return itsStore; }

    // The requests that write (action and what), in the engine's order.
    static std::vector<std::pair<std::string, std::string>> writeRequests();

private:
    // The request's transaction: its own one (in theOwn), or the group's shared one with a
    // savepoint for the request.
    Transaction& startRequest(bool theWrite, std::optional<Transaction>& theOwn);
    void finishRequest(Transaction& theTransaction);
    void abandonRequest(Transaction& theTransaction);
    void abandonGroup();
    void requireUser(const std::string& theUser);
    void commitGroup();
    bool isGroup(const Transaction& theTransaction) const;
    template <typename Step> void inGroup(Step theStep);
    template <typename Work> auto inReadTransaction(Work theWork);

    RepositoryStore itsStore;
    bool itsGrouping = false;
    std::optional<Transaction> itsGroup; // the group's shared transaction, while one is open
    GroupBudget itsGroupBudget;
};

} // namespace RepositoryAccess::server
