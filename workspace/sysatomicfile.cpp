#include "workspace/sysatomicfile.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/error.hpp"
#include "core/fdwrite.hpp"
#include "core/parameters.hpp"
#include "workspace/parallel.hpp"
#include "workspace/posixdisk.hpp"
#include "workspace/sys.hpp"
#include "workspace/sysinternal.hpp"

namespace RepositoryAccess {
namespace sys {

using internal::failWithErrno;
using internal::quoted;

namespace {

// Settings files renamed into place since the last sync.
std::atomic<bool> thePendingSync{false};

// Syncs the file system that holds the directory; answers 0, or the errno of the failure.
int syncFileSystemErrno(const std::string& theDirName) {
    const int aFd = ::open(theDirName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (aFd < 0)
        return errno;
    const int anErrno = ::syncfs(aFd) == 0 ? 0 : errno;
    ::close(aFd);
    return anErrno;
}

void syncFileSystemOf(const std::string& theDirName) {
    const std::string aDir = theDirName.empty() ? "." : theDirName;
    if (const int anErrno = syncFileSystemErrno(aDir); anErrno != 0) {
        errno = anErrno;
        failWithErrno("Failed to flush the settings files to disk: " + quoted(aDir));
    }
}

// The early syncs of the run (startEarlySync): one thread at a time, and the errno of the first
// that failed. Its destructor waits for the last one, so that no thread outlives the process's
// static objects.
class EarlySync {
public:
    ~EarlySync() { finish(); }

    void start(std::string theDirName) {
        if (itsThread.joinable()) {
            if (!itsDone)
                return; // the running one takes what was written since it began, or most of it
            itsThread.join();
        }
        itsDone = false;
        // Without a thread to be had there is no early sync: the run's own sync does its work.
        itsThread = parallel::startHelper([this, aDirName = std::move(theDirName)] {
            int anExpected = 0;
            itsErrno.compare_exchange_strong(anExpected, syncFileSystemErrno(aDirName));
            itsDone = true;
        });
    }

    // Waits for the running sync; answers the errno of a failed one since the last call, or 0.
    int finish() {
        if (itsThread.joinable())
            itsThread.join();
        return itsErrno.exchange(0);
    }

private:
    std::thread itsThread;
    std::atomic<bool> itsDone{true};
    std::atomic<int> itsErrno{0};
};

EarlySync theEarlySync;

} // namespace

AtomicFile::AtomicFile(std::string_view thePath) : itsFile(toSlashes(thePath)) {}

void AtomicFile::commitDurably() {
    // The data of this file and of every earlier rename reach the disk before this rename: a
    // power loss leaves this file old, or new with all the files it refers to.
    thePendingSync = true;
    syncPendingWrites(getDirPart(itsFile.path()));
    commit();
    thePendingSync = false;
}

void AtomicFile::commit() {
    itsFile.commit();
    thePendingSync = true;
}

void startEarlySync(std::string_view theDirName) {
    if (!isSet(params::simulate))
        theEarlySync.start(toSlashes(theDirName.empty() ? "." : theDirName));
}

void syncPendingWrites(std::string_view theDirName) {
    // A write-back failure that an early sync saw is not reported to a later one.
    if (const int anErrno = theEarlySync.finish(); anErrno != 0) {
        errno = anErrno;
        failWithErrno("Failed to flush the settings files to disk: " +
                      quoted(toSlashes(theDirName)));
    }
    if (!thePendingSync.exchange(false))
        return;
    try {
        syncFileSystemOf(toSlashes(theDirName));
    } catch (...) {
        thePendingSync = true;
        throw;
    }
}

} // namespace sys

void PosixDisk::writeFileAtomically(const std::string& thePath, std::string_view theBytes,
                                    bool theDurably) {
    if (sys::internal::simulated("Write file (append: false) " + sys::quoted(thePath)))
        return;
    sys::AtomicFile aFile(thePath);
    aFile.write(theBytes);
    if (theDurably)
        aFile.commitDurably();
    else
        aFile.commit();
}

bool PosixDisk::createExclusive(const std::string& thePath, std::string_view theContent) {
    using sys::failWithErrno;
    using sys::quoted;
    const std::string& aPath = thePath;
    if (sys::internal::simulated("Write file (append: false) " + quoted(aPath)))
        return true;
    int aFd = ::open(aPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (aFd < 0) {
        if (errno == EEXIST)
            return false;
        failWithErrno("Failed to open file for writing (append: false): " + quoted(aPath));
    }
    if (const int aResult = fdwrite::writeAll(aFd, theContent); aResult != 0) {
        // A half-written lock would block every later run: take it back before failing.
        ::close(aFd);
        ::unlink(aPath.c_str());
        errno = aResult > 0 ? aResult : EIO;
        failWithErrno("Cannot write to file (append: false) (no success): " + quoted(aPath));
    }
    if (::close(aFd) != 0) {
        int anErrno = errno;
        ::unlink(aPath.c_str());
        errno = anErrno;
        failWithErrno("Cannot write to file (append: false) (no success): " + quoted(aPath));
    }
    return true;
}

} // namespace RepositoryAccess
