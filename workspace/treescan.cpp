#include "workspace/treescan.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "workspace/parallel.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess::treescan {

namespace {

bool inPathOrder(const ScannedFile& theLeft, const ScannedFile& theRight) {
    return theLeft.itsPath < theRight.itsPath;
}

// The first eight bytes of a name as one number that orders as the bytes do (a shorter name is
// padded with zero bytes, which no name holds).
std::uint64_t orderKey(std::string_view theName) {
    std::uint64_t aKey = 0;
    for (std::size_t i = 0; i < 8; ++i)
        aKey = aKey << 8 | (i < theName.size() ? static_cast<unsigned char>(theName[i]) : 0u);
    return aKey;
}

// Sorts the files from theFirst on, all of one directory whose paths' names begin at theSkip,
// by name. The order keys decide most comparisons without reading the names.
void sortByName(std::vector<ScannedFile>& theFiles, std::size_t theFirst, std::size_t theSkip) {
    struct Keyed {
        std::uint64_t itsKey;
        std::string_view itsName;
        std::size_t itsIndex;
    };
    std::vector<Keyed> aKeyed;
    aKeyed.reserve(theFiles.size() - theFirst);
    for (std::size_t i = theFirst; i < theFiles.size(); ++i) {
        const std::string_view aName = theFiles[i].itsPath.substr(theSkip);
        aKeyed.push_back({orderKey(aName), aName, i});
    }
    std::sort(aKeyed.begin(), aKeyed.end(), [](const Keyed& theLeft, const Keyed& theRight) {
        if (theLeft.itsKey != theRight.itsKey)
            return theLeft.itsKey < theRight.itsKey;
        return theLeft.itsName < theRight.itsName;
    });
    std::vector<ScannedFile> aSorted;
    aSorted.reserve(aKeyed.size());
    for (const Keyed& anEntry : aKeyed)
        aSorted.push_back(theFiles[anEntry.itsIndex]);
    std::copy(aSorted.begin(), aSorted.end(),
              theFiles.begin() + static_cast<std::ptrdiff_t>(theFirst));
}

struct Partial;

// The files of one directory within a worker's result: a sorted run.
struct Group {
    std::string itsDirPrefix; // the directory with its trailing slash, as its files begin
    std::size_t itsFirst = 0;
    std::size_t itsCount = 0;
    Partial* itsPartial = nullptr;
};

// What one worker collects.
struct Partial {
    std::vector<ScannedFile> itsFiles;
    std::vector<std::string> itsDirectories;
    Arena itsTexts{true}; // a large tree fills its blocks
    std::vector<Group> itsGroups;
};

// Puts the directories' sorted runs one after the other in the order of their directories, which
// is path order already unless a directory holds files and sub-directories whose names
// interleave; the runs that remain are merged pairwise.
std::vector<ScannedFile> filesInPathOrder(std::vector<Partial>& thePartials) {
    std::vector<Group*> aGroups;
    std::size_t aTotal = 0;
    for (auto& aPartial : thePartials)
        for (auto& aGroup : aPartial.itsGroups) {
            aGroups.push_back(&aGroup);
            aTotal += aGroup.itsCount;
        }
    std::sort(aGroups.begin(), aGroups.end(), [](const Group* theLeft, const Group* theRight) {
        return theLeft->itsDirPrefix < theRight->itsDirPrefix;
    });
    // Each directory's files are sorted already: a new run can begin only where one directory's
    // files follow another's, and only there are two paths compared.
    std::vector<ScannedFile> aFiles;
    aFiles.reserve(aTotal);
    std::vector<std::size_t> aRuns{0};
    for (const Group* aGroup : aGroups) {
        if (!aFiles.empty() &&
            inPathOrder(aGroup->itsPartial->itsFiles[aGroup->itsFirst], aFiles.back()))
            aRuns.push_back(aFiles.size());
        auto aBegin =
            aGroup->itsPartial->itsFiles.begin() + static_cast<std::ptrdiff_t>(aGroup->itsFirst);
        std::move(aBegin, aBegin + static_cast<std::ptrdiff_t>(aGroup->itsCount),
                  std::back_inserter(aFiles));
    }
    aRuns.push_back(aFiles.size());
    while (aRuns.size() > 2) {
        std::vector<std::size_t> aMerged{0};
        for (std::size_t r = 2; r < aRuns.size(); r += 2) {
            std::inplace_merge(aFiles.begin() + static_cast<std::ptrdiff_t>(aRuns[r - 2]),
                               aFiles.begin() + static_cast<std::ptrdiff_t>(aRuns[r - 1]),
                               aFiles.begin() + static_cast<std::ptrdiff_t>(aRuns[r]), inPathOrder);
            aMerged.push_back(aRuns[r]);
        }
        if (aRuns.size() % 2 == 0) // an odd number of runs: the last one waits for the next round
            aMerged.push_back(aRuns.back());
        aRuns = std::move(aMerged);
    }
    return aFiles;
}

// A queue of directories shared by the workers. Listing a directory may add its sub-directories;
// the scan ends when the queue is empty and no worker is still listing.
class Scanner {
public:
    Scanner(bool theRecursive, bool theWithDetails, std::string theSkippedDir)
        : itsRecursive(theRecursive), itsWithDetails(theWithDetails),
          itsSkippedDir(std::move(theSkippedDir)) {}

    void add(std::string theDir) { itsQueue.push_back(std::move(theDir)); }

    // Takes directories until the work is done; each worker collects into its own result.
    void work(Partial& theResult) {
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
    // Appends the directory's files to the worker's result, sorted by name: within one directory
    // that is path order, and names are short to compare.
    void list(const std::string& theDir, Partial& theResult, std::vector<std::string>& theSubDirs) {
        const std::size_t aFirst = theResult.itsFiles.size();
        const std::string aPrefix = sys::joinFileName(theDir, "");
        sys::visitDir(theDir, itsWithDetails, [&](const sys::DirEntryView& theEntry) {
            if (!theEntry.itsIsDirectory) {
                theResult.itsFiles.push_back(
                    {joined(theResult.itsTexts, aPrefix, theEntry.itsName), theEntry.itsStat});
                return;
            }
            std::string aPath = aPrefix;
            aPath += theEntry.itsName;
            if (aPath == itsSkippedDir)
                return;
            theResult.itsDirectories.push_back(aPath);
            if (itsRecursive)
                theSubDirs.push_back(std::move(aPath));
        });
        sortByName(theResult.itsFiles, aFirst, aPrefix.size());
        if (aFirst != theResult.itsFiles.size())
            theResult.itsGroups.push_back(
                {aPrefix, aFirst, theResult.itsFiles.size() - aFirst, &theResult});
    }

    static std::string_view joined(Arena& theTexts, std::string_view thePrefix,
                                   std::string_view theName) {
        auto* aPath = static_cast<char*>(theTexts.allocate(thePrefix.size() + theName.size(), 1));
        std::memcpy(aPath, thePrefix.data(), thePrefix.size());
        std::memcpy(aPath + thePrefix.size(), theName.data(), theName.size());
        return {aPath, thePrefix.size() + theName.size()};
    }

    const bool itsRecursive;
    const bool itsWithDetails;
    const std::string itsSkippedDir;
    std::mutex itsMutex;
    std::condition_variable itsChanged;
    std::deque<std::string> itsQueue;
    int itsBusy = 0;
    std::exception_ptr itsFailure;
};

} // namespace

TreeScan scan(const std::vector<std::string>& theRoots, bool theRecursive, bool theWithDetails,
              const std::string& theSkippedDir) {
    Scanner aScanner(theRecursive, theWithDetails, theSkippedDir);
    for (const auto& aRoot : theRoots)
        aScanner.add(aRoot);
    std::vector<Partial> aPartials(theRecursive ? parallel::cores() : 1);
    std::vector<std::thread> aThreads;
    for (std::size_t i = 1; i < aPartials.size(); ++i) {
        std::thread aHelper =
            parallel::startHelper([&aScanner, &aPartials, i] { aScanner.work(aPartials[i]); });
        if (!aHelper.joinable())
            break; // no thread to be had: the calling thread does the rest alone
        aThreads.push_back(std::move(aHelper));
    }
    aScanner.work(aPartials[0]);
    for (auto& aThread : aThreads)
        aThread.join();
    aScanner.rethrow();

    TreeScan aResult;
    aResult.itsFiles = filesInPathOrder(aPartials);
    for (auto& aPartial : aPartials) {
        std::move(aPartial.itsDirectories.begin(), aPartial.itsDirectories.end(),
                  std::back_inserter(aResult.itsDirectories));
        aResult.itsTexts.push_back(std::move(aPartial.itsTexts));
    }
    return aResult;
}

} // namespace RepositoryAccess::treescan
