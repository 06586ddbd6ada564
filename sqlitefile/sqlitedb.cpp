#include "sqlitefile/sqlitedb.hpp"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RepositoryAccess::server {

namespace {
constexpr int kBusyTimeoutMs = 10000;

// Each database handle is used by one thread at a time, so SQLite's own locks guard nothing here
// and cost a lock pair on every call and every allocation. The allocation counters are switched
// off before SQLite starts; should another part of the process have started it first, it keeps
// its counters and only the handles lose their locks.
void configureOnce() {
    static const bool theConfigured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)theConfigured;
}
} // namespace

SqliteStatement::SqliteStatement(sqlite3* theHandle, sqlite3_stmt* theStatement)
    : itsHandle(theHandle), itsStatement(theStatement) {}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(itsStatement);
}

void SqliteStatement::check(int theResult, const char* theWhat) const {
    if (theResult != SQLITE_OK)
        throw StorageError(std::string("Repository storage failed (") + theWhat +
                           "): " + sqlite3_errmsg(itsHandle));
}

void SqliteStatement::bindText(int theIndex, std::string_view theText) {
    check(sqlite3_bind_text64(itsStatement, theIndex, theText.data(), theText.size(),
                              SQLITE_TRANSIENT, SQLITE_UTF8),
          "bind");
}

void SqliteStatement::bindInteger(int theIndex, std::int64_t theValue) {
    check(sqlite3_bind_int64(itsStatement, theIndex, theValue), "bind");
}

void SqliteStatement::bindBlob(int theIndex, std::string_view theBytes) {
    // A zero-length blob must stay a blob, not NULL: bind a valid pointer. The bytes are not
    // copied (a content may be hundreds of megabytes); the query clears its bindings when it goes.
    static const char aNothing = 0;
    const char* aData = theBytes.empty() ? &aNothing : theBytes.data();
    check(sqlite3_bind_blob64(itsStatement, theIndex, aData, theBytes.size(), SQLITE_STATIC),
          "bind");
}

void SqliteStatement::bindNull(int theIndex) {
    check(sqlite3_bind_null(itsStatement, theIndex), "bind");
}

bool SqliteStatement::step() {
    int aResult = sqlite3_step(itsStatement);
    if (aResult == SQLITE_ROW)
        return true;
    if (aResult == SQLITE_DONE)
        return false;
    check(aResult, "step");
    return false;
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(itsStatement);
}

SqlValueKind SqliteStatement::kind(int theColumn) const {
    switch (sqlite3_column_type(itsStatement, theColumn)) {
    case SQLITE_NULL:
        return SqlValueKind::Null;
    case SQLITE_INTEGER:
        return SqlValueKind::Integer;
    case SQLITE_BLOB:
        return SqlValueKind::Blob;
    default:
        return SqlValueKind::Text;
    }
}

std::string SqliteStatement::text(int theColumn) const {
    const void* aData = sqlite3_column_blob(itsStatement, theColumn);
    int aSize = sqlite3_column_bytes(itsStatement, theColumn);
    if (aData == nullptr || aSize <= 0)
        return {};
    return std::string(static_cast<const char*>(aData), static_cast<std::size_t>(aSize));
}

std::int64_t SqliteStatement::integer(int theColumn) const {
    return sqlite3_column_int64(itsStatement, theColumn);
}

void SqliteStatement::reset() noexcept {
    sqlite3_reset(itsStatement);
    sqlite3_clear_bindings(itsStatement);
}

namespace {

// Fails with "The repository file \"<path>\" cannot be written (<reason>)." when the file
// cannot be opened for writing; a missing companion file (WAL, shared memory) is no failure.
void requireWritable(const std::string& thePath, bool theMayBeMissing) {
    const int aFd = ::open(thePath.c_str(), O_RDWR | O_CLOEXEC);
    if (aFd >= 0) {
        ::close(aFd);
        return;
    }
    if (theMayBeMissing && errno == ENOENT)
        return;
    throw StorageError("The repository file \"" + thePath + "\" cannot be written (" +
                       std::strerror(errno) + ").");
}

} // namespace

SqliteDatabase::SqliteDatabase(const std::string& thePath, bool theCreate) {
    struct stat aStat;
    bool anExists = ::stat(thePath.c_str(), &aStat) == 0;
    if (theCreate && anExists)
        throw StorageError("Repository file \"" + thePath + "\" exists already");
    if (!theCreate && !anExists)
        throw StorageError("Repository file \"" + thePath + "\" does not exist");
    // SQLite would open a file it cannot write read-only and fail at the first write with a
    // message that names no file: the repository file and its companions are tried first.
    if (anExists)
        for (const char* aSuffix : {"", "-wal", "-shm"})
            requireWritable(thePath + aSuffix, *aSuffix != '\0');
    configureOnce();
    int aFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (theCreate ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(thePath.c_str(), &itsHandle, aFlags, nullptr) != SQLITE_OK) {
        std::string aText = itsHandle ? sqlite3_errmsg(itsHandle) : "out of memory";
        sqlite3_close(itsHandle);
        itsHandle = nullptr;
        throw StorageError("Could not open repository file \"" + thePath + "\": " + aText);
    }
    sqlite3_busy_timeout(itsHandle, kBusyTimeoutMs);
    try {
        // Each request is a transaction of its own; with SQLite's default checkpoint every 1,000
        // pages a push of 10,000 objects would wait for the disk a hundred times. A checkpoint
        // every 16,384 pages (64 MiB of log), and the one at the last close, keep the waits
        // few. A page cache of 16 MiB (the default is 2 MiB) holds the indexes that each request
        // walks; a larger one made a push of 100,000 objects no faster, only 50 MB bigger, for
        // the cache fills up to its limit and keeps its pages until the file is closed.
        execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
                "PRAGMA wal_autocheckpoint=16384; PRAGMA cache_size=-16384;");
    } catch (...) {
        sqlite3_close(itsHandle);
        throw;
    }
}

std::int64_t SqliteDatabase::changes() const {
    return sqlite3_changes64(itsHandle);
}

SqliteDatabase::~SqliteDatabase() {
    itsStatements.clear();
    sqlite3_close(itsHandle);
}

SqlQuery SqliteDatabase::query(const std::string& theSql) {
    auto anIt = itsStatements.find(theSql);
    if (anIt == itsStatements.end()) {
        sqlite3_stmt* aStatement = nullptr;
        if (sqlite3_prepare_v2(itsHandle, theSql.c_str(), static_cast<int>(theSql.size()),
                               &aStatement, nullptr) != SQLITE_OK)
            throw StorageError(std::string("Repository storage failed (prepare): ") +
                               sqlite3_errmsg(itsHandle));
        anIt =
            itsStatements.emplace(theSql, std::make_unique<SqliteStatement>(itsHandle, aStatement))
                .first;
    }
    return SqlQuery(*anIt->second);
}

std::int64_t SqliteDatabase::lastInsertId() {
    return sqlite3_last_insert_rowid(itsHandle);
}

// Every request begins and ends a transaction, or a savepoint: the statements are prepared once
// instead of parsed each time.
void SqliteDatabase::begin(bool theWrite) {
    query(theWrite ? "BEGIN IMMEDIATE" : "BEGIN").run();
    itsWriting = theWrite;
    itsWriteTransactions += theWrite ? 1 : 0;
}

void SqliteDatabase::commit() {
    query("COMMIT").run();
    itsWriting = false;
}

void SqliteDatabase::rollback() {
    itsWriting = false;
    // After some failures (a full disk, an I/O error) SQLite has rolled the transaction back
    // itself: a ROLLBACK then only fails, with an error of its own.
    if (sqlite3_get_autocommit(itsHandle))
        return;
    query("ROLLBACK").run();
}

std::uint64_t SqliteDatabase::lockedTransaction() const {
    // A transaction that SQLite rolled back by itself holds nothing any more.
    return itsWriting && !sqlite3_get_autocommit(itsHandle) ? itsWriteTransactions : 0;
}

void SqliteDatabase::savepoint() {
    query("SAVEPOINT request").run();
}

void SqliteDatabase::releaseSavepoint() {
    query("RELEASE request").run();
}

void SqliteDatabase::rollbackToSavepoint() {
    query("ROLLBACK TO request").run();
    releaseSavepoint();
}

void SqliteDatabase::execute(const std::string& theSql) {
    char* anError = nullptr;
    if (sqlite3_exec(itsHandle, theSql.c_str(), nullptr, nullptr, &anError) != SQLITE_OK) {
        std::string aText = anError ? anError : sqlite3_errmsg(itsHandle);
        sqlite3_free(anError);
        throw StorageError("Repository storage failed: " + aText);
    }
}

} // namespace RepositoryAccess::server
