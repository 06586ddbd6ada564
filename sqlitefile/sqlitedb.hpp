#pragma once

#include "server/sqldatabase.hpp"

#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace RepositoryAccess::server {

// A prepared statement of the repository file.
class SqliteStatement final : public SqlStatement {
public:
    SqliteStatement(sqlite3* theHandle, sqlite3_stmt* theStatement);
    ~SqliteStatement() override;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bindText(int theIndex, std::string_view theText) override;
    void bindInteger(int theIndex, std::int64_t theValue) override;
    void bindBlob(int theIndex, std::string_view theBytes) override;
    void bindNull(int theIndex) override;
    bool step() override;
    int columnCount() const override;
    SqlValueKind kind(int theColumn) const override;
    std::string text(int theColumn) const override;
    std::int64_t integer(int theColumn) const override;
    void reset() noexcept override;

private:
    void check(int theResult, const char* theWhat) const;

    sqlite3* itsHandle;
    sqlite3_stmt* itsStatement;
};

// One open SQLite file with a cache of prepared statements, WAL mode and a busy timeout, so that
// several processes can share it; a writer waits up to the timeout for another one.
class SqliteDatabase final : public SqlDatabase {
public:
    // Opens thePath; with theCreate the file is created and must not exist yet.
    SqliteDatabase(const std::string& thePath, bool theCreate);
    ~SqliteDatabase() override;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    SqlQuery query(const std::string& theSql) override;
    void execute(const std::string& theSql) override;
    std::int64_t changes() const override;
    std::int64_t lastInsertId() override;
    // A write transaction takes the file's write lock at once (BEGIN IMMEDIATE).
    void begin(bool theWrite) override;
    void commit() override;
    void rollback() override;
    void savepoint() override;
    void releaseSavepoint() override;
    void rollbackToSavepoint() override;
    std::uint64_t lockedTransaction() const override;

private:
    sqlite3* itsHandle = nullptr;
    std::uint64_t itsWriteTransactions = 0; // counts the write transactions begun
    bool itsWriting = false;                // a write transaction is open
    std::map<std::string, std::unique_ptr<SqliteStatement>, std::less<>> itsStatements;
};

} // namespace RepositoryAccess::server
