// The C boundary of the repository's functions inside the database server. PostgreSQL reports
// errors by a long jump and the engine by C++ exceptions; neither may cross the other's frames.
// So the entry functions hold no C++ object with a destructor, the C++ part catches everything
// before it returns, and its calls into the server run under pgGuard (pgguard.hpp); a failure
// becomes an ereport only after every C++ object is gone.

#include "pgextension/frameanswer.hpp"
#include "pgextension/pgguard.hpp"
#include "pgextension/spidatabase.hpp"

extern "C" {
#include "commands/extension.h"
#include "fmgr.h"
#include "miscadmin.h"
#include "utils/builtins.h"
#include "utils/guc.h"
}

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

extern "C" {
PG_MODULE_MAGIC;
PG_FUNCTION_INFO_V1(kivo_repository_rest);
PGDLLEXPORT Datum kivo_repository_rest(PG_FUNCTION_ARGS);
PG_FUNCTION_INFO_V1(kivo_install);
PGDLLEXPORT Datum kivo_install(PG_FUNCTION_ARGS);
}

namespace {

using RepositoryAccess::pgextension::PgFailure;

// The outcome of the C++ part: an answer in server memory, or a failure text with the SQLSTATE
// that PostgreSQL gave it (0: an internal error). Trivially destructible, so a long jump over it
// loses nothing.
struct Outcome {
    bytea* itsAnswer = nullptr;
    char itsFailure[1024] = {};
    int itsCode = 0;
};

void setFailure(Outcome& theOutcome, const char* theText, int theCode = 0) {
    snprintf(theOutcome.itsFailure, sizeof theOutcome.itsFailure, "%s", theText);
    theOutcome.itsCode = theCode;
}

// Runs theBody, recording what it throws in theOutcome.
template <class Body> void catchAll(Outcome& theOutcome, Body theBody) noexcept {
    try {
        theBody();
    } catch (const RepositoryAccess::pgextension::SpiError& anError) {
        setFailure(theOutcome, anError.what(), anError.code());
    } catch (const std::exception& anError) {
        setFailure(theOutcome, anError.what());
    } catch (...) {
        setFailure(theOutcome, "unknown failure");
    }
}

// Copies theSize bytes into a new bytea of the current memory context.
bytea* toBytea(const char* theData, std::size_t theSize, Outcome& theOutcome) noexcept {
    bytea* aResult = nullptr;
    PgFailure aFailure;
    if (!RepositoryAccess::pgextension::pgGuard(aFailure, [&] {
            bytea* aNew = static_cast<bytea*>(palloc(VARHDRSZ + theSize));
            SET_VARSIZE(aNew, VARHDRSZ + theSize);
            std::memcpy(VARDATA(aNew), theData, theSize);
            aResult = aNew;
        }))
        setFailure(theOutcome, aFailure.itsMessage, aFailure.itsCode);
    return aResult;
}

// The C++ part of a call: every exception ends here.
void answer(const char* theFrame, std::size_t theSize, const char* theCaller,
            Outcome& theOutcome) noexcept {
    catchAll(theOutcome, [&] {
        const std::string anAnswer = RepositoryAccess::pgextension::answerFrame(
            std::string_view(theFrame, theSize), theCaller);
        theOutcome.itsAnswer = toBytea(anAnswer.data(), anAnswer.size(), theOutcome);
    });
}

void install(const char* theDatabaseName, Outcome& theOutcome) noexcept {
    catchAll(theOutcome,
             [&] { RepositoryAccess::pgextension::installRepository(theDatabaseName); });
}

} // namespace

// The engine's statements name the tables without their schema. They are resolved in the
// repository's schema and the catalog only, whatever search path the function was given since:
// the function belongs to the repository's administrator, who may change its settings, and
// nothing of anyone's making may run inside it (a superuser's call included).
constexpr const char* kEngineSearchPath = "sys, pg_catalog, pg_temp";

// The engine's statements find their rows by key, and their plans are made once and kept for the
// backend's life. A plan made while a table was small would scan it whole (a scan of a few pages
// costs less than an index's); as a push fills the table, every lookup then reads every row of it,
// and a push of n objects costs n squared. Scans are priced out for the engine's calls, so that a
// key finds its row through the index at every size; a statement with no index to use still
// scans. The settings end with the call, or with the transaction when the call fails.
constexpr const char* kEngineScans = "off";

// A scan priced out that way costs more than any threshold of the just-in-time compiler, which
// would then compile, inline and optimise each run of a statement that must scan (a look-up of
// a few rows by a column without an index took 90 ms instead of 0.1). The engine's statements
// each touch a few rows: compiling never pays for them.
constexpr const char* kEngineCompiles = "off";

// sys.repository_rest(bytea) returns bytea: one repoV2 frame in, one out, for the session user
// (the login role, whatever role the function runs as).
extern "C" Datum kivo_repository_rest(PG_FUNCTION_ARGS) {
    bytea* aFrame = PG_GETARG_BYTEA_PP(0);
    const char* aCaller = GetUserNameFromId(GetSessionUserId(), false);
    const int aSettingsLevel = NewGUCNestLevel();
    (void)set_config_option("search_path", kEngineSearchPath, PGC_USERSET, PGC_S_SESSION,
                            GUC_ACTION_SAVE, true, 0, false);
    (void)set_config_option("enable_seqscan", kEngineScans, PGC_USERSET, PGC_S_SESSION,
                            GUC_ACTION_SAVE, true, 0, false);
    (void)set_config_option("jit", kEngineCompiles, PGC_USERSET, PGC_S_SESSION, GUC_ACTION_SAVE,
                            true, 0, false);
    Outcome anOutcome;
    answer(VARDATA_ANY(aFrame), VARSIZE_ANY_EXHDR(aFrame), aCaller, anOutcome);
    AtEOXact_GUC(true, aSettingsLevel);
    if (anOutcome.itsAnswer == nullptr)
        ereport(ERROR,
                (errcode(anOutcome.itsCode != 0 ? anOutcome.itsCode : ERRCODE_INTERNAL_ERROR),
                 errmsg("kivo repository failure: %s", anOutcome.itsFailure)));
    PG_RETURN_BYTEA_P(anOutcome.itsAnswer);
}

// sys.kivo_install(text): the repository's tables with their first rows, created once by the
// extension's script (and only there), in the schema that the function's search path names.
extern "C" Datum kivo_install(PG_FUNCTION_ARGS) {
    if (!creating_extension)
        ereport(ERROR, (errcode(ERRCODE_OBJECT_NOT_IN_PREREQUISITE_STATE),
                        errmsg("kivo_install runs only inside CREATE EXTENSION kivo")));
    const char* aDatabaseName = text_to_cstring(PG_GETARG_TEXT_PP(0));
    Outcome anOutcome;
    install(aDatabaseName, anOutcome);
    if (anOutcome.itsFailure[0] != '\0')
        ereport(ERROR,
                (errcode(anOutcome.itsCode != 0 ? anOutcome.itsCode : ERRCODE_INTERNAL_ERROR),
                 errmsg("kivo repository installation failed: %s", anOutcome.itsFailure)));
    PG_RETURN_VOID();
}
