#pragma once

#include "server/sqldatabase.hpp"

namespace RepositoryAccess::server {

// One transaction of a database from its begin to its commit: every place that writes or reads
// the repository in a transaction holds one, so that an end without commit always rolls back.
// The error that ended the work is the one that counts: a rollback that fails while an error is
// on its way out never replaces it (SqlDatabase::rollbackAfterFailure: the trace, or the
// database's own failure state).
class Transaction {
public:
    // Begins the transaction (a write transaction takes the write lock first); throws
    // StorageError when it cannot.
    Transaction(SqlDatabase& theDatabase, bool theWrite);
    // Rolls back a transaction that was neither committed nor rolled back.
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits; a failed commit leaves the transaction to the rollback of the destructor.
    void commit();
    // Rolls back now; throws when the rollback itself fails (no other error is on its way).
    void rollback();

    // A savepoint within the transaction, for one request of several that share it: its changes
    // are kept (release) or taken back (rollbackToSavepoint) without the others'.
    void savepoint();
    void releaseSavepoint();
    void rollbackToSavepoint();

private:
    SqlDatabase& itsDatabase;
    bool itsOpen = true;
};

} // namespace RepositoryAccess::server
