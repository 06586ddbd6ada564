#pragma once

#include "server/sqldatabase.hpp"

#include <deque>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace RepositoryAccess::server {

class PqDatabase;

// A prepared statement of a PostgreSQL connection. Its rows arrive one at a time (libpq's
// single-row mode), so that a table of large contents is never held whole; when another
// statement needs the connection first, the rest of the rows is read ahead into memory.
// Parameters of the types text and bytea travel as raw bytes (binary format): a bound content is
// neither copied nor escaped; other parameters travel as text. Results come in binary format.
class PqStatement final : public SqlStatement {
public:
    // theTypes: the parameter types (OIDs) the server gave the prepared statement theName.
    PqStatement(PqDatabase& theDatabase, std::string theName, std::vector<unsigned> theTypes);
    ~PqStatement() override;
    PqStatement(const PqStatement&) = delete;
    PqStatement& operator=(const PqStatement&) = delete;

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

    // Reads the rows not stepped to yet, so that the connection is free for another statement.
    void readAhead();

private:
    struct ResultFree {
        void operator()(pg_result* theResult) const noexcept;
    };
    using Result = std::unique_ptr<pg_result, ResultFree>;

    // A bound value: owned bytes, or a view of the caller's bytes (a blob); null when unbound.
    struct Parameter {
        bool itsNull = true;
        bool itsBinary = false;
        std::string itsOwned;
        std::string_view itsView;
        bool itsOwns = true;
    };
    enum class State { Ready, Streaming, ReadAhead, Done };

    Parameter& parameter(int theIndex);
    bool isRaw(int theIndex) const;
    void send();
    Result nextResult();
    // Takes the next result in place of the current one; false when the statement has ended.
    bool advance();
    const char* value(int theColumn, int& theLength) const;
    void drain() noexcept;

    PqDatabase& itsDatabase;
    std::string itsName;
    std::vector<unsigned> itsTypes;
    std::vector<Parameter> itsParameters;
    State itsState = State::Ready;
    Result itsResult;
    int itsRow = -1;
    std::deque<Result> itsAhead;
};

} // namespace RepositoryAccess::server
