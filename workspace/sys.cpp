#include "workspace/sys.hpp"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/fdwrite.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "workspace/filestat.hpp"
#include "workspace/posixdisk.hpp"
#include "workspace/sysinternal.hpp"

namespace RepositoryAccess {
namespace sys {

namespace internal {

void failWithErrno(std::string theText) {
    int anErrno = errno;
    theText += ". System error code: ";
    theText += std::to_string(anErrno);
    throw Error(std::move(theText));
}

std::string quoted(std::string_view thePath) {
    std::string aText;
    aText.reserve(thePath.size() + 2);
    aText += '"';
    aText += thePath;
    aText += '"';
    return aText;
}

bool simulated(std::string_view theWhat) {
    if (!isSet(params::simulate))
        return false;
    std::string aLine = "Simulation: File system write operation: ";
    aLine += theWhat;
    console::sayLine(aLine);
    return true;
}

void writeAllOrFail(int theFd, std::string_view theBytes, bool theAppend,
                    std::string_view thePath) {
    const int aResult = fdwrite::writeAll(theFd, theBytes);
    if (aResult == 0)
        return;
    const std::string aPrefix =
        std::string("Cannot write to file (append: ") + (theAppend ? "true" : "false") + ") ";
    if (aResult < 0)
        throw Error(aPrefix + "(not all bytes written): " + quoted(thePath) + ".");
    errno = aResult;
    failWithErrno(aPrefix + "(no success): " + quoted(thePath));
}

void debugPath(std::string_view theFunction, int theStep, std::string_view theWhat,
               std::string_view theValue) {
    if (!isSet(params::debugPaths))
        return;
    std::string aLine(theFunction);
    aLine += ' ';
    aLine += std::to_string(theStep);
    aLine += " (";
    aLine += theWhat;
    aLine += "): ";
    aLine += theValue;
    console::sayLine(aLine);
}

} // namespace internal

using internal::failWithErrno;
using internal::quoted;
using internal::simulated;

namespace {

// A file descriptor closed on every way out.
class FileHandle {
public:
    explicit FileHandle(int theFd) : itsFd(theFd) {}
    ~FileHandle() {
        if (itsFd >= 0)
            ::close(itsFd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return itsFd; }

private:
    int itsFd;
};

// stat() that follows links; false when the path cannot be examined.
bool statPath(const std::string& thePath, struct stat& theStat) {
    return ::stat(thePath.c_str(), &theStat) == 0;
}

const char* flagText(bool theFlag) {
    return theFlag ? "true" : "false";
}

// Two decimal digits of theValue (0..99) at theOut.
void putTwo(char* theOut, unsigned theValue) {
    theOut[0] = static_cast<char>('0' + theValue / 10);
    theOut[1] = static_cast<char>('0' + theValue % 10);
}

// Visits the entries of a directory without `.` and `..`. With details, sizes and times of files
// are read; without, only entries whose type readdir does not tell are examined.
void visitEntries(const std::string& theDir, bool theWithDetails,
                  const std::function<void(const DirEntryView&)>& theVisit) {
    DIR* aStream = ::opendir(theDir.empty() ? "." : theDir.c_str());
    if (!aStream)
        throw Error("Invalid Directory: " + theDir);
    std::unique_ptr<DIR, int (*)(DIR*)> apStream(aStream, &::closedir);
    int aDirFd = ::dirfd(aStream);
    while (true) {
        errno = 0;
        const dirent* aRaw = ::readdir(aStream);
        if (!aRaw) {
            if (errno != 0)
                failWithErrno("Invalid Directory: " + theDir);
            break;
        }
        const char* aName = aRaw->d_name;
        if (aName[0] == '.' && (aName[1] == 0 || (aName[1] == '.' && aName[2] == 0)))
            continue;
        DirEntryView anEntry;
        anEntry.itsName = aName;
        // Only regular files and directories are part of a workspace: a symbolic link (to
        // anything), a pipe or a device is left out and never followed.
        if (aRaw->d_type == DT_DIR) {
            anEntry.itsIsDirectory = true;
        } else if (aRaw->d_type == DT_REG && !theWithDetails) {
            anEntry.itsIsDirectory = false;
        } else if (aRaw->d_type != DT_REG && aRaw->d_type != DT_UNKNOWN) {
            continue;
        } else {
            // Only the fields a status compares: the kernel fills less than a whole stat record.
            // A remote file system still answers as fresh as stat would.
            struct statx aStat;
            if (::statx(aDirFd, aName, AT_SYMLINK_NOFOLLOW, filestat::kStatxFields, &aStat) != 0) {
                if (errno == ENOENT)
                    continue; // removed since the directory was read
                failWithErrno("Invalid Directory: " + theDir);
            }
            if (!S_ISREG(aStat.stx_mode) && !S_ISDIR(aStat.stx_mode))
                continue;
            anEntry.itsIsDirectory = S_ISDIR(aStat.stx_mode);
            anEntry.itsStat = filestat::ofStatx(aStat);
            anEntry.itsSize = anEntry.itsStat.itsSize;
            anEntry.itsModified = {static_cast<time_t>(anEntry.itsStat.itsModifiedSeconds),
                                   static_cast<long>(anEntry.itsStat.itsModifiedNanoseconds)};
        }
        theVisit(anEntry);
    }
}

} // namespace

} // namespace sys

bool PosixDisk::fileExists(const std::string& thePath) {
    struct stat aStat;
    return sys::statPath(thePath, aStat) && !S_ISDIR(aStat.st_mode);
}

bool PosixDisk::dirExists(const std::string& thePath) {
    struct stat aStat;
    return sys::statPath(thePath, aStat) && S_ISDIR(aStat.st_mode);
}

void PosixDisk::visitDir(const std::string& theDirName, bool theWithDetails,
                         const std::function<void(const sys::DirEntryView&)>& theVisit) {
    sys::visitEntries(theDirName, theWithDetails, theVisit);
}

std::string PosixDisk::linkOnTheWay(const std::string& theRoot, const std::string& thePath) {
    if (!thePath.starts_with(theRoot))
        return {};
    for (std::size_t aSlash = theRoot.size(); aSlash != std::string::npos;) {
        const std::size_t anEnd = thePath.find('/', aSlash + 1);
        const std::string aPart = thePath.substr(0, anEnd);
        struct stat aStat;
        if (::lstat(aPart.c_str(), &aStat) != 0)
            return {}; // nothing exists below a missing part
        if (S_ISLNK(aStat.st_mode))
            return aPart;
        aSlash = anEnd;
    }
    return {};
}

std::uint64_t PosixDisk::getFileSize(const std::string& thePath) {
    sys::FileHandle aFile(::open(thePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (aFile.get() < 0)
        sys::failWithErrno("Failed to open file for reading (getFileSize): " +
                           sys::quoted(thePath));
    struct stat aStat;
    if (::fstat(aFile.get(), &aStat) != 0)
        sys::failWithErrno("Failed to get file size (getFileSize): " + sys::quoted(thePath));
    return static_cast<std::uint64_t>(aStat.st_size);
}

namespace sys {
namespace {

std::shared_ptr<const std::string> readBytes(std::string_view thePath,
                                             std::optional<std::uint64_t> theByteCount,
                                             bool theMissingIsNull = false,
                                             struct stat* theStat = nullptr,
                                             bool theFollowLink = true) {
    std::string aPath = toSlashes(thePath);
    if (theMissingIsNull && internal::inMissingDirectory(aPath))
        return nullptr;
    FileHandle aFile(
        ::open(aPath.c_str(), O_RDONLY | O_CLOEXEC | (theFollowLink ? 0 : O_NOFOLLOW)));
    if (aFile.get() < 0 && theMissingIsNull && errno == ENOENT) {
        internal::noteMissingFile(aPath);
        return nullptr;
    }
    if (aFile.get() < 0)
        failWithErrno("Failed to open file for reading (readFile): " + quoted(aPath));
    std::uint64_t aCount = 0;
    if (theByteCount) {
        aCount = *theByteCount;
    } else {
        struct stat aStat;
        if (::fstat(aFile.get(), &aStat) != 0)
            failWithErrno("Cannot read from file (no success) (readFile): " + quoted(aPath));
        aCount = static_cast<std::uint64_t>(aStat.st_size);
        if (theStat)
            *theStat = aStat;
    }
    auto apBytes = std::make_shared<std::string>();
    apBytes->resize(aCount);
    std::uint64_t aDone = 0;
    while (aDone < aCount) {
        ssize_t aRead = ::read(aFile.get(), apBytes->data() + aDone, aCount - aDone);
        if (aRead < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno("Cannot read from file (no success) (readFile): " + quoted(aPath));
        }
        if (aRead == 0)
            throw Error("Cannot read from file (not all bytes read) (readFile): " + quoted(aPath) +
                        ".");
        aDone += static_cast<std::uint64_t>(aRead);
    }
    return apBytes;
}

} // namespace

} // namespace sys

std::shared_ptr<const std::string> PosixDisk::readFile(const std::string& thePath,
                                                       std::optional<std::uint64_t> theCount) {
    return sys::readBytes(thePath, theCount);
}

namespace sys {

MappedFile::MappedFile(std::string_view thePath) {
    const std::string aPath = toSlashes(thePath);
    FileHandle aFile(::open(aPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat aStat;
    if (aFile.get() >= 0 && ::fstat(aFile.get(), &aStat) == 0 && S_ISREG(aStat.st_mode) &&
        aStat.st_size > 0) {
        itsSize = static_cast<std::size_t>(aStat.st_size);
        itsData = ::mmap(nullptr, itsSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, aFile.get(), 0);
        if (itsData != MAP_FAILED)
            return;
    }
    // Not openable, empty, or not mappable: the plain read gives the bytes or the message.
    itsRead = readBytes(thePath, std::nullopt);
    itsData = itsRead->data();
    itsSize = itsRead->size();
}

MappedFile::~MappedFile() {
    if (!itsRead && itsData)
        ::munmap(const_cast<void*>(itsData), itsSize);
}

} // namespace sys

sys::StampedContent PosixDisk::readFileStamped(const std::string& thePath, bool theFollowLink) {
    // The clock before the bytes: a change while they are read gets a time at or after it, so
    // the stat data taken before the read are no proof then.
    const timespec aBefore = filestat::coarseNow();
    struct stat aStat {};
    sys::StampedContent aResult;
    aResult.itsBytes = sys::readBytes(thePath, std::nullopt, false, &aStat, theFollowLink);
    if (isSet(params::simulate))
        return aResult;
    aResult.itsTimestamp = sys::formatTimestamp(aStat.st_mtim);
    aResult.itsFileStat = filestat::proofText(filestat::ofSystem(aStat), aBefore);
    return aResult;
}

std::shared_ptr<const std::string> PosixDisk::readFileIfExists(const std::string& thePath) {
    return sys::readBytes(thePath, std::nullopt, true);
}

namespace sys {

std::string formatTimestamp(const timespec& theTime) {
    return std::string(TimestampText(theTime).view());
}

TimestampText::TimestampText(const timespec& theTime) {
    // Days since 1970-01-01 to the proleptic Gregorian calendar (the civil-from-days algorithm),
    // so that neither the time zone nor the C library's locale takes part.
    std::int64_t aSeconds = theTime.tv_sec;
    std::int64_t aDays = aSeconds / 86400;
    std::int64_t aSecondOfDay = aSeconds % 86400;
    if (aSecondOfDay < 0) {
        aSecondOfDay += 86400;
        --aDays;
    }
    std::int64_t aShifted = aDays + 719468;
    std::int64_t anEra = (aShifted >= 0 ? aShifted : aShifted - 146096) / 146097;
    std::int64_t aDayOfEra = aShifted - anEra * 146097;
    std::int64_t aYearOfEra =
        (aDayOfEra - aDayOfEra / 1460 + aDayOfEra / 36524 - aDayOfEra / 146096) / 365;
    std::int64_t aDayOfYear = aDayOfEra - (365 * aYearOfEra + aYearOfEra / 4 - aYearOfEra / 100);
    std::int64_t aMonthIndex = (5 * aDayOfYear + 2) / 153;
    unsigned aDay = static_cast<unsigned>(aDayOfYear - (153 * aMonthIndex + 2) / 5 + 1);
    unsigned aMonth = static_cast<unsigned>(aMonthIndex < 10 ? aMonthIndex + 3 : aMonthIndex - 9);
    std::int64_t aYear = aYearOfEra + anEra * 400 + (aMonth <= 2 ? 1 : 0);

    char* aText = itsText;
    std::memcpy(aText, "0000-00-00 00:00:00.000 UTC", kSize);
    if (aYear < 0 || aYear > 9999)
        aYear = aYear < 0 ? 0 : 9999; // beyond the layout; never met on real files
    unsigned aYearDigits = static_cast<unsigned>(aYear);
    putTwo(aText, aYearDigits / 100);
    putTwo(aText + 2, aYearDigits % 100);
    putTwo(aText + 5, aMonth);
    putTwo(aText + 8, aDay);
    putTwo(aText + 11, static_cast<unsigned>(aSecondOfDay / 3600));
    putTwo(aText + 14, static_cast<unsigned>(aSecondOfDay / 60 % 60));
    putTwo(aText + 17, static_cast<unsigned>(aSecondOfDay % 60));
    setMilliseconds(theTime);
}

void TimestampText::setMilliseconds(const timespec& theTime) {
    const unsigned aMillis = static_cast<unsigned>(theTime.tv_nsec / 1000000);
    itsText[20] = static_cast<char>('0' + aMillis / 100);
    putTwo(itsText + 21, aMillis % 100);
}

std::string_view TimestampTexts::of(const timespec& theTime) {
    if (itsText && itsSecond == theTime.tv_sec) {
        itsText->setMilliseconds(theTime);
    } else {
        itsText.emplace(theTime);
        itsSecond = theTime.tv_sec;
    }
    return itsText->view();
}

} // namespace sys

std::string PosixDisk::getts(const std::string& thePath) {
    if (isSet(params::simulate))
        return {};
    struct stat aStat;
    if (!sys::statPath(thePath, aStat))
        throw Error("Internal error: Could not retrieve timestamp for file (CreateFile): " +
                    thePath);
    return sys::formatTimestamp(aStat.st_mtim);
}

namespace sys {

namespace {

// Writes the bytes; the file's new last-write time in the getts layout and the proof text of its
// stat data when asked for (read from the open file, no second path lookup), empty otherwise and
// in simulation mode.
WriteStamp writeBytes(const std::string& thePath, std::string_view theBytes, bool theAppend,
                      bool theStamp) {
    std::string aFlag = flagText(theAppend);
    if (simulated("Write file (append: " + aFlag + ") " + quoted(thePath)))
        return {};
    int aMode = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (theAppend ? O_APPEND : O_TRUNC);
    FileHandle aFile(::open(thePath.c_str(), aMode, 0666));
    if (aFile.get() < 0)
        failWithErrno("Failed to open file for writing (append: " + aFlag +
                      "): " + quoted(thePath));
    if (theAppend && ::lseek(aFile.get(), 0, SEEK_END) < 0)
        failWithErrno("Failed to set file pointer to end of file: " + quoted(thePath));
    internal::writeAllOrFail(aFile.get(), theBytes, theAppend, thePath);
    if (!theStamp)
        return {};
    struct stat aStat;
    if (::fstat(aFile.get(), &aStat) != 0)
        throw Error("Internal error: Could not retrieve timestamp for file (CreateFile): " +
                    thePath);
    // The clock after the stat data: every later change gets a time at or after it.
    const timespec anAfter = filestat::coarseNow();
    return {formatTimestamp(aStat.st_mtim),
            filestat::proofText(filestat::ofSystem(aStat), anAfter)};
}

} // namespace

} // namespace sys

sys::WriteStamp PosixDisk::writeFile(const std::string& thePath, std::string_view theBytes,
                                     bool theAppend, bool theStamp) {
    return sys::writeBytes(thePath, theBytes, theAppend, theStamp);
}

bool PosixDisk::deleteFile(const std::string& thePath) {
    // A symbolic link is removed itself (even when it dangles); its target is never touched.
    struct stat aStat;
    if (::lstat(thePath.c_str(), &aStat) != 0 || S_ISDIR(aStat.st_mode))
        return false;
    if (sys::simulated("Delete file " + sys::quoted(thePath)))
        return false;
    if (::unlink(thePath.c_str()) != 0)
        sys::failWithErrno("Failed to delete file: " + sys::quoted(thePath));
    return true;
}

} // namespace RepositoryAccess
