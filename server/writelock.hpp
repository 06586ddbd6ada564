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

// The message of a writer that waited theWaitSeconds for the lock in vain: the repository is
// busy, since when and held by whom (session and user), as far as the server's lock table
// shows them to theDatabase's user. Reads outside the writer's failed transaction.
std::string busyMessage(SqlDatabase& theDatabase, std::int64_t theWaitSeconds);

} // namespace RepositoryAccess::server
