#include "core/textdiff.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/textdiffscript.hpp"

namespace RepositoryAccess::textdiff {

namespace {

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

// The letter of the C escape that a quoted name writes for theByte; 0 for none.
char escapeLetter(unsigned char theByte) {
    switch (theByte) {
    case '\a':
        return 'a';
    case '\b':
        return 'b';
    case '\t':
        return 't';
    case '\n':
        return 'n';
    case '\v':
        return 'v';
    case '\f':
        return 'f';
    case '\r':
        return 'r';
    case '"':
        return '"';
    case '\\':
        return '\\';
    default:
        return 0;
    }
}

bool isControl(unsigned char theByte) {
    return theByte < 0x20 || theByte == 0x7f;
}

bool needsQuotes(char theChar) {
    const auto aByte = static_cast<unsigned char>(theChar);
    return aByte == ' ' || escapeLetter(aByte) != 0 || isControl(aByte);
}

void appendEscaped(std::string& theOut, char theChar) {
    const auto aByte = static_cast<unsigned char>(theChar);
    if (const char aLetter = escapeLetter(aByte); aLetter != 0) {
        theOut += '\\';
        theOut += aLetter;
    } else if (isControl(aByte)) {
        theOut += '\\';
        for (int aShift = 6; aShift >= 0; aShift -= 3)
            theOut += static_cast<char>('0' + ((aByte >> aShift) & 7));
    } else {
        theOut += theChar;
    }
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
                            const std::vector<std::string_view>& theNew, std::size_t theCostLimit) {
    const auto [anOld, aNew] = numberLines(theOld, theNew);
    const auto [aDeleted, anInserted] = editMarks(anOld, aNew, theCostLimit);
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

std::string quotedName(std::string_view theName) {
    if (std::none_of(theName.begin(), theName.end(), needsQuotes))
        return std::string(theName);
    std::string aQuoted = "\"";
    for (char aChar : theName)
        appendEscaped(aQuoted, aChar);
    return aQuoted + '"';
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
             std::string_view theRemoteLabel, std::size_t theCostLimit) {
    const std::vector<std::string_view> aBase = splitLines(theBase);
    const std::vector<std::string_view> aSides[2] = {splitLines(theLocal), splitLines(theRemote)};
    std::vector<SideChange> aChanges;
    for (int aSide = 0; aSide < 2; ++aSide)
        for (const Change& aChange : compare(aBase, aSides[aSide], theCostLimit))
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
