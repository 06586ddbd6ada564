#include "dbclient/pgfailure.hpp"

#include "core/console.hpp"
#include "dbclient/pgconnection.hpp"

#include <libpq-fe.h>

#include <cstring>

namespace RepositoryAccess::dbclient {

namespace {

// SQLSTATEs the failures are told by.
constexpr const char* kQueryCanceled = "57014";
constexpr const char* kUndefinedFunction = "42883";
constexpr const char* kInvalidSchema = "3F000";
constexpr const char* kUndefinedTable = "42P01";

std::string text(const char* theValue) {
    return theValue != nullptr ? theValue : "";
}

std::string sqlState(const pg_result* theResult) {
    return theResult != nullptr ? text(PQresultErrorField(theResult, PG_DIAG_SQLSTATE)) : "";
}

// The server's statement_timeout as the session sees it, or "" when it cannot be read.
std::string statementTimeout(pg_conn* theConnection) {
    PGresult* aResult = PQexec(theConnection, "SHOW statement_timeout");
    std::string aValue;
    if (PQresultStatus(aResult) == PGRES_TUPLES_OK && PQntuples(aResult) == 1)
        aValue = PQgetvalue(aResult, 0, 0);
    PQclear(aResult);
    return aValue;
}

std::string describeTimeout(pg_conn* theConnection) {
    const std::string aTimeout = statementTimeout(theConnection);
    return "The database server cancelled the repository call after " +
           (aTimeout.empty() ? std::string("the time") : aTimeout) +
           ", the limit of its setting statement_timeout: ask the administrator to raise "
           "statement_timeout for your user (ALTER ROLE ... SET statement_timeout), then run "
           "the command again";
}

std::string describeNoRepository(pg_conn* theConnection) {
    return "The database " + text(PQdb(theConnection)) + " on " + connectedServer(theConnection) +
           " holds no kivo repository: name the repository's database (HOST:PORT@DATABASE or "
           "--database), or ask the administrator to create the repository there (CREATE "
           "EXTENSION kivo)";
}

std::string describeLostConnection(const std::string& theReason) {
    return "The connection to the database server was lost (" + theReason +
           "): `kivo status` shows what this run left unfinished, and running the command again "
           "completes it";
}

} // namespace

std::string describeStatementFailure(const pg_result* theResult, pg_conn* theConnection) {
    const std::string aState = sqlState(theResult);
    const std::string aLine = firstLine(theResult != nullptr ? PQresultErrorMessage(theResult)
                                                             : PQerrorMessage(theConnection));
    if (PQstatus(theConnection) == CONNECTION_BAD)
        return describeLostConnection(aLine.empty() ? "no answer" : aLine);
    if (aState == kQueryCanceled && aLine.find("statement timeout") != std::string::npos)
        return describeTimeout(theConnection);
    if (aState == kUndefinedFunction || aState == kInvalidSchema || aState == kUndefinedTable)
        return describeNoRepository(theConnection);
    return aLine;
}

std::string connectedServer(pg_conn* theConnection) {
    const std::string aHost = text(PQhost(theConnection));
    const std::string aName = aHost.find(':') != std::string::npos ? "[" + aHost + "]" : aHost;
    return aName + ":" + text(PQport(theConnection));
}

bool isLoopbackAddress(const std::string& theAddress) {
    return theAddress.empty() || theAddress.front() == '/' || theAddress.rfind("127.", 0) == 0 ||
           theAddress == "::1" || theAddress.rfind("::ffff:127.", 0) == 0;
}

void warnIfUnverified(pg_conn* theConnection) {
    static bool theWarned = false;
    if (theWarned || isLoopbackAddress(text(PQhostaddr(theConnection))))
        return;
    const bool anEncrypted = PQsslInUse(theConnection) != 0;
    PQconninfoOption* anOptions = PQconninfo(theConnection);
    bool aVerified = false;
    for (PQconninfoOption* anOption = anOptions; anOption && anOption->keyword; ++anOption)
        if (std::strcmp(anOption->keyword, "sslmode") == 0)
            aVerified = anOption->val != nullptr && std::strcmp(anOption->val, "verify-full") == 0;
    PQconninfoFree(anOptions);
    if (anEncrypted && aVerified)
        return;
    theWarned = true;
    console::err() << "Warning: the connection to " << connectedServer(theConnection)
                   << (anEncrypted ? " is encrypted but not verified"
                                   : " is neither encrypted nor verified")
                   << ": name the trusted certificate authorities with --sslTrustStore (or "
                      "PGSSLROOTCERT) so that the server's certificate and name are checked\n"
                   << std::flush;
}

} // namespace RepositoryAccess::dbclient
