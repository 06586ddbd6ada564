#pragma once

#include <chrono>

namespace RepositoryAccess::server {

// The share of one transaction that a group of requests may use: a few hundred requests or a
// fifth of a second, whichever comes first. Long enough that a run of thousands of small
// requests waits for a few commits instead of one per request; short enough that the write lock
// the transaction holds keeps other writers waiting only briefly. The repository file's engine
// and the database server's client both group by it.
class GroupBudget {
public:
    static constexpr int kRequests = 500;
    static constexpr std::chrono::milliseconds kTime{200};

    // A new transaction starts now.
    void start() {
        itsRequests = 0;
        itsStart = std::chrono::steady_clock::now();
    }
    // Counts one more request of the transaction; true when the transaction has used its share.
    bool spend() { return ++itsRequests >= kRequests || expired(); }
    // The requests counted since start.
    int requests() const { return itsRequests; }
    // True when the transaction has been open for its whole time.
    bool expired() const { return std::chrono::steady_clock::now() - itsStart >= kTime; }

private:
    int itsRequests = 0;
    std::chrono::steady_clock::time_point itsStart;
};

} // namespace RepositoryAccess::server
