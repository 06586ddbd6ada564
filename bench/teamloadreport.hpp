#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "bench/teamload.hpp"

// What the clients of a team load logged, gathered, and the report printed from it.
namespace RepositoryAccess::teamload {

// The timed runs of one operation.
struct OperationFigures {
    std::vector<std::int64_t> itsMicros;
    long itsOk = 0;
    long itsConflicts = 0;
    long itsFailed = 0;
};

// A version that an activation reported as activated.
struct Activation {
    std::string itsObject;
    std::string itsTag;
};

// The logs of all clients together.
struct LoadLog {
    std::array<OperationFigures, kOperationCount> itsOperations;
    std::vector<Activation> itsActivations;
    // The failure messages with how often each came.
    std::map<std::string, long> itsErrors;
    // The longest time a client ran, from its start to the end of its last operation.
    double itsSeconds = 0;
    // Clients whose log has no end: they died or never started.
    int itsUnfinishedClients = 0;
};

// What the check of the histories found: every reported activation must be in its object's
// history exactly once, each history numbered 1, 2, 3... and each version's content whole.
struct HistoryCheck {
    long itsChecked = 0;
    long itsLost = 0;
    long itsDuplicated = 0;
    long itsDamaged = 0;
    long itsVersions = 0;
    long itsNumberingFaults = 0;
    // A few examples of what went wrong, for the report.
    std::vector<std::string> itsProblems;

    bool passed() const {
        return itsLost == 0 && itsDuplicated == 0 && itsDamaged == 0 && itsNumberingFaults == 0;
    }
};

// The log file of client theClient.
std::string clientLogName(const LoadOptions& theOptions, int theClient);

// Reads the logs of all clients; a missing log counts as an unfinished client.
LoadLog readClientLogs(const LoadOptions& theOptions);

// The table of operations, the failures and the check of the histories, then the same figures as
// one line of JSON that begins with "{".
void printReport(std::ostream& theStream, const LoadOptions& theOptions, const LoadLog& theLog,
                 const HistoryCheck& theCheck);

} // namespace RepositoryAccess::teamload
