#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>

namespace RepositoryAccess {

// The `.kivoMeta` writes of a run that may wait until its end. An object whose repository side
// the run changes is in the run's journal, and an interrupted run's repair rebuilds its metadata
// from the repository; its metadata file need not reach the disk at every step. A push writes
// each such file once, with the final version, instead of once after the commit and again after
// the activation: half the files created, none replaced within the run. Reads see the waiting
// content, so the run behaves as if every write had happened at once.
class MetaFileStore {
public:
    MetaFileStore() = default;
    // Stops writing ahead; what waits stays unwritten.
    ~MetaFileStore();
    MetaFileStore(const MetaFileStore&) = delete;
    MetaFileStore& operator=(const MetaFileStore&) = delete;

    // Lets the writes of this metadata file wait from now on.
    void allowWaiting(const std::string& theFileName);

    // Keeps the content for a later flush and returns true when the file may wait; returns
    // false, keeping nothing, when the caller must write it now.
    bool keep(const std::string& theFileName, std::shared_ptr<const std::string> theContent);

    // The waiting content of the file; null when no write of it waits.
    std::shared_ptr<const std::string> waiting(const std::string& theFileName) const;

    // Drops a waiting write (the file is being deleted, or written at once by the caller). A
    // write of the file that is under way ends first.
    void drop(const std::string& theFileName);

    // From now on, each file kept is also written on a helper thread while the caller goes on,
    // for the last steps of a run, whose content is final (the metadata reads after an
    // activation). A write that fails stops the writing ahead; the file keeps waiting and flush()
    // raises its failure.
    void writeAhead();

    // True when files were written ahead since the last flush.
    bool wroteAhead() const;

    // Ends the writing ahead, then writes every waiting file, each atomically, in path order; a
    // file whose write fails stays waiting and the failure is raised.
    void flush();

private:
    using Content = std::shared_ptr<const std::string>;

    void writeQueued();
    void stopWritingAhead();

    mutable std::mutex itsMutex;
    std::unordered_set<std::string> itsMayWait;
    std::map<std::string, Content> itsWaiting;
    // The writing ahead: the files kept since it began, the one being written, and its thread.
    std::deque<std::pair<std::string, Content>> itsQueue;
    std::string itsWriting;
    std::condition_variable itsChanged;
    bool itsStopping = false;
    bool itsWroteAhead = false;
    std::thread itsWriter;
};

} // namespace RepositoryAccess
