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
    const std::lock_guard aLock(itsMutex);
    itsWaiting.erase(theFileName);
}

// The files go out one directory per job, on both cores: creating files is most of a push's
// system time, and two directories take it in parallel where one would serialise it.
void MetaFileStore::flush() {
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
}

} // namespace RepositoryAccess
