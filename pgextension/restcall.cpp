// The C boundary of the repository procedure inside the database server. PostgreSQL reports
// errors by a long jump and the engine by C++ exceptions; neither may cross the other's frames.
// So the entry function holds no C++ object with a destructor, the C++ part catches everything
// before it returns, and the one allocation the C++ part makes from the server runs under
// PG_TRY; a failure becomes an ereport only after every C++ object is gone.

extern "C" {
#include "postgres.h"

#include "fmgr.h"
#include "miscadmin.h"
#include "utils/memutils.h"
}

#include "pgextension/frameanswer.hpp"

#include <cstring>
#include <exception>
#include <string>

extern "C" {
PG_MODULE_MAGIC;
PG_FUNCTION_INFO_V1(kivo_repository_rest);
PGDLLEXPORT Datum kivo_repository_rest(PG_FUNCTION_ARGS);
}

namespace {

// The outcome of the C++ part: an answer in server memory, or a failure text. Trivially
// destructible, so a long jump over it loses nothing.
struct Outcome {
    bytea* itsAnswer = nullptr;
    char itsFailure[512] = {};
};

void setFailure(Outcome& theOutcome, const char* theText) {
    std::strncpy(theOutcome.itsFailure, theText, sizeof theOutcome.itsFailure - 1);
    theOutcome.itsFailure[sizeof theOutcome.itsFailure - 1] = '\0';
}

// Copies theSize bytes into a new bytea of the current memory context. A server error (out of
// memory) is caught here, before it could jump over the caller's C++ objects.
bytea* toBytea(const char* theData, std::size_t theSize, Outcome& theOutcome) noexcept {
    MemoryContext aContext = CurrentMemoryContext;
    bytea* volatile aResult = nullptr;
    PG_TRY();
    {
        bytea* aNew = static_cast<bytea*>(palloc(VARHDRSZ + theSize));
        SET_VARSIZE(aNew, VARHDRSZ + theSize);
        std::memcpy(VARDATA(aNew), theData, theSize);
        aResult = aNew;
    }
    PG_CATCH();
    {
        MemoryContextSwitchTo(aContext);
        ErrorData* anError = CopyErrorData();
        FlushErrorState();
        setFailure(theOutcome, anError->message != nullptr ? anError->message : "server error");
        FreeErrorData(anError);
    }
    PG_END_TRY();
    return aResult;
}

// The C++ part: every exception ends here.
void answer(const char* theFrame, std::size_t theSize, const char* theCaller,
            Outcome& theOutcome) noexcept {
    try {
        const std::string anAnswer = RepositoryAccess::pgextension::answerFrame(
            std::string_view(theFrame, theSize), theCaller);
        theOutcome.itsAnswer = toBytea(anAnswer.data(), anAnswer.size(), theOutcome);
    } catch (const std::exception& anError) {
        setFailure(theOutcome, anError.what());
    } catch (...) {
        setFailure(theOutcome, "unknown failure");
    }
}

} // namespace

// sys.repository_rest(bytea) returns bytea: one repoV2 frame in, one out, for the session user.
extern "C" Datum kivo_repository_rest(PG_FUNCTION_ARGS) {
    bytea* aFrame = PG_GETARG_BYTEA_PP(0);
    const char* aCaller = GetUserNameFromId(GetSessionUserId(), false);
    Outcome anOutcome;
    answer(VARDATA_ANY(aFrame), VARSIZE_ANY_EXHDR(aFrame), aCaller, anOutcome);
    if (anOutcome.itsAnswer == nullptr)
        ereport(ERROR, (errcode(ERRCODE_INTERNAL_ERROR),
                        errmsg("kivo repository failure: %s", anOutcome.itsFailure)));
    PG_RETURN_BYTEA_P(anOutcome.itsAnswer);
}
