#include "core/textdiff.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace RepositoryAccess::textdiff {

namespace {

using Index = std::ptrdiff_t;

// The shortest edit script of two sequences of line numbers (equal lines have equal numbers),
// as marks on the lines that are deleted from the old and inserted into the new sequence. Each
// step strips the common head and tail, finds the middle snake of the rest, and solves the two
// halves around it, so that memory stays linear in the input.
class EditScript {
public:
    EditScript(std::vector<int> theOld, std::vector<int> theNew)
        : itsOld(std::move(theOld)), itsNew(std::move(theNew)), itsDeleted(itsOld.size()),
          itsInserted(itsNew.size()) {
        const auto aSize = itsOld.size() + itsNew.size() + 3;
        itsForward.resize(aSize);
        itsBackward.resize(aSize);
        itsOffset = static_cast<Index>(itsNew.size()) + 1;
        compareSequences(0, static_cast<Index>(itsOld.size()), 0,
                         static_cast<Index>(itsNew.size()));
    }

    const std::vector<bool>& deleted() const { return itsDeleted; }
    const std::vector<bool>& inserted() const { return itsInserted; }

private:
    Index& forward(Index theDiagonal) {
        return itsForward[static_cast<std::size_t>(theDiagonal + itsOffset)];
    }
    Index& backward(Index theDiagonal) {
        return itsBackward[static_cast<std::size_t>(theDiagonal + itsOffset)];
    }
    bool same(Index theX, Index theY) const {
        return itsOld[static_cast<std::size_t>(theX)] == itsNew[static_cast<std::size_t>(theY)];
    }

    void compareSequences(Index theXOff, Index theXLim, Index theYOff, Index theYLim) {
        while (theXOff < theXLim && theYOff < theYLim && same(theXOff, theYOff)) {
            ++theXOff;
            ++theYOff;
        }
        while (theXLim > theXOff && theYLim > theYOff && same(theXLim - 1, theYLim - 1)) {
            --theXLim;
            --theYLim;
        }
        if (theXOff == theXLim) {
            for (Index y = theYOff; y < theYLim; ++y)
                itsInserted[static_cast<std::size_t>(y)] = true;
            return;
        }
        if (theYOff == theYLim) {
            for (Index x = theXOff; x < theXLim; ++x)
                itsDeleted[static_cast<std::size_t>(x)] = true;
            return;
        }
        const auto [aXMid, aYMid] = middleSnake(theXOff, theXLim, theYOff, theYLim);
        compareSequences(theXOff, aXMid, theYOff, aYMid);
        compareSequences(aXMid, theXLim, aYMid, theYLim);
    }

    // A point on a shortest path from (theXOff, theYOff) to (theXLim, theYLim), found by
    // searching from both ends at once until the two searches meet on a diagonal.
    std::pair<Index, Index> middleSnake(Index theXOff, Index theXLim, Index theYOff,
                                        Index theYLim) {
        const Index aDMin = theXOff - theYLim, aDMax = theXLim - theYOff;
        const Index aFMid = theXOff - theYOff, aBMid = theXLim - theYLim;
        Index aFMin = aFMid, aFMax = aFMid, aBMin = aBMid, aBMax = aBMid;
        const bool anOdd = ((aFMid - aBMid) & 1) != 0;
        forward(aFMid) = theXOff;
        backward(aBMid) = theXLim;
        for (;;) {
            // One more step of the forward search.
            if (aFMin > aDMin)
                forward(--aFMin - 1) = -1;
            else
                ++aFMin;
            if (aFMax < aDMax)
                forward(++aFMax + 1) = -1;
            else
                --aFMax;
            for (Index d = aFMax; d >= aFMin; d -= 2) {
                const Index aLow = forward(d - 1), aHigh = forward(d + 1);
                Index x = aLow >= aHigh ? aLow + 1 : aHigh;
                Index y = x - d;
                while (x < theXLim && y < theYLim && same(x, y)) {
                    ++x;
                    ++y;
                }
                forward(d) = x;
                if (anOdd && aBMin <= d && d <= aBMax && backward(d) <= x)
                    return {x, y};
            }
            // One more step of the backward search.
            if (aBMin > aDMin)
                backward(--aBMin - 1) = std::numeric_limits<Index>::max();
            else
                ++aBMin;
            if (aBMax < aDMax)
                backward(++aBMax + 1) = std::numeric_limits<Index>::max();
            else
                --aBMax;
            for (Index d = aBMax; d >= aBMin; d -= 2) {
                const Index aLow = backward(d - 1), aHigh = backward(d + 1);
                Index x = aLow < aHigh ? aLow : aHigh - 1;
                Index y = x - d;
                while (x > theXOff && y > theYOff && same(x - 1, y - 1)) {
                    --x;
                    --y;
                }
                backward(d) = x;
                if (!anOdd && aFMin <= d && d <= aFMax && x <= forward(d))
                    return {x, y};
            }
        }
    }

    std::vector<int> itsOld, itsNew;
    std::vector<bool> itsDeleted, itsInserted;
    std::vector<Index> itsForward, itsBackward;
    Index itsOffset = 0;
};

// Numbers the lines of both texts so that equal lines get equal numbers.
std::pair<std::vector<int>, std::vector<int>>
numberLines(const std::vector<std::string_view>& theOld,
            const std::vector<std::string_view>& theNew) {
    std::unordered_map<std::string_view, int> aNumbers;
    aNumbers.reserve(theOld.size() + theNew.size());
    auto aNumber = [&](const std::vector<std::string_view>& theLines) {
        std::vector<int> aResult;
        aResult.reserve(theLines.size());
        for (std::string_view aLine : theLines)
            aResult.push_back(
                aNumbers.emplace(aLine, static_cast<int>(aNumbers.size())).first->second);
        return aResult;
    };
    std::vector<int> anOld = aNumber(theOld);
    return {std::move(anOld), aNumber(theNew)};
}

// The deleted and inserted marks of the shortest edit script. A line that the other text does
// not hold at all is changed in every script; only the remaining lines go through the search,
// which keeps it fast where most changed lines are new (as GNU diff discards them too).
std::pair<std::vector<bool>, std::vector<bool>> editMarks(const std::vector<int>& theOld,
                                                          const std::vector<int>& theNew) {
    std::vector<unsigned char> anInOld, anInNew;
    for (auto [aLines, aSeen] : {std::pair{&theOld, &anInOld}, std::pair{&theNew, &anInNew}})
        for (int aNumber : *aLines) {
            if (aSeen->size() <= static_cast<std::size_t>(aNumber))
                aSeen->resize(static_cast<std::size_t>(aNumber) + 1, 0);
            (*aSeen)[static_cast<std::size_t>(aNumber)] = 1;
        }
    auto aKept = [](const std::vector<int>& theLines, const std::vector<unsigned char>& theOther,
                    std::vector<bool>& theMarks) {
        std::vector<int> aNumbers;
        std::vector<std::size_t> aPlaces;
        for (std::size_t i = 0; i < theLines.size(); ++i) {
            const auto aNumber = static_cast<std::size_t>(theLines[i]);
            if (aNumber < theOther.size() && theOther[aNumber] != 0) {
                aNumbers.push_back(theLines[i]);
                aPlaces.push_back(i);
            } else {
                theMarks[i] = true;
            }
        }
        return std::pair{std::move(aNumbers), std::move(aPlaces)};
    };
    std::vector<bool> aDeleted(theOld.size()), anInserted(theNew.size());
    auto [anOldKept, anOldPlaces] = aKept(theOld, anInNew, aDeleted);
    auto [aNewKept, aNewPlaces] = aKept(theNew, anInOld, anInserted);
    const EditScript aScript(std::move(anOldKept), std::move(aNewKept));
    for (std::size_t i = 0; i < anOldPlaces.size(); ++i)
        aDeleted[anOldPlaces[i]] = aScript.deleted()[i];
    for (std::size_t i = 0; i < aNewPlaces.size(); ++i)
        anInserted[aNewPlaces[i]] = aScript.inserted()[i];
    return {std::move(aDeleted), std::move(anInserted)};
}

// "l,s" of a hunk header for the lines [theStart, theEnd) (from 0): an empty range names the
// line before it, a range of one line its number alone.
std::string range(std::size_t theStart, std::size_t theEnd) {
    if (theEnd == theStart)
        return std::to_string(theStart) + ",0";
    if (theEnd == theStart + 1)
        return std::to_string(theEnd);
    return std::to_string(theStart + 1) + "," + std::to_string(theEnd - theStart);
}

void appendLine(std::string& theOut, char thePrefix, std::string_view theLine) {
    theOut += thePrefix;
    theOut += theLine;
    if (!theLine.ends_with('\n'))
        theOut += "\n\\ No newline at end of file\n";
}

void appendLines(std::string& theOut, char thePrefix, const std::vector<std::string_view>& theLines,
                 std::size_t theFrom, std::size_t theTo) {
    for (std::size_t i = theFrom; i < theTo; ++i)
        appendLine(theOut, thePrefix, theLines[i]);
}

// One hunk over theChanges [theFirst, theLast] with theContext lines before and after.
void appendHunk(std::string& theOut, const std::vector<std::string_view>& theOld,
                const std::vector<std::string_view>& theNew, const std::vector<Change>& theChanges,
                std::size_t theFirst, std::size_t theLast, std::size_t theContext) {
    const Change& aFirst = theChanges[theFirst];
    const Change& aLast = theChanges[theLast];
    const std::size_t aBefore = std::min(aFirst.itsOld, theContext);
    const std::size_t anOldEnd = aLast.itsOld + aLast.itsDeleted;
    const std::size_t anAfter = std::min(theOld.size() - anOldEnd, theContext);
    const std::size_t aNewEnd = aLast.itsNew + aLast.itsInserted + anAfter;
    theOut += "@@ -" + range(aFirst.itsOld - aBefore, anOldEnd + anAfter) + " +" +
              range(aFirst.itsNew - aBefore, aNewEnd) + " @@\n";
    std::size_t aPos = aFirst.itsOld - aBefore;
    for (std::size_t i = theFirst; i <= theLast; ++i) {
        const Change& aChange = theChanges[i];
        appendLines(theOut, ' ', theOld, aPos, aChange.itsOld);
        appendLines(theOut, '-', theOld, aChange.itsOld, aChange.itsOld + aChange.itsDeleted);
        appendLines(theOut, '+', theNew, aChange.itsNew, aChange.itsNew + aChange.itsInserted);
        aPos = aChange.itsOld + aChange.itsDeleted;
    }
    appendLines(theOut, ' ', theOld, aPos, anOldEnd + anAfter);
}

std::string joined(const std::vector<std::string_view>& theLines, std::size_t theFrom,
                   std::size_t theTo) {
    std::string aText;
    for (std::size_t i = theFrom; i < theTo; ++i)
        aText += theLines[i];
    return aText;
}

// A section of a conflict, so that the marker after it starts a line.
void appendSection(std::string& theOut, const std::string& theText) {
    theOut += theText;
    if (!theText.empty() && !theText.ends_with('\n'))
        theOut += '\n';
}

// A change of one side of a merge, with the side it belongs to.
struct SideChange {
    Change itsChange;
    int itsSide; // 0 local, 1 remote
};

} // namespace

std::vector<std::string_view> splitLines(std::string_view theText) {
    std::vector<std::string_view> aLines;
    std::size_t aStart = 0;
    while (aStart < theText.size()) {
        const std::size_t anEnd = theText.find('\n', aStart);
        const std::size_t aNext = anEnd == std::string_view::npos ? theText.size() : anEnd + 1;
        aLines.push_back(theText.substr(aStart, aNext - aStart));
        aStart = aNext;
    }
    return aLines;
}

std::vector<Change> compare(const std::vector<std::string_view>& theOld,
                            const std::vector<std::string_view>& theNew) {
    const auto [anOld, aNew] = numberLines(theOld, theNew);
    const auto [aDeleted, anInserted] = editMarks(anOld, aNew);
    std::vector<Change> aChanges;
    std::size_t i = 0, j = 0;
    while (i < theOld.size() || j < theNew.size()) {
        if (i < theOld.size() && j < theNew.size() && !aDeleted[i] && !anInserted[j]) {
            ++i;
            ++j;
            continue;
        }
        Change aChange{i, 0, j, 0};
        for (; i < theOld.size() && aDeleted[i]; ++i)
            ++aChange.itsDeleted;
        for (; j < theNew.size() && anInserted[j]; ++j)
            ++aChange.itsInserted;
        aChanges.push_back(aChange);
    }
    return aChanges;
}

bool isBinary(std::string_view theContent) {
    return theContent.substr(0, 8000).find('\0') != std::string_view::npos;
}

std::string unified(std::string_view theOld, std::string_view theNew, std::string_view theOldLabel,
                    std::string_view theNewLabel, std::size_t theContext) {
    const std::vector<std::string_view> anOld = splitLines(theOld);
    const std::vector<std::string_view> aNew = splitLines(theNew);
    const std::vector<Change> aChanges = compare(anOld, aNew);
    if (aChanges.empty())
        return {};
    std::string anOut =
        "--- " + std::string(theOldLabel) + "\n+++ " + std::string(theNewLabel) + "\n";
    // Changes whose gap is at most twice the context share one hunk.
    std::size_t aFirst = 0;
    for (std::size_t i = 1; i <= aChanges.size(); ++i) {
        const Change& aPrevious = aChanges[i - 1];
        if (i < aChanges.size() &&
            aChanges[i].itsOld - (aPrevious.itsOld + aPrevious.itsDeleted) <= 2 * theContext)
            continue;
        appendHunk(anOut, anOld, aNew, aChanges, aFirst, i - 1, theContext);
        aFirst = i;
    }
    return anOut;
}

Merge merge3(std::string_view theBase, std::string_view theLocal, std::string_view theRemote,
             std::string_view theLocalLabel, std::string_view theBaseLabel,
             std::string_view theRemoteLabel) {
    const std::vector<std::string_view> aBase = splitLines(theBase);
    const std::vector<std::string_view> aSides[2] = {splitLines(theLocal), splitLines(theRemote)};
    std::vector<SideChange> aChanges;
    for (int aSide = 0; aSide < 2; ++aSide)
        for (const Change& aChange : compare(aBase, aSides[aSide]))
            aChanges.push_back({aChange, aSide});
    std::stable_sort(aChanges.begin(), aChanges.end(), [](const auto& theA, const auto& theB) {
        return theA.itsChange.itsOld < theB.itsChange.itsOld;
    });

    Merge aMerge;
    std::size_t aPos = 0;              // next base line to copy
    std::ptrdiff_t aShift[2] = {0, 0}; // side line minus base line before the current group
    for (std::size_t i = 0; i < aChanges.size();) {
        // A group: the changes that overlap or touch each other, of either side.
        const std::size_t aLow = aChanges[i].itsChange.itsOld;
        std::size_t aHigh = aLow + aChanges[i].itsChange.itsDeleted;
        std::ptrdiff_t aGrowth[2] = {0, 0};
        bool aTouched[2] = {false, false};
        std::size_t j = i;
        for (; j < aChanges.size() && aChanges[j].itsChange.itsOld <= aHigh; ++j) {
            const Change& aChange = aChanges[j].itsChange;
            aHigh = std::max(aHigh, aChange.itsOld + aChange.itsDeleted);
            aGrowth[aChanges[j].itsSide] += static_cast<std::ptrdiff_t>(aChange.itsInserted) -
                                            static_cast<std::ptrdiff_t>(aChange.itsDeleted);
            aTouched[aChanges[j].itsSide] = true;
        }
        aMerge.itsText += joined(aBase, aPos, aLow);
        std::string aText[2];
        for (int aSide = 0; aSide < 2; ++aSide) {
            const auto aFrom =
                static_cast<std::size_t>(static_cast<std::ptrdiff_t>(aLow) + aShift[aSide]);
            const auto aTo = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(aHigh) +
                                                      aShift[aSide] + aGrowth[aSide]);
            aText[aSide] = joined(aSides[aSide], aFrom, aTo);
            aShift[aSide] += aGrowth[aSide];
        }
        if (!aTouched[1] || aText[0] == aText[1]) {
            aMerge.itsText += aText[0];
        } else if (!aTouched[0]) {
            aMerge.itsText += aText[1];
        } else {
            ++aMerge.itsConflicts;
            aMerge.itsText += "<<<<<<< " + std::string(theLocalLabel) + "\n";
            appendSection(aMerge.itsText, aText[0]);
            aMerge.itsText += "||||||| " + std::string(theBaseLabel) + "\n";
            appendSection(aMerge.itsText, joined(aBase, aLow, aHigh));
            aMerge.itsText += "=======\n";
            appendSection(aMerge.itsText, aText[1]);
            aMerge.itsText += ">>>>>>> " + std::string(theRemoteLabel) + "\n";
        }
        aPos = aHigh;
        i = j;
    }
    aMerge.itsText += joined(aBase, aPos, aBase.size());
    return aMerge;
}

} // namespace RepositoryAccess::textdiff
