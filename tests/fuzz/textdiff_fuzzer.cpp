// The line differences and the three-way merge on any texts. The first byte picks the search's
// cost limit (0: from the sizes, else 1 to 8, so that small texts reach the cut-off too); the
// rest holds two or three texts separated by NUL bytes: old and new, and a third for the merge
// (base, local, remote). The changes and the unified format must turn the old text into the new
// one; merges where one side changed nothing, or both the same, must be clean and give that
// text; and a merge is clean exactly when it writes no conflict marker and counts no conflict.
#include <vector>

#include "core/textdiff.hpp"
#include "tests/fuzz/fuzzing.hpp"

using fuzzing::require;

namespace {

std::vector<std::string_view> split(std::string_view theInput) {
    std::vector<std::string_view> aTexts;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t anEnd = theInput.find('\0');
        aTexts.push_back(theInput.substr(0, anEnd));
        if (anEnd == std::string_view::npos)
            break;
        theInput.remove_prefix(anEnd + 1);
    }
    return aTexts;
}

// The changes turn theOld into theNew: the old lines between them equal the new ones.
void checkChanges(std::string_view theOld, std::string_view theNew, std::size_t theLimit) {
    const auto anOld = textdiff::splitLines(theOld);
    const auto aNew = textdiff::splitLines(theNew);
    std::size_t anOldPos = 0, aNewPos = 0;
    for (const textdiff::Change& aChange : textdiff::compare(anOld, aNew, theLimit)) {
        require(aChange.itsDeleted + aChange.itsInserted > 0);
        require(aChange.itsOld >= anOldPos &&
                aChange.itsOld - anOldPos == aChange.itsNew - aNewPos);
        require(aChange.itsOld + aChange.itsDeleted <= anOld.size() &&
                aChange.itsNew + aChange.itsInserted <= aNew.size());
        for (; anOldPos < aChange.itsOld; ++anOldPos, ++aNewPos)
            require(anOld[anOldPos] == aNew[aNewPos]);
        anOldPos += aChange.itsDeleted;
        aNewPos += aChange.itsInserted;
    }
    require(anOld.size() - anOldPos == aNew.size() - aNewPos);
    for (; anOldPos < anOld.size(); ++anOldPos, ++aNewPos)
        require(anOld[anOldPos] == aNew[aNewPos]);
}

// The numbers of "-l,s" or "+l,s" in a hunk header: the first line (from 1) and the count.
std::pair<std::size_t, std::size_t> range(std::string_view theText) {
    const std::size_t aComma = theText.find(',');
    const std::size_t aStart = std::stoul(std::string(theText.substr(0, aComma)));
    const std::size_t aCount =
        aComma == std::string_view::npos ? 1 : std::stoul(std::string(theText.substr(aComma + 1)));
    return {aCount == 0 ? aStart : aStart - 1, aCount};
}

// Applies a unified difference to theOld as patch would, checking every context and deleted
// line and the places and counts of each hunk header.
std::string patched(std::string_view theOld, std::string_view theDiff) {
    const auto anOld = textdiff::splitLines(theOld);
    const auto aLines = textdiff::splitLines(theDiff);
    require(aLines.size() >= 3);
    std::string aNew;
    std::size_t aPos = 0, aNewLines = 0;
    for (std::size_t i = 2; i < aLines.size();) {
        require(aLines[i].starts_with("@@ -") && aLines[i].ends_with(" @@\n"));
        const std::string_view aHeader = aLines[i].substr(4, aLines[i].size() - 8);
        const std::size_t aPlus = aHeader.find(" +");
        require(aPlus != std::string_view::npos);
        const auto [anOldStart, anOldCount] = range(aHeader.substr(0, aPlus));
        const auto [aNewStart, aNewCount] = range(aHeader.substr(aPlus + 2));
        require(anOldStart >= aPos && anOldStart <= anOld.size());
        for (; aPos < anOldStart; ++aPos, ++aNewLines)
            aNew += anOld[aPos];
        require(aNewStart == aNewLines);
        std::size_t anOldSeen = 0, aNewSeen = 0;
        for (++i; i < aLines.size() && !aLines[i].starts_with("@@"); ++i) {
            const char aKind = aLines[i][0];
            require(aKind == ' ' || aKind == '-' || aKind == '+');
            std::string aLine(aLines[i].substr(1));
            if (i + 1 < aLines.size() && aLines[i + 1] == "\\ No newline at end of file\n") {
                aLine.pop_back();
                ++i;
            }
            if (aKind != '+') {
                require(aPos < anOld.size() && anOld[aPos] == aLine);
                ++aPos;
                ++anOldSeen;
            }
            if (aKind != '-') {
                aNew += aLine;
                ++aNewSeen;
                ++aNewLines;
            }
        }
        require(anOldSeen == anOldCount && aNewSeen == aNewCount);
    }
    for (; aPos < anOld.size(); ++aPos)
        aNew += anOld[aPos];
    return aNew;
}

void checkUnified(std::string_view theOld, std::string_view theNew) {
    const std::string aDiff = textdiff::unified(theOld, theNew, "old", "new");
    require(aDiff.empty() == (theOld == theNew));
    if (!aDiff.empty())
        require(patched(theOld, aDiff) == theNew);
}

bool holdsMarker(std::string_view theText) {
    for (std::string_view aLine : textdiff::splitLines(theText))
        if (aLine.starts_with("<<<<<<<") || aLine.starts_with("|||||||") ||
            aLine.starts_with("=======") || aLine.starts_with(">>>>>>>"))
            return true;
    return false;
}

textdiff::Merge merge(std::string_view theBase, std::string_view theLocal,
                      std::string_view theRemote, std::size_t theLimit) {
    return textdiff::merge3(theBase, theLocal, theRemote, "L", "B", "R", theLimit);
}

void requireClean(const textdiff::Merge& theMerge, std::string_view theText) {
    require(theMerge.itsConflicts == 0 && theMerge.itsText == theText);
}

void checkMerge(std::string_view theBase, std::string_view theLocal, std::string_view theRemote,
                std::size_t theLimit) {
    requireClean(merge(theBase, theLocal, theBase, theLimit), theLocal);
    requireClean(merge(theBase, theBase, theRemote, theLimit), theRemote);
    requireClean(merge(theBase, theLocal, theLocal, theLimit), theLocal);
    const textdiff::Merge aMerge = merge(theBase, theLocal, theRemote, theLimit);
    const textdiff::Merge aSwapped = merge(theBase, theRemote, theLocal, theLimit);
    require(aMerge.itsConflicts == aSwapped.itsConflicts);
    require(aMerge.itsConflicts != 0 || aMerge.itsText == aSwapped.itsText);
    if (holdsMarker(theBase) || holdsMarker(theLocal) || holdsMarker(theRemote))
        return;
    require((aMerge.itsConflicts == 0) == !holdsMarker(aMerge.itsText));
    std::size_t aStarts = 0;
    for (std::string_view aLine : textdiff::splitLines(aMerge.itsText))
        aStarts += aLine == "<<<<<<< L\n" ? 1 : 0;
    require(aStarts == aMerge.itsConflicts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    if (theSize == 0)
        return 0;
    const std::size_t aLimit = theData[0] % 9;
    const auto aTexts = split(fuzzing::text(theData + 1, theSize - 1));
    if (aTexts.size() < 2)
        return 0;
    checkChanges(aTexts[0], aTexts[1], aLimit);
    checkUnified(aTexts[0], aTexts[1]);
    if (aTexts.size() == 3)
        checkMerge(aTexts[0], aTexts[1], aTexts[2], aLimit);
    return 0;
}
