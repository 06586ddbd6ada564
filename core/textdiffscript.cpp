#include "core/textdiffscript.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>

namespace RepositoryAccess::textdiff {

namespace {

using Index = std::ptrdiff_t;

// Lines of the common head and tail that count among the differing lines when lines are left out
// of the search: the context lines of the unified format, as GNU diff keeps its context lines
// there, so that both leave out the same lines.
constexpr std::size_t kHorizon = 3;

// The part of both sequences that a search compares: old lines [itsXOff, itsXLim) against new
// lines [itsYOff, itsYLim).
struct Box {
    Index itsXOff, itsXLim, itsYOff, itsYLim;
};

// The diagonals (x - y) that one direction of a search has reached, every other one in between.
struct Reach {
    Index itsMin, itsMax;
};

// A point where a box is split into a low and a high box, and whether each of them must get its
// shortest script: a point that both searches met at lies on a shortest path, and a half that a
// search reached within its limit costs no more than that limit.
struct Split {
    Index itsX, itsY;
    bool itsLowExact, itsHighExact;
};

Index size(const Box& theBox) {
    return (theBox.itsXLim - theBox.itsXOff) + (theBox.itsYLim - theBox.itsYOff);
}

// The search's cost limit from the number of lines it compares: about twice the square root of
// the diagonals, at least 4,096.
Index costLimitFor(std::size_t theLines, std::size_t theLimit) {
    if (theLimit != kCostFromSizes)
        return static_cast<Index>(std::min<std::size_t>(theLimit, std::numeric_limits<int>::max()));
    Index aLimit = 1;
    for (std::size_t aDiagonals = theLines + 3; aDiagonals != 0; aDiagonals >>= 2)
        aLimit <<= 1;
    return std::max<Index>(4096, aLimit);
}

// The edit script of two sequences of line numbers, as marks on the lines that are deleted from
// the old and inserted into the new sequence. Each step strips the common head and tail, finds
// the middle snake of the rest, and solves the two boxes around it, so that memory stays linear.
class EditScript {
public:
    EditScript(const std::vector<int>& theOld, const std::vector<int>& theNew, Index theCostLimit)
        : itsOld(theOld), itsNew(theNew), itsOldAt(theOld.data()), itsNewAt(theNew.data()),
          itsCostLimit(theCostLimit), itsOffset(static_cast<Index>(theNew.size()) + 1) {
        itsMarks.itsDeleted.resize(theOld.size());
        itsMarks.itsInserted.resize(theNew.size());
        itsForward.resize(theOld.size() + theNew.size() + 3);
        itsBackward.resize(itsForward.size());
        itsForwardAt = itsForward.data() + itsOffset;
        itsBackwardAt = itsBackward.data() + itsOffset;
    }

    EditMarks solve() && {
        compareSequences(
            {0, static_cast<Index>(itsOld.size()), 0, static_cast<Index>(itsNew.size())}, false);
        return std::move(itsMarks);
    }

private:
    Index& forward(Index theDiagonal) { return itsForwardAt[theDiagonal]; }
    Index& backward(Index theDiagonal) { return itsBackwardAt[theDiagonal]; }
    bool same(Index theX, Index theY) const { return itsOldAt[theX] == itsNewAt[theY]; }

    // Solves a box. The smaller half of each split is solved by a call of its own and the larger
    // one by the loop, so that the depth stays logarithmic where cut-offs split off small boxes.
    void compareSequences(Box theBox, bool theExact) {
        for (;;) {
            skipCommonEnds(theBox);
            if (theBox.itsXOff == theBox.itsXLim || theBox.itsYOff == theBox.itsYLim) {
                markAll(theBox);
                return;
            }
            const Split aSplit = middleSnake(theBox, theExact);
            const Box aLow{theBox.itsXOff, aSplit.itsX, theBox.itsYOff, aSplit.itsY};
            const Box aHigh{aSplit.itsX, theBox.itsXLim, aSplit.itsY, theBox.itsYLim};
            const bool aLowFirst = size(aLow) <= size(aHigh);
            compareSequences(aLowFirst ? aLow : aHigh,
                             aLowFirst ? aSplit.itsLowExact : aSplit.itsHighExact);
            theBox = aLowFirst ? aHigh : aLow;
            theExact = aLowFirst ? aSplit.itsHighExact : aSplit.itsLowExact;
        }
    }

    void skipCommonEnds(Box& theBox) const {
        while (theBox.itsXOff < theBox.itsXLim && theBox.itsYOff < theBox.itsYLim &&
               same(theBox.itsXOff, theBox.itsYOff)) {
            ++theBox.itsXOff;
            ++theBox.itsYOff;
        }
        while (theBox.itsXLim > theBox.itsXOff && theBox.itsYLim > theBox.itsYOff &&
               same(theBox.itsXLim - 1, theBox.itsYLim - 1)) {
            --theBox.itsXLim;
            --theBox.itsYLim;
        }
    }

    // A box with lines on one side only: all of them are deleted or inserted.
    void markAll(const Box& theBox) {
        for (Index x = theBox.itsXOff; x < theBox.itsXLim; ++x)
            itsMarks.itsDeleted[static_cast<std::size_t>(x)] = true;
        for (Index y = theBox.itsYOff; y < theBox.itsYLim; ++y)
            itsMarks.itsInserted[static_cast<std::size_t>(y)] = true;
    }

    // A point on a shortest path through the box, found by searching from both ends at once
    // until the two searches meet on a diagonal; unless theExact, a search that costs more than
    // the limit ends at the point that went furthest.
    Split middleSnake(const Box& theBox, bool theExact) {
        const Index aFMid = theBox.itsXOff - theBox.itsYOff;
        const Index aBMid = theBox.itsXLim - theBox.itsYLim;
        Reach aForward{aFMid, aFMid}, aBackward{aBMid, aBMid};
        const bool anOdd = ((aFMid - aBMid) & 1) != 0;
        forward(aFMid) = theBox.itsXOff;
        backward(aBMid) = theBox.itsXLim;
        for (Index aCost = 1;; ++aCost) {
            if (const auto aMeeting = forwardStep(theBox, aForward, anOdd ? &aBackward : nullptr))
                return *aMeeting;
            if (const auto aMeeting = backwardStep(theBox, aBackward, anOdd ? nullptr : &aForward))
                return *aMeeting;
            if (!theExact && aCost >= itsCostLimit)
                return cutOff(theBox, aForward, aBackward);
        }
    }

    // Widens a search by one diagonal on each side that the box allows; theOutside on the
    // diagonal beyond keeps the next step from taking a path from there.
    static void widen(Reach& theReach, const Box& theBox, const auto& theAt, Index theOutside) {
        if (theReach.itsMin > theBox.itsXOff - theBox.itsYLim)
            theAt(--theReach.itsMin - 1) = theOutside;
        else
            ++theReach.itsMin;
        if (theReach.itsMax < theBox.itsXLim - theBox.itsYOff)
            theAt(++theReach.itsMax + 1) = theOutside;
        else
            --theReach.itsMax;
    }

    // One more step of the forward search; the meeting point when it passes apOther, the
    // backward search (given when the two can meet on a forward step).
    std::optional<Split> forwardStep(const Box& theBox, Reach& theReach, const Reach* apOther) {
        widen(
            theReach, theBox, [this](Index d) -> Index& { return forward(d); }, -1);
        for (Index d = theReach.itsMax; d >= theReach.itsMin; d -= 2) {
            const Index aLow = forward(d - 1), aHigh = forward(d + 1);
            Index x = aLow >= aHigh ? aLow + 1 : aHigh;
            Index y = x - d;
            while (x < theBox.itsXLim && y < theBox.itsYLim && same(x, y)) {
                ++x;
                ++y;
            }
            forward(d) = x;
            if (apOther != nullptr && apOther->itsMin <= d && d <= apOther->itsMax &&
                backward(d) <= x)
                return Split{x, y, true, true};
        }
        return std::nullopt;
    }

    // One more step of the backward search; the meeting point when it passes apOther, the
    // forward search (given when the two can meet on a backward step).
    std::optional<Split> backwardStep(const Box& theBox, Reach& theReach, const Reach* apOther) {
        widen(
            theReach, theBox, [this](Index d) -> Index& { return backward(d); },
            std::numeric_limits<Index>::max());
        for (Index d = theReach.itsMax; d >= theReach.itsMin; d -= 2) {
            const Index aLow = backward(d - 1), aHigh = backward(d + 1);
            Index x = aLow < aHigh ? aLow : aHigh - 1;
            Index y = x - d;
            while (x > theBox.itsXOff && y > theBox.itsYOff && same(x - 1, y - 1)) {
                --x;
                --y;
            }
            backward(d) = x;
            if (apOther != nullptr && apOther->itsMin <= d && d <= apOther->itsMax &&
                x <= forward(d))
                return Split{x, y, true, true};
        }
        return std::nullopt;
    }

    // The split of a search that went beyond its limit: the forward point with the largest
    // x + y or the backward point with the smallest, whichever got further from its own corner.
    // The half between that point and its corner is solved exactly, the other one with a limit.
    Split cutOff(const Box& theBox, const Reach& theForward, const Reach& theBackward) {
        Index aForwardBest = -1, aForwardX = theBox.itsXOff;
        for (Index d = theForward.itsMax; d >= theForward.itsMin; d -= 2) {
            Index x = std::min(forward(d), theBox.itsXLim);
            if (x - d > theBox.itsYLim)
                x = theBox.itsYLim + d;
            if (2 * x - d > aForwardBest) {
                aForwardBest = 2 * x - d;
                aForwardX = x;
            }
        }
        Index aBackwardBest = std::numeric_limits<Index>::max(), aBackwardX = theBox.itsXLim;
        for (Index d = theBackward.itsMax; d >= theBackward.itsMin; d -= 2) {
            Index x = std::max(backward(d), theBox.itsXOff);
            if (x - d < theBox.itsYOff)
                x = theBox.itsYOff + d;
            if (2 * x - d < aBackwardBest) {
                aBackwardBest = 2 * x - d;
                aBackwardX = x;
            }
        }
        if (theBox.itsXLim + theBox.itsYLim - aBackwardBest <
            aForwardBest - (theBox.itsXOff + theBox.itsYOff))
            return {aForwardX, aForwardBest - aForwardX, true, false};
        return {aBackwardX, aBackwardBest - aBackwardX, false, true};
    }

    const std::vector<int>& itsOld;
    const std::vector<int>& itsNew;
    // The lines and the diagonals' furthest points, as plain pointers for the inner loops (the
    // diagonal pointers at diagonal 0).
    const int* const itsOldAt;
    const int* const itsNewAt;
    const Index itsCostLimit;
    const Index itsOffset;
    EditMarks itsMarks;
    std::vector<Index> itsForward, itsBackward;
    Index* itsForwardAt = nullptr;
    Index* itsBackwardAt = nullptr;
};

// How a line takes part in the search: searched, or left out as changed because the other
// sequence lacks it (unmatched) or holds it very often (frequent, only amid unmatched lines).
enum Role : unsigned char { kSearched, kUnmatched, kFrequent };

// The roles of theLines from how often theOtherCounts holds each: never is unmatched, more than
// five times about the square root of theLines' size / 64 is frequent.
std::vector<Role> roles(std::span<const int> theLines, const std::vector<Index>& theOtherCounts) {
    Index aMany = 5;
    for (std::size_t aRest = theLines.size() / 64; (aRest >>= 2) > 0;)
        aMany *= 2;
    std::vector<Role> aRoles(theLines.size(), kSearched);
    for (std::size_t i = 0; i < theLines.size(); ++i) {
        const Index aMatches = theOtherCounts[static_cast<std::size_t>(theLines[i])];
        aRoles[i] = aMatches == 0 ? kUnmatched : aMatches > aMany ? kFrequent : kSearched;
    }
    return aRoles;
}

// Near either end of a run of left-out lines, frequent lines go back into the search, up to
// three unmatched lines in a row or an unmatched line at least eight lines in.
void searchFrequentAtEdge(std::vector<Role>& theRoles, Index theEdge, Index theStep,
                          Index theLength) {
    int aConsecutive = 0;
    for (Index j = 0; j < theLength; ++j) {
        Role& aRole = theRoles[static_cast<std::size_t>(theEdge + j * theStep)];
        if (j >= 8 && aRole == kUnmatched)
            return;
        if (aRole == kFrequent)
            aRole = kSearched;
        aConsecutive = aRole == kUnmatched ? aConsecutive + 1 : 0;
        if (aConsecutive == 3)
            return;
    }
}

// Within a run of left-out lines, frequent lines go back into the search where they stand
// together in numbers of at least about the square root of the run's length / 4.
void searchLongFrequentGroups(std::vector<Role>& theRoles, std::size_t theFirst,
                              std::size_t theEnd) {
    std::size_t aMinimum = 1;
    for (std::size_t aRest = (theEnd - theFirst) >> 2; (aRest >>= 2) > 0;)
        aMinimum <<= 1;
    ++aMinimum;
    for (std::size_t i = theFirst; i < theEnd;) {
        std::size_t j = i;
        while (j < theEnd && theRoles[j] == kFrequent)
            ++j;
        if (j - i >= aMinimum)
            std::fill(theRoles.begin() + static_cast<Index>(i),
                      theRoles.begin() + static_cast<Index>(j), kSearched);
        i = j == i ? i + 1 : j;
    }
}

// Settles the run of left-out lines that begins with the unmatched line theFirst: its frequent
// lines stay out only between unmatched ones, and only where they are few. Returns the run's last
// line.
std::size_t settleRun(std::vector<Role>& theRoles, std::size_t theFirst) {
    std::size_t anEnd = theFirst;
    std::size_t aFrequent = 0;
    for (; anEnd < theRoles.size() && theRoles[anEnd] != kSearched; ++anEnd)
        aFrequent += theRoles[anEnd] == kFrequent ? 1 : 0;
    for (; theRoles[anEnd - 1] == kFrequent; --aFrequent)
        theRoles[--anEnd] = kSearched;
    const std::size_t aLength = anEnd - theFirst;
    if (aFrequent * 4 > aLength) {
        std::replace(theRoles.begin() + static_cast<Index>(theFirst),
                     theRoles.begin() + static_cast<Index>(anEnd), kFrequent, kSearched);
        return anEnd - 1;
    }
    searchLongFrequentGroups(theRoles, theFirst, anEnd);
    const auto aSignedLength = static_cast<Index>(aLength);
    searchFrequentAtEdge(theRoles, static_cast<Index>(theFirst), 1, aSignedLength);
    searchFrequentAtEdge(theRoles, static_cast<Index>(anEnd - 1), -1, aSignedLength);
    return anEnd - 1;
}

// Frequent lines outside runs of unmatched lines stay in the search: there they are what the
// texts share.
void settleRoles(std::vector<Role>& theRoles) {
    for (std::size_t i = 0; i < theRoles.size(); ++i) {
        if (theRoles[i] == kFrequent)
            theRoles[i] = kSearched;
        else if (theRoles[i] == kUnmatched)
            i = settleRun(theRoles, i);
    }
}

// How often each line number occurs in theLines, for numbers below theClasses.
std::vector<Index> counts(std::span<const int> theLines, std::size_t theClasses) {
    std::vector<Index> aCounts(theClasses, 0);
    for (int aNumber : theLines)
        ++aCounts[static_cast<std::size_t>(aNumber)];
    return aCounts;
}

// The searched lines of one sequence: their numbers and their places in the sequence.
struct Searched {
    std::vector<int> itsNumbers;
    std::vector<std::size_t> itsPlaces;
};

// The lines of theLines that the search takes, theFirst being the place of theLines' first line;
// the others are marked in theMarks.
Searched searched(std::span<const int> theLines, std::size_t theFirst,
                  const std::vector<Index>& theOtherCounts, std::vector<bool>& theMarks) {
    std::vector<Role> aRoles = roles(theLines, theOtherCounts);
    settleRoles(aRoles);
    Searched aSearched;
    for (std::size_t i = 0; i < theLines.size(); ++i) {
        if (aRoles[i] != kSearched) {
            theMarks[theFirst + i] = true;
            continue;
        }
        aSearched.itsNumbers.push_back(theLines[i]);
        aSearched.itsPlaces.push_back(theFirst + i);
    }
    return aSearched;
}

void copyMarks(const std::vector<bool>& theFrom, const std::vector<std::size_t>& thePlaces,
               std::vector<bool>& theTo) {
    for (std::size_t i = 0; i < thePlaces.size(); ++i)
        theTo[thePlaces[i]] = theFrom[i];
}

// The lines [itsFrom, itsTo) of a sequence.
struct Part {
    std::size_t itsFrom, itsTo;
};

// The parts of both sequences between their common head and tail, with up to kHorizon lines of
// each kept on either side: only those lines are counted and left out of the search.
std::pair<Part, Part> differingParts(const std::vector<int>& theOld,
                                     const std::vector<int>& theNew) {
    const std::size_t aShorter = std::min(theOld.size(), theNew.size());
    std::size_t aHead = 0;
    while (aHead < aShorter && theOld[aHead] == theNew[aHead])
        ++aHead;
    std::size_t aTail = 0;
    while (aTail < aShorter - aHead &&
           theOld[theOld.size() - 1 - aTail] == theNew[theNew.size() - 1 - aTail])
        ++aTail;
    aHead -= std::min(aHead, kHorizon);
    aTail -= std::min(aTail, kHorizon);
    return {{aHead, theOld.size() - aTail}, {aHead, theNew.size() - aTail}};
}

} // namespace

EditMarks editMarks(const std::vector<int>& theOld, const std::vector<int>& theNew,
                    std::size_t theCostLimit) {
    int aMax = -1;
    for (const auto* aLines : {&theOld, &theNew})
        for (int aNumber : *aLines)
            aMax = std::max(aMax, aNumber);
    const auto aClasses = static_cast<std::size_t>(aMax + 1);
    const auto [anOldPart, aNewPart] = differingParts(theOld, theNew);
    const std::span<const int> anOldLines(theOld.begin() + static_cast<Index>(anOldPart.itsFrom),
                                          theOld.begin() + static_cast<Index>(anOldPart.itsTo));
    const std::span<const int> aNewLines(theNew.begin() + static_cast<Index>(aNewPart.itsFrom),
                                         theNew.begin() + static_cast<Index>(aNewPart.itsTo));
    EditMarks aMarks{std::vector<bool>(theOld.size()), std::vector<bool>(theNew.size())};
    const Searched anOld =
        searched(anOldLines, anOldPart.itsFrom, counts(aNewLines, aClasses), aMarks.itsDeleted);
    const Searched aNew =
        searched(aNewLines, aNewPart.itsFrom, counts(anOldLines, aClasses), aMarks.itsInserted);
    const Index aLimit =
        costLimitFor(anOld.itsNumbers.size() + aNew.itsNumbers.size(), theCostLimit);
    const EditMarks aScript = EditScript(anOld.itsNumbers, aNew.itsNumbers, aLimit).solve();
    copyMarks(aScript.itsDeleted, anOld.itsPlaces, aMarks.itsDeleted);
    copyMarks(aScript.itsInserted, aNew.itsPlaces, aMarks.itsInserted);
    return aMarks;
}

} // namespace RepositoryAccess::textdiff
