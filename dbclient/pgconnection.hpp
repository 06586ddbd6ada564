#pragma once

#include "dbclient/backendconnection.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/pgstatements.hpp"
#include "server/groupbudget.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace RepositoryAccess::dbclient {

// Error codes the PostgreSQL backend reports in its error holders.
namespace pgcode {
inline constexpr int kConnectFailed = 20;
inline constexpr int kAuthenticationFailed = kAuthenticationFailedCode;
inline constexpr int kTlsRefused = 21;
inline constexpr int kNotConnected = 11;
inline constexpr int kUnsupportedStatement = 257;
inline constexpr int kStatementFailed = 22;
} // namespace pgcode

// A database server named "HOST:PORT" ("[::1]:5432" for an IPv6 address), optionally with the
// repository's database after an "@" ("HOST:PORT@DATABASE"), so that a key names it too. A list
// of servers "HOST1:PORT1,HOST2:PORT2" names a primary and its standbys: a run uses the one that
// accepts writes. The names and ports are libpq's comma-separated lists.
struct ServerHost {
    std::string itsHost;
    std::string itsPort;
    std::string itsDatabase;
    int itsServerCount = 0;
};
// The server's name, port and database, or nothing when theHost is not of that form.
std::optional<ServerHost> parseServerHost(const std::string& theHost);

// The first line of a libpq message, without its leading blanks.
std::string firstLine(const char* theText);

// The connection to a repository inside a PostgreSQL server, through libpq. The connection's
// database setting ("DATABASENAME") names the database, else the host's "@DATABASE"; the TLS
// connect properties become libpq's sslmode, sslrootcert, sslcert, sslkey and sslpassword (pgtls).
class PgConnection : public BackendConnection<PgConnection, PgStatement, PgPreparedStatement> {
public:
    PgConnection();
    ~PgConnection() override;

    ReturnCode connect(const std::string& theServerNode, const std::string& theDatabase,
                       const std::string& theUser, std::string_view thePassword,
                       StringEncoding theEncoding, const ConnectProperties& theProperties) override;
    ReturnCode close() override;
    // The single calls of a group share transactions of the server: the first one opens one,
    // and it commits when it has used its GroupBudget, when the group ends, and before a plain
    // statement or a window of calls. Each call stays a subtransaction of its own inside the
    // extension, so a refused request leaves no trace and the next ones go on; a call that fails
    // takes the whole open transaction back, as the repository file's engine does after a storage
    // failure, and endCallGroup then fails, naming the answered calls that were lost with it.
    ReturnCode beginCallGroup() override;
    ReturnCode endCallGroup() override;
    // The calls go in windows of a bounded count and size, each window one statement that runs
    // the procedure once per frame and answers them all. Each window is a transaction of its
    // own, committed as the statement ends, in a group too: a writer then holds the
    // repository's write lock for the statement only, not across the round trips to the client
    // and back, and a failed call takes back its window only.
    ReturnCode callAll(const std::vector<std::string_view>& theFrames,
                       std::vector<std::string>& theAnswers) override;
    bool isRemote() const override { return true; }

    // For the statements: the open libpq connection, nullptr while not connected.
    pg_conn* handle() { return itsHandle; }
    // Runs one repository call by the statement prepared when the connection was made, so the
    // server neither parses nor plans it again.
    pg_result* runCall(std::string_view theFrame);
    // Before a repository call: opens the group's transaction where one is due (after
    // committing one that has used its time). False with the failure in theError.
    bool enterCall(ErrorHolder& theError);
    // After a repository call: a failed one rolls the open transaction back; an answered one
    // counts against the budget, which may commit. False with the failure in theError.
    bool leaveCall(bool theAnswered, ErrorHolder& theError);
    // Commits the group's open transaction, if any; false with the failure in theError.
    bool commitGroup(ErrorHolder& theError);

private:
    // Runs the calls theFrames[theBegin, theEnd) as one statement and appends their answers to
    // theAnswers; false with the failure in itsError.
    bool callWindow(const std::vector<std::string_view>& theFrames, std::size_t theBegin,
                    std::size_t theEnd, std::vector<std::string>& theAnswers);
    // Runs theSql, a command without rows; false with the server's text in theError.
    bool command(const char* theSql, const char* theTag, ErrorHolder& theError);

    pg_conn* itsHandle = nullptr;
    // The call's and the window's statements are prepared on this connection; where preparing
    // failed (a database without the extension), each is sent whole and fails with the
    // server's own words.
    bool itsCallPrepared = false;
    bool itsGrouping = false;
    bool itsGroupOpen = false; // a transaction of the group is open on the server
    server::GroupBudget itsGroupBudget;
    std::string itsLoss; // answered calls of the group that a failure took back, for its end
};

} // namespace RepositoryAccess::dbclient
