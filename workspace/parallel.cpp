#include "workspace/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/perftrace.hpp"

namespace RepositoryAccess::parallel {

unsigned cores() {
    return std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
}

std::thread startHelper(std::function<void()> theWork) {
    try {
        return std::thread([aWork = std::move(theWork)] {
            perftrace::muteThisThread();
            aWork();
        });
    } catch (const std::system_error&) {
        return {};
    }
}

void forEachIndex(std::size_t theCount, std::size_t theMinimumForHelpers,
                  const std::function<void(std::size_t)>& theJob) {
    std::atomic<std::size_t> aNext{0};
    std::atomic<bool> aFailed{false};
    std::exception_ptr aFirstFailure;
    std::mutex aFailureMutex;

    auto aWork = [&] {
        for (std::size_t i = aNext++; i < theCount && !aFailed; i = aNext++) {
            try {
                theJob(i);
            } catch (...) {
                std::lock_guard aLock(aFailureMutex);
                if (!aFirstFailure)
                    aFirstFailure = std::current_exception();
                aFailed = true;
            }
        }
    };
    const std::size_t aHelpers = theCount < theMinimumForHelpers ? 0 : cores() - 1;
    std::vector<std::thread> aThreads;
    for (std::size_t i = 0; i < aHelpers; ++i) {
        std::thread aHelper = startHelper(aWork);
        if (!aHelper.joinable())
            break; // no thread to be had: the calling thread does the rest alone
        aThreads.push_back(std::move(aHelper));
    }
    aWork();
    for (auto& aThread : aThreads)
        aThread.join();
    if (aFirstFailure)
        std::rethrow_exception(aFirstFailure);
}

void forEachRun(std::size_t theCount,
                const std::function<bool(std::size_t, std::size_t)>& theSameRun,
                const std::function<void(std::size_t)>& theJob) {
    // A long run is cut, so that one directory of many files still keeps every core busy.
    constexpr std::size_t kLongestRun = 256;
    std::vector<std::size_t> aStarts;
    for (std::size_t i = 0; i < theCount; ++i)
        if (i == 0 || !theSameRun(i - 1, i) || i - aStarts.back() == kLongestRun)
            aStarts.push_back(i);
    aStarts.push_back(theCount);
    forEachIndex(aStarts.size() - 1, 2, [&](std::size_t theRun) {
        for (std::size_t i = aStarts[theRun]; i < aStarts[theRun + 1]; ++i)
            theJob(i);
    });
}

} // namespace RepositoryAccess::parallel
