// The parts of the workspace that let a run recover from an earlier one that ended abnormally:
// the journal of announced changes, the lock message that tells a stale lock, and the removal
// of temporary files that dead processes left.
#include <unistd.h>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "workspace/journal.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

WorkSpace::JournalRepair& installedRepair() {
    static WorkSpace::JournalRepair theRepair = nullptr;
    return theRepair;
}

// The program name and process id of a lock's content "name: <program>, id: <pid>"; 0 when the
// content has another form.
std::pair<std::string, int> lockOwner(const std::string& theContent) {
    constexpr std::string_view aNameMark = "name: ";
    constexpr std::string_view anIdMark = ", id: ";
    const std::size_t anId = theContent.rfind(anIdMark);
    if (!theContent.starts_with(aNameMark) || anId == std::string::npos)
        return {"", 0};
    const std::string aDigits = theContent.substr(anId + anIdMark.size());
    if (aDigits.empty() || aDigits.size() > 9 ||
        aDigits.find_first_not_of("0123456789") != std::string::npos)
        return {"", 0};
    return {theContent.substr(aNameMark.size(), anId - aNameMark.size()), std::stoi(aDigits)};
}

// Removes the temporary files of dead processes in the directory, and below it when asked.
void removeDeadTemporaryFiles(const std::string& theDirName, bool theRecursive) {
    for (const sys::DirEntry& anEntry : sys::scanDir(theDirName, false)) {
        const std::string aPath = sys::joinFileName(theDirName, anEntry.itsName);
        if (anEntry.itsIsDirectory) {
            if (theRecursive)
                removeDeadTemporaryFiles(aPath, true);
            continue;
        }
        const int anOwner = sys::temporaryFileOwner(anEntry.itsName);
        if (anOwner != 0 && anOwner != ::getpid() && sys::isProcessGone(anOwner, ""))
            sys::deleteFile(aPath);
    }
}

} // namespace

void WorkSpace::setJournalRepair(JournalRepair theRepair) {
    installedRepair() = theRepair;
}

std::string WorkSpace::lockedMessage(const std::string& theContent) const {
    std::string aMessage = "Workspace already locked by other process (" + theContent + ").\n";
    const auto [aProgram, anId] = lockOwner(theContent);
    if (anId != 0 && sys::isProcessGone(anId, aProgram))
        return aMessage + "The lock is stale: process " + std::to_string(anId) +
               " no longer runs " + aProgram +
               " on this machine. If no other machine uses this workspace, remove the lock "
               "with:\n\trm '" +
               lockFileName() + "'";
    return aMessage + "Now, you can either:\n\t* remove the lock (delete the file .lock in the "
                      "directory ._SYS_KIVO_settings of the workspace), or\n\t* set the "
                      "environment variable \"KIVO_IGNORE_LOCKFILE\" to \"1\".";
}

void WorkSpace::afterLock() {
    if (!isOpen() || !hasStatus())
        return;
    if (itsLocked && !itsCleaned && !isSet(params::simulate)) {
        itsCleaned = true;
        // The metadata tree is long; it is searched only after a run that wrote metadata in bulk
        // and ended abnormally, which its journal tells.
        removeLeftoverTemporaryFiles(itsLeftoverJournal);
    }
    repairLeftoverJournal();
}

void WorkSpace::removeLeftoverTemporaryFiles(bool theWithMetaData) {
    removeDeadTemporaryFiles(itsSettingsDirName, false);
    if (theWithMetaData && sys::dirExists(itsMetaDataDirName))
        removeDeadTemporaryFiles(itsMetaDataDirName, true);
}

void WorkSpace::repairLeftoverJournal() {
    if (!itsLeftoverJournal || installedRepair() == nullptr)
        return;
    std::vector<JournalEntry> anEntries = journal::read(journal::fileName(itsSettingsDirName));
    installedRepair()(anEntries);
    // The entries stay in the journal until the status file records the repair.
    std::vector<JournalEntry> aLater = std::move(itsJournal);
    itsJournal.clear();
    itsJournalRepairs.clear();
    for (const auto* aList : {&anEntries, &aLater})
        for (const JournalEntry& anEntry : *aList)
            addJournalEntry(anEntry);
    itsLeftoverJournal = false;
}

bool WorkSpace::addJournalEntry(const JournalEntry& theEntry) {
    std::string aKey = theEntry.itsPackage;
    for (const std::string* aPart : {&theEntry.itsName, &theEntry.itsSuffix})
        (aKey += '\0') += *aPart;
    const auto [anIt, anAdded] = itsJournalRepairs.try_emplace(std::move(aKey), theEntry.itsRepair);
    if (!anAdded) {
        if (anIt->second == JournalEntry::Repair::repository || anIt->second == theEntry.itsRepair)
            return false;
        anIt->second = theEntry.itsRepair;
    }
    itsJournal.push_back(theEntry);
    return true;
}

void WorkSpace::recordJournal(const std::vector<JournalEntry>& theEntries) {
    if (!isOpen() || isSet(params::simulate) || theEntries.empty())
        return;
    const std::string aFile = journal::fileName(itsSettingsDirName);
    if (itsLeftoverJournal && itsJournal.empty())
        for (const JournalEntry& anEntry : journal::read(aFile))
            addJournalEntry(anEntry);
    // Whatever the journal held already, this run has changes announced that are not yet done.
    itsJournalSettled = false;
    bool anAdded = false;
    for (const JournalEntry& anEntry : theEntries) {
        if (!addJournalEntry(anEntry))
            continue;
        anAdded = true;
        if (anEntry.itsRepair == JournalEntry::Repair::repository)
            itsMetaFiles.allowWaiting(
                RepositoryObject(anEntry.itsPackage, anEntry.itsName, anEntry.itsSuffix)
                    .metaDataFileName());
    }
    if (!anAdded && itsJournalOnDisk)
        return;
    journal::write(aFile, itsJournal);
    itsJournalOnDisk = true;
}

} // namespace RepositoryAccess
