#include "workspace/disk.hpp"

#include "core/perftrace.hpp"
#include "workspace/posixdisk.hpp"

namespace RepositoryAccess {

namespace disk {

namespace {

// Never destroyed: the destructors of other statics may still remove a file at the program's end.
Disk& posixDisk() {
    static Disk* const thePosix = new PosixDisk;
    return *thePosix;
}

Disk*& currentDisk() {
    static Disk* theCurrent = &posixDisk();
    return theCurrent;
}

} // namespace

Disk& current() {
    return *currentDisk();
}

Use::Use(Disk& theDisk) : itsPrevious(currentDisk()) {
    currentDisk() = &theDisk;
}

Use::~Use() {
    currentDisk() = itsPrevious;
}

} // namespace disk

namespace sys {

bool fileExists(std::string_view thePath) {
    KIVO_PERF_SCOPE("sys::fileExists()");
    return disk::current().fileExists(toSlashes(thePath));
}

bool dirExists(std::string_view thePath) {
    return disk::current().dirExists(toSlashes(thePath));
}

DirListing listDir(std::string_view theDirName) {
    KIVO_PERF_SCOPE("sys::listDir()");
    const std::string aDir = toSlashes(theDirName);
    DirListing aListing;
    disk::current().visitDir(aDir, false, [&](const DirEntryView& theEntry) {
        (theEntry.itsIsDirectory ? aListing.itsDirs : aListing.itsFiles)
            .push_back(joinFileName(aDir, theEntry.itsName));
    });
    return aListing;
}

std::vector<DirEntry> scanDir(std::string_view theDirName, bool theWithDetails) {
    std::vector<DirEntry> anEntries;
    disk::current().visitDir(
        toSlashes(theDirName), theWithDetails, [&](const DirEntryView& theEntry) {
            anEntries.push_back({std::string(theEntry.itsName), theEntry.itsIsDirectory,
                                 theEntry.itsSize, theEntry.itsModified});
        });
    return anEntries;
}

void visitDir(std::string_view theDirName, bool theWithDetails,
              const std::function<void(const DirEntryView&)>& theVisit) {
    disk::current().visitDir(toSlashes(theDirName), theWithDetails, theVisit);
}

std::string linkOnTheWay(std::string_view theRootDir, std::string_view thePath) {
    return disk::current().linkOnTheWay(normalizeDirName(theRootDir), toSlashes(thePath));
}

std::uint64_t getFileSize(std::string_view thePath) {
    return disk::current().getFileSize(toSlashes(thePath));
}

std::shared_ptr<const std::string> readFile(std::string_view thePath,
                                            std::optional<std::uint64_t> theByteCount) {
    KIVO_PERF_SCOPE("sys::readFile()");
    return disk::current().readFile(toSlashes(thePath), theByteCount);
}

StampedContent readFileStamped(std::string_view thePath, bool theFollowLink) {
    KIVO_PERF_SCOPE("sys::readFile()");
    return disk::current().readFileStamped(toSlashes(thePath), theFollowLink);
}

std::shared_ptr<const std::string> readFileIfExists(std::string_view thePath) {
    KIVO_PERF_SCOPE("sys::readFile()");
    return disk::current().readFileIfExists(toSlashes(thePath));
}

std::string getts(std::string_view thePath) {
    KIVO_PERF_SCOPE("sys::getts()");
    return disk::current().getts(toSlashes(thePath));
}

void writeFile(std::string_view thePath, std::string_view theBytes, bool theAppend) {
    KIVO_PERF_SCOPE("sys::writeFile()");
    disk::current().writeFile(toSlashes(thePath), theBytes, theAppend, false);
}

WriteStamp writeFileStamped(std::string_view thePath, std::string_view theBytes) {
    KIVO_PERF_SCOPE("sys::writeFile()");
    return disk::current().writeFile(toSlashes(thePath), theBytes, false, true);
}

void writeFileAtomically(std::string_view thePath, std::string_view theBytes, bool theDurably) {
    disk::current().writeFileAtomically(toSlashes(thePath), theBytes, theDurably);
}

bool createExclusive(std::string_view thePath, std::string_view theContent) {
    return disk::current().createExclusive(toSlashes(thePath), theContent);
}

bool createDirectory(std::string_view thePath) {
    return disk::current().createDirectory(toSlashes(thePath));
}

int createDirectories(std::string_view thePath) {
    return disk::current().createDirectories(toSlashes(thePath));
}

bool deleteDirectory(std::string_view thePath) {
    return disk::current().deleteDirectory(toSlashes(thePath));
}

bool deleteFile(std::string_view thePath) {
    return disk::current().deleteFile(toSlashes(thePath));
}

} // namespace sys
} // namespace RepositoryAccess
