#include "repository/reposession.hpp"

#include "core/error.hpp"
#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

void writeSession(std::string& theText, const RepositorySession& theSession) {
    const std::int32_t aType = theSession.itsType;
    if (aType != 1 && aType != 2 && aType != 4)
        throw Error("Invalid session type (must be active = 1, inactive = 2 or historical = 4): " +
                    std::to_string(aType));
    RequestWriter aWriter(theText);
    aWriter.raw("sessionType", std::to_string(aType));
    if (aType == 2)
        aWriter.member("owner", theSession.itsOwner)
            .member("workspace", sentWorkSpace(theSession.itsWorkSpace));
    else if (aType == 4)
        aWriter.member("timestamp", theSession.itsTimestamp);
    aWriter.end();
}

} // namespace RepositoryAccess
