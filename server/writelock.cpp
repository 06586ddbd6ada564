#include "server/writelock.hpp"

#include "server/sqldatabase.hpp"

#include <charconv>

namespace RepositoryAccess::server {

namespace {

constexpr const char* kWaitSetting = "write_wait_seconds";
constexpr const char* kIdleSetting = "write_idle_seconds";

// The session, user, transaction start (UTC, as the repository writes timestamps) and state of
// the session that holds the write lock. An advisory lock on a bigint key shows its high half
// as classid, its low half as objid, and objsubid 1.
std::string holderQuery() {
    const auto aKey = static_cast<std::uint64_t>(kRepositoryWriteLock);
    return "SELECT a.pid, coalesce(a.usename, ''), coalesce(pg_catalog.to_char(a.xact_start AT "
           "TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.MS'), ''), coalesce(a.state, '') "
           "FROM pg_catalog.pg_locks l JOIN pg_catalog.pg_stat_activity a ON a.pid = l.pid "
           "WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 1 AND l.classid = " +
           std::to_string(aKey >> 32) + " AND l.objid = " + std::to_string(aKey & 0xFFFFFFFFu) +
           " AND l.database = (SELECT oid FROM pg_catalog.pg_database WHERE datname = "
           "pg_catalog.current_database())";
}

} // namespace

bool isWriteLockSetting(const std::string& theName) {
    return theName == kWaitSetting || theName == kIdleSetting;
}

std::int64_t writeLockSeconds(const std::string& theValue) {
    std::int64_t aSeconds = 0;
    const char* anEnd = theValue.data() + theValue.size();
    auto [aStop, anError] = std::from_chars(theValue.data(), anEnd, aSeconds);
    if (anError != std::errc() || aStop != anEnd || aSeconds < 1 ||
        aSeconds > WriteLockLimits::kMostSeconds)
        return 0;
    return aSeconds;
}

WriteLockLimits readWriteLockLimits(SqlDatabase& theDatabase) {
    WriteLockLimits aLimits;
    auto aQuery = theDatabase.query("SELECT name, value FROM settings WHERE name IN (?, ?)");
    aQuery.bind(1, kWaitSetting).bind(2, kIdleSetting);
    while (aQuery.step()) {
        const std::int64_t aSeconds = writeLockSeconds(aQuery.text(1));
        if (aSeconds == 0)
            continue;
        if (aQuery.text(0) == kWaitSetting)
            aLimits.itsWaitSeconds = aSeconds;
        else
            aLimits.itsIdleSeconds = aSeconds;
    }
    return aLimits;
}

std::string busyMessage(SqlDatabase& theDatabase, std::int64_t theWaitSeconds) {
    const std::string aWait = "a write waits at most " + std::to_string(theWaitSeconds) +
                              " s for it (setting " + kWaitSetting + "). Try again later.";
    auto aQuery = theDatabase.query(holderQuery());
    if (!aQuery.step())
        return "The repository is busy: another writer held its write lock longer than " +
               std::to_string(theWaitSeconds) + " s. Try again later.";
    const std::string aSince = aQuery.text(2);
    std::string aText = "The repository is busy";
    if (!aSince.empty())
        aText += " since " + aSince + " (UTC)";
    aText += ": user " + aQuery.text(1) + " (session " + aQuery.text(0) + ") holds its write lock";
    if (aQuery.text(3).starts_with("idle in transaction"))
        aText += ", idle in a transaction";
    return aText + "; " + aWait;
}

} // namespace RepositoryAccess::server
