// The repository calls that a run sends in one go (PgConnection::callAll): libpq's pipeline
// mode sends a window of calls before it reads the first answer, so that a thousand small
// requests wait for a few round trips instead of a thousand.

#include "dbclient/pgconnection.hpp"
#include "dbclient/pgfailure.hpp"

#include <libpq-fe.h>

#include <cstdint>
#include <memory>

namespace RepositoryAccess::dbclient {

namespace {

// A window holds at most this many calls and, beyond its first call, this many bytes of frames:
// its answers wait in memory until its last call is sent, and a group's budget is checked only
// between windows.
constexpr std::size_t kWindowCalls = 100;
constexpr std::size_t kWindowBytes = std::size_t{4} << 20;
// The results of one call in pipeline mode: its row (or failure), then the null that ends it.
constexpr int kMostResultsOfACall = 8;

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::size_t windowEnd(const std::vector<std::string_view>& theFrames, std::size_t theBegin) {
    std::size_t anEnd = theBegin + 1;
    std::size_t aBytes = theFrames[theBegin].size();
    while (anEnd < theFrames.size() && anEnd - theBegin < kWindowCalls &&
           aBytes + theFrames[anEnd].size() <= kWindowBytes)
        aBytes += theFrames[anEnd++].size();
    return anEnd;
}

bool isAnswer(const PGresult* theResult) {
    return PQresultStatus(theResult) == PGRES_TUPLES_OK && PQntuples(theResult) == 1 &&
           !PQgetisnull(theResult, 0, 0);
}

std::string orDefault(std::string theText, const char* theDefault) {
    return theText.empty() ? std::string(theDefault) : theText;
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
    if (!enterCall(itsError))
        return false;
    std::string aFailure;
    if (PQenterPipelineMode(itsHandle) != 1) {
        itsError.set(pgcode::kStatementFailed, firstLine(PQerrorMessage(itsHandle)));
        leaveCall(false, itsError);
        return false;
    }
    std::size_t aSent = 0;
    for (std::size_t anIndex = theBegin; anIndex < theEnd; ++anIndex, ++aSent) {
        if (sendCall(theFrames[anIndex]) != 1) {
            aFailure = firstLine(PQerrorMessage(itsHandle));
            break;
        }
    }
    // Outside a group the window's calls share the implicit transaction that the sync ends.
    if (PQpipelineSync(itsHandle) != 1 && aFailure.empty())
        aFailure = firstLine(PQerrorMessage(itsHandle));
    const std::size_t anAnswered = theAnswers.size();
    std::string aReadFailure = readWindow(aSent, theAnswers);
    if (aFailure.empty())
        aFailure = std::move(aReadFailure);
    if (PQexitPipelineMode(itsHandle) != 1 && aFailure.empty())
        aFailure = firstLine(PQerrorMessage(itsHandle));

    bool aDue = false;
    for (std::size_t aCount = theAnswers.size() - anAnswered; itsGroupOpen && aCount > 0; --aCount)
        aDue = itsGroupBudget.spend() || aDue;
    if (!aFailure.empty()) {
        itsError.set(pgcode::kStatementFailed, aFailure);
        leaveCall(false, itsError);
        return false;
    }
    return !aDue || commitGroup(itsError);
}

std::string PgConnection::readWindow(std::size_t theCount, std::vector<std::string>& theAnswers) {
    std::string aFailure;
    for (std::size_t aCall = 0; aCall < theCount; ++aCall) {
        Result aResult(PQgetResult(itsHandle), &PQclear);
        if (!aResult)
            return !aFailure.empty() ? aFailure : describeStatementFailure(nullptr, itsHandle);
        // After the first failure the calls behind it are only read away: the server aborted
        // them.
        if (aFailure.empty() && isAnswer(aResult.get()))
            theAnswers.emplace_back(PQgetvalue(aResult.get(), 0, 0),
                                    static_cast<std::size_t>(PQgetlength(aResult.get(), 0, 0)));
        else if (aFailure.empty())
            aFailure = orDefault(describeStatementFailure(aResult.get(), itsHandle),
                                 "The repository call answered no frame");
        for (int aMore = 0; aMore < kMostResultsOfACall; ++aMore)
            if (!Result(PQgetResult(itsHandle), &PQclear))
                break;
    }
    Result anEnd(PQgetResult(itsHandle), &PQclear);
    if (aFailure.empty() && PQresultStatus(anEnd.get()) != PGRES_PIPELINE_SYNC)
        aFailure = orDefault(describeStatementFailure(anEnd.get(), itsHandle),
                             "The server did not end the pipeline of repository calls");
    return aFailure;
}

} // namespace RepositoryAccess::dbclient
