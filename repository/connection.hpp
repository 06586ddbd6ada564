#pragma once

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/repomessage.hpp"
#include "repository/reporequest.hpp"

namespace RepositoryAccess {

// The one connection of a run to the repository: opened on the first repository call, closed at
// the end of the run. `callRepo` sends one request message to the repository procedure and
// returns the response message.
class Connection {
public:
    // Gathers the connection parameters (options, then the workspace configuration), connects and
    // reads the API version, database name and user.
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Sends the request; in simulation mode a write request is only shown and answered with
    // error code "0".
    RepositoryMessage callRepo(const RepositoryRequest& theRequest);

    // A request turned into its frame, or into the simulated answer of a write. Once prepared,
    // the request and the attachments only it held may go: a large file is then held once, in
    // the frame, while the repository works.
    struct PreparedCall {
        std::string itsFrame;
        std::optional<RepositoryMessage> itsSimulatedAnswer;
    };
    // The first half of callRepo: checks, shows (with `jsonRequest`) and serialises.
    PreparedCall prepareCall(const RepositoryRequest& theRequest) const;
    // The second half: sends the frame and returns the response message.
    RepositoryMessage call(PreparedCall theCall);
    // The answers of theCalls, in their order, as call() gives them one after the other; a
    // server gets them all before it answers the first. A failed call throws, and the calls
    // after it are not made.
    std::vector<RepositoryMessage> callAll(std::vector<PreparedCall> theCalls);
    // Starts theCalls as callAll makes them and, where the repository runs in another process,
    // returns at once: they travel on a helper thread while the run prepares its next work,
    // and collect() waits for their answers. Every other use of the connection waits for them
    // first, and throws their failure. The repository file, or simulated answers, answer here
    // and now. The answers of one sendAll are collected before the next.
    void sendAll(std::vector<PreparedCall> theCalls);
    // The answers of the calls that sendAll started, in their order; throws as callAll does.
    std::vector<RepositoryMessage> collect();

    std::int64_t getApiVersion() const { return itsApiVersion; }
    const std::string& getUserName() const { return itsUserName; }
    // The database name given for the connection (empty with a key).
    const std::string& getDatabaseName() const { return itsDatabaseName; }
    // The database name the server reported; empty when it reported none.
    const std::string& getServerDatabaseName() const { return itsServerDatabaseName; }
    const std::string& getHostName() const { return itsHostName; }
    const std::string& getKey() const { return itsKey; }
    // The repository's schema version once a call has asked for it: it grows only by an
    // upgrade, which no client makes, so one question per connection answers every bulk read.
    std::optional<std::int64_t> knownSchemaVersion() const { return itsSchemaVersion; }
    void rememberSchemaVersion(std::int64_t theVersion) { itsSchemaVersion = theVersion; }

    // Lets the calls that follow share the repository's transactions, each call still atomic
    // on its own, until endCallGroup makes them durable (throws with the library's text on
    // failure). Calls of a group that the run never ends are lost with it; its journal names
    // their objects for the repair.
    void beginCallGroup();
    void endCallGroup();

    // Closes the library connection and releases it; throws with the library's text on failure.
    void close();

private:
    // The answer frames of theCalls from the library, or nothing where it makes calls only one
    // at a time; throws its failure.
    std::optional<std::vector<std::string>> sendFrames(const std::vector<PreparedCall>& theCalls);
    std::vector<RepositoryMessage> parseResponses(const std::vector<std::string>& theAnswers) const;
    // Waits for the calls on their way, if any, and keeps their answers for collect().
    void awaitSent();

    struct Library;
    std::unique_ptr<Library> itsLibrary;
    std::string itsUserName;
    std::string itsDatabaseName;
    std::string itsServerDatabaseName;
    std::string itsHostName;
    std::string itsKey;
    std::int64_t itsApiVersion = 0;
    std::optional<std::int64_t> itsSchemaVersion;
    // The calls of sendAll on their way, then their answers; destroyed before the library,
    // and a thread still on its way is waited for.
    std::future<std::vector<std::string>> itsSending;
    std::optional<std::vector<RepositoryMessage>> itsArrived;
};

// The repository calls of one scope as a group (the thousands of small writes of one action):
// ends the group when the scope ends. A failure to end it on the way out of a failing scope
// cannot be thrown there; it is reported as an error of the run.
class CallGroup {
public:
    explicit CallGroup(Connection& theConnection);
    ~CallGroup();
    CallGroup(const CallGroup&) = delete;
    CallGroup& operator=(const CallGroup&) = delete;

    // Ends the group now; throws when its calls cannot be made durable.
    void end();

private:
    Connection* itsConnection;
};

namespace connection {

// Opens the process-wide connection unless it exists.
Connection& open();
// True while no connection exists.
bool isClosed();
// Closes the connection at the end of the run; reports its own failures ("Error exiting
// connection: ...") and never throws.
void finish();
// Closes the connection now (between the steps of transport); throws on failure, also the
// failure of a closing begun by closeInBackground.
void close();
// Begins closing the connection on a helper thread, so that the repository's last work (the
// repository file's checkpoint) overlaps the workspace's last writes; finish() or close() waits
// for it and reports its failure. The run makes no repository call after it.
void closeInBackground();
// How many calls may go to the repository together: theMost, or one in a run that shows its
// requests or answers or simulates its writes, so that what it shows stays in the order of the
// calls.
std::size_t callsTogether(std::size_t theMost);

} // namespace connection
} // namespace RepositoryAccess
