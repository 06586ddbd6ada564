#pragma once

#include "core/error.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace RepositoryAccess::server {

// A storage failure (I/O, lock timeout, corrupt file). It is not the caller's fault, so the engine
// reports it as a failed call instead of an answer.
class StorageError : public Error {
public:
    using Error::Error;
};

class SqliteDatabase;

// A cached prepared statement in use: binds by position (1-based), steps, reads columns
// (0-based). Resets the statement when it goes out of scope.
class SqliteQuery {
public:
    SqliteQuery(SqliteDatabase& theDatabase, sqlite3_stmt* theStatement);
    ~SqliteQuery();
    SqliteQuery(const SqliteQuery&) = delete;
    SqliteQuery& operator=(const SqliteQuery&) = delete;

    SqliteQuery& bind(int theIndex, std::string_view theText);
    SqliteQuery& bind(int theIndex, std::int64_t theValue);
    // Binds the bytes without copying them: they must stay until the query has run.
    SqliteQuery& bindBlob(int theIndex, std::string_view theBytes);
    SqliteQuery& bindNull(int theIndex);

    // Advances to the next row; false when there is none. Throws StorageError on failure.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    std::string text(int theColumn) const;
    std::int64_t integer(int theColumn) const;
    bool isNull(int theColumn) const;

private:
    SqliteDatabase& itsDatabase;
    sqlite3_stmt* itsStatement;
};

// One open SQLite file with a cache of prepared statements, WAL mode and a busy timeout, so that
// several processes can share it; a writer waits up to the timeout for another one.
class SqliteDatabase {
public:
    // Opens thePath; with theCreate the file is created and must not exist yet.
    SqliteDatabase(const std::string& thePath, bool theCreate);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // A prepared statement for theSql, prepared once and reused.
    SqliteQuery query(const std::string& theSql);
    // Runs one or more statements without parameters.
    void execute(const std::string& theSql);
    // Rows changed by the last insert, update or delete.
    std::int64_t changes() const;

    [[noreturn]] void fail(const std::string& theWhat) const;

private:
    sqlite3* itsHandle = nullptr;
    std::map<std::string, sqlite3_stmt*, std::less<>> itsStatements;
};

} // namespace RepositoryAccess::server
