// libpq, opened when the first of its functions is called. A client run that works on a
// repository file (most of them) loads no PostgreSQL library: libpq and the two dozen libraries
// it needs (Kerberos, LDAP, TLS) cost every start several milliseconds to map and relocate. The
// functions below are the ones the program calls, each forwarding to libpq's own; their
// declarations come from libpq's header, so a signature that differs does not compile.
#include <dlfcn.h>
#include <libpq-fe.h>

#include <string>

#include "core/error.hpp"

namespace RepositoryAccess::pqlibrary {

namespace {

struct Library {
    void* itsHandle = nullptr;
    std::string itsFailure;
};

const Library& library() {
    static const Library theLibrary = [] {
        Library aLibrary;
        aLibrary.itsHandle = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!aLibrary.itsHandle)
            aLibrary.itsFailure = ::dlerror();
        return aLibrary;
    }();
    return theLibrary;
}

} // namespace

// The address of libpq's function; throws when the library or the function is not to be had.
void* symbol(const char* theName) {
    const Library& aLibrary = library();
    if (!aLibrary.itsHandle)
        throw Error("The PostgreSQL client library could not be loaded: " + aLibrary.itsFailure);
    void* anAddress = ::dlsym(aLibrary.itsHandle, theName);
    if (!anAddress)
        throw Error(std::string("The PostgreSQL client library has no function ") + theName + ".");
    return anAddress;
}

} // namespace RepositoryAccess::pqlibrary

#define KIVO_PQ(theResult, theName, theParameters, theArguments)                                   \
    theResult theName theParameters {                                                              \
        static const auto aFunction =                                                              \
            reinterpret_cast<decltype(&theName)>(RepositoryAccess::pqlibrary::symbol(#theName));   \
        return aFunction theArguments;                                                             \
    }

extern "C" {

// Connections.
KIVO_PQ(PGconn*, PQconnectdbParams, (const char* const* k, const char* const* v, int e), (k, v, e))
KIVO_PQ(void, PQfinish, (PGconn * c), (c))
KIVO_PQ(ConnStatusType, PQstatus, (const PGconn* c), (c))
KIVO_PQ(PGTransactionStatusType, PQtransactionStatus, (const PGconn* c), (c))
KIVO_PQ(char*, PQerrorMessage, (const PGconn* c), (c))
KIVO_PQ(char*, PQdb, (const PGconn* c), (c))
KIVO_PQ(char*, PQhost, (const PGconn* c), (c))
KIVO_PQ(char*, PQhostaddr, (const PGconn* c), (c))
KIVO_PQ(char*, PQport, (const PGconn* c), (c))
KIVO_PQ(int, PQsslInUse, (PGconn * c), (c))
KIVO_PQ(PQnoticeProcessor, PQsetNoticeProcessor, (PGconn * c, PQnoticeProcessor p, void* a),
        (c, p, a))
KIVO_PQ(PQconninfoOption*, PQconninfo, (PGconn * c), (c))
KIVO_PQ(PQconninfoOption*, PQconninfoParse, (const char* i, char** m), (i, m))
KIVO_PQ(void, PQconninfoFree, (PQconninfoOption * o), (o))

// Statements.
KIVO_PQ(PGresult*, PQexec, (PGconn * c, const char* q), (c, q))
KIVO_PQ(PGresult*, PQexecParams,
        (PGconn * c, const char* q, int n, const Oid* t, const char* const* v, const int* l,
         const int* f, int r),
        (c, q, n, t, v, l, f, r))
KIVO_PQ(PGresult*, PQprepare, (PGconn * c, const char* s, const char* q, int n, const Oid* t),
        (c, s, q, n, t))
KIVO_PQ(PGresult*, PQexecPrepared,
        (PGconn * c, const char* s, int n, const char* const* v, const int* l, const int* f, int r),
        (c, s, n, v, l, f, r))
KIVO_PQ(PGresult*, PQdescribePrepared, (PGconn * c, const char* s), (c, s))
KIVO_PQ(int, PQsendQueryPrepared,
        (PGconn * c, const char* s, int n, const char* const* v, const int* l, const int* f, int r),
        (c, s, n, v, l, f, r))
KIVO_PQ(int, PQsetSingleRowMode, (PGconn * c), (c))
KIVO_PQ(PGresult*, PQgetResult, (PGconn * c), (c))
KIVO_PQ(char*, PQescapeLiteral, (PGconn * c, const char* s, size_t n), (c, s, n))
KIVO_PQ(char*, PQescapeIdentifier, (PGconn * c, const char* s, size_t n), (c, s, n))
KIVO_PQ(char*, PQencryptPasswordConn, (PGconn * c, const char* p, const char* u, const char* a),
        (c, p, u, a))

// Results.
KIVO_PQ(ExecStatusType, PQresultStatus, (const PGresult* r), (r))
KIVO_PQ(char*, PQresultErrorMessage, (const PGresult* r), (r))
KIVO_PQ(char*, PQresultErrorField, (const PGresult* r, int f), (r, f))
KIVO_PQ(int, PQntuples, (const PGresult* r), (r))
KIVO_PQ(int, PQnfields, (const PGresult* r), (r))
KIVO_PQ(Oid, PQftype, (const PGresult* r, int f), (r, f))
KIVO_PQ(int, PQnparams, (const PGresult* r), (r))
KIVO_PQ(Oid, PQparamtype, (const PGresult* r, int p), (r, p))
KIVO_PQ(char*, PQgetvalue, (const PGresult* r, int t, int f), (r, t, f))
KIVO_PQ(int, PQgetlength, (const PGresult* r, int t, int f), (r, t, f))
KIVO_PQ(int, PQgetisnull, (const PGresult* r, int t, int f), (r, t, f))
KIVO_PQ(char*, PQcmdStatus, (PGresult * r), (r))
KIVO_PQ(char*, PQcmdTuples, (PGresult * r), (r))
KIVO_PQ(void, PQclear, (PGresult * r), (r))
KIVO_PQ(void, PQfreemem, (void* p), (p))
}
