#pragma once

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "server/repositorystore.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace RepositoryAccess::server {
class Engine;
}

namespace RepositoryAccess::webview {

// One answer of the repository to a read request: its JSON and its attachment slots.
struct ReadAnswer {
    RepositoryMessage itsMessage;
    json::JsonObject itsJson;
    json::JsonAllocator itsAllocator;

    std::string code() const { return json::getString(itsJson, "error-code"); }
    // The content of attachment slot theSlot: its CDATA, or its BDATA for binary content.
    std::string slot(std::size_t theSlot) const;
};

// The web view's way into the repository: the engine's own read requests, the frames that the
// client sends, answered as the signed-in user, so that a repository file and a server database
// behave alike and the engine's rules apply. The engine works on a connection that refuses
// writes, and only requests that read are sent. One request at a time: the pages of several
// browsers take turns.
class RepositoryReader {
public:
    explicit RepositoryReader(std::unique_ptr<server::Engine> apEngine);
    ~RepositoryReader();

    // True when theUser (any case) exists and thePassword is its password.
    bool signIn(const std::string& theUser, std::string_view thePassword);

    // Sends the read request theAction/theWhat with theMembers (JSON members without braces) as
    // theUser. An answer with another code than "0" or theAlsoFine fails: with a MissingPage
    // when the repository does not know what was asked for, else with an Error that quotes the
    // repository's error.
    std::unique_ptr<ReadAnswer> read(const std::string& theUser, std::string_view theAction,
                                     std::string_view theWhat, std::string_view theMembers,
                                     std::string_view theAlsoFine = {});

    // The activations of the whole repository, newest first (no request reads them).
    std::vector<server::ActiveObject> recentActivity(std::int64_t theSkip, std::int64_t theCount);

private:
    std::mutex itsMutex;
    std::unique_ptr<server::Engine> itsEngine;
};

// A page that names something the repository does not hold.
class MissingPage : public Error {
public:
    using Error::Error;
};

} // namespace RepositoryAccess::webview
