#include "server/transaction.hpp"

namespace RepositoryAccess::server {

Transaction::Transaction(SqlDatabase& theDatabase, bool theWrite) : itsDatabase(theDatabase) {
    itsDatabase.begin(theWrite);
}

Transaction::~Transaction() {
    if (itsOpen)
        itsDatabase.rollbackAfterFailure();
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
