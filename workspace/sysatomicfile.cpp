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
#include "workspace/sys.hpp"
#include "workspace/sysinternal.hpp"

namespace RepositoryAccess::sys {

using internal::failWithErrno;
using internal::quoted;

namespace {

// Closes the descriptor of a file that is being abandoned; its content no longer matters.
void closeQuietly(int& theFd) {
    if (theFd >= 0)
        ::close(theFd);
    theFd = -1;
}

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

namespace {

// A temporary name beside the target: the process id and a counter make it unique among
// processes and within this one.
std::string temporaryName(const std::string& thePath) {
    static std::atomic<unsigned> theCounter{0};
    static const std::string thePid = std::to_string(::getpid());
    return thePath + ".tmp" + thePid + "_" + std::to_string(theCounter.fetch_add(1));
}

// The name under which an open file can be linked into a directory.
std::string descriptorPath(int theFd) {
    return "/proc/self/fd/" + std::to_string(theFd);
}

bool linkDescriptor(int theFd, const std::string& thePath) {
    return ::linkat(AT_FDCWD, descriptorPath(theFd).c_str(), AT_FDCWD, thePath.c_str(),
                    AT_SYMLINK_FOLLOW) == 0;
}

} // namespace

AtomicFile::AtomicFile(std::string_view thePath) : itsPath(toSlashes(thePath)) {
    // Where the file system offers it, the bytes go to a file without a name that gets its
    // name in one step at commit: a new file costs one directory change instead of two, and a
    // killed process leaves nothing behind. The name goes through /proc.
    static const bool theDescriptorsHaveNames = ::access("/proc/self/fd", F_OK) == 0;
    if (theDescriptorsHaveNames) {
        std::string aDirName = getDirPart(itsPath);
        if (aDirName.empty())
            aDirName = itsPath.starts_with('/') ? "/" : ".";
        itsFd = ::open(aDirName.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (itsFd >= 0)
            return;
    }
    itsFd = openTemporary();
}

int AtomicFile::openTemporary() {
    // O_EXCL makes sure that a leftover of a crashed process is never reused.
    for (int anAttempt = 0;; ++anAttempt) {
        itsTemporaryPath = temporaryName(itsPath);
        const int aFd =
            ::open(itsTemporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (aFd >= 0)
            return aFd;
        if (errno != EEXIST || anAttempt >= 100) {
            itsTemporaryPath.clear();
            failWithErrno("Failed to open file for writing (append: false): " + quoted(itsPath));
        }
    }
}

void AtomicFile::nameTemporarily() {
    for (int anAttempt = 0; anAttempt < 100; ++anAttempt) {
        const std::string aName = temporaryName(itsPath);
        if (linkDescriptor(itsFd, aName)) {
            itsTemporaryPath = aName;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    const int aCopy = openTemporary();
    std::string aBytes(static_cast<std::size_t>(std::max<off_t>(0, ::lseek(itsFd, 0, SEEK_END))),
                       '\0');
    const ssize_t aRead = ::pread(itsFd, aBytes.data(), aBytes.size(), 0);
    closeQuietly(itsFd);
    itsFd = aCopy;
    if (aRead != static_cast<ssize_t>(aBytes.size()))
        failWithErrno("Cannot write to file (append: false) (no success): " + quoted(itsPath));
    internal::writeAllOrFail(itsFd, aBytes, false, itsPath);
}

AtomicFile::~AtomicFile() {
    closeQuietly(itsFd);
    if (!itsCommitted && !itsTemporaryPath.empty())
        ::unlink(itsTemporaryPath.c_str());
}

void AtomicFile::write(std::string_view theBytes) {
    KIVO_CHECK(itsFd >= 0 && !itsCommitted, "Internal error: atomic file already committed");
    internal::writeAllOrFail(itsFd, theBytes, false, itsPath);
}

void AtomicFile::commitDurably() {
    KIVO_CHECK(itsFd >= 0 && !itsCommitted, "Internal error: atomic file already committed");
    // The data of this file and of every earlier rename reach the disk before this rename: a
    // power loss leaves this file old, or new with all the files it refers to.
    thePendingSync = true;
    syncPendingWrites(getDirPart(itsPath));
    commit();
    thePendingSync = false;
}

void AtomicFile::commit() {
    KIVO_CHECK(itsFd >= 0 && !itsCommitted, "Internal error: atomic file already committed");
    // A file without a name that no file of its name exists for is linked into place at once;
    // otherwise it gets a temporary name and replaces the target as a named one does.
    const bool aLinked = itsTemporaryPath.empty() && linkDescriptor(itsFd, itsPath);
    if (!aLinked && itsTemporaryPath.empty())
        nameTemporarily();
    const int aClosed = ::close(itsFd);
    itsFd = -1;
    if (aClosed != 0)
        failWithErrno("Cannot write to file (append: false) (no success): " + quoted(itsPath));
    if (!aLinked && ::rename(itsTemporaryPath.c_str(), itsPath.c_str()) != 0)
        failWithErrno("Failed to replace file: " + quoted(itsPath));
    itsCommitted = true;
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

int temporaryFileOwner(std::string_view theFileName) {
    const std::size_t aMark = theFileName.rfind(".tmp");
    const std::size_t anUnderscore = theFileName.rfind('_');
    if (aMark == std::string_view::npos || anUnderscore == std::string_view::npos ||
        anUnderscore < aMark + 5 || anUnderscore + 1 == theFileName.size())
        return 0;
    auto allDigits = [](std::string_view theText) {
        return !theText.empty() && theText.size() < 10 &&
               theText.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const std::string_view aPid = theFileName.substr(aMark + 4, anUnderscore - aMark - 4);
    if (!allDigits(aPid) || !allDigits(theFileName.substr(anUnderscore + 1)))
        return 0;
    return std::stoi(std::string(aPid));
}

void writeFileAtomically(std::string_view thePath, std::string_view theBytes, bool theDurably) {
    std::string aPath = toSlashes(thePath);
    if (internal::simulated("Write file (append: false) " + quoted(aPath)))
        return;
    AtomicFile aFile(aPath);
    aFile.write(theBytes);
    if (theDurably)
        aFile.commitDurably();
    else
        aFile.commit();
}

bool createExclusive(std::string_view thePath, std::string_view theContent) {
    std::string aPath = toSlashes(thePath);
    if (internal::simulated("Write file (append: false) " + quoted(aPath)))
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

} // namespace RepositoryAccess::sys
