// The repository calls that a run sends in one go (PgConnection::callAll): a window of calls
// travels as one statement whose one parameter is the array of their frames, and the server
// runs the repository procedure once per frame, in order. A thousand small requests then cost
// ten statements instead of a thousand: no per-call protocol messages, executor start-ups or
// round trips.

#include "dbclient/pgconnection.hpp"
#include "dbclient/pgfailure.hpp"

#include <libpq-fe.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace RepositoryAccess::dbclient {

namespace {

// A window holds at most this many calls and, beyond its first call, this many bytes of frames:
// its frames are copied into one parameter and its answers wait in memory until the statement
// ends.
constexpr std::size_t kWindowCalls = 100;
constexpr std::size_t kWindowBytes = std::size_t{4} << 20;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::size_t windowEnd(const std::vector<std::string_view>& theFrames, std::size_t theBegin) {
    std::size_t anEnd = theBegin + 1;
    std::size_t aBytes = theFrames[theBegin].size();
    while (anEnd < theFrames.size() && anEnd - theBegin < kWindowCalls &&
           aBytes + theFrames[anEnd].size() <= kWindowBytes)
        aBytes += theFrames[anEnd++].size();
    return anEnd;
}

void appendInt32(std::string& theOut, std::uint32_t theValue) {
    const char aBytes[4] = {static_cast<char>(theValue >> 24), static_cast<char>(theValue >> 16),
                            static_cast<char>(theValue >> 8), static_cast<char>(theValue)};
    theOut.append(aBytes, 4);
}

// The binary form of a one-dimensional bytea array without nulls: dimensions, null flag,
// element type, length and lower bound, then each element's length and bytes (network order).
std::string byteaArray(const std::vector<std::string_view>& theFrames, std::size_t theBegin,
                       std::size_t theEnd) {
    std::size_t aSize = 20;
    for (std::size_t anIndex = theBegin; anIndex < theEnd; ++anIndex)
        aSize += 4 + theFrames[anIndex].size();
    std::string anArray;
    anArray.reserve(aSize);
    appendInt32(anArray, 1);
    appendInt32(anArray, 0);
    appendInt32(anArray, kPgByteaType);
    appendInt32(anArray, static_cast<std::uint32_t>(theEnd - theBegin));
    appendInt32(anArray, 1);
    for (std::size_t anIndex = theBegin; anIndex < theEnd; ++anIndex) {
        appendInt32(anArray, static_cast<std::uint32_t>(theFrames[anIndex].size()));
        anArray.append(theFrames[anIndex]);
    }
    return anArray;
}

std::uint64_t bigEndian64(const char* theBytes) {
    std::uint64_t aValue = 0;
    for (int anIndex = 0; anIndex < 8; ++anIndex)
        aValue = aValue << 8 | static_cast<unsigned char>(theBytes[anIndex]);
    return aValue;
}

// The answers of a window's rows, each checked to answer the call of its position; the text of
// the failure, empty when every call answered.
std::string readAnswers(const PGresult* theResult, std::size_t theCount,
                        std::vector<std::string>& theAnswers) {
    if (static_cast<std::size_t>(PQntuples(theResult)) != theCount || PQnfields(theResult) != 2)
        return "The server answered " + std::to_string(PQntuples(theResult)) + " of " +
               std::to_string(theCount) + " repository calls";
    for (int aRow = 0; aRow < static_cast<int>(theCount); ++aRow) {
        if (PQgetisnull(theResult, aRow, 0) || PQgetlength(theResult, aRow, 0) != 8 ||
            bigEndian64(PQgetvalue(theResult, aRow, 0)) != static_cast<std::uint64_t>(aRow) + 1)
            return "The server answered the repository calls out of their order";
        if (PQgetisnull(theResult, aRow, 1))
            return "The repository call answered no frame";
        theAnswers.emplace_back(PQgetvalue(theResult, aRow, 1),
                                static_cast<std::size_t>(PQgetlength(theResult, aRow, 1)));
    }
    return {};
}

} // namespace

ReturnCode PgConnection::callAll(const std::vector<std::string_view>& theFrames,
                                 std::vector<std::string>& theAnswers) {
    itsError.clear();
    theAnswers.clear();
    theAnswers.reserve(theFrames.size());
    for (const std::string_view aFrame : theFrames)
        if (aFrame.size() > static_cast<std::size_t>(INT32_MAX)) {
            itsError.set(pgcode::kStatementFailed, "The request frame is larger than 2 GB");
            return ReturnCode::Error;
        }
    for (std::size_t aBegin = 0; aBegin < theFrames.size();) {
        const std::size_t anEnd = windowEnd(theFrames, aBegin);
        if (!callWindow(theFrames, aBegin, anEnd, theAnswers))
            return ReturnCode::Error;
        aBegin = anEnd;
    }
    return ReturnCode::Ok;
}

bool PgConnection::callWindow(const std::vector<std::string_view>& theFrames, std::size_t theBegin,
                              std::size_t theEnd, std::vector<std::string>& theAnswers) {
    if (itsHandle == nullptr) {
        itsError.set(pgcode::kNotConnected, "Not connected to a database server");
        return false;
    }
    // What single calls of the group wrote before becomes durable first: the window is a
    // transaction of its own, the statement's implicit one.
    if (!commitGroup(itsError))
        return false;
    const std::string anArray = byteaArray(theFrames, theBegin, theEnd);
    if (anArray.size() > static_cast<std::size_t>(INT32_MAX)) {
        itsError.set(pgcode::kStatementFailed, "The window of request frames is larger than 2 GB");
        return false;
    }
    const Oid aTypes[] = {kPgByteaArrayType};
    const char* aValues[] = {anArray.data()};
    const int aLengths[] = {static_cast<int>(anArray.size())};
    const int aFormats[] = {1};
    const Result aResult(
        itsCallPrepared
            ? PQexecPrepared(itsHandle, kPgCallWindowName, 1, aValues, aLengths, aFormats, 1)
            : PQexecParams(itsHandle, kPgCallWindowSql, 1, aTypes, aValues, aLengths, aFormats, 1),
        &PQclear);
    const std::size_t anAnswered = theAnswers.size();
    std::string aFailure = PQresultStatus(aResult.get()) == PGRES_TUPLES_OK
                               ? readAnswers(aResult.get(), theEnd - theBegin, theAnswers)
                               : describeStatementFailure(aResult.get(), itsHandle);
    if (PQresultStatus(aResult.get()) != PGRES_TUPLES_OK && aFailure.empty())
        aFailure = "The server answered the repository calls with no rows";
    if (aFailure.empty())
        return true;
    theAnswers.resize(anAnswered);
    itsError.set(pgcode::kStatementFailed, aFailure);
    return false;
}

} // namespace RepositoryAccess::dbclient
