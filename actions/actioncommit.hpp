#pragma once

#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "actions/actionscope.hpp"
#include "actions/command.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/journal.hpp"
#include "workspace/readahead.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess {

// The `commit` action: writes the local changes of a scope into the user's repository workspace
// as inactive versions (new and modified files as new versions, deleted files as inactive
// deletions), creating the packages of new directories first, and brings the metadata copies
// and status entries of the committed files up to date.
class actionCommit : public Command {
public:
    void execute() override;

private:
    // Collects the local status of every part of the scope into the member sets.
    void computeStatus(const ActionScope& theScope);
    // Adds one status calculation to the member sets.
    void merge(const Status& theStatus);
    // The files whose names can become repository objects, each other file refused by name, so
    // that one of them does not stop the commit of all. Their objects are kept by path: a file's
    // name is examined once.
    PathSet committable(const PathSet& theFiles);
    // The object of a file, by name only; the object committable kept is handed over.
    RepositoryObject takeObjectOf(const std::string& theFile);
    // The journal entries of the files the commit changes in the repository.
    std::vector<JournalEntry> journalEntries() const;
    // True when nothing at all changed in the scope.
    bool nothingToCommit() const;
    // The suffixes of the repository's object types whose content is sent as binary data.
    void readBinarySuffixes();
    // Creates the packages of the new directories that the repository does not know yet.
    void createPackages();
    // Queues the write of one new or modified file, whose content was read ahead, as the
    // inactive version of its object; a full queue goes to the repository.
    void commitFile(const std::string& theFile, ReadAhead::Content theContent);
    // A file whose write waits in the queue, with what its status entry will record.
    struct QueuedFile {
        std::string itsFile;
        RepositoryObject itsObject;
        std::string itsHash;
        std::string itsTimestamp;
        std::string itsFileStat;
    };
    // Sends the queued writes together; while the repository makes them, records the files of
    // the writes sent before, in their order.
    void flushWrites();
    // Waits for the writes sent last and records their files.
    void finishWrites();
    // Waits for the answers of the writes on their way; their files, to record.
    std::vector<QueuedFile> arriveWrites();
    // Records each file of the writes that arrived with its new inactive metadata.
    void recordWrites(std::vector<QueuedFile>& theFiles);
    // Records one deleted file as an inactive deletion (or drops a never-activated object).
    void commitDeletion(const std::string& theFile);

    PathSet itsConflicted;
    PathSet itsNew;
    PathSet itsModified;
    PathSet itsDeleted;
    PathSet itsNewDirectories;
    std::set<std::string> itsBinarySuffixes;
    std::unordered_map<std::string, RepositoryObject> itsObjects;

    std::vector<QueuedFile> itsQueued;
    std::vector<repofunobjects::ObjectWrite> itsWrites;
    // The writes sent to the repository and not recorded yet, with their files.
    repofunobjects::WritesOnTheirWay itsSent;
    std::vector<QueuedFile> itsSentFiles;
    std::size_t itsQueuedBytes = 0;
};

} // namespace RepositoryAccess
