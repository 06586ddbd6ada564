#pragma once

// The one place where C++ calls into PostgreSQL. PostgreSQL reports an error by a long jump to
// the innermost PG_TRY; a long jump over a C++ frame that holds an object with a destructor is
// undefined. So every call that may report an error (SPI, subtransactions, palloc, detoasting)
// runs inside pgGuard: the guard and the body it runs hold only trivially destructible things,
// the error is caught right there, copied into plain memory and cleared, and the C++ caller
// turns the failure into an exception. No C++ exception passes the other way either: a body
// calls C functions only, and the guard is noexcept.

extern "C" {
#include "postgres.h"

#include "utils/memutils.h"
}

#include <type_traits>

namespace RepositoryAccess::pgextension {

// A PostgreSQL error caught by pgGuard: its message (with the detail, when there is one) and
// its SQLSTATE. Plain data, so that a long jump over it loses nothing. Only the message's first
// byte is cleared: a guard is set up around every column read, and clearing the whole buffer
// each time cost more than the read.
struct PgFailure {
    char itsMessage[1024];
    int itsCode = 0;
    PgFailure() noexcept { itsMessage[0] = '\0'; }
};

// Copies the error being handled into theFailure and clears PostgreSQL's error state, in
// theContext (the memory context of the guarded call's start). Only for PG_CATCH blocks.
void takeError(MemoryContext theContext, PgFailure& theFailure) noexcept;

// Runs theBody, a lambda that calls PostgreSQL's C functions and creates no object with a
// destructor. Returns false, with the error in theFailure, when the body reported an error; the
// current (sub)transaction must then be rolled back before the next call into PostgreSQL.
template <class Body> bool pgGuard(PgFailure& theFailure, Body theBody) noexcept {
    static_assert(std::is_trivially_destructible_v<Body>,
                  "a guarded body holds nothing with a destructor");
    MemoryContext const aContext = CurrentMemoryContext;
    volatile bool anOk = true;
    PG_TRY();
    { theBody(); }
    PG_CATCH();
    {
        takeError(aContext, theFailure);
        anOk = false;
    }
    PG_END_TRY();
    return anOk;
}

} // namespace RepositoryAccess::pgextension
