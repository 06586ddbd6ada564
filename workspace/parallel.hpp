#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace RepositoryAccess::parallel {

// The cores a parallel loop uses: those of the machine, at most four.
unsigned cores();

// Starts theWork on a helper thread that records no performance-trace events (the trace belongs
// to the calling thread). Answers a thread that is not joinable when the system has none to give:
// the caller then does the work itself, or goes without it.
std::thread startHelper(std::function<void()> theWork);

// Runs theJob(i) for every i below theCount, on the calling thread and up to three helper
// threads when theCount reaches theMinimumForHelpers. Items are taken one by one in index order.
// The first exception of any job stops the others from taking new items and is rethrown on the
// calling thread once every helper has ended; no exception ever leaves a helper thread. Helper
// threads record no performance-trace events: the trace belongs to the calling thread.
void forEachIndex(std::size_t theCount, std::size_t theMinimumForHelpers,
                  const std::function<void(std::size_t)>& theJob);

// Runs theJob(i) for every i below theCount like forEachIndex, one run of neighbouring items per
// job: item i joins the run of item i - 1 when theSameRun(i - 1, i) holds, and a run's items go in
// index order on one thread. Files written by directory this way rarely make two threads wait
// for the lock of one directory. A run of more than 256 items is cut into jobs of 256.
void forEachRun(std::size_t theCount,
                const std::function<bool(std::size_t, std::size_t)>& theSameRun,
                const std::function<void(std::size_t)>& theJob);

} // namespace RepositoryAccess::parallel
