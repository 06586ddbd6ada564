#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/error.hpp"
#include "core/progressline.hpp"
#include "workspace/filestat.hpp"
#include "workspace/hash.hpp"
#include "workspace/parallel.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess::hash {

namespace {

// Hashes one file in 64 KiB pieces, with the proof of its stat data; throws the program's error
// when it cannot be read.
HashedFile hashOne(const std::string& thePath) {
    // The clock before the bytes: a change while they are read gets a time at or after it.
    const timespec aBefore = filestat::coarseNow();
    int aFd = ::open(thePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (aFd < 0)
        throw Error("Failed to open file for reading (readFile): \"" + thePath +
                    "\". System error code: " + std::to_string(errno));
    Sha1 aSha1;
    char aBuffer[64 * 1024];
    for (;;) {
        ssize_t aRead = ::read(aFd, aBuffer, sizeof aBuffer);
        if (aRead < 0 && errno == EINTR)
            continue;
        if (aRead < 0) {
            const int anErrno = errno;
            ::close(aFd);
            throw Error("Cannot read from file (no success) (readFile): \"" + thePath +
                        "\". System error code: " + std::to_string(anErrno));
        }
        if (aRead == 0)
            break;
        aSha1.feed(aBuffer, static_cast<std::size_t>(aRead));
    }
    struct stat aStat {};
    const bool aStated = ::fstat(aFd, &aStat) == 0;
    ::close(aFd);
    HashedFile aResult{toText(aSha1.result()), {}};
    if (aStated)
        aResult.itsFileStat = filestat::proofText(filestat::ofSystem(aStat), aBefore);
    return aResult;
}

} // namespace

std::vector<HashedFile> calcFiles(const std::vector<std::string>& thePaths) {
    std::vector<HashedFile> aHashes(thePaths.size());
    // The opening and reading of small files is what costs, so every core helps.
    ProgressLine aProgress(thePaths.size());
    parallel::forEachIndex(thePaths.size(), 64, [&](std::size_t i) {
        aProgress.advance();
        aHashes[i] = hashOne(thePaths[i]);
    });
    return aHashes;
}

} // namespace RepositoryAccess::hash
