#include "dbclient/pgconnection.hpp"

#include "dbclient/pgfailure.hpp"
#include "dbclient/pgstatements.hpp"
#include "dbclient/pgtls.hpp"
#include "pqclient/pqaddress.hpp"

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace RepositoryAccess::dbclient {

namespace {

// Seconds a connect waits for the server before it gives up.
constexpr const char* kConnectTimeout = "10";

// Server notices (warnings of the procedure, for example) are not the program's output.
void ignoreNotice(void*, const char*) {}

// The call's one parameter: the request frame, bytes in binary form.
const Oid kCallTypes[] = {kPgByteaType};
struct CallParameter {
    explicit CallParameter(std::string_view theFrame)
        : itsValues{theFrame.data()}, itsLengths{static_cast<int>(theFrame.size())} {}
    const char* itsValues[1];
    int itsLengths[1];
    int itsFormats[1] = {1};
};

// Prepares the repository call and the window of calls on a new connection, outside any
// transaction; false where the server cannot (a database without the extension), whose calls
// then fail on their own.
bool prepareCall(PGconn* theHandle) {
    const Oid aWindowTypes[] = {kPgByteaArrayType};
    const std::unique_ptr<PGresult, decltype(&PQclear)> aCall(
        PQprepare(theHandle, kPgCallName, kPgCallSql, 1, kCallTypes), &PQclear);
    if (PQresultStatus(aCall.get()) != PGRES_COMMAND_OK)
        return false;
    const std::unique_ptr<PGresult, decltype(&PQclear)> aWindow(
        PQprepare(theHandle, kPgCallWindowName, kPgCallWindowSql, 1, aWindowTypes), &PQclear);
    return PQresultStatus(aWindow.get()) == PGRES_COMMAND_OK;
}

} // namespace

namespace {

// One server "NAME:PORT" of a host's list: its name (IPv6 without brackets) and port.
std::optional<std::pair<std::string, std::string>> parseOneServer(const std::string& theAddress) {
    const std::size_t aColon = theAddress.rfind(':');
    if (aColon == std::string::npos || aColon == 0 || aColon + 1 == theAddress.size())
        return std::nullopt;
    std::string aPort = theAddress.substr(aColon + 1);
    if (aPort.size() > 5 || !std::all_of(aPort.begin(), aPort.end(), [](char theChar) {
            return theChar >= '0' && theChar <= '9';
        }))
        return std::nullopt;
    if (std::stoi(aPort) < 1 || std::stoi(aPort) > 65535)
        return std::nullopt;
    std::string aName = theAddress.substr(0, aColon);
    if (aName.size() >= 2 && aName.front() == '[' && aName.back() == ']')
        aName = aName.substr(1, aName.size() - 2);
    else if (aName.find(':') != std::string::npos)
        return std::nullopt; // an IPv6 address needs its brackets
    if (aName.empty() || aName.find_first_of("/,") != std::string::npos)
        return std::nullopt;
    return std::make_pair(aName, aPort);
}

} // namespace

std::optional<ServerHost> parseServerHost(const std::string& theHost) {
    const std::size_t anAt = theHost.find('@');
    const std::string anAddresses = theHost.substr(0, anAt);
    const std::string aDatabase = anAt == std::string::npos ? "" : theHost.substr(anAt + 1);
    if (anAt != std::string::npos && aDatabase.empty())
        return std::nullopt;
    ServerHost aServer{{}, {}, aDatabase, 0};
    std::size_t aStart = 0;
    for (;;) {
        const std::size_t aComma = anAddresses.find(',', aStart);
        const auto aPart = parseOneServer(anAddresses.substr(aStart, aComma - aStart));
        if (!aPart)
            return std::nullopt;
        const char* aSeparator = aServer.itsServerCount++ == 0 ? "" : ",";
        aServer.itsHost += aSeparator + aPart->first;
        aServer.itsPort += aSeparator + aPart->second;
        if (aComma == std::string::npos)
            return aServer;
        aStart = aComma + 1;
    }
}

std::string firstLine(const char* theText) {
    std::string aText = theText != nullptr ? theText : "";
    aText = aText.substr(0, aText.find('\n'));
    const std::size_t aStart = aText.find_first_not_of(' ');
    return aStart == std::string::npos ? std::string() : aText.substr(aStart);
}

PgConnection::PgConnection() = default;

PgConnection::~PgConnection() {
    close();
}

ReturnCode PgConnection::connect(const std::string& theServerNode, const std::string& theDatabase,
                                 const std::string& theUser, std::string_view thePassword,
                                 StringEncoding, const ConnectProperties& theProperties) {
    itsError.clear();
    close();
    std::optional<ServerHost> aServer = parseServerHost(theServerNode);
    if (!aServer) {
        itsError.set(pgcode::kConnectFailed,
                     "Cannot connect to host \"" + theServerNode +
                         "\": a database server is named HOST:PORT[@DATABASE]");
        return ReturnCode::Error;
    }
    TlsSettings aTls = mapTlsProperties(theProperties);
    if (!aTls.itsRefusal.empty()) {
        itsError.set(pgcode::kTlsRefused, aTls.itsRefusal);
        return ReturnCode::Error;
    }
    std::string aDatabase = theDatabase;
    if (const std::string* aName = theProperties.getProperty("DATABASENAME"))
        aDatabase = *aName;
    if (aDatabase.empty())
        aDatabase = aServer->itsDatabase;

    std::vector<std::pair<std::string, std::string>> aKeywords = {
        {"host", aServer->itsHost},
        {"port", aServer->itsPort},
        {"user", theUser},
        {"client_encoding", "UTF8"},
        {"connect_timeout", kConnectTimeout},
        {"application_name", "kivo"}};
    if (!aDatabase.empty())
        aKeywords.emplace_back("dbname", aDatabase);
    // Of a primary and its standbys, only the primary accepts the repository's writes.
    if (aServer->itsServerCount > 1)
        aKeywords.emplace_back("target_session_attrs", "read-write");
    aKeywords.insert(aKeywords.end(), aTls.itsKeywords.begin(), aTls.itsKeywords.end());

    PGconn* aHandle = server::connectByKeywords(aKeywords, SecureString(thePassword));
    if (aHandle == nullptr) {
        itsError.set(pgcode::kConnectFailed, "Out of memory while connecting");
        return ReturnCode::Error;
    }
    if (PQstatus(aHandle) != CONNECTION_OK) {
        int aCode = 0;
        std::string aText =
            describeConnectFailure(firstLine(PQerrorMessage(aHandle)), aTls, theServerNode, aCode);
        PQfinish(aHandle);
        itsError.set(aCode, aText);
        return ReturnCode::Error;
    }
    PQsetNoticeProcessor(aHandle, ignoreNotice, nullptr);
    warnIfUnverified(aHandle);
    itsHandle = aHandle;
    itsCallPrepared = prepareCall(aHandle);
    return ReturnCode::Ok;
}

pg_result* PgConnection::runCall(std::string_view theFrame) {
    const CallParameter aCall(theFrame);
    if (itsCallPrepared)
        return PQexecPrepared(itsHandle, kPgCallName, 1, aCall.itsValues, aCall.itsLengths,
                              aCall.itsFormats, 1);
    return PQexecParams(itsHandle, kPgCallSql, 1, kCallTypes, aCall.itsValues, aCall.itsLengths,
                        aCall.itsFormats, 1);
}

ReturnCode PgConnection::beginCallGroup() {
    itsGrouping = true;
    return ReturnCode::Ok;
}

ReturnCode PgConnection::endCallGroup() {
    itsGrouping = false;
    itsError.clear();
    if (!commitGroup(itsError))
        return ReturnCode::Error;
    if (itsLoss.empty())
        return ReturnCode::Ok;
    itsError.set(pgcode::kStatementFailed, std::exchange(itsLoss, {}));
    return ReturnCode::Error;
}

bool PgConnection::enterCall(ErrorHolder& theError) {
    if (itsGroupOpen && itsGroupBudget.expired() && !commitGroup(theError))
        return false;
    if (!itsGrouping || itsGroupOpen)
        return true;
    // The extension writes only in READ COMMITTED, whatever the database's default.
    if (!command("BEGIN ISOLATION LEVEL READ COMMITTED", "BEGIN", theError))
        return false;
    itsGroupOpen = true;
    itsGroupBudget.start();
    return true;
}

bool PgConnection::leaveCall(bool theAnswered, ErrorHolder& theError) {
    if (!itsGroupOpen)
        return true;
    if (!theAnswered) {
        // The failed call aborted the transaction; a lost connection has ended it already.
        itsGroupOpen = false;
        if (itsGroupBudget.requests() > 0 && itsLoss.empty())
            itsLoss = "The server took back the group's last " +
                      std::to_string(itsGroupBudget.requests()) +
                      " answered requests with a failed one: " + theError.getErrorText();
        ErrorHolder anIgnored;
        if (PQstatus(itsHandle) == CONNECTION_OK)
            command("ROLLBACK", "ROLLBACK", anIgnored);
        return true;
    }
    return !itsGroupBudget.spend() || commitGroup(theError);
}

bool PgConnection::commitGroup(ErrorHolder& theError) {
    if (!itsGroupOpen)
        return true;
    itsGroupOpen = false;
    return command("COMMIT", "COMMIT", theError);
}

bool PgConnection::command(const char* theSql, const char* theTag, ErrorHolder& theError) {
    if (itsHandle == nullptr) {
        theError.set(pgcode::kNotConnected, "Not connected to a database server");
        return false;
    }
    std::unique_ptr<PGresult, decltype(&PQclear)> aResult(PQexec(itsHandle, theSql), &PQclear);
    // A transaction that the server had to abort answers COMMIT with ROLLBACK.
    if (PQresultStatus(aResult.get()) == PGRES_COMMAND_OK &&
        std::strcmp(PQcmdStatus(aResult.get()), theTag) == 0)
        return true;
    std::string aText = firstLine(aResult && PQresultStatus(aResult.get()) != PGRES_COMMAND_OK
                                      ? PQresultErrorMessage(aResult.get())
                                      : PQerrorMessage(itsHandle));
    if (aText.empty())
        aText = std::string("The server answered ") + theSql + " with " +
                (aResult ? PQcmdStatus(aResult.get()) : "nothing");
    theError.set(pgcode::kStatementFailed, aText);
    return false;
}

ReturnCode PgConnection::close() {
    // A group's open transaction ends with the session: the server rolls it back.
    itsGroupOpen = false;
    itsGrouping = false;
    itsLoss.clear();
    dropStatements();
    if (itsHandle != nullptr)
        PQfinish(itsHandle);
    itsHandle = nullptr;
    return ReturnCode::Ok;
}

} // namespace RepositoryAccess::dbclient
