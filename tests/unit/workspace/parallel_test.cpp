#include "workspace/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace parallel = RepositoryAccess::parallel;

// Items of one run stay on one thread in index order; every item is done once, those of a run
// longer than a job too.
TEST(Parallel, RunsKeepTheirItemsTogetherInOrder) {
    constexpr std::size_t kCount = 1000;
    // Runs of 7, the last one shorter, and one of 600 that is cut into jobs.
    auto aRunOf = [](std::size_t i) { return i < 600 ? 0 : 1 + (i - 600) / 7; };
    std::mutex aMutex;
    std::vector<std::thread::id> aThreadOf(kCount);
    std::vector<std::vector<std::size_t>> anOrderOfRun(aRunOf(kCount - 1) + 1);
    parallel::forEachRun(
        kCount, [&](std::size_t a, std::size_t b) { return aRunOf(a) == aRunOf(b); },
        [&](std::size_t i) {
            std::lock_guard aLock(aMutex);
            aThreadOf[i] = std::this_thread::get_id();
            anOrderOfRun[aRunOf(i)].push_back(i);
        });
    for (std::size_t i = 0; i < kCount; ++i) {
        ASSERT_NE(aThreadOf[i], std::thread::id());
        if (i > 600 && aRunOf(i) == aRunOf(i - 1)) {
            EXPECT_EQ(aThreadOf[i], aThreadOf[i - 1]) << i;
        }
    }
    for (std::size_t aRun = 1; aRun < anOrderOfRun.size(); ++aRun)
        for (std::size_t k = 0; k < anOrderOfRun[aRun].size(); ++k)
            EXPECT_EQ(anOrderOfRun[aRun][k], 600 + (aRun - 1) * 7 + k);
    EXPECT_EQ(anOrderOfRun[0].size(), 600u);
}

// A failing item stops the other jobs from starting new runs and reaches the caller; nothing
// is left running.
TEST(Parallel, TheFirstFailureReachesTheCaller) {
    std::atomic<std::size_t> aDone{0};
    EXPECT_THROW(parallel::forEachRun(
                     10000, [](std::size_t a, std::size_t b) { return a / 10 == b / 10; },
                     [&](std::size_t i) {
                         if (i == 55)
                             throw std::runtime_error("item 55");
                         ++aDone;
                     }),
                 std::runtime_error);
    EXPECT_LT(aDone.load(), 10000u);
    parallel::forEachRun(
        0, [](std::size_t, std::size_t) { return true; }, [](std::size_t) { FAIL() << "no item"; });
}
