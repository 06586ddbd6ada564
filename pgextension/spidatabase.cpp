// The repository store's database inside PostgreSQL: SPI under the engine's interface. Every
// call into PostgreSQL goes through pgGuard (pgguard.hpp); a caught error leaves the current
// subtransaction to be rolled back, so the database refuses everything but rollback() until
// then, and the statements only forget (never free) their rows meanwhile.

#include "pgextension/spidatabase.hpp"

#include "pgextension/pgguard.hpp"
#include "server/sqlmarks.hpp"
#include "server/transaction.hpp"
#include "server/writelock.hpp"

#include <utility>

extern "C" {
#include "access/xact.h"
#include "executor/spi.h"
#include "storage/proc.h"
#include "utils/errcodes.h"
#include "utils/fmgrprotos.h"
#include "utils/guc.h"
#include "utils/resowner.h"
#include "utils/snapmgr.h"
}

namespace RepositoryAccess::pgextension {

using server::StorageError;

SpiDatabase::SpiDatabase() = default;

SpiDatabase::~SpiDatabase() = default;

SpiDatabase::Call::Call(SpiDatabase& theDatabase) : itsDatabase(theDatabase) {
    if (itsDatabase.itsConnected)
        throw StorageError("Repository storage failed: the database is in use by another call");
    // Whatever the previous call left behind ended with its transaction.
    itsDatabase.itsFailed = false;
    itsDatabase.itsFailure.clear();
    itsDatabase.itsInSubtransaction = false;
    itsDatabase.itsReadOnly = false;
    itsDatabase.itsSnapshotPushed = false;
    itsDatabase.itsLockTaken = false;
    itsDatabase.itsChanges = 0;
    PgFailure aFailure;
    int aResult = 0;
    if (!pgGuard(aFailure, [&] { aResult = SPI_connect(); }))
        itsDatabase.fail("connect", aFailure.itsMessage, aFailure.itsCode);
    if (aResult != SPI_OK_CONNECT)
        itsDatabase.fail("connect", SPI_result_code_string(aResult), 0);
    itsDatabase.itsConnected = true;
}

SpiDatabase::Call::~Call() {
    itsDatabase.endCall();
}

void SpiDatabase::endCall() noexcept {
    if (itsInSubtransaction)
        rollbackAfterFailure();
    for (auto& [aSql, aStatement] : itsStatements)
        aStatement->forgetRows();
    // After a failure that no rollback cleared, the error that ends this call aborts the
    // transaction, and that cleans up SPI too: the SPI stack may not be ours at this moment.
    if (itsConnected && !itsFailed) {
        PgFailure aFailure;
        pgGuard(aFailure, [&] { SPI_finish(); });
    }
    itsConnected = false;
}

void SpiDatabase::requireUsable() const {
    if (itsFailed)
        throw StorageError("Repository storage failed before: " + itsFailure);
    if (!itsConnected)
        throw StorageError("Repository storage failed: used outside a call of the extension");
}

void SpiDatabase::fail(const char* theWhat, const char* theMessage, int theCode) {
    markFailed(theMessage);
    throw SpiError(std::string("Repository storage failed (") + theWhat + "): " + theMessage,
                   theCode);
}

void SpiDatabase::markFailed(const char* theMessage) noexcept {
    itsFailed = true;
    try {
        itsFailure = theMessage;
    } catch (...) {
        itsFailure.clear();
    }
}

server::SqlQuery SpiDatabase::query(const std::string& theSql) {
    auto anIt = itsStatements.find(theSql);
    if (anIt == itsStatements.end()) {
        server::NumberedStatement aNumbered = server::numberMarks(theSql);
        anIt =
            itsStatements
                .emplace(theSql, std::make_unique<SpiStatement>(*this, std::move(aNumbered.itsSql),
                                                                aNumbered.itsParameters))
                .first;
    }
    return server::SqlQuery(*anIt->second);
}

void SpiDatabase::execute(const std::string& theSql) {
    requireUsable();
    PgFailure aFailure;
    int aResult = 0;
    std::uint64_t aProcessed = 0;
    const char* aSql = theSql.c_str();
    const bool aReadOnly = itsReadOnly;
    if (!pgGuard(aFailure, [&] {
            aResult = SPI_execute(aSql, aReadOnly, 0);
            aProcessed = SPI_processed;
            if (aResult >= 0)
                SPI_freetuptable(SPI_tuptable);
        }))
        fail("execute", aFailure.itsMessage, aFailure.itsCode);
    if (aResult < 0)
        fail("execute", SPI_result_code_string(aResult), 0);
    itsChanges = static_cast<std::int64_t>(aProcessed);
}

// The server's own lastval(), called directly: a statement for it would cost a plan's run for
// every new object of a push. It checks the caller's rights on the sequence as the statement does.
std::int64_t SpiDatabase::lastInsertId() {
    requireUsable();
    PgFailure aFailure;
    std::int64_t aKey = 0;
    if (!pgGuard(aFailure, [&] {
            LOCAL_FCINFO(aCall, 0);
            InitFunctionCallInfoData(*aCall, nullptr, 0, InvalidOid, nullptr, nullptr);
            aKey = DatumGetInt64(lastval(aCall));
        }))
        fail("lastval", aFailure.itsMessage, aFailure.itsCode);
    return aKey;
}

void SpiDatabase::beginInstallation() {
    openSubtransaction(true);
}

void SpiDatabase::begin(bool theWrite) {
    if (theWrite && IsolationUsesXactSnapshot())
        throw StorageError("The repository changes only in transactions of isolation level READ "
                           "COMMITTED: a write must see what the writer before it committed");
    refreshStatistics();
    openSubtransaction(theWrite);
    if (!theWrite || holdsWriteLock())
        return;
    // One writer at a time per repository, as the repository file's write lock does it: the
    // engine checks its rules (version bases, conflicts, contributors, ...) by reading and then
    // writes, so two writers that interleaved could both pass a check that only one of them may
    // pass. Every writer therefore takes this transaction-scoped advisory lock (one key for the
    // database, shared with the administration tool, server/writelock.hpp) before it reads
    // anything, and holds it until its transaction ends. Each of its statements then runs with a
    // fresh snapshot (SPI not read-only, READ COMMITTED), so it sees everything that the writers
    // before it committed: a lock holder releases the lock only after its commit is visible.
    // Readers take no lock and never wait for a writer.
    server::WriteLockLimits aLimits;
    bool aTaken = false;
    try {
        aLimits = server::readWriteLockLimits(*this);
        aTaken = takeWriteLock(aLimits);
    } catch (...) {
        rollbackAfterFailure();
        throw;
    }
    if (aTaken) {
        itsLockTaken = true;
        return;
    }
    rollback();
    throw SpiError(writerBusy(aLimits.itsWaitSeconds), ERRCODE_LOCK_NOT_AVAILABLE);
}

// A repository that a run fills from empty (a first push, an import) still has the statistics
// of its empty tables: the planner then joins a thousand rows by scanning a table once per row.
// The tables' owner (the procedure runs as it) refreshes them; a table that another session is
// analysing is skipped rather than waited for. The statistics are part of the transaction, as
// the rows they describe are. The statistics of the contents are left out: no statement looks
// for a row by its content, and they would make the refresh read and sort every sampled one.
// Statistics taken of a table with rows stay good as it grows (the planner scales them by the
// table's size), and keeping them current is the server's automatic analysis: a backend refreshes
// only while a growing table has the statistics of an empty one. Otherwise every run that writes
// a few hundred rows into a large repository would sample it again (37 ms each in a team load).
void SpiDatabase::refreshStatistics() {
    if (itsChangedRows < itsRefreshAt)
        return;
    itsChangedRows = 0;
    itsRefreshAt *= 4;
    openSubtransaction(true);
    try {
        if (hasStatisticsOfEmptyTables())
            execute("ANALYZE (SKIP_LOCKED) objects, inactive_versions (owner, workspace, "
                    "object_id), history (object_id, version_nr, is_deletion, change_number), "
                    "packages, change_entries");
    } catch (...) {
        rollbackAfterFailure();
        throw;
    }
    commit();
}

bool SpiDatabase::hasStatisticsOfEmptyTables() {
    auto aQuery = query("SELECT count(*) FROM pg_catalog.pg_class WHERE oid IN "
                        "('objects'::regclass, 'inactive_versions'::regclass, "
                        "'history'::regclass) AND (relpages = 0 OR reltuples <= 0)");
    return aQuery.step() && aQuery.integer(0) > 0;
}

void SpiDatabase::openSubtransaction(bool theWrite) {
    requireUsable();
    if (itsInSubtransaction)
        throw StorageError("Repository storage failed: a request is open already");
    PgFailure aFailure;
    MemoryContext aContext = CurrentMemoryContext;
    ResourceOwner anOwner = CurrentResourceOwner;
    // A read runs every statement in one snapshot, taken as it begins (SPI's read-only mode runs
    // in the active one): it sees one state of the repository and never waits. The snapshot is
    // its own, not the calling statement's, because one statement may run a window of calls:
    // a read there sees the writes of the calls before it.
    if (!pgGuard(aFailure, [&] {
            BeginInternalSubTransaction(nullptr);
            if (!theWrite)
                PushActiveSnapshot(GetTransactionSnapshot());
            // The statements keep working in the call's memory, as PL/Python's do.
            MemoryContextSwitchTo(aContext);
        }))
        fail("begin", aFailure.itsMessage, aFailure.itsCode);
    itsInSubtransaction = true;
    itsContext = aContext;
    itsOwner = anOwner;
    itsReadOnly = !theWrite;
    itsSnapshotPushed = !theWrite;
}

std::uint64_t SpiDatabase::lockedTransaction() const {
    return itsLockTaken || holdsWriteLock() ? MyProc->lxid : 0;
}

std::uint64_t SpiDatabase::enclosingTransaction() const {
    return MyProc->lxid;
}

bool SpiDatabase::holdsWriteLock() const {
    return itsLockedTransaction != 0 && itsLockedTransaction == MyProc->lxid;
}

// The lock and its limits go straight to the server's functions, not through statements: most
// writers of a busy repository wait, and each wait took five statements, each with its executor
// started and ended.
bool SpiDatabase::takeWriteLock(const server::WriteLockLimits& theLimits) {
    const std::string anIdleLimit = std::to_string(theLimits.itsIdleSeconds * 1000);
    const std::string aWaitLimit = std::to_string(theLimits.itsWaitSeconds * 1000);
    const char* const anIdle = anIdleLimit.c_str();
    const char* const aWait = aWaitLimit.c_str();
    PgFailure aFailure;
    if (pgGuard(aFailure, [&] {
            const Datum aKey = Int64GetDatum(server::kRepositoryWriteLock);
            if (!DatumGetBool(DirectFunctionCall1(pg_try_advisory_xact_lock_int8, aKey))) {
                // The wait is bounded: a writer that another one keeps waiting fails as busy.
                // The lock timeout applies to the lock alone; the caller's own comes back for
                // everything after it (and with the subtransaction when the wait fails).
                const int aLevel = NewGUCNestLevel();
                (void)set_config_option("lock_timeout", aWait, PGC_USERSET, PGC_S_SESSION,
                                        GUC_ACTION_SAVE, true, 0, false);
                (void)DirectFunctionCall1(pg_advisory_xact_lock_int8, aKey);
                AtEOXact_GUC(true, aLevel);
            }
            // A session that stays idle in the transaction that holds the lock (a client that
            // called the procedure inside a transaction of its own and went away) is ended by
            // the server after the limit, which rolls its transaction back and frees the
            // repository. The setting lasts as long as the transaction, as the lock does.
            (void)set_config_option("idle_in_transaction_session_timeout", anIdle, PGC_USERSET,
                                    PGC_S_SESSION, GUC_ACTION_LOCAL, true, 0, false);
        }))
        return true;
    if (aFailure.itsCode != ERRCODE_LOCK_NOT_AVAILABLE)
        fail("write lock", aFailure.itsMessage, aFailure.itsCode);
    markFailed(aFailure.itsMessage);
    return false;
}

std::string SpiDatabase::writerBusy(std::int64_t theWaitSeconds) {
    server::Transaction aTransaction(*this, false);
    std::string aMessage = server::busyMessage(*this, theWaitSeconds);
    aTransaction.commit();
    return aMessage;
}

void SpiDatabase::rollbackAfterFailure() noexcept {
    try {
        rollback();
    } catch (const std::exception& anError) {
        // The failure that is on its way out is the one to report; this one stays recorded,
        // so nothing runs on in the subtransaction, and the call's error aborts the transaction.
        markFailed(anError.what());
    }
}

void SpiDatabase::commit() {
    if (!itsInSubtransaction) {
        requireUsable();
        return;
    }
    if (itsFailed) {
        const std::string aFailure = itsFailure;
        rollback();
        throw StorageError("Repository storage failed before: " + aFailure);
    }
    PgFailure aFailure;
    MemoryContext aContext = itsContext;
    ResourceOwner anOwner = itsOwner;
    const bool aPushed = std::exchange(itsSnapshotPushed, false);
    if (!pgGuard(aFailure, [&] {
            if (aPushed)
                PopActiveSnapshot();
            ReleaseCurrentSubTransaction();
            MemoryContextSwitchTo(aContext);
            CurrentResourceOwner = anOwner;
        })) {
        markFailed(aFailure.itsMessage);
        rollbackAfterFailure();
        throw SpiError(std::string("Repository storage failed (commit): ") + aFailure.itsMessage,
                       aFailure.itsCode);
    }
    itsInSubtransaction = false;
    itsReadOnly = false;
    // The lock now belongs to the top-level transaction, until it ends.
    if (std::exchange(itsLockTaken, false))
        itsLockedTransaction = MyProc->lxid;
}

void SpiDatabase::rollback() {
    for (auto& [aSql, aStatement] : itsStatements)
        aStatement->forgetRows();
    if (!itsInSubtransaction)
        return;
    PgFailure aFailure;
    MemoryContext aContext = itsContext;
    ResourceOwner anOwner = itsOwner;
    // A lock taken in the subtransaction goes with it, as does the read's snapshot.
    itsLockTaken = false;
    itsSnapshotPushed = false;
    const bool anOk = pgGuard(aFailure, [&] {
        RollbackAndReleaseCurrentSubTransaction();
        MemoryContextSwitchTo(aContext);
        CurrentResourceOwner = anOwner;
    });
    itsInSubtransaction = false;
    itsReadOnly = false;
    if (!anOk)
        fail("rollback", aFailure.itsMessage, aFailure.itsCode);
    // The subtransaction took the failure's state along.
    itsFailed = false;
    itsFailure.clear();
}

} // namespace RepositoryAccess::pgextension
