#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace RepositoryAccess {

// One line "<done> of <total> files" on standard error while a long piece of work runs, so that a
// person at a terminal can tell work from a hang. It appears only when standard error is a
// terminal and `verbose` is not set, only after the work has run for about a second, is redrawn
// at most ten times a second and is erased when the work ends. It never reaches standard output,
// the command log or the trace. advance() may be called from several threads.
class ProgressLine {
public:
    explicit ProgressLine(std::size_t theTotal);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Counts finished files and redraws when the last drawing is old enough.
    void advance(std::size_t theCount = 1);

private:
    void draw(std::size_t theDone);

    std::size_t itsTotal;
    bool itsEnabled;
    std::uint64_t itsStart;
    std::atomic<std::size_t> itsDone{0};
    std::atomic<std::uint64_t> itsNextDraw;
    std::mutex itsMutex;
    bool itsShown = false;
};

} // namespace RepositoryAccess
