#pragma once

#include <cstdint>
#include <iosfwd>

namespace RepositoryAccess {

// The run counters that actions add to. Their order is the order of the summary.
enum class Statistic {
    trackedPackages,
    untrackedPackages,
    createdChanges,
    createdContributors,
    createdPackages,
    discardedFiles,
    revertedObjects,
    takenOverObjects,
    resolvedFiles,
    committedFiles,
    activatedObjects,
    deletedObjects,
    activationConflicts,
    createdDirectories,
    deletedFiles,
    createdFiles,
    updatedFiles,
    conflictedFiles,
    deletedChanges,
    deletedContributors,
    deletedPackages,
    createdDeliveryUnits,
    deletedDeliveryUnits,
    updatedChanges,
    updatedContributors,
    updatedPackages,
    updatedDeliveryUnits,
    validatedContributors,
    mergedChanges,
    movedObjects,
    releasedChanges,
    deletedInactiveWorkSpaces,
    count
};

namespace runstatistics {

void add(Statistic theStatistic, std::int64_t theAmount = 1);
std::int64_t get(Statistic theStatistic);
void reset();
// Writes "<label><value>\n" for every non-zero counter, in table order.
void print(std::ostream& theStream);
// Prints the summary to standard output, the command-log buffer and the trace buffer.
void printEverywhere();
// The 31-character label of a counter, including the ": ".
const char* label(Statistic theStatistic);

} // namespace runstatistics
} // namespace RepositoryAccess
