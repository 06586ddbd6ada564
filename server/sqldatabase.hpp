#pragma once

#include "core/error.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// A storage failure (I/O, lock timeout, corrupt file, lost server). It is not the caller's fault,
// so the engine reports it as a failed call instead of an answer.
class StorageError : public Error {
public:
    using Error::Error;
};

// What a column of a result row holds.
enum class SqlValueKind { Null, Integer, Text, Blob };

// One prepared statement of a database, as each database implements it. Parameters are bound
// by position (1-based), columns read by position (0-based). The statement texts use SQLite's
// parameter marks ("?" and "?N"); a database with other marks translates them.
class SqlStatement {
public:
    virtual ~SqlStatement() = default;

    virtual void bindText(int theIndex, std::string_view theText) = 0;
    virtual void bindInteger(int theIndex, std::int64_t theValue) = 0;
    // Binds the bytes without copying them: they must stay until the statement has run.
    virtual void bindBlob(int theIndex, std::string_view theBytes) = 0;
    virtual void bindNull(int theIndex) = 0;

    // Advances to the next row; false when there is none. Throws StorageError on failure.
    virtual bool step() = 0;

    virtual int columnCount() const = 0;
    virtual SqlValueKind kind(int theColumn) const = 0;
    // A text or blob column's bytes; an integer column's decimal digits.
    virtual std::string text(int theColumn) const = 0;
    virtual std::int64_t integer(int theColumn) const = 0;

    // Forgets the bindings and the rows, ready for the next use.
    virtual void reset() noexcept = 0;
};

// A prepared statement in use; resets it when it goes out of scope.
class SqlQuery {
public:
    explicit SqlQuery(SqlStatement& theStatement) : itsStatement(theStatement) {}
    ~SqlQuery() { itsStatement.reset(); }
    SqlQuery(const SqlQuery&) = delete;
    SqlQuery& operator=(const SqlQuery&) = delete;

    SqlQuery& bind(int theIndex, std::string_view theText) {
        itsStatement.bindText(theIndex, theText);
        return *this;
    }
    SqlQuery& bind(int theIndex, std::int64_t theValue) {
        itsStatement.bindInteger(theIndex, theValue);
        return *this;
    }
    SqlQuery& bindBlob(int theIndex, std::string_view theBytes) {
        itsStatement.bindBlob(theIndex, theBytes);
        return *this;
    }
    SqlQuery& bindNull(int theIndex) {
        itsStatement.bindNull(theIndex);
        return *this;
    }

    bool step() { return itsStatement.step(); }
    // Runs a statement to its end, ignoring any rows.
    void run() {
        while (step()) {
        }
    }

    int columnCount() const { return itsStatement.columnCount(); }
    SqlValueKind kind(int theColumn) const { return itsStatement.kind(theColumn); }
    std::string text(int theColumn) const { return itsStatement.text(theColumn); }
    std::int64_t integer(int theColumn) const { return itsStatement.integer(theColumn); }
    bool isNull(int theColumn) const { return kind(theColumn) == SqlValueKind::Null; }

    // The prepared statement itself, for a database that passes another one's statements on.
    SqlStatement& statement() const { return itsStatement; }

private:
    SqlStatement& itsStatement;
};

// A database the repository keeps its rows in: the repository file (SQLite) or, inside a
// database server, the server's own tables. Statements are prepared once and reused. Every
// method throws StorageError on failure.
class SqlDatabase {
public:
    virtual ~SqlDatabase() = default;

    // A prepared statement for theSql, prepared at its first use.
    virtual SqlQuery query(const std::string& theSql) = 0;
    // Runs one or more statements without parameters.
    virtual void execute(const std::string& theSql) = 0;
    // Rows changed by the last insert, update or delete.
    virtual std::int64_t changes() const = 0;
    // The key that the last insert into a table with a generated key gave its row.
    virtual std::int64_t lastInsertId() = 0;

    // One transaction per request. A write transaction serialises with every other writer
    // before it reads anything, so that the rules checked in it still hold at its commit.
    virtual void begin(bool theWrite) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Rolls back while another failure is on its way out, which a failure of the rollback itself
    // never replaces: by default it goes to the trace; a database with a failure state of its
    // own records it there.
    virtual void rollbackAfterFailure() noexcept;
    // One request within a write transaction that several requests share: its own changes can
    // be rolled back without the others'.
    virtual void savepoint() { execute("SAVEPOINT request"); }
    virtual void releaseSavepoint() { execute("RELEASE request"); }
    virtual void rollbackToSavepoint() { execute("ROLLBACK TO request; RELEASE request"); }
    // While a transaction of this database holds the repository's write lock: a number that no
    // other such transaction of it had; 0 otherwise. No other writer changes the repository under
    // a lock holder, so what its requests found stays true until it ends or takes them back.
    virtual std::uint64_t lockedTransaction() const { return 0; }
    // The transaction that the requests of one statement share (a window of calls on the
    // server): a number that no other transaction of this database had; 0 where requests share
    // none.
    virtual std::uint64_t enclosingTransaction() const { return 0; }
};

} // namespace RepositoryAccess::server
