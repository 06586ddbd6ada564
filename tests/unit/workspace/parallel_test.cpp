#include "workspace/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "workspace/hash.hpp"
#include "workspace/readahead.hpp"

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

namespace {

// theCount file names in theDir, and the pointers to them that ReadAhead takes.
struct Files {
    std::vector<std::string> itsNames;
    std::vector<const std::string*> itsList;
    Files(const kivotest::TempDir& theDir, std::size_t theCount) : itsNames(theCount) {
        for (std::size_t i = 0; i < theCount; ++i) {
            itsNames[i] = (theDir.path() / ("f" + std::to_string(i) + ".txt")).string();
            itsList.push_back(&itsNames[i]);
        }
    }
};

} // namespace

// The helper stays within its bounds of files and bytes: files made after it started are read
// once the caller gets to them. Each file comes with its content, time and hash, in order.
TEST(Parallel, ReadAheadStaysWithinItsBoundsAndKeepsTheOrder) {
    struct Bounds {
        std::size_t itsFiles, itsBytes, itsReadable;
    };
    for (const Bounds aBounds : {Bounds{4, 1000, 4}, Bounds{100, 10, 2}}) {
        kivotest::TempDir aDir;
        const Files aFiles(aDir, 12);
        const std::vector<std::string>& aNames = aFiles.itsNames;
        auto aWrite = [&](std::size_t theBegin, std::size_t theEnd) {
            for (std::size_t i = theBegin; i < theEnd; ++i)
                kivotest::writeText(aNames[i], "content" + std::to_string(i % 10));
        };
        aWrite(0, aBounds.itsReadable);
        RepositoryAccess::ReadAhead aReadAhead(aFiles.itsList, aBounds.itsFiles, aBounds.itsBytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        aWrite(aBounds.itsReadable, aNames.size());
        for (const std::string& aName : aNames) {
            const auto aContent = aReadAhead.take();
            EXPECT_EQ(*aContent.itsRead.itsBytes, kivotest::readText(aName));
            EXPECT_EQ(aContent.itsRead.itsTimestamp, RepositoryAccess::sys::getts(aName));
            EXPECT_EQ(aContent.itsHash, RepositoryAccess::hash::calc(kivotest::readText(aName)));
        }
    }
}

// A file that cannot be read fails in its own turn, with the message of a plain read, after
// every file before it; the helper stops there and ends with the object.
TEST(Parallel, ReadAheadRaisesAFailureInItsTurn) {
    kivotest::TempDir aDir;
    const Files aFiles(aDir, 8);
    const std::vector<std::string>& aNames = aFiles.itsNames;
    for (std::size_t i = 0; i < 8; ++i)
        if (i != 5)
            kivotest::writeText(aNames[i], "x");
    const std::string aPlainFailure =
        kivotest::messageOf([&] { RepositoryAccess::sys::readFileStamped(aNames[5]); });
    ASSERT_FALSE(aPlainFailure.empty());
    RepositoryAccess::ReadAhead aReadAhead(aFiles.itsList, 2, 100);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(*aReadAhead.take().itsRead.itsBytes, "x");
    EXPECT_EQ(kivotest::messageOf([&] { aReadAhead.take(); }), aPlainFailure);

    // An object dropped before its files were taken ends without waiting for them.
    RepositoryAccess::ReadAhead anUntaken(aFiles.itsList, 1, 1);

    // A file that became a symbolic link is not followed.
    const std::string aLink = (aDir.path() / "link").string();
    std::filesystem::create_symlink(aNames[0], aLink);
    const std::vector<const std::string*> aLinked{&aLink, &aNames[1]};
    RepositoryAccess::ReadAhead aLinkReader(aLinked);
    EXPECT_NE(kivotest::messageOf([&] { aLinkReader.take(); }).find(aLink), std::string::npos);
}
