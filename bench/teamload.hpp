#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The load driver of a repository shared by a team: what every part of it agrees on.
namespace RepositoryAccess::teamload {

// What one run of the driver is told on its command line.
struct LoadOptions {
    // "file:PATH" for the repository file, "HOST:PORT" for a server.
    std::string itsHost;
    // The database of a server; empty for the repository file.
    std::string itsDatabase;
    // The users are the prefix with the numbers 1 to itsUsers, all with one password.
    std::string itsUserPrefix = "team";
    std::string itsPassword;
    int itsClients = 16;
    int itsUsers = 8;
    int itsSeconds = 60;
    // The objects of the shared package that pushes pick from: fewer objects, more conflicts.
    int itsObjects = 32;
    int itsObjectsPerPush = 3;
    // The share of checkouts among the operations a client picks, in percent.
    int itsCheckoutPercent = 40;
    // The size of each version, in bytes.
    int itsContentSize = 1024;
    // The folder for the clients' workspaces and logs.
    std::string itsDir;
    int itsSeed = 1;
    // Runs no load: checks the logs a run left in itsDir against the repository again.
    bool itsCheckOnly = false;
};

// The operations a client times, in the order of the report.
enum class Operation { push, checkout, activate };
inline constexpr int kOperationCount = 3;

// How a timed operation ended.
enum class Outcome { ok, conflict, failed };

// The package whose objects every client pushes and checks out.
inline constexpr std::string_view kRootPackage = "teamload";
inline constexpr std::string_view kSharedPackage = "teamload.shared";
inline constexpr std::string_view kSuffix = "txt";

// The word of an operation in logs and reports ("push").
const char* operationName(Operation theOperation);

// The user that client theClient (from 0) logs in as: two clients for each user when there are
// twice as many clients as users.
std::string userOf(const LoadOptions& theOptions, int theClient);

// The name of shared object theIndex ("obj07").
std::string objectName(int theIndex);

// The content of a version: a first line with its unique tag and its object, then filler that
// the tag determines, theSize bytes in all. A version read back proves its tag and its bytes.
std::string contentOf(std::string_view theTag, std::string_view theObject, std::size_t theSize);

// The tag of a content (the first word of its first line).
std::string tagOf(std::string_view theContent);

// Installs the connect parameters of theUser, with the workspace folder theWorkSpace when not
// empty, so that the next repository call logs in.
void installConnectParameters(const LoadOptions& theOptions, const std::string& theUser,
                              const std::string& theWorkSpace);

} // namespace RepositoryAccess::teamload
