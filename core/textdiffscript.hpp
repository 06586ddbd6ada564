#pragma once

#include <cstddef>
#include <vector>

// The edit script search behind the line differences of `kivo diff` and `kivo-merge`. Lines are
// numbers here: equal lines of both texts carry equal numbers.

namespace RepositoryAccess::textdiff {

// Which lines of the old sequence an edit script deletes and which of the new one it inserts;
// the other lines of both, in order, are the same.
struct EditMarks {
    std::vector<bool> itsDeleted;
    std::vector<bool> itsInserted;
};

// A search cost that stands for the limit the search derives from the sizes of the texts.
constexpr std::size_t kCostFromSizes = 0;

// An edit script that turns theOld into theNew, by the O(ND) difference algorithm in linear
// space (middle snakes, divide and conquer). Before the search, lines between the common head and
// tail that the other sequence lacks there are marked changed, and so are lines that it holds very
// often where they stand amid such lines. A middle-snake search that takes more than theCostLimit
// steps (kCostFromSizes: about twice the square root of both sizes, at least 4,096) stops and
// splits at the point furthest from its ends. So texts that differ in few places get the shortest
// script, and texts that differ everywhere a longer one in near-linear time; either turns theOld
// into theNew exactly.
EditMarks editMarks(const std::vector<int>& theOld, const std::vector<int>& theNew,
                    std::size_t theCostLimit = kCostFromSizes);

} // namespace RepositoryAccess::textdiff
