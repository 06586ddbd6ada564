#pragma once

#include "dbclient/callstatement.hpp"
#include "dbclient/dbclient.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace RepositoryAccess::dbclient {

class EmbeddedConnection;

// The rows of one monitoring query, held in memory.
class EmbeddedResultSet : public ResultSet {
public:
    using Value = std::variant<std::int64_t, std::string>;
    explicit EmbeddedResultSet(std::vector<std::vector<Value>> theRows);

    ReturnCode next() override;
    ReturnCode getObject(int theColumn, HostType theType, void* theBuffer, std::int64_t* theLength,
                         std::int64_t theBufferSize, bool theTerminate = true) override;

private:
    std::vector<std::vector<Value>> itsRows;
    std::size_t itsNext = 0; // the current row is itsNext - 1
};

// A statement of the embedded repository: only the three monitoring queries.
class EmbeddedStatement : public Statement {
public:
    explicit EmbeddedStatement(EmbeddedConnection& theConnection);
    ReturnCode execute(const std::string& theSql) override;
    ResultSet* getResultSet() override;

private:
    EmbeddedConnection& itsConnection;
    std::optional<EmbeddedResultSet> itsResultSet;
};

// A prepared statement of the embedded repository: only the repository call, answered by the
// engine for the connected user.
class EmbeddedPreparedStatement : public CallStatement {
public:
    explicit EmbeddedPreparedStatement(EmbeddedConnection& theConnection);
    ReturnCode prepare(const std::string& theSql) override;

private:
    std::optional<std::string> answer(std::string_view theFrame) override;

    EmbeddedConnection& itsConnection;
};

// SQL text with white-space runs collapsed to one blank and trimmed, for comparisons.
std::string normaliseSql(const std::string& theSql);

// True when theSql is the repository call, however its white space runs. Each call of a run
// prepares it: its own text is taken without normalising it.
bool isRepositoryCall(const std::string& theSql);

} // namespace RepositoryAccess::dbclient
