#pragma once

#include "dbclient/callstatement.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/embeddedstatements.hpp"

#include <optional>
#include <string>

namespace RepositoryAccess::dbclient {

class PgConnection;

// The repository call as the server runs it: the frame in, the answer frame out, both bytea.
inline constexpr const char* kPgCallSql = "SELECT sys.repository_rest($1::bytea)";
// A window of calls as one statement: the procedure runs once per frame of the array, in the
// array's order (a function scan yields the elements in order, and the select list is computed
// row by row as they come); each answer comes with the position of its frame, which the client
// checks.
inline constexpr const char* kPgCallWindowSql =
    "SELECT n, sys.repository_rest(f) FROM pg_catalog.unnest($1::bytea[]) WITH ORDINALITY AS "
    "t(f, n)";
// The names of the call's and the window's statements prepared on each connection.
inline constexpr const char* kPgCallName = "kivo_repository_call";
inline constexpr const char* kPgCallWindowName = "kivo_repository_window";
inline constexpr unsigned kPgByteaType = 17;
inline constexpr unsigned kPgByteaArrayType = 1001;

// A query on the server; its rows are read into memory at once (the monitoring queries answer
// one row).
class PgStatement : public Statement {
public:
    explicit PgStatement(PgConnection& theConnection);
    ReturnCode execute(const std::string& theSql) override;
    ResultSet* getResultSet() override;

private:
    PgConnection& itsConnection;
    std::optional<EmbeddedResultSet> itsResultSet;
};

// The repository call on the server: "{CALL SYS.REPOSITORY_REST(?, ?)}" runs as
// sys.repository_rest($1) with the frame as a binary bytea parameter and a binary result.
class PgPreparedStatement : public CallStatement {
public:
    explicit PgPreparedStatement(PgConnection& theConnection);
    ReturnCode prepare(const std::string& theSql) override;

private:
    std::optional<std::string> answer(std::string_view theFrame) override;

    PgConnection& itsConnection;
};

} // namespace RepositoryAccess::dbclient
