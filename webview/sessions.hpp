#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace RepositoryAccess::webview {

// The signed-in browsers: a session is a random 128-bit id (OpenSSL's generator, written as 32
// hex digits) that the browser sends back in its cookie, with the repository user who signed in
// and the time it ends. A session ends at sign-out or kLifetime after it began.
class Sessions {
public:
    static constexpr std::chrono::seconds kLifetime{8 * 60 * 60};

    // A new session of theUser; its id.
    std::string begin(const std::string& theUser);
    // The user of the session theId, none when there is no such session or it has ended.
    std::optional<std::string> user(const std::string& theId);
    void end(const std::string& theId);

private:
    struct Session {
        std::string itsUser;
        std::chrono::steady_clock::time_point itsEnd;
    };
    void dropEnded(std::chrono::steady_clock::time_point theNow);

    std::mutex itsMutex;
    std::map<std::string, Session> itsSessions;
};

} // namespace RepositoryAccess::webview
