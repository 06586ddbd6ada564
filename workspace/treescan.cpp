#include "workspace/treescan.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "workspace/sys.hpp"

namespace RepositoryAccess::treescan {

namespace {

// A queue of directories shared by the workers. Listing a directory may add its sub-directories;
// the scan ends when the queue is empty and no worker is still listing.
class Scanner {
public:
    Scanner(bool theRecursive, bool theWithTimes, std::string theSkippedDir)
        : itsRecursive(theRecursive), itsWithTimes(theWithTimes),
          itsSkippedDir(std::move(theSkippedDir)) {}

    void add(std::string theDir) { itsQueue.push_back(std::move(theDir)); }

    // Takes directories until the work is done; each worker collects into its own result.
    void work(TreeScan& theResult) {
        std::unique_lock aLock(itsMutex);
        for (;;) {
            itsChanged.wait(aLock, [&] { return !itsQueue.empty() || itsBusy == 0 || itsFailure; });
            if (itsQueue.empty() || itsFailure)
                break;
            std::string aDir = std::move(itsQueue.front());
            itsQueue.pop_front();
            ++itsBusy;
            aLock.unlock();
            std::vector<std::string> aSubDirs;
            try {
                list(aDir, theResult, aSubDirs);
            } catch (...) {
                aLock.lock();
                if (!itsFailure)
                    itsFailure = std::current_exception();
                --itsBusy;
                itsChanged.notify_all();
                break;
            }
            aLock.lock();
            for (auto& aSubDir : aSubDirs)
                itsQueue.push_back(std::move(aSubDir));
            --itsBusy;
            itsChanged.notify_all();
        }
    }

    void rethrow() const {
        if (itsFailure)
            std::rethrow_exception(itsFailure);
    }

private:
    void list(const std::string& theDir, TreeScan& theResult,
              std::vector<std::string>& theSubDirs) {
        for (auto& anEntry : sys::scanDir(theDir, itsWithTimes)) {
            std::string aPath = sys::joinFileName(theDir, anEntry.itsName);
            if (!anEntry.itsIsDirectory) {
                theResult.itsFiles.push_back({std::move(aPath), anEntry.itsModified});
            } else if (aPath != itsSkippedDir) {
                theResult.itsDirectories.push_back(aPath);
                if (itsRecursive)
                    theSubDirs.push_back(std::move(aPath));
            }
        }
    }

    const bool itsRecursive;
    const bool itsWithTimes;
    const std::string itsSkippedDir;
    std::mutex itsMutex;
    std::condition_variable itsChanged;
    std::deque<std::string> itsQueue;
    int itsBusy = 0;
    std::exception_ptr itsFailure;
};

} // namespace

TreeScan scan(const std::vector<std::string>& theRoots, bool theRecursive, bool theWithTimes,
              const std::string& theSkippedDir) {
    Scanner aScanner(theRecursive, theWithTimes, theSkippedDir);
    for (const auto& aRoot : theRoots)
        aScanner.add(aRoot);
    const unsigned aCores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::vector<TreeScan> aPartials(theRecursive ? aCores : 1);
    std::vector<std::thread> aThreads;
    for (std::size_t i = 1; i < aPartials.size(); ++i) {
        try {
            aThreads.emplace_back([&aScanner, &aPartials, i] { aScanner.work(aPartials[i]); });
        } catch (const std::system_error&) {
            break; // no thread to be had: the calling thread does the rest alone
        }
    }
    aScanner.work(aPartials[0]);
    for (auto& aThread : aThreads)
        aThread.join();
    aScanner.rethrow();

    TreeScan aResult = std::move(aPartials[0]);
    for (std::size_t i = 1; i < aPartials.size(); ++i) {
        std::move(aPartials[i].itsFiles.begin(), aPartials[i].itsFiles.end(),
                  std::back_inserter(aResult.itsFiles));
        std::move(aPartials[i].itsDirectories.begin(), aPartials[i].itsDirectories.end(),
                  std::back_inserter(aResult.itsDirectories));
    }
    return aResult;
}

} // namespace RepositoryAccess::treescan
