#include "server/transaction.hpp"

#include "core/console.hpp"

#include <exception>

namespace RepositoryAccess::server {

Transaction::Transaction(SqlDatabase& theDatabase, bool theWrite) : itsDatabase(theDatabase) {
    itsDatabase.begin(theWrite);
}

Transaction::~Transaction() {
    if (!itsOpen)
        return;
    try {
        itsDatabase.rollback();
    } catch (const std::exception& anError) {
        // The failure that brought the work here is the one the caller reports; this one only
        // shows what the database said after it.
        console::traceOnly(std::string("Rollback after a failure failed too: ") + anError.what() +
                           "\n");
    }
}

void Transaction::commit() {
    itsDatabase.commit();
    itsOpen = false;
}

void Transaction::rollback() {
    itsOpen = false;
    itsDatabase.rollback();
}

void Transaction::savepoint() {
    itsDatabase.savepoint();
}

void Transaction::releaseSavepoint() {
    itsDatabase.releaseSavepoint();
}

void Transaction::rollbackToSavepoint() {
    itsDatabase.rollbackToSavepoint();
}

} // namespace RepositoryAccess::server
