#include "bench/teamloadreport.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/error.hpp"
#include "core/json.hpp"

namespace RepositoryAccess::teamload {

namespace {

// The figures of a report's row: an operation, or all of them together.
struct Row {
    std::string itsName;
    long itsCount = 0;
    long itsOk = 0;
    long itsConflicts = 0;
    long itsFailed = 0;
    double itsPerSecond = 0;
    double itsP50 = 0;
    double itsP99 = 0;
};

// The nearest-rank percentile of sorted times, in milliseconds.
double percentile(const std::vector<std::int64_t>& theSorted, double theShare) {
    if (theSorted.empty())
        return 0;
    const auto aRank = static_cast<std::size_t>(
        std::max(1.0, std::ceil(theShare * static_cast<double>(theSorted.size()))));
    return static_cast<double>(theSorted[aRank - 1]) / 1000.0;
}

Row rowOf(std::string theName, const OperationFigures& theFigures, double theSeconds) {
    std::vector<std::int64_t> aSorted = theFigures.itsMicros;
    std::sort(aSorted.begin(), aSorted.end());
    Row aRow;
    aRow.itsName = std::move(theName);
    aRow.itsCount = static_cast<long>(aSorted.size());
    aRow.itsOk = theFigures.itsOk;
    aRow.itsConflicts = theFigures.itsConflicts;
    aRow.itsFailed = theFigures.itsFailed;
    aRow.itsPerSecond = theSeconds > 0 ? static_cast<double>(aRow.itsCount) / theSeconds : 0;
    aRow.itsP50 = percentile(aSorted, 0.50);
    aRow.itsP99 = percentile(aSorted, 0.99);
    return aRow;
}

// One row per operation and a last one for all operations together.
std::vector<Row> rowsOf(const LoadLog& theLog) {
    std::vector<Row> aRows;
    OperationFigures anAll;
    for (int anIndex = 0; anIndex < kOperationCount; ++anIndex) {
        const OperationFigures& aFigures = theLog.itsOperations[static_cast<std::size_t>(anIndex)];
        aRows.push_back(
            rowOf(operationName(static_cast<Operation>(anIndex)), aFigures, theLog.itsSeconds));
        anAll.itsMicros.insert(anAll.itsMicros.end(), aFigures.itsMicros.begin(),
                               aFigures.itsMicros.end());
        anAll.itsOk += aFigures.itsOk;
        anAll.itsConflicts += aFigures.itsConflicts;
        anAll.itsFailed += aFigures.itsFailed;
    }
    aRows.push_back(rowOf("all", anAll, theLog.itsSeconds));
    return aRows;
}

void addOperation(LoadLog& theLog, const std::string& theName, const std::string& theOutcome,
                  std::int64_t theMicros) {
    for (int anIndex = 0; anIndex < kOperationCount; ++anIndex) {
        if (theName != operationName(static_cast<Operation>(anIndex)))
            continue;
        OperationFigures& aFigures = theLog.itsOperations[static_cast<std::size_t>(anIndex)];
        aFigures.itsMicros.push_back(theMicros);
        (theOutcome == "ok"         ? aFigures.itsOk
         : theOutcome == "conflict" ? aFigures.itsConflicts
                                    : aFigures.itsFailed)++;
        return;
    }
    throw Error("Unknown operation \"" + theName + "\" in a client log");
}

// Adds one client's log; false when it has no "elapsed" line at its end.
bool addClientLog(LoadLog& theLog, std::istream& theStream) {
    bool aFinished = false;
    std::string aLine;
    while (std::getline(theStream, aLine)) {
        std::istringstream aFields(aLine);
        std::string aKind, aFirst, aSecond;
        aFields >> aKind >> aFirst;
        if (aKind == "op") {
            std::int64_t aMicros = 0;
            aFields >> aSecond >> aMicros;
            addOperation(theLog, aFirst, aSecond, aMicros);
        } else if (aKind == "activated") {
            aFields >> aSecond;
            theLog.itsActivations.push_back({aFirst, aSecond});
        } else if (aKind == "error") {
            std::getline(aFields >> std::ws, aSecond);
            ++theLog.itsErrors[aFirst + ": " + aSecond];
        } else if (aKind == "elapsed") {
            theLog.itsSeconds = std::max(theLog.itsSeconds, std::stod(aFirst) / 1e6);
            aFinished = true;
        }
    }
    return aFinished;
}

std::string fixed(double theValue, int thePrecision) {
    char aText[32];
    std::snprintf(aText, sizeof aText, "%.*f", thePrecision, theValue);
    return aText;
}

void printTable(std::ostream& theStream, const std::vector<Row>& theRows) {
    char aLine[160];
    std::snprintf(aLine, sizeof aLine, "%-10s %8s %8s %9s %7s %12s %9s %9s\n", "operation", "count",
                  "ok", "conflicts", "failed", "throughput/s", "p50 ms", "p99 ms");
    theStream << aLine;
    for (const Row& aRow : theRows) {
        std::snprintf(aLine, sizeof aLine, "%-10s %8ld %8ld %9ld %7ld %12.1f %9.1f %9.1f\n",
                      aRow.itsName.c_str(), aRow.itsCount, aRow.itsOk, aRow.itsConflicts,
                      aRow.itsFailed, aRow.itsPerSecond, aRow.itsP50, aRow.itsP99);
        theStream << aLine;
    }
}

void printCheck(std::ostream& theStream, const LoadLog& theLog, const HistoryCheck& theCheck) {
    for (const auto& [aMessage, aCount] : theLog.itsErrors)
        theStream << "failure (" << aCount << "x): " << aMessage << "\n";
    if (theLog.itsUnfinishedClients > 0)
        theStream << "clients that did not finish: " << theLog.itsUnfinishedClients << "\n";
    theStream << "activations checked: " << theCheck.itsChecked << " reported, "
              << theCheck.itsVersions << " versions read back; lost " << theCheck.itsLost
              << ", duplicated " << theCheck.itsDuplicated << ", damaged " << theCheck.itsDamaged
              << ", numbering faults " << theCheck.itsNumberingFaults << ": "
              << (theCheck.passed() ? "no activation lost" : "FAILED") << "\n";
    for (const std::string& aProblem : theCheck.itsProblems)
        theStream << "  " << aProblem << "\n";
}

void printJson(std::ostream& theStream, const LoadOptions& theOptions, const LoadLog& theLog,
               const HistoryCheck& theCheck, const std::vector<Row>& theRows) {
    const bool aFile = theOptions.itsHost.starts_with("file:");
    theStream << "{\"backend\":\"" << (aFile ? "file" : "server") << "\",\"host\":\""
              << json::escapeJson(theOptions.itsHost) << "\",\"clients\":" << theOptions.itsClients
              << ",\"users\":" << theOptions.itsUsers
              << ",\"seconds\":" << fixed(theLog.itsSeconds, 2) << ",\"operations\":[";
    for (const Row& aRow : theRows)
        theStream << (&aRow == &theRows.front() ? "" : ",") << "{\"name\":\"" << aRow.itsName
                  << "\",\"count\":" << aRow.itsCount << ",\"ok\":" << aRow.itsOk
                  << ",\"conflicts\":" << aRow.itsConflicts << ",\"failed\":" << aRow.itsFailed
                  << ",\"per_second\":" << fixed(aRow.itsPerSecond, 2)
                  << ",\"p50_ms\":" << fixed(aRow.itsP50, 2)
                  << ",\"p99_ms\":" << fixed(aRow.itsP99, 2) << "}";
    theStream << "],\"conflicts\":" << theRows.back().itsConflicts
              << ",\"failed\":" << theRows.back().itsFailed
              << ",\"unfinished_clients\":" << theLog.itsUnfinishedClients
              << ",\"activations_checked\":" << theCheck.itsChecked
              << ",\"versions_read\":" << theCheck.itsVersions << ",\"lost\":" << theCheck.itsLost
              << ",\"duplicated\":" << theCheck.itsDuplicated
              << ",\"damaged\":" << theCheck.itsDamaged
              << ",\"numbering_faults\":" << theCheck.itsNumberingFaults
              << ",\"passed\":" << (theCheck.passed() ? "true" : "false") << "}\n";
}

} // namespace

std::string clientLogName(const LoadOptions& theOptions, int theClient) {
    return theOptions.itsDir + "/client-" + std::to_string(theClient) + ".log";
}

LoadLog readClientLogs(const LoadOptions& theOptions) {
    LoadLog aLog;
    for (int aClient = 0; aClient < theOptions.itsClients; ++aClient) {
        std::ifstream aStream(clientLogName(theOptions, aClient));
        if (!aStream || !addClientLog(aLog, aStream))
            ++aLog.itsUnfinishedClients;
    }
    return aLog;
}

void printReport(std::ostream& theStream, const LoadOptions& theOptions, const LoadLog& theLog,
                 const HistoryCheck& theCheck) {
    const std::vector<Row> aRows = rowsOf(theLog);
    theStream << "team load on " << theOptions.itsHost << ": " << theOptions.itsClients
              << " clients of " << theOptions.itsUsers << " users, " << fixed(theLog.itsSeconds, 1)
              << " s, " << theOptions.itsObjects << " shared objects, "
              << theOptions.itsObjectsPerPush << " per push, " << theOptions.itsCheckoutPercent
              << "% checkouts\n";
    printTable(theStream, aRows);
    theStream << "conflicts (40129): " << aRows.back().itsConflicts << "\n";
    printCheck(theStream, theLog, theCheck);
    printJson(theStream, theOptions, theLog, theCheck, aRows);
}

} // namespace RepositoryAccess::teamload
