#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "workspace/sys.hpp"

namespace RepositoryAccess {

// Reads workspace files in a given order on a helper thread, a bounded distance ahead of the
// caller, and hashes them: a commit's repository writes on the calling thread then seldom wait
// for a read. A read that fails raises its message from take(), in that file's turn, so the
// caller sees the same failure at the same point as when it read the file itself.
class ReadAhead {
public:
    struct Content {
        sys::StampedContent itsRead;
        std::string itsHash;
    };

    // theFiles must outlive this object. At most theMostFiles files and, beyond the first,
    // theMostBytes bytes wait untaken at any time.
    explicit ReadAhead(const std::vector<const std::string*>& theFiles,
                       std::size_t theMostFiles = 64,
                       std::size_t theMostBytes = std::size_t{64} << 20);
    // Stops the helper after its current read and waits for it.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next file's content, in the order given; raises that file's read failure.
    Content take();

private:
    struct Slot {
        Content itsContent;
        std::exception_ptr itsFailure;
    };

    void readAll();
    bool full() const;
    bool halfEmpty() const;

    const std::vector<const std::string*>& itsFiles;
    const std::size_t itsMostFiles;
    const std::size_t itsMostBytes;
    std::mutex itsMutex;
    std::condition_variable itsChanged;
    std::deque<Slot> itsReady;
    std::size_t itsReadyBytes = 0;
    std::size_t itsTaken = 0;
    bool itsStopping = false;
    bool itsHelperWaits = false;
    bool itsTakerWaits = false;
    std::thread itsThread;
};

} // namespace RepositoryAccess
