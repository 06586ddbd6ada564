#pragma once

#include "pgextension/spistatement.hpp"
#include "server/sqldatabase.hpp"
#include "server/writelock.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// PostgreSQL's types, by name only: this header stays free of the server's headers.
struct MemoryContextData;
struct ResourceOwnerData;

namespace RepositoryAccess::pgextension {

// A failure that PostgreSQL reported, with its SQLSTATE (as PostgreSQL encodes it), so that the
// procedure can report it again with the same code (a cancelled statement stays cancelled).
class SpiError : public server::StorageError {
public:
    SpiError(const std::string& theMessage, int theCode)
        : server::StorageError(theMessage), itsCode(theCode) {}
    int code() const { return itsCode; }

private:
    int itsCode;
};

// The repository's tables inside PostgreSQL, through SPI, for the code that runs inside a call of
// the extension's functions. Every statement runs in the caller's transaction: a request is a
// subtransaction of it (begin, commit, rollback), so that a refused request changes nothing.
// Statements are prepared once per text and kept for the backend's life.
class SpiDatabase final : public server::SqlDatabase {
public:
    SpiDatabase();
    ~SpiDatabase() override;
    SpiDatabase(const SpiDatabase&) = delete;
    SpiDatabase& operator=(const SpiDatabase&) = delete;

    // One call of a function of the extension: connects to SPI and ends the connection again;
    // a request left open is rolled back. A failure to connect throws.
    class Call {
    public:
        explicit Call(SpiDatabase& theDatabase);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        SpiDatabase& itsDatabase;
    };

    server::SqlQuery query(const std::string& theSql) override;
    // Runs one or more statements through SPI, without parameters.
    void execute(const std::string& theSql) override;
    std::int64_t changes() const override { return itsChanges; }
    std::int64_t lastInsertId() override;

    // A read opens a subtransaction whose statements all see the snapshot of the calling
    // statement; a write waits for the repository's write lock first (at most the repository's
    // limit, then it fails as busy, naming the holder) and then gives each statement a fresh
    // snapshot.
    void begin(bool theWrite) override;
    // A write subtransaction without the write lock, for the installation of the tables, which
    // no other writer can see yet (and whose settings do not exist yet).
    void beginInstallation();
    void commit() override;
    void rollback() override;
    // Rolls the open request back while another failure is on its way out; a failure of the
    // rollback itself is recorded as the database's failure, never thrown.
    void rollbackAfterFailure() noexcept override;
    std::uint64_t lockedTransaction() const override;
    std::uint64_t enclosingTransaction() const override;

    // For the statements: fails when a failure of PostgreSQL has not been rolled back yet.
    void requireUsable() const;
    // Records a failure of PostgreSQL and throws it as SpiError.
    [[noreturn]] void fail(const char* theWhat, const char* theMessage, int theCode);
    // Records a failure of PostgreSQL where nothing may be thrown.
    void markFailed(const char* theMessage) noexcept;
    bool failed() const { return itsFailed; }
    bool readOnly() const { return itsReadOnly; }
    void setChanges(std::int64_t theChanges) { itsChanges = theChanges; }
    // Counts rows that a statement inserted, updated or deleted, towards the next refresh of
    // the tables' statistics.
    void countChangedRows(std::int64_t theRows) { itsChangedRows += theRows; }

private:
    void endCall() noexcept;
    void openSubtransaction(bool theWrite);
    // Waits for the write lock within theLimits; false when the wait timed out (the
    // subtransaction is then failed and must be rolled back).
    bool takeWriteLock(const server::WriteLockLimits& theLimits);
    // True when the current top-level transaction holds the write lock already.
    bool holdsWriteLock() const;
    // The busy message, read in a read subtransaction of its own.
    std::string writerBusy(std::int64_t theWaitSeconds);
    // Brings the planner's statistics of the tables that grow with the repository up to date
    // once this backend has changed enough rows since the last time, in a subtransaction of its
    // own before a request's.
    void refreshStatistics();
    // Whether a table that grows with the repository was last analysed empty, or never.
    bool hasStatisticsOfEmptyTables();

    std::map<std::string, std::unique_ptr<SpiStatement>, std::less<>> itsStatements;
    std::int64_t itsChanges = 0;
    // Rows changed since the last refresh of the statistics, and how many the next one waits
    // for: it grows fourfold each time, so that a long run refreshes a few times, not without
    // end (a first push of 1,000 files twice).
    std::int64_t itsChangedRows = 0;
    std::int64_t itsRefreshAt = 500;
    bool itsConnected = false;
    bool itsInSubtransaction = false;
    bool itsReadOnly = false;
    bool itsSnapshotPushed = false; // the open read's own snapshot, popped at its commit
    // The write lock: taken by the open subtransaction, and the local id of the top-level
    // transaction that holds it since a subtransaction that took it committed (0: none). The
    // requests of a client's group share one transaction, and only its first write waits.
    bool itsLockTaken = false;
    std::uint32_t itsLockedTransaction = 0;
    // A failure of PostgreSQL happened that only a rollback of the subtransaction clears.
    bool itsFailed = false;
    std::string itsFailure;
    MemoryContextData* itsContext = nullptr; // current at begin, restored at its end
    ResourceOwnerData* itsOwner = nullptr;
};

} // namespace RepositoryAccess::pgextension
