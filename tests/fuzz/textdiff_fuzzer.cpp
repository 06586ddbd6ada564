// The line differences and the three-way merge on any texts: the first byte picks the search's cost
// limit (0: from the sizes, else 1 to 8, so that small texts reach the cut-off too), the rest holds
// old and new, and a third text for the merge (base, local, remote), separated by NUL bytes.
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

// One side unchanged, or both alike, merge clean to that text; a merge is clean exactly when it
// writes no conflict marker and counts no conflict.
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
    // The unified format itself is checked against GNU patch by the unit tests.
    require(textdiff::unified(aTexts[0], aTexts[1], "old", "new").empty() ==
            (aTexts[0] == aTexts[1]));
    if (aTexts.size() == 3)
        checkMerge(aTexts[0], aTexts[1], aTexts[2], aLimit);
    return 0;
}
