#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "core/error.hpp"
#include "core/progressline.hpp"
#include "workspace/hash.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess::hash {

namespace {

// The first failure of a worker, turned into the program's error on the calling thread.
struct Failure {
    std::size_t itsIndex = 0;
    int itsErrno = 0;
    bool itsOpen = false;
};

// Hashes one file in 64 KiB pieces; returns false with the failure filled in.
bool hashOne(const std::string& thePath, std::string& theHash, Failure& theFailure) {
    int aFd = ::open(thePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (aFd < 0) {
        theFailure = {0, errno, true};
        return false;
    }
    Sha1 aSha1;
    char aBuffer[64 * 1024];
    for (;;) {
        ssize_t aRead = ::read(aFd, aBuffer, sizeof aBuffer);
        if (aRead < 0 && errno == EINTR)
            continue;
        if (aRead < 0) {
            theFailure = {0, errno, false};
            ::close(aFd);
            return false;
        }
        if (aRead == 0)
            break;
        aSha1.feed(aBuffer, static_cast<std::size_t>(aRead));
    }
    ::close(aFd);
    theHash = toText(aSha1.result());
    return true;
}

} // namespace

std::vector<std::string> calcFiles(const std::vector<std::string>& thePaths) {
    std::vector<std::string> aHashes(thePaths.size());
    std::atomic<std::size_t> aNext{0};
    std::atomic<bool> aFailed{false};
    Failure aFirstFailure;
    std::atomic_flag aFailureTaken = ATOMIC_FLAG_INIT;

    // Workers take files one by one; the opening and reading of small files is what costs, so
    // every core helps. Workers record no performance-trace events: the trace is one thread's.
    ProgressLine aProgress(thePaths.size());
    auto aWork = [&] {
        for (std::size_t i = aNext++; i < thePaths.size() && !aFailed; i = aNext++) {
            Failure aFailure;
            aProgress.advance();
            if (hashOne(thePaths[i], aHashes[i], aFailure))
                continue;
            if (!aFailureTaken.test_and_set()) {
                aFirstFailure = aFailure;
                aFirstFailure.itsIndex = i;
            }
            aFailed = true;
        }
    };
    const unsigned aCores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    const std::size_t aHelpers = thePaths.size() < 64 ? 0 : aCores - 1;
    std::vector<std::thread> aThreads;
    for (std::size_t i = 0; i < aHelpers; ++i) {
        try {
            aThreads.emplace_back(aWork);
        } catch (const std::system_error&) {
            break; // no thread to be had: the calling thread does the rest alone
        }
    }
    aWork();
    for (auto& aThread : aThreads)
        aThread.join();

    if (aFailed) {
        const std::string& aPath = thePaths[aFirstFailure.itsIndex];
        throw Error(std::string(aFirstFailure.itsOpen ? "Failed to open file for reading"
                                                      : "Cannot read from file (no success)") +
                    " (readFile): \"" + aPath +
                    "\". System error code: " + std::to_string(aFirstFailure.itsErrno));
    }
    return aHashes;
}

} // namespace RepositoryAccess::hash
