#include "server/sqlitedb.hpp"

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
}

SqliteQuery::SqliteQuery(SqliteDatabase& theDatabase, sqlite3_stmt* theStatement)
    : itsDatabase(theDatabase), itsStatement(theStatement) {}

SqliteQuery::~SqliteQuery() {
    sqlite3_reset(itsStatement);
    sqlite3_clear_bindings(itsStatement);
}

SqliteQuery& SqliteQuery::bind(int theIndex, std::string_view theText) {
    if (sqlite3_bind_text64(itsStatement, theIndex, theText.data(), theText.size(),
                            SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
        itsDatabase.fail("bind");
    return *this;
}

SqliteQuery& SqliteQuery::bind(int theIndex, std::int64_t theValue) {
    if (sqlite3_bind_int64(itsStatement, theIndex, theValue) != SQLITE_OK)
        itsDatabase.fail("bind");
    return *this;
}

SqliteQuery& SqliteQuery::bindBlob(int theIndex, std::string_view theBytes) {
    // A zero-length blob must stay a blob, not NULL: bind a valid pointer. The bytes are not
    // copied (a content may be hundreds of megabytes); the query clears its bindings when it goes.
    static const char aNothing = 0;
    const char* aData = theBytes.empty() ? &aNothing : theBytes.data();
    if (sqlite3_bind_blob64(itsStatement, theIndex, aData, theBytes.size(), SQLITE_STATIC) !=
        SQLITE_OK)
        itsDatabase.fail("bind");
    return *this;
}

SqliteQuery& SqliteQuery::bindNull(int theIndex) {
    if (sqlite3_bind_null(itsStatement, theIndex) != SQLITE_OK)
        itsDatabase.fail("bind");
    return *this;
}

bool SqliteQuery::step() {
    int aResult = sqlite3_step(itsStatement);
    if (aResult == SQLITE_ROW)
        return true;
    if (aResult == SQLITE_DONE)
        return false;
    itsDatabase.fail("step");
}

void SqliteQuery::run() {
    while (step()) {
    }
}

std::string SqliteQuery::text(int theColumn) const {
    const void* aData = sqlite3_column_blob(itsStatement, theColumn);
    int aSize = sqlite3_column_bytes(itsStatement, theColumn);
    if (aData == nullptr || aSize <= 0)
        return {};
    return std::string(static_cast<const char*>(aData), static_cast<std::size_t>(aSize));
}

std::int64_t SqliteQuery::integer(int theColumn) const {
    return sqlite3_column_int64(itsStatement, theColumn);
}

bool SqliteQuery::isNull(int theColumn) const {
    return sqlite3_column_type(itsStatement, theColumn) == SQLITE_NULL;
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
    int aFlags = SQLITE_OPEN_READWRITE | (theCreate ? SQLITE_OPEN_CREATE : 0);
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
        // few; a larger page cache spares re-reading the indexes each request walks.
        execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
                "PRAGMA wal_autocheckpoint=16384; PRAGMA cache_size=-65536;");
    } catch (...) {
        sqlite3_close(itsHandle);
        throw;
    }
}

std::int64_t SqliteDatabase::changes() const {
    return sqlite3_changes64(itsHandle);
}

SqliteDatabase::~SqliteDatabase() {
    for (auto& [aSql, aStatement] : itsStatements)
        sqlite3_finalize(aStatement);
    sqlite3_close(itsHandle);
}

SqliteQuery SqliteDatabase::query(const std::string& theSql) {
    auto anIt = itsStatements.find(theSql);
    if (anIt == itsStatements.end()) {
        sqlite3_stmt* aStatement = nullptr;
        if (sqlite3_prepare_v2(itsHandle, theSql.c_str(), static_cast<int>(theSql.size()),
                               &aStatement, nullptr) != SQLITE_OK)
            fail("prepare");
        anIt = itsStatements.emplace(theSql, aStatement).first;
    }
    return SqliteQuery(*this, anIt->second);
}

void SqliteDatabase::execute(const std::string& theSql) {
    char* anError = nullptr;
    if (sqlite3_exec(itsHandle, theSql.c_str(), nullptr, nullptr, &anError) != SQLITE_OK) {
        std::string aText = anError ? anError : sqlite3_errmsg(itsHandle);
        sqlite3_free(anError);
        throw StorageError("Repository storage failed: " + aText);
    }
}

void SqliteDatabase::fail(const std::string& theWhat) const {
    throw StorageError("Repository storage failed (" + theWhat + "): " + sqlite3_errmsg(itsHandle));
}

} // namespace RepositoryAccess::server
