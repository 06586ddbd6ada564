#include "workspace/readahead.hpp"

#include <utility>

#include "workspace/hash.hpp"
#include "workspace/parallel.hpp"

namespace RepositoryAccess {

namespace {

// A file that became a symbolic link after the status calculation left links out is not
// followed.
ReadAhead::Content readAndHash(const std::string& theFile) {
    ReadAhead::Content aContent{sys::readFileStamped(theFile, false), {}};
    aContent.itsHash = hash::calc(*aContent.itsRead.itsBytes);
    return aContent;
}

} // namespace

ReadAhead::ReadAhead(const std::vector<const std::string*>& theFiles, std::size_t theMostFiles,
                     std::size_t theMostBytes)
    : itsFiles(theFiles), itsMostFiles(theMostFiles), itsMostBytes(theMostBytes) {
    // Without a helper (one file, or no thread to be had) take() reads each file itself.
    if (itsFiles.size() >= 2)
        itsThread = parallel::startHelper([this] { readAll(); });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard aLock(itsMutex);
        itsStopping = true;
    }
    itsChanged.notify_all();
    if (itsThread.joinable())
        itsThread.join();
}

bool ReadAhead::full() const {
    return itsReady.size() >= itsMostFiles || (!itsReady.empty() && itsReadyBytes >= itsMostBytes);
}

// A helper that found the buffer full waits until half of it is taken, and then reads that half
// in one go: one wake-up for many files instead of one for each.
bool ReadAhead::halfEmpty() const {
    return itsReady.size() <= itsMostFiles / 2 && itsReadyBytes <= itsMostBytes / 2;
}

void ReadAhead::readAll() {
    for (const std::string* aFile : itsFiles) {
        {
            std::unique_lock aLock(itsMutex);
            if (full()) {
                itsHelperWaits = true;
                itsChanged.wait(aLock, [this] { return itsStopping || halfEmpty(); });
                itsHelperWaits = false;
            }
            if (itsStopping)
                return;
        }
        Slot aSlot;
        try {
            aSlot.itsContent = readAndHash(*aFile);
        } catch (...) {
            aSlot.itsFailure = std::current_exception();
        }
        const bool aFailed = aSlot.itsFailure != nullptr;
        bool aTakerWaits = false;
        {
            const std::lock_guard aLock(itsMutex);
            if (!aFailed)
                itsReadyBytes += aSlot.itsContent.itsRead.itsBytes->size();
            itsReady.push_back(std::move(aSlot));
            aTakerWaits = itsTakerWaits;
        }
        if (aTakerWaits)
            itsChanged.notify_all();
        if (aFailed)
            return; // the caller stops at this file
    }
}

ReadAhead::Content ReadAhead::take() {
    const std::string& aFile = *itsFiles.at(itsTaken++); // a take beyond the list raises
    if (!itsThread.joinable())
        return readAndHash(aFile);
    std::unique_lock aLock(itsMutex);
    if (itsReady.empty()) {
        itsTakerWaits = true;
        itsChanged.wait(aLock, [this] { return !itsReady.empty(); });
        itsTakerWaits = false;
    }
    Slot aSlot = std::move(itsReady.front());
    itsReady.pop_front();
    if (aSlot.itsContent.itsRead.itsBytes)
        itsReadyBytes -= aSlot.itsContent.itsRead.itsBytes->size();
    const bool aHelperGoesOn = itsHelperWaits && halfEmpty();
    aLock.unlock();
    if (aHelperGoesOn)
        itsChanged.notify_all();
    if (aSlot.itsFailure)
        std::rethrow_exception(aSlot.itsFailure);
    return std::move(aSlot.itsContent);
}

} // namespace RepositoryAccess
