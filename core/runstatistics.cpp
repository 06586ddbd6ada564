#include "core/runstatistics.hpp"

#include <algorithm>
#include <array>
#include <ostream>

#include "core/console.hpp"

namespace RepositoryAccess::runstatistics {

namespace {

constexpr std::size_t kCount = static_cast<std::size_t>(Statistic::count);

constexpr std::array<const char*, kCount> kLabels = {
    "Tracked packages             : ", "Untracked packages           : ",
    "Created changes              : ", "Created contributors         : ",
    "Created packages             : ", "Discarded files              : ",
    "Reverted objects             : ", "Taken over objects           : ",
    "Resolved files               : ", "Committed files              : ",
    "Activated objects            : ", "Deleted objects              : ",
    "Activation conflicts         : ", "Created directories          : ",
    "Deleted files                : ", "Created files                : ",
    "Updated files                : ", "Conflicted files             : ",
    "Deleted changes              : ", "Deleted contributors         : ",
    "Deleted packages             : ", "Created delivery units       : ",
    "Deleted delivery units       : ", "Updated changes              : ",
    "Updated contributors         : ", "Updated packages             : ",
    "Updated delivery units       : ", "Validated contributors       : ",
    "Merged changes               : ", "Moved objects                : ",
    "Released changes             : ", "Deleted inactive workspaces  : ",
};
// A counter added to the enumeration without a label would print a null label.
static_assert(std::all_of(kLabels.begin(), kLabels.end(),
                          [](const char* theLabel) { return theLabel != nullptr; }));

std::array<std::int64_t, kCount> theCounters{};

} // namespace

void add(Statistic theStatistic, std::int64_t theAmount) {
    theCounters[static_cast<std::size_t>(theStatistic)] += theAmount;
}

std::int64_t get(Statistic theStatistic) {
    return theCounters[static_cast<std::size_t>(theStatistic)];
}

void reset() {
    theCounters.fill(0);
}

const char* label(Statistic theStatistic) {
    return kLabels[static_cast<std::size_t>(theStatistic)];
}

void print(std::ostream& theStream) {
    for (std::size_t i = 0; i < kCount; ++i)
        if (theCounters[i] != 0)
            theStream << kLabels[i] << theCounters[i] << '\n';
}

void printEverywhere() {
    print(console::out());
    print(console::commandLog());
    print(console::trace());
}

} // namespace RepositoryAccess::runstatistics
