#include <cerrno>
#include <mutex>
#include <string>
#include <unordered_set>

#include <sys/stat.h>
#include <unistd.h>

#include "core/parameters.hpp"
#include "workspace/posixdisk.hpp"
#include "workspace/sys.hpp"
#include "workspace/sysinternal.hpp"

namespace RepositoryAccess {
namespace sys {

using internal::failWithErrno;
using internal::quoted;
using internal::simulated;

namespace {

// A set of directory names that threads share.
class DirectorySet {
public:
    bool contains(std::string_view theName) {
        std::lock_guard aLock(itsMutex);
        return itsNames.contains(std::string(theName));
    }
    void add(std::string_view theName) {
        std::lock_guard aLock(itsMutex);
        itsNames.emplace(theName);
    }
    void clear() {
        std::lock_guard aLock(itsMutex);
        itsNames.clear();
    }

private:
    std::mutex itsMutex;
    std::unordered_set<std::string> itsNames;
};

// Directories this process created or found, so that each is created (or looked at) once.
DirectorySet& knownDirectories() {
    static DirectorySet theKnown;
    return theKnown;
}

// Directories that a read found missing, so that the reads of other files in them need no
// system call: the metadata of a push of new files lies in directories that the run creates
// only at its end. Forgotten whenever the process creates a directory.
DirectorySet& missingDirectories() {
    static DirectorySet theMissing;
    return theMissing;
}

// The path names a directory (links followed).
bool isDirectory(const std::string& thePath) {
    struct stat aStat;
    return ::stat(thePath.c_str(), &aStat) == 0 && S_ISDIR(aStat.st_mode);
}

// The directory part of a `/`-separated path; empty for a bare name.
std::string_view parentOf(std::string_view thePath) {
    const std::size_t aSlash = thePath.rfind('/');
    return aSlash == std::string_view::npos || aSlash == 0 ? std::string_view()
                                                           : thePath.substr(0, aSlash);
}

// Creates the directory and its missing ancestors, bottom-up: one mkdir for a directory whose
// parent exists, no call at all for one known from before. The number created.
int createDirectoryChain(const std::string& theDir) {
    if (theDir.empty() || theDir == "/" || theDir.back() == ':' ||
        knownDirectories().contains(theDir))
        return 0;
    internal::forgetMissingDirectories();
    if (::mkdir(theDir.c_str(), 0777) == 0) {
        knownDirectories().add(theDir);
        return 1;
    }
    if (errno == EEXIST && isDirectory(theDir)) {
        knownDirectories().add(theDir);
        return 0;
    }
    if (errno != ENOENT)
        failWithErrno("Failed to create directory: " + quoted(theDir));
    const int aCreated = createDirectoryChain(getDirPart(theDir));
    // Another thread of a parallel checkout may have made it meanwhile: it counts it, not we.
    const bool aMade = ::mkdir(theDir.c_str(), 0777) == 0;
    if (!aMade && !(errno == EEXIST && isDirectory(theDir)))
        failWithErrno("Failed to create directory: " + quoted(theDir));
    knownDirectories().add(theDir);
    return aCreated + (aMade ? 1 : 0);
}

} // namespace

bool internal::inMissingDirectory(std::string_view thePath) {
    return missingDirectories().contains(parentOf(thePath));
}

void internal::noteMissingFile(std::string_view thePath) {
    const std::string_view aDir = parentOf(thePath);
    struct stat aStat;
    if (!aDir.empty() && ::stat(std::string(aDir).c_str(), &aStat) != 0 && errno == ENOENT)
        missingDirectories().add(aDir);
}

void internal::forgetMissingDirectories() {
    missingDirectories().clear();
}

void forgetKnownDirectories() {
    knownDirectories().clear();
    internal::forgetMissingDirectories();
}

} // namespace sys

bool PosixDisk::createDirectory(const std::string& thePath) {
    if (sys::isDirectory(thePath))
        return false;
    if (sys::simulated("Create directory " + sys::quoted(thePath)))
        return false;
    sys::internal::forgetMissingDirectories();
    if (::mkdir(thePath.c_str(), 0777) != 0)
        sys::failWithErrno("Failed to create directory: " + sys::quoted(thePath));
    return true;
}

int PosixDisk::createDirectories(const std::string& thePath) {
    const std::string& aPath = thePath;
    if (!isSet(params::simulate) && !isSet(params::debugPaths)) {
        std::string aDir = sys::getDirPart(aPath);
        while (aDir.size() > 1 && aDir.back() == '/')
            aDir.pop_back();
        return sys::createDirectoryChain(aDir);
    }
    int aCreated = 0;
    // Every prefix that ends just before a `/` names an ancestor; the root itself is skipped.
    for (std::size_t aSlash = aPath.find('/', 1); aSlash != std::string::npos;
         aSlash = aPath.find('/', aSlash + 1)) {
        if (aPath[aSlash - 1] == '/' || aPath[aSlash - 1] == ':')
            continue;
        if (createDirectory(aPath.substr(0, aSlash)))
            ++aCreated;
    }
    return aCreated;
}

bool PosixDisk::deleteDirectory(const std::string& thePath) {
    if (!sys::isDirectory(thePath))
        return false;
    if (sys::simulated("Delete directory " + sys::quoted(thePath)))
        return false;
    if (::rmdir(thePath.c_str()) != 0)
        sys::failWithErrno("Failed to delete directory " + sys::quoted(thePath));
    sys::forgetKnownDirectories();
    return true;
}

} // namespace RepositoryAccess
