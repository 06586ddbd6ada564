#pragma once

#include <cstdint>
#include <string>

namespace RepositoryAccess::server {

class SqlDatabase;

// The key of the transaction-scoped advisory lock (pg_advisory_xact_lock) that every writer of a
// repository inside a PostgreSQL database takes before it reads anything: the engine's requests
// and the administration tool alike, so that no two of them interleave. Advisory locks belong to
// one database, so one key serves every repository of a server. The bytes spell "kivoWRIT".
constexpr std::int64_t kRepositoryWriteLock = 0x6B69766F57524954;

// How long a writer waits for the write lock before it fails as busy, and how long the holder
// of the lock may stay idle inside its transaction before the server ends its session (so that
// a session left open in a transaction never holds the repository): the repository settings
// write_wait_seconds and write_idle_seconds, whole seconds from 1 to 86400.
struct WriteLockLimits {
    static constexpr std::int64_t kDefaultWaitSeconds = 60;
    static constexpr std::int64_t kDefaultIdleSeconds = 15;
    static constexpr std::int64_t kMostSeconds = 86400;

    std::int64_t itsWaitSeconds = kDefaultWaitSeconds;
    std::int64_t itsIdleSeconds = kDefaultIdleSeconds;
};

// True for the names of the two settings.
bool isWriteLockSetting(const std::string& theName);
// The seconds that theValue gives, or 0 when it is no whole number from 1 to 86400.
std::int64_t writeLockSeconds(const std::string& theValue);

// The limits that the settings table of theDatabase's repository sets; a missing or invalid
// value keeps its default.
WriteLockLimits readWriteLockLimits(SqlDatabase& theDatabase);

// The statements of the lock, in the order a writer runs them in its transaction: try the lock;
// only where it is held, keep the session's lock timeout, wait at most the limit for the lock,
// put the session's timeout back, and limit the idle time of the transaction that holds it.
namespace writelocksql {
// Takes the lock if it is free and then limits the idle time at once, in one statement: a
// non-null value when the lock was taken. Most writers find the lock free and never wait.
inline constexpr const char* kTryLock =
    "SELECT CASE WHEN pg_catalog.pg_try_advisory_xact_lock(?1) THEN "
    "pg_catalog.set_config('idle_in_transaction_session_timeout', ?2, true) END";
inline constexpr const char* kCurrentLockTimeout =
    "SELECT pg_catalog.current_setting('lock_timeout')";
inline constexpr const char* kSetLockTimeout =
    "SELECT pg_catalog.set_config('lock_timeout', ?, true)";
inline constexpr const char* kTakeLock = "SELECT pg_catalog.pg_advisory_xact_lock(?)";
inline constexpr const char* kSetIdleTimeout =
    "SELECT pg_catalog.set_config('idle_in_transaction_session_timeout', ?, true)";
} // namespace writelocksql

// The message of a writer that waited theWaitSeconds for the lock in vain: the repository is
// busy, since when and held by whom (session and user), as far as the server's lock table
// shows them to theDatabase's user. Reads outside the writer's failed transaction.
std::string busyMessage(SqlDatabase& theDatabase, std::int64_t theWaitSeconds);

} // namespace RepositoryAccess::server
