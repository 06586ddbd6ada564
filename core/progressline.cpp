#include "core/progressline.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <unistd.h>

#include "core/parameters.hpp"

namespace RepositoryAccess {

namespace {

constexpr std::uint64_t kFirstDrawAfterMs = 1000;
constexpr std::uint64_t kRedrawEveryMs = 100;

// Work shorter than a second shows no line. KIVO_PROGRESS_DELAY_MS (digits only) sets another
// delay, so that a test on a fast machine still sees the line of a short run.
std::uint64_t firstDrawAfterMs() {
    const char* aValue = std::getenv("KIVO_PROGRESS_DELAY_MS");
    if (aValue == nullptr || *aValue == '\0' || std::strlen(aValue) > 6 ||
        std::string_view(aValue).find_first_not_of("0123456789") != std::string_view::npos)
        return kFirstDrawAfterMs;
    return std::strtoull(aValue, nullptr, 10);
}

std::uint64_t nowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Straight to the descriptor: the console streams are copied into the logs.
void writeToTerminal(const std::string& theText) {
    std::size_t aDone = 0;
    while (aDone < theText.size()) {
        const ssize_t aWritten =
            ::write(STDERR_FILENO, theText.data() + aDone, theText.size() - aDone);
        if (aWritten <= 0)
            return;
        aDone += static_cast<std::size_t>(aWritten);
    }
}

} // namespace

ProgressLine::ProgressLine(std::size_t theTotal)
    : itsTotal(theTotal),
      itsEnabled(theTotal > 0 && ::isatty(STDERR_FILENO) == 1 && !isSet(params::verbose)),
      itsStart(nowMs()), itsNextDraw(itsStart + firstDrawAfterMs()) {}

ProgressLine::~ProgressLine() {
    if (!itsEnabled)
        return;
    std::lock_guard aLock(itsMutex);
    if (itsShown)
        writeToTerminal("\r\033[K");
}

void ProgressLine::advance(std::size_t theCount) {
    const std::size_t aDone = itsDone.fetch_add(theCount) + theCount;
    if (!itsEnabled)
        return;
    std::uint64_t aDue = itsNextDraw.load();
    const std::uint64_t aNow = nowMs();
    if (aNow < aDue || !itsNextDraw.compare_exchange_strong(aDue, aNow + kRedrawEveryMs))
        return;
    draw(aDone);
}

void ProgressLine::draw(std::size_t theDone) {
    std::lock_guard aLock(itsMutex);
    itsShown = true;
    writeToTerminal("\r" + std::to_string(std::min(theDone, itsTotal)) + " of " +
                    std::to_string(itsTotal) + " files\033[K");
}

} // namespace RepositoryAccess
