#pragma once

#include "pqclient/pqaddress.hpp"
#include "repoadmin/pqstatement.hpp"
#include "server/sqldatabase.hpp"

#include <map>
#include <memory>
#include <string>
#include <string_view>

struct pg_conn;
struct pg_result;

namespace RepositoryAccess::server {

// One connection to the database of a repository inside a PostgreSQL server, for the
// administration tool: it works as the database's owner on the tables of schema sys (the search
// path), with a cache of prepared statements. A write transaction takes the engine's write lock
// (writelock.hpp) first, so administration and requests never interleave, and fails as busy
// when it waited the repository's limit for it; a read transaction sees one snapshot
// (repeatable read).
class PqDatabase final : public SqlDatabase {
public:
    // Connects to theAddress; throws StorageError that names the address (never the password)
    // and the server's reason: refused, wrong password, no such database.
    explicit PqDatabase(const PqAddress& theAddress);
    ~PqDatabase() override;
    PqDatabase(const PqDatabase&) = delete;
    PqDatabase& operator=(const PqDatabase&) = delete;

    SqlQuery query(const std::string& theSql) override;
    void execute(const std::string& theSql) override;
    std::int64_t changes() const override;
    std::int64_t lastInsertId() override;
    void begin(bool theWrite) override;
    void commit() override;
    void rollback() override;

    // theText quoted as an SQL identifier or literal for this connection.
    std::string quoteIdentifier(std::string_view theText) const;
    std::string quoteLiteral(std::string_view theText) const;
    // The password as the server stores it (SCRAM), so that the clear text never reaches the
    // server's statement log.
    std::string encryptPassword(const std::string& theRole, const std::string& thePassword) const;

private:
    friend class PqStatement;

    pg_conn* handle() const { return itsHandle; }
    // Frees the connection for theStatement, reading ahead the rows of another one.
    void claim(PqStatement& theStatement);
    void release(PqStatement& theStatement) noexcept;
    void recordChanges(pg_result* theResult);
    // A StorageError with the server's message of theResult (or of the connection).
    StorageError failure(pg_result* theResult, const char* theWhat) const;
    // Runs theSql (statements without parameters); throws StorageError naming theWhat.
    void run(const std::string& theSql, const char* theWhat);
    // The same, but false instead of a failure whose SQLSTATE is theState (none: nullptr).
    bool runUnlessState(const std::string& theSql, const char* theWhat, const char* theState);

    pg_conn* itsHandle = nullptr;
    std::map<std::string, std::unique_ptr<PqStatement>, std::less<>> itsStatements;
    PqStatement* itsStreaming = nullptr;
    std::int64_t itsChanges = 0;
};

} // namespace RepositoryAccess::server
