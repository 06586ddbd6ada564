#pragma once

#include <string>

struct pg_conn;
struct pg_result;

namespace RepositoryAccess::dbclient {

// The failure of a statement on the server in the user's words: a statement timeout names the
// setting and what to ask the administrator, a database without the kivo extension says that it
// holds no repository, a lost connection says how to finish the run's work; anything else is the
// server's first line. theResult may be null (libpq ran out of memory or lost the connection).
std::string describeStatementFailure(const pg_result* theResult, pg_conn* theConnection);

// The server the connection talks to, as "HOST:PORT" ("[::1]:5432" for an IPv6 address).
std::string connectedServer(pg_conn* theConnection);

// True for an address of this machine's loopback (127.0.0.0/8, ::1) or a local socket.
bool isLoopbackAddress(const std::string& theAddress);

// Writes, once per run, a warning to standard error when theConnection talks to a server other
// than the loopback without checking its certificate and host name (sslmode verify-full).
void warnIfUnverified(pg_conn* theConnection);

} // namespace RepositoryAccess::dbclient
