#include "workspace/metafilestore.hpp"

#include <vector>

#include "workspace/parallel.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess {

void MetaFileStore::allowWaiting(const std::string& theFileName) {
    const std::lock_guard aLock(itsMutex);
    itsMayWait.insert(theFileName);
}

bool MetaFileStore::keep(const std::string& theFileName,
                         std::shared_ptr<const std::string> theContent) {
    const std::lock_guard aLock(itsMutex);
    if (!itsMayWait.contains(theFileName))
        return false;
    if (itsWriter.joinable()) {
        itsQueue.emplace_back(theFileName, theContent);
        itsChanged.notify_all();
    }
    itsWaiting[theFileName] = std::move(theContent);
    return true;
}

std::shared_ptr<const std::string> MetaFileStore::waiting(const std::string& theFileName) const {
    const std::lock_guard aLock(itsMutex);
    const auto aFound = itsWaiting.find(theFileName);
    if (aFound == itsWaiting.end())
        return nullptr;
    return aFound->second;
}

void MetaFileStore::drop(const std::string& theFileName) {
    std::unique_lock aLock(itsMutex);
    itsChanged.wait(aLock, [&] { return itsWriting != theFileName; });
    itsWaiting.erase(theFileName);
}

MetaFileStore::~MetaFileStore() {
    stopWritingAhead();
}

void MetaFileStore::writeAhead() {
    const std::lock_guard aLock(itsMutex);
    if (itsWriter.joinable())
        return;
    itsStopping = false;
    // Without a thread to be had, flush() writes everything, as without writing ahead.
    itsWriter = parallel::startHelper([this] { writeQueued(); });
}

// A file is written only while its queued content is still the one waiting: a file dropped or
// kept again meanwhile is left to the caller or to the next entry.
void MetaFileStore::writeQueued() {
    std::unique_lock aLock(itsMutex);
    for (;;) {
        itsChanged.wait(aLock, [this] { return itsStopping || !itsQueue.empty(); });
        if (itsStopping)
            return;
        auto [aName, aContent] = std::move(itsQueue.front());
        itsQueue.pop_front();
        const auto aWaiting = itsWaiting.find(aName);
        if (aWaiting == itsWaiting.end() || aWaiting->second != aContent)
            continue;
        itsWriting = aName;
        aLock.unlock();
        bool aWritten = false;
        try {
            sys::createDirectories(aName);
            sys::writeFileAtomically(aName, *aContent);
            aWritten = true;
        } catch (const std::exception&) {
            // The file keeps waiting: flush() writes it again and raises the failure.
        }
        aLock.lock();
        itsWroteAhead = itsWroteAhead || aWritten;
        itsWriting.clear();
        itsChanged.notify_all();
        if (!aWritten)
            return;
        if (const auto aNow = itsWaiting.find(aName);
            aNow != itsWaiting.end() && aNow->second == aContent)
            itsWaiting.erase(aNow);
    }
}

bool MetaFileStore::wroteAhead() const {
    const std::lock_guard aLock(itsMutex);
    return itsWroteAhead;
}

void MetaFileStore::stopWritingAhead() {
    {
        const std::lock_guard aLock(itsMutex);
        itsStopping = true;
        itsQueue.clear();
    }
    itsChanged.notify_all();
    if (itsWriter.joinable())
        itsWriter.join();
}

// The files go out one directory per job, on both cores: creating files is most of a push's
// system time, and two directories take it in parallel where one would serialise it.
void MetaFileStore::flush() {
    stopWritingAhead();
    const std::lock_guard aLock(itsMutex);
    using Entry = std::map<std::string, std::shared_ptr<const std::string>>::value_type;
    std::vector<const Entry*> anEntries;
    for (const Entry& anEntry : itsWaiting)
        anEntries.push_back(&anEntry);
    auto aSameDirectory = [&](std::size_t thePrevious, std::size_t theNext) {
        return sys::inOneDirectory(anEntries[thePrevious]->first, anEntries[theNext]->first);
    };
    for (std::size_t i = 0; i < anEntries.size(); ++i)
        if (i == 0 || !aSameDirectory(i - 1, i))
            sys::createDirectories(anEntries[i]->first);

    std::vector<char> aWritten(anEntries.size(), 0);
    try {
        parallel::forEachRun(anEntries.size(), aSameDirectory, [&](std::size_t i) {
            sys::writeFileAtomically(anEntries[i]->first, *anEntries[i]->second);
            aWritten[i] = 1;
        });
    } catch (...) {
        // A failed file stays waiting, and its failure is the caller's.
        for (std::size_t i = 0; i < anEntries.size(); ++i)
            if (aWritten[i])
                itsWaiting.erase(anEntries[i]->first);
        throw;
    }
    itsWaiting.clear();
    itsWroteAhead = false;
}

} // namespace RepositoryAccess
