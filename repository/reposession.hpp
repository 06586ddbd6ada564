#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace RepositoryAccess {

// Which view of the repository a request works on: 1 the active objects, 2 the inactive
// objects of an owner's repository workspace ("__empty__" names the default one), 4 the objects
// as they were at a timestamp.
struct RepositorySession {
    std::int32_t itsType = 1;
    std::string itsOwner;
    std::string itsWorkSpace;
    std::string itsTimestamp;

    static RepositorySession active() { return {1, {}, {}, {}}; }
    bool isActive() const { return itsType == 1; }
    static RepositorySession inactive(std::string theOwner, std::string theWorkSpace) {
        return {2, std::move(theOwner), std::move(theWorkSpace), {}};
    }
    static RepositorySession historical(std::string theTimestamp) {
        return {4, {}, {}, std::move(theTimestamp)};
    }
};

// Writes the session as a request member value, for example {"sessionType":"1"}. Throws
// "Invalid session type (must be active = 1, inactive = 2 or historical = 4): <n>".
void writeSession(std::string& theText, const RepositorySession& theSession);

} // namespace RepositoryAccess
