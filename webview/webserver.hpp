#pragma once

#include <iosfwd>
#include <string>

namespace RepositoryAccess::webview {

class RepositoryReader;

// Where the web view listens when no --listen is given: the loopback only.
inline constexpr const char* kDefaultHost = "127.0.0.1";
inline constexpr int kDefaultPort = 8470;

// An address to listen on: "HOST:PORT", "[IPv6]:PORT" or ":PORT" (the loopback); port 0 takes
// any free port. Throws Error for anything else.
struct ListenAddress {
    std::string itsHost = kDefaultHost;
    int itsPort = kDefaultPort;
};
ListenAddress parseListenAddress(const std::string& theText);

// Serves the web view of theReader's repository on theAddress until SIGINT or SIGTERM. Once it
// listens it prints "Serving theName at http://HOST:PORT/" on theOut. Throws Error when it
// cannot listen.
void serve(RepositoryReader& theReader, const std::string& theName, const ListenAddress& theAddress,
           std::ostream& theOut);

} // namespace RepositoryAccess::webview
