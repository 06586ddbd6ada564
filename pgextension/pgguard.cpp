#include "pgextension/pgguard.hpp"

#include <cstdio>

namespace RepositoryAccess::pgextension {

void takeError(MemoryContext theContext, PgFailure& theFailure) noexcept {
    // The error data lives in ErrorContext; copying it there is not allowed.
    MemoryContextSwitchTo(theContext);
    ErrorData* anError = CopyErrorData();
    FlushErrorState();
    const char* aMessage = anError->message != nullptr ? anError->message : "unknown error";
    if (anError->detail != nullptr)
        snprintf(theFailure.itsMessage, sizeof theFailure.itsMessage, "%s (%s)", aMessage,
                 anError->detail);
    else
        snprintf(theFailure.itsMessage, sizeof theFailure.itsMessage, "%s", aMessage);
    theFailure.itsCode = anError->sqlerrcode;
    FreeErrorData(anError);
}

} // namespace RepositoryAccess::pgextension
