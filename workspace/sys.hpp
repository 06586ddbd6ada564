#pragma once

#include "core/atomicfile.hpp"

#include "core/securestring.hpp"
#include "workspace/filestat.hpp"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file-system layer: every access of the program to the local disk. Paths are UTF-8 strings
// with `/` as separator; each function first turns every `\` into `/`. With `simulate` set, no
// write reaches the disk and a "Simulation: " line is printed instead; with `debugPaths` the path
// arithmetic prints its steps. Failures raise RepositoryAccess::Error with the system's texts.
namespace RepositoryAccess::sys {

// ---- Path arithmetic (no disk access) ----

// The path with every `\` replaced by `/`.
std::string toSlashes(std::string_view thePath);

// The path with slashes and exactly one trailing `/`; the empty string stays empty.
std::string normalizeDirName(std::string_view theDirName);

// True for `/...` and for the drive form `X:/...`.
bool isAbsolutePath(std::string_view thePath);

// Everything before the last `/`; empty when there is none.
std::string getDirPart(std::string_view thePath);

// Everything after the last `/`; the whole path when there is none.
std::string getFilePart(std::string_view thePath);

// The directory one level up; a trailing `/` is ignored.
std::string getParentDir(std::string_view theDirName);

// Directory + `/` + name; no second `/` when the directory already ends with one, and only the
// name when the directory is empty.
std::string joinFileName(std::string_view theDirName, std::string_view theName);
// Appends theDirName, its backslashes as slashes, and the slash after it unless it ends with
// one; nothing for an empty directory. A path is built from its parts this way at its final size.
void appendDirectory(std::string& thePath, std::string_view theDirName);
// Whether two paths name files of one directory (the same text before their last slash).
bool inOneDirectory(std::string_view theLeft, std::string_view theRight);

// Removes `.` components and lets each `..` remove the component before it; fails with
// "Failed to resolve path: \"<path>\"" when a `..` has nothing left to remove.
std::string resolvePath(std::string_view thePath);

// The way from the base directory to the absolute directory, as a normalised relative directory
// name ("a/b/", "../../", or "" when both are equal). Memoised for the whole process.
std::string absoluteToRelativeDirName(std::string_view theAbsoluteDirName,
                                      std::string_view theBaseDirName);

// The file relative to the base directory: its directory part made relative, joined with its
// file part.
std::string absoluteToRelativeFileName(std::string_view theAbsoluteFileName,
                                       std::string_view theBaseDirName);

// Recursive: the sub directory lies at or below the directory. Otherwise: the directory is the
// direct parent of the sub directory. The recursive answers are memoised.
bool isSubDir(std::string_view theSubDirName, std::string_view theDirName, bool theRecursive);

// The file lies directly in the directory, or (recursive) anywhere below it.
bool isFileInDir(std::string_view theFileName, std::string_view theDirName, bool theRecursive);

// ---- Process and environment ----

// The process's current directory.
std::string getCurrentDir();

// The full path of the directory: resolved by the system when it exists, otherwise joined to the
// current directory (when relative) and resolved arithmetically.
std::string getRealPath(std::string_view theDirName);

// The program's temporary directory `<temp>/kivotmp`, created when missing.
std::string getTempDir();

// `<temp dir>/<base>[_<ticks>].<suffix>`.
std::string tempFileName(std::string_view theBaseName, std::string_view theSuffix,
                         bool theWithTicks);

// Milliseconds of a monotonic clock.
std::uint64_t getTickCount();

// "name: <executable file name>, id: <process id>", the identity written into the lock file.
std::shared_ptr<const std::string> processIdentity();

// True when no process of that id runs on this machine, or when it runs a program of another
// name (an empty name is not compared); false when that cannot be told.
bool isProcessGone(int theProcessId, std::string_view theProgramName);

// Prompts "Password: " and reads one line; the typed text is not echoed on a terminal. The
// process holds a password from then on: it becomes non-dumpable.
SecureString readPassword();

// The text as one word for /bin/sh: enclosed in single quotes, each single quote inside written
// as '\''; the shell interprets none of its bytes.
std::string shellQuoted(std::string_view theText);

// Opens the URL with the user's browser ("BROWSER", else xdg-open).
void displayURL(std::string_view theUrl);

// ---- Reading the disk ----

// The path exists and is not a directory.
bool fileExists(std::string_view thePath);

// The path exists and is a directory.
bool dirExists(std::string_view thePath);

// Full paths of the files and sub-directories of a directory, in the system's order, without
// `.` and `..`. Fails with "Invalid Directory: <dir>".
struct DirListing {
    std::vector<std::string> itsFiles;
    std::vector<std::string> itsDirs;
};
DirListing listDir(std::string_view theDirName);

// One entry of a directory scan: the bare name, and for files their size and last-write time.
struct DirEntry {
    std::string itsName;
    bool itsIsDirectory = false;
    std::uint64_t itsSize = 0;
    timespec itsModified{};
};

// The entries of one directory, with file sizes and times read relative to the open directory
// (no second path resolution per file; without theWithDetails only entries whose type the
// directory does not tell are examined); entries that vanish during the scan are left out. Fails
// with "Invalid Directory: <dir>". Safe to call from several threads.
std::vector<DirEntry> scanDir(std::string_view theDirName, bool theWithDetails = true);

// One entry as a directory scan meets it; the name is valid during the visit only.
struct DirEntryView {
    std::string_view itsName;
    bool itsIsDirectory = false;
    std::uint64_t itsSize = 0;
    timespec itsModified{};
    filestat::FileStat itsStat{}; // all of the file's stat data, when its details were read
};
// What scanDir() does, without collecting: each entry is handed over as it is read, so that a
// scan of a large tree copies each name once, into its final place.
void visitDir(std::string_view theDirName, bool theWithDetails,
              const std::function<void(const DirEntryView&)>& theVisit);

// The first path below theRootDir on the way to thePath (thePath included) that is a symbolic
// link, as a full path; empty when there is none. Paths outside theRootDir are not examined.
std::string linkOnTheWay(std::string_view theRootDir, std::string_view thePath);

// The file's size in bytes.
std::uint64_t getFileSize(std::string_view thePath);

// The whole file, or its first theByteCount bytes (exactly that many, or a failure).
std::shared_ptr<const std::string> readFile(std::string_view thePath,
                                            std::optional<std::uint64_t> theByteCount = {});
// The whole file and its last-write time in the getts layout (empty in simulation mode), both
// from one open: the time belongs to the bytes read. itsFileStat is the text form of the file's
// stat data (filestat) when it proves later that the file still holds these bytes, else empty
// (in simulation mode, or when the file was changed too recently). With theFollowLink false, a
// file that is a symbolic link is not opened (a failure).
struct StampedContent {
    std::shared_ptr<const std::string> itsBytes;
    std::string itsTimestamp;
    std::string itsFileStat;
};
StampedContent readFileStamped(std::string_view thePath, bool theFollowLink = true);

// The whole file, or nullptr when it does not exist (one open, no separate existence test).
std::shared_ptr<const std::string> readFileIfExists(std::string_view thePath);
// A whole file mapped into memory for one read-only pass, without a performance-trace event, for
// reading a large settings file on a helper thread: its pages come from the page cache without
// a copy. The settings files are replaced by rename, never rewritten in place, so the mapped
// bytes stay as they were. Fails as readFile does.
class MappedFile {
public:
    explicit MappedFile(std::string_view thePath);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view text() const { return {static_cast<const char*>(itsData), itsSize}; }

private:
    const void* itsData = nullptr;
    std::size_t itsSize = 0;
    std::shared_ptr<const std::string> itsRead; // where mapping is not possible
};

// The file's last-write time as "YYYY-MM-DD hh:mm:ss.mmm UTC"; empty in simulation mode.
std::string getts(std::string_view thePath);

// A file time in the getts layout, UTC, milliseconds truncated.
std::string formatTimestamp(const timespec& theTime);

// The same text without an allocation, for comparing the times of many files.
class TimestampText {
public:
    explicit TimestampText(const timespec& theTime);
    std::string_view view() const { return {itsText, kSize}; }
    // The same second with the milliseconds of theTime: only their digits change.
    void setMilliseconds(const timespec& theTime);

private:
    static constexpr std::size_t kSize = 27;
    char itsText[kSize];
};

// The times of many files in a row: the date and time of day are worked out again only when the
// second changes, and files written together share a few seconds.
class TimestampTexts {
public:
    std::string_view of(const timespec& theTime);

private:
    std::optional<TimestampText> itsText;
    time_t itsSecond = 0;
};

// ---- Writing the disk (all honour `simulate`) ----

// Writes (or appends) the bytes exactly as given; a symbolic link in the path's last part is
// never followed (the write fails).
void writeFile(std::string_view thePath, std::string_view theBytes, bool theAppend = false);

// Writes the file as writeFile() does and answers its new last-write time in the getts layout
// and the proof text of its stat data as StampedContent has them, read from the open file (both
// empty in simulation mode).
struct WriteStamp {
    std::string itsTimestamp;
    std::string itsFileStat;
};
WriteStamp writeFileStamped(std::string_view thePath, std::string_view theBytes);

// Replaces the file by writing a temporary file beside it and renaming it over the target:
// afterwards the file holds either its old or its new content, never a torn one. theDurably
// syncs the run's settings writes so far and this file before the rename (see AtomicFile).
void writeFileAtomically(std::string_view thePath, std::string_view theBytes,
                         bool theDurably = false);

// Syncs the file system that holds the directory when settings writes since the last sync are
// pending (one syncfs for the whole batch); nothing otherwise. It waits for an early sync first,
// and fails as its own sync would when that one failed.
void syncPendingWrites(std::string_view theDirName);

// Starts a sync of the file system that holds the directory on a thread of its own and returns:
// a run that writes many files calls it between its parts, so that the disk works while the run
// goes on and the run's one sync at its end finds little left to write. Durability still rests
// on syncPendingWrites. Nothing while one is running, and nothing in simulation mode.
void startEarlySync(std::string_view theDirName);

// The owner of a leftover temporary file of an atomic write (core/atomicfile).
using RepositoryAccess::temporaryFileOwner;

// Creates the file with the content only when no file of that name exists (one atomic step);
// false when it exists. In simulation mode it reports the write and answers true.
bool createExclusive(std::string_view thePath, std::string_view theContent);

// Creates one directory; false when it exists already.
bool createDirectory(std::string_view thePath);

// Creates every missing ancestor directory of the path (not the path itself, so that a file path
// can be given); the number created. A directory this process created or met before is not
// looked at again (see forgetKnownDirectories).
int createDirectories(std::string_view thePath);

// Forgets the directories createDirectories() remembered, for a run that removed directories.
void forgetKnownDirectories();

// Removes an empty directory; false when it does not exist.
bool deleteDirectory(std::string_view thePath);

// Removes a file; false when it does not exist.
bool deleteFile(std::string_view thePath);

} // namespace RepositoryAccess::sys
