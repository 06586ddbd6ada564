#include "core/atomicfile.hpp"

#include "core/error.hpp"
#include "core/fdwrite.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RepositoryAccess {

namespace {

std::string quoted(std::string_view thePath) {
    return '"' + std::string(thePath) + '"';
}

[[noreturn]] void failWithErrno(std::string theText) {
    theText += ". System error code: " + std::to_string(errno);
    throw Error(std::move(theText));
}

void writeAllOrFail(int theFd, std::string_view theBytes, const std::string& thePath) {
    const int aResult = fdwrite::writeAll(theFd, theBytes);
    if (aResult == 0)
        return;
    if (aResult < 0)
        throw Error("Cannot write to file (append: false) (not all bytes written): " +
                    quoted(thePath) + ".");
    errno = aResult;
    failWithErrno("Cannot write to file (append: false) (no success): " + quoted(thePath));
}

// Closes the descriptor of a file that is being abandoned; its content no longer matters.
void closeQuietly(int& theFd) {
    if (theFd >= 0)
        ::close(theFd);
    theFd = -1;
}

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

std::string directoryOf(const std::string& thePath) {
    const std::size_t aSlash = thePath.rfind('/');
    if (aSlash == std::string::npos)
        return ".";
    return aSlash == 0 ? "/" : thePath.substr(0, aSlash);
}

} // namespace

AtomicFile::AtomicFile(std::string thePath, mode_t theMode)
    : itsPath(std::move(thePath)), itsMode(theMode) {
    // Where the file system offers it, the bytes go to a file without a name that gets its
    // name in one step at commit: a new file costs one directory change instead of two, and a
    // killed process leaves nothing behind. The name goes through /proc.
    static const bool theDescriptorsHaveNames = ::access("/proc/self/fd", F_OK) == 0;
    if (theDescriptorsHaveNames) {
        itsFd = ::open(directoryOf(itsPath).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, itsMode);
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
            ::open(itsTemporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, itsMode);
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
    writeAllOrFail(itsFd, aBytes, itsPath);
}

AtomicFile::~AtomicFile() {
    closeQuietly(itsFd);
    if (!itsCommitted && !itsTemporaryPath.empty())
        ::unlink(itsTemporaryPath.c_str());
}

void AtomicFile::write(std::string_view theBytes) {
    KIVO_CHECK(itsFd >= 0 && !itsCommitted, "Internal error: atomic file already committed");
    writeAllOrFail(itsFd, theBytes, itsPath);
}

void AtomicFile::sync() {
    KIVO_CHECK(itsFd >= 0 && !itsCommitted, "Internal error: atomic file already committed");
    if (::fsync(itsFd) != 0)
        failWithErrno("Cannot write to file (append: false) (no success): " + quoted(itsPath));
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

void replaceFileDurably(std::string thePath, std::string_view theBytes, mode_t theMode) {
    AtomicFile aFile(std::move(thePath), theMode);
    aFile.write(theBytes);
    aFile.sync();
    aFile.commit();
}

} // namespace RepositoryAccess
