#pragma once

#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/objectnames.hpp"
#include "workspace/journal.hpp"
#include "workspace/metafilestore.hpp"

namespace RepositoryAccess {

class WorkSpaceConfigFile;
class WorkSpaceStatusFile;

// The local workspace: a directory that mirrors repository packages as directories, with its
// settings folder `._SYS_KIVO_settings` (config and status files, lock, metadata, conflict copies
// and logs). All names are UTF-8 paths with `/` separators. One object per process, held by the
// handle functions of namespace `workspace` below.
class WorkSpace {
public:
    // The name of the settings folder that marks a workspace directory.
    static constexpr std::string_view settingsFolderName() { return objectnames::kSettingsFolder; }

    // Finds root and name (from "KIVO_ROOT", `workSpace` and the current directory) and, when
    // both are known, checks the directories, re-creates `diff`, `base` and `logs`, locks when
    // asked and loads the config and status files. Without root or name nothing is opened. With
    // theStatusInBackground a status file of the program's own layout is read on a helper thread
    // while the caller goes on; its first use waits for it.
    void open(bool theLock, bool theStatusInBackground = false);

    // Makes a new workspace in the directory named by `workSpace` (under "KIVO_ROOT" when set):
    // directories, a new config file and an empty status file, both written at once.
    void create();

    // Takes the lock file unless `ignoreLockFile` is set; accepts a lock of this very process and
    // fails with the lock message for any other content.
    void lock();

    // Deletes the lock file when it holds this process's identity; leaves any other in place.
    void unlock();

    // End of the run: writes the modified settings files, appends the command log (and the trace
    // with `trace`) to the logs folder and releases the lock last. Each failing step is reported
    // as "Error exiting workspace: <message>" with exit status 1; the other steps still run.
    // Never throws.
    void exit();

    // Rollback of a failed creation: removes the settings files and the directories this run
    // created (a directory that still holds files stays). Reports like exit(); never throws.
    void remove();

    // Records, before the changes they announce, the objects this run is about to change (see
    // JournalEntry); the journal file keeps every entry of the run until its exit. Entries the
    // journal already holds are not written again: the activation of a push announces the very
    // objects its commit did.
    void recordJournal(const std::vector<JournalEntry>& theEntries);
    // The run's recorded changes are all done, or were never started: its exit may remove the
    // journal once the status file is written.
    void settleJournal() { itsJournalSettled = true; }
    // The metadata writes that wait for the run's end (objects of the repository journal).
    MetaFileStore& metaFiles() { return itsMetaFiles; }
    // True when an earlier run left a journal that no repair has taken over yet.
    bool hasLeftoverJournal() const { return itsLeftoverJournal; }

    // Steps of a run that holds the lock: leftover temporary files of dead processes go, and a
    // leftover journal is repaired when a repair is installed. Each happens once.
    void afterLock();

    // True when root and name are known, so that the workspace is the current one.
    bool isOpen() const { return !itsWorkSpaceName.empty(); }
    // True while this run creates the workspace.
    bool isBeingCreated() const { return itsBeingCreated; }

    const std::string& rootDirName() const { return itsRootDirName; }
    const std::string& workSpaceName() const { return itsWorkSpaceName; }
    const std::string& srcDirName() const { return itsSrcDirName; }
    const std::string& settingsDirName() const { return itsSettingsDirName; }
    const std::string& metaDataDirName() const { return itsMetaDataDirName; }
    const std::string& diffDirName() const { return itsDiffDirName; }
    const std::string& baseDirName() const { return itsBaseDirName; }
    const std::string& logsDirName() const { return itsLogsDirName; }
    std::string lockFileName() const;

    // The loaded configuration; fails with "Failed to open workspace config file." when none is.
    WorkSpaceConfigFile& config() const;
    // The loaded status file; fails with "Failed to open workspace status file." when none is.
    WorkSpaceStatusFile& status() const;
    // The same, for a reader that keeps views of its texts.
    std::shared_ptr<const WorkSpaceStatusFile> sharedStatus() const;
    bool hasConfig() const { return itsWorkSpaceConfigFile != nullptr; }
    bool hasStatus() const {
        awaitStatus();
        return itsWorkSpaceStatusFile != nullptr;
    }

    // The absolute file's path relative to the workspace directory.
    std::string relativeFileName(std::string_view theAbsoluteFileName) const;

    // `<directory>/<base>.<suffix>`: in the logs folder while a workspace is open, otherwise in
    // the temporary directory.
    std::string logFileName(std::string_view theBaseName, std::string_view theSuffix) const;

    // The repair of a leftover journal: called with its entries by afterLock(); it brings the
    // metadata and status of those objects in line and may add to nothing else.
    using JournalRepair = void (*)(const std::vector<JournalEntry>& theEntries);
    static void setJournalRepair(JournalRepair theRepair);

private:
    void buildNames();
    void repairLeftoverJournal();
    void removeLeftoverTemporaryFiles(bool theWithMetaData);
    // The lock message for a lock of another process; names a stale one as stale.
    std::string lockedMessage(const std::string& theContent) const;
    // Takes over the status file read in the background, if one is being read.
    void awaitStatus() const;

    std::string itsRootDirName;
    std::string itsWorkSpaceName;
    std::string itsSrcDirName;
    std::string itsSettingsDirName;
    std::string itsMetaDataDirName;
    std::string itsDiffDirName;
    std::string itsBaseDirName;
    std::string itsLogsDirName;
    std::string itsConfigFileName;
    std::string itsStatusFileName;
    std::shared_ptr<WorkSpaceConfigFile> itsWorkSpaceConfigFile;
    mutable std::shared_ptr<WorkSpaceStatusFile> itsWorkSpaceStatusFile;
    mutable std::future<std::shared_ptr<WorkSpaceStatusFile>> itsPendingStatus;
    bool itsBeingCreated = false;
    bool itsExistedBefore = false;
    bool itsFinished = false;
    bool itsLocked = false;
    bool itsCleaned = false;
    // Adds the entry to the journal unless the journal already announces as much (see
    // recordJournal); returns whether it was added.
    bool addJournalEntry(const JournalEntry& theEntry);

    std::vector<JournalEntry> itsJournal;
    // The repair of each object in the journal: a repository entry covers a checkout entry.
    std::unordered_map<std::string, JournalEntry::Repair> itsJournalRepairs;
    bool itsJournalOnDisk = false;
    bool itsJournalSettled = true;
    bool itsLeftoverJournal = false;
    MetaFileStore itsMetaFiles;
};

// The process-wide workspace handle and the package-name arithmetic that depends on it.
namespace workspace {

// The root directory that contains the workspace directory, found from the current directory:
// the outermost ancestor that holds a settings folder decides; empty when there is none.
std::string determineRootDirName(std::string_view theCurrentDir);

// The first path component of the current directory below the root; empty when the current
// directory does not lie below the root.
std::string determineWorkSpaceName(std::string_view theRootDirName, std::string_view theCurrentDir);

// The process-wide workspace object, created on first use (not opened).
std::shared_ptr<WorkSpace> get();

// Opens the workspace on the first call (see WorkSpace::open); a later call only takes the lock
// when asked for it. Returns whether a workspace is open.
bool open(bool theLock, bool theStatusInBackground = false);

// True when the handle exists and names a workspace.
bool isOpen();

// Creates the handle when needed and makes the new workspace (see WorkSpace::create).
void create();

// Lock and unlock of the open workspace; nothing without one.
void lock();
void unlock();

// End of the run: exits the open workspace, or after a failure removes a workspace that this run
// was creating. Reports failures as "Error exiting workspace: <message>"; never throws.
void finish(bool theAfterFailure);

// The configuration of the open workspace; fails with "Failed to open workspace config file.".
WorkSpaceConfigFile& config();

// Drops the handle, so that the next call starts afresh. For tests.
void reset();

// Turns a package argument (dotted name, relative or absolute directory) into the dotted
// repository package name; directory parts that contain a dot are double-quoted (a/b.c/d gives
// a."b.c".d).
std::string normalizePackage(std::string_view theArgument);

// The package of a file: its directory normalised as a package.
std::string packageOfFile(std::string_view theFileName);

// The relative directory of a dotted package (objectnames::packageDirectory: a."b.c".d gives
// a/b.c/d); fails with the message of a name that cannot be a package.
std::string packageToDirectory(std::string_view thePackage);

} // namespace workspace

} // namespace RepositoryAccess
