#include "dbclient/pgstatements.hpp"

#include "dbclient/pgconnection.hpp"
#include "dbclient/pgfailure.hpp"
#include "dbclient/protocolsql.hpp"

#include <libpq-fe.h>

#include <charconv>
#include <cstdint>
#include <memory>

namespace RepositoryAccess::dbclient {

namespace {

const char* const kNotConnected = "Not connected to a database server";

// Integer column types: int8, int2, int4.
bool isInteger(Oid theType) {
    return theType == 20 || theType == 21 || theType == 23;
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

EmbeddedResultSet::Value readValue(const PGresult* theResult, int theRow, int theColumn) {
    const char* aText = PQgetvalue(theResult, theRow, theColumn);
    const std::size_t aSize = static_cast<std::size_t>(PQgetlength(theResult, theRow, theColumn));
    if (isInteger(PQftype(theResult, theColumn)) && !PQgetisnull(theResult, theRow, theColumn)) {
        std::int64_t aNumber = 0;
        auto [anEnd, anError] = std::from_chars(aText, aText + aSize, aNumber);
        if (anError == std::errc() && anEnd == aText + aSize)
            return aNumber;
    }
    return std::string(aText, aSize);
}

} // namespace

PgStatement::PgStatement(PgConnection& theConnection) : itsConnection(theConnection) {}

ReturnCode PgStatement::execute(const std::string& theSql) {
    itsError.clear();
    itsResultSet.reset();
    if (itsConnection.handle() == nullptr) {
        itsError.set(pgcode::kNotConnected, kNotConnected);
        return ReturnCode::Error;
    }
    // A plain statement runs on its own, after what a group of calls has done so far.
    if (!itsConnection.commitGroup(itsError))
        return ReturnCode::Error;
    Result aResult(PQexec(itsConnection.handle(), theSql.c_str()), &PQclear);
    ExecStatusType aStatus = PQresultStatus(aResult.get());
    if (aStatus != PGRES_TUPLES_OK && aStatus != PGRES_COMMAND_OK) {
        itsError.set(pgcode::kStatementFailed,
                     firstLine(aResult ? PQresultErrorMessage(aResult.get())
                                       : PQerrorMessage(itsConnection.handle())));
        return ReturnCode::Error;
    }
    std::vector<std::vector<EmbeddedResultSet::Value>> aRows;
    for (int aRow = 0; aRow < PQntuples(aResult.get()); ++aRow) {
        aRows.emplace_back();
        for (int aColumn = 0; aColumn < PQnfields(aResult.get()); ++aColumn)
            aRows.back().push_back(readValue(aResult.get(), aRow, aColumn));
    }
    itsResultSet.emplace(std::move(aRows));
    return ReturnCode::Ok;
}

ResultSet* PgStatement::getResultSet() {
    return itsResultSet ? &*itsResultSet : nullptr;
}

PgPreparedStatement::PgPreparedStatement(PgConnection& theConnection)
    : itsConnection(theConnection) {}

ReturnCode PgPreparedStatement::prepare(const std::string& theSql) {
    itsError.clear();
    setPrepared(false);
    if (itsConnection.handle() == nullptr) {
        itsError.set(pgcode::kNotConnected, kNotConnected);
        return ReturnCode::Error;
    }
    if (!isRepositoryCall(theSql)) {
        itsError.set(pgcode::kUnsupportedStatement,
                     "unsupported statement: the only prepared statement is the repository call");
        return ReturnCode::Error;
    }
    setPrepared(true);
    return ReturnCode::Ok;
}

std::optional<std::string> PgPreparedStatement::answer(std::string_view theFrame) {
    if (itsConnection.handle() == nullptr) {
        itsError.set(pgcode::kNotConnected, kNotConnected);
        return std::nullopt;
    }
    if (theFrame.size() > static_cast<std::size_t>(INT32_MAX)) {
        itsError.set(pgcode::kStatementFailed, "The request frame is larger than 2 GB");
        return std::nullopt;
    }
    if (!itsConnection.enterCall(itsError))
        return std::nullopt;
    Result aResult(itsConnection.runCall(theFrame), &PQclear);
    if (PQresultStatus(aResult.get()) != PGRES_TUPLES_OK || PQntuples(aResult.get()) != 1 ||
        PQgetisnull(aResult.get(), 0, 0)) {
        itsError.set(pgcode::kStatementFailed,
                     describeStatementFailure(aResult.get(), itsConnection.handle()));
        if (itsError.getErrorText().empty())
            itsError.set(pgcode::kStatementFailed, "The repository call answered no frame");
        itsConnection.leaveCall(false, itsError);
        return std::nullopt;
    }
    std::string anAnswer(PQgetvalue(aResult.get(), 0, 0),
                         static_cast<std::size_t>(PQgetlength(aResult.get(), 0, 0)));
    if (!itsConnection.leaveCall(true, itsError))
        return std::nullopt;
    return anAnswer;
}

} // namespace RepositoryAccess::dbclient
