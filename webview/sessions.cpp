#include "webview/sessions.hpp"

#include "core/error.hpp"

#include <array>

#include <openssl/rand.h>

namespace RepositoryAccess::webview {

namespace {

std::string randomId() {
    std::array<unsigned char, 16> aBytes{};
    if (RAND_bytes(aBytes.data(), static_cast<int>(aBytes.size())) != 1)
        throw Error("Cannot make a session id: the random generator failed");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string anId;
    for (unsigned char aByte : aBytes) {
        anId += kHex[aByte >> 4];
        anId += kHex[aByte & 0x0f];
    }
    return anId;
}

} // namespace

std::string Sessions::begin(const std::string& theUser) {
    const auto aNow = std::chrono::steady_clock::now();
    std::string anId = randomId();
    std::lock_guard aLock(itsMutex);
    dropEnded(aNow);
    itsSessions[anId] = {theUser, aNow + kLifetime};
    return anId;
}

std::optional<std::string> Sessions::user(const std::string& theId) {
    const auto aNow = std::chrono::steady_clock::now();
    std::lock_guard aLock(itsMutex);
    auto anEntry = itsSessions.find(theId);
    if (anEntry == itsSessions.end())
        return std::nullopt;
    if (anEntry->second.itsEnd <= aNow) {
        itsSessions.erase(anEntry);
        return std::nullopt;
    }
    return anEntry->second.itsUser;
}

void Sessions::end(const std::string& theId) {
    std::lock_guard aLock(itsMutex);
    itsSessions.erase(theId);
}

void Sessions::dropEnded(std::chrono::steady_clock::time_point theNow) {
    std::erase_if(itsSessions,
                  [theNow](const auto& anEntry) { return anEntry.second.itsEnd <= theNow; });
}

} // namespace RepositoryAccess::webview
