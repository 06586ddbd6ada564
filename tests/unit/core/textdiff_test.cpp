// The line differences of `kivo diff` and `kivo-merge`: the unified format beside GNU diff over
// random edits, and the three-way merge.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "core/textdiff.hpp"
#include "tests/support/process.hpp"

using namespace RepositoryAccess;
using namespace kivotest;

namespace {

// The hunks of a unified difference: everything after the two header lines.
std::string hunks(const std::string& theDiff) {
    std::size_t aPos = theDiff.find('\n');
    aPos = aPos == std::string::npos ? aPos : theDiff.find('\n', aPos + 1);
    return aPos == std::string::npos ? std::string() : theDiff.substr(aPos + 1);
}

std::size_t countLines(const std::string& theDiff, char thePrefix) {
    std::size_t aCount = 0;
    const std::string aHunks = hunks(theDiff);
    for (std::string_view aLine : textdiff::splitLines(aHunks))
        aCount += aLine.front() == thePrefix ? 1 : 0;
    return aCount;
}

using MakeLine = std::function<std::string()>;

// Up to four runs of up to theRun lines deleted, inserted or replaced by lines of theMakeLine.
std::vector<std::string> edit(std::vector<std::string> theLines, std::mt19937& theRandom,
                              const MakeLine& theMakeLine, std::size_t theRun = 4) {
    const int anEdits = std::uniform_int_distribution<int>(0, 4)(theRandom);
    for (int e = 0; e < anEdits; ++e) {
        const std::size_t anAt =
            std::uniform_int_distribution<std::size_t>(0, theLines.size())(theRandom);
        const std::size_t aLength =
            std::uniform_int_distribution<std::size_t>(1, theRun)(theRandom);
        const int aKind = std::uniform_int_distribution<int>(0, 2)(theRandom);
        const auto aBegin = theLines.begin() + static_cast<std::ptrdiff_t>(anAt);
        if (aKind != 1) // delete or replace
            theLines.erase(aBegin, aBegin + static_cast<std::ptrdiff_t>(
                                                std::min(theLines.size() - anAt, aLength)));
        if (aKind != 0) // insert or replace
            for (std::size_t i = 0; i < aLength; ++i)
                theLines.insert(theLines.begin() + static_cast<std::ptrdiff_t>(anAt),
                                theMakeLine());
    }
    return theLines;
}

// The lines as a text; given theRandom, one time in four without the last line feed.
std::string text(const std::vector<std::string>& theLines, std::mt19937* theRandom = nullptr) {
    std::string aText;
    for (const auto& aLine : theLines)
        aText += aLine + "\n";
    if (theRandom && !aText.empty() && (*theRandom)() % 4 == 0)
        aText.pop_back();
    return aText;
}

std::vector<std::string> randomLines(std::size_t theCount, const MakeLine& theMakeLine) {
    std::vector<std::string> aLines(theCount);
    for (auto& aLine : aLines)
        aLine = theMakeLine();
    return aLines;
}

// The lines that theChanges make of theOld; equal to theNew when the changes are right.
std::vector<std::string_view> applied(const std::vector<std::string_view>& theOld,
                                      const std::vector<std::string_view>& theNew,
                                      const std::vector<textdiff::Change>& theChanges) {
    std::vector<std::string_view> aLines;
    std::size_t aPos = 0;
    for (const textdiff::Change& aChange : theChanges) {
        EXPECT_TRUE(aChange.itsOld >= aPos &&
                    aChange.itsNew == aLines.size() + aChange.itsOld - aPos)
            << "change at " << aChange.itsOld << "/" << aChange.itsNew;
        if (aChange.itsOld < aPos || aChange.itsOld + aChange.itsDeleted > theOld.size() ||
            aChange.itsNew + aChange.itsInserted > theNew.size())
            return aLines;
        aLines.insert(aLines.end(), theOld.begin() + aPos, theOld.begin() + aChange.itsOld);
        aLines.insert(aLines.end(), theNew.begin() + aChange.itsNew,
                      theNew.begin() + aChange.itsNew + aChange.itsInserted);
        aPos = aChange.itsOld + aChange.itsDeleted;
    }
    aLines.insert(aLines.end(), theOld.begin() + aPos, theOld.end());
    return aLines;
}

// Deleted plus inserted lines of a difference.
std::size_t editLength(const std::vector<textdiff::Change>& theChanges) {
    std::size_t aLength = 0;
    for (const textdiff::Change& aChange : theChanges)
        aLength += aChange.itsDeleted + aChange.itsInserted;
    return aLength;
}

// The changes of theOld to theNew with theCostLimit, checked to turn theOld into theNew.
std::vector<textdiff::Change> checkedCompare(const std::string& theOld, const std::string& theNew,
                                             std::size_t theCostLimit = textdiff::kCostFromSizes) {
    const auto anOld = textdiff::splitLines(theOld);
    const auto aNew = textdiff::splitLines(theNew);
    auto aChanges = textdiff::compare(anOld, aNew, theCostLimit);
    EXPECT_TRUE(applied(anOld, aNew, aChanges) == aNew);
    return aChanges;
}

// A merge of theLocal and theRemote into theBase, expected clean and equal to theExpected.
void expectCleanMerge(const std::string& theBase, const std::string& theLocal,
                      const std::string& theRemote, const std::string& theExpected,
                      std::size_t theCostLimit = textdiff::kCostFromSizes) {
    const auto aMerge = textdiff::merge3(theBase, theLocal, theRemote, "L", "B", "R", theCostLimit);
    EXPECT_EQ(aMerge.itsConflicts, 0u);
    EXPECT_TRUE(aMerge.itsText == theExpected);
}

} // namespace

// Unique lines: hunks byte for byte as GNU diff's; repeated or mixed lines (a choice of equally
// short edits): as long as GNU diff's edit, and patch turns the old file into the new one.
TEST(TextDiff, HunksAgreeWithGnuDiffOverRandomEdits) {
    TempDir aDir;
    const auto aFile = [&](const char* theKind, int theRound) {
        return (aDir.path() / (theKind + std::to_string(theRound))).string();
    };
    std::mt19937 aRandom(20261206);
    int aNext = 0;
    const MakeLine aUnique = [&] { return "line " + std::to_string(aNext++); };
    const MakeLine aFew = [&] { return std::string(1, static_cast<char>('a' + aRandom() % 3)); };
    const MakeLine aMixed = [&] { return aRandom() % 2 == 0 ? aFew() : aUnique(); };
    const int aRounds = 450;
    std::vector<std::string> aBefore, anAfter;
    for (int aRound = 0; aRound < aRounds; ++aRound) {
        const int aKind = aRound % 3;
        const MakeLine& aMake = aKind == 0 ? aUnique : aKind == 1 ? aFew : aMixed;
        const std::size_t aMost = aKind == 2 ? 300 : 40;
        const std::vector<std::string> aLines =
            randomLines(std::uniform_int_distribution<std::size_t>(0, aMost)(aRandom), aMake);
        aBefore.push_back(text(aLines, &aRandom));
        anAfter.push_back(text(edit(aLines, aRandom, aMake, aKind == 2 ? 24 : 4), &aRandom));
        writeText(aFile("old", aRound), aBefore.back());
        writeText(aFile("new", aRound), anAfter.back());
    }
    // One shell for all rounds: one per round costs more than the rounds.
    const std::string aCd = "cd '" + aDir.path().string() + "' && ";
    EXPECT_EQ(std::system((aCd + "i=0; while [ $i -lt " + std::to_string(aRounds) +
                           " ]; do diff -u old$i new$i > gnu$i; i=$((i + 1)); done")
                              .c_str()),
              0);
    std::string aPatches;
    std::vector<int> aPatched;
    for (int aRound = 0; aRound < aRounds; ++aRound) {
        const std::string aGnu = readText(aFile("gnu", aRound));
        const std::string anOurs =
            textdiff::unified(aBefore[aRound], anAfter[aRound], "old", "new");
        SCOPED_TRACE("round " + std::to_string(aRound) + "\nold:\n" + aBefore[aRound] + "\nnew:\n" +
                     anAfter[aRound] + "\nGNU:\n" + aGnu + "\nours:\n" + anOurs);
        if (aRound % 3 == 0) {
            EXPECT_EQ(hunks(anOurs), hunks(aGnu));
            continue;
        }
        EXPECT_EQ(countLines(anOurs, '-'), countLines(aGnu, '-'));
        EXPECT_EQ(countLines(anOurs, '+'), countLines(aGnu, '+'));
        if (anOurs.empty())
            continue;
        writeText(aFile("ours", aRound), anOurs);
        const std::string aNumber = std::to_string(aRound);
        aPatches += "patch -s -o patched" + aNumber + " old" + aNumber + " < ours" + aNumber + "; ";
        aPatched.push_back(aRound);
    }
    EXPECT_EQ(std::system((aCd + aPatches).c_str()), 0);
    for (int aRound : aPatched)
        EXPECT_EQ(readText(aFile("patched", aRound)), anAfter[aRound]) << "round " << aRound;
}

// Texts that differ everywhere stop the search at its cost limit again and again: the difference
// still turns the old text into the new one, for patch and for the merges built on it.
TEST(TextDiff, TextsThatDifferEverywhereGetACorrectDifference) {
    TempDir aDir;
    std::mt19937 aRandom(7);
    const MakeLine aNumber = [&] { return std::to_string(aRandom() % 200); };
    std::mt19937 aTextRandom(8);
    const std::string aBase = text(randomLines(10000, aNumber), &aTextRandom);
    const std::string aRemote = text(randomLines(10000, aNumber), &aTextRandom);
    EXPECT_GT(editLength(checkedCompare(aBase, aRemote)), 10000u);

    const std::string anOld = (aDir.path() / "old").string();
    const std::string aPatch = (aDir.path() / "ours.diff").string();
    const std::string aPatched = (aDir.path() / "patched").string();
    writeText(anOld, aBase);
    writeText(aPatch, textdiff::unified(aBase, aRemote, "old", "new"));
    EXPECT_EQ(std::system(("patch -s -o " + aPatched + " " + anOld + " < " + aPatch).c_str()), 0);
    EXPECT_TRUE(readText(aPatched) == aRemote);

    // One side alone, or the same change on both, is taken whole.
    expectCleanMerge(aBase, aBase, aRemote, aRemote);
    expectCleanMerge(aBase, aRemote, aBase, aRemote);
    expectCleanMerge(aBase, aRemote, aRemote, aRemote);
    // Rewrites of the first and the last third merge cleanly.
    const auto aBaseLines = textdiff::splitLines(aBase);
    const auto aThird = [&](std::size_t theFrom, std::size_t theTo) {
        std::string aText;
        for (std::size_t i = theFrom; i < theTo; ++i)
            aText += aBaseLines[i];
        return aText;
    };
    const std::string aFirst = text(randomLines(3000, aNumber));
    const std::string aLast = text(randomLines(3000, aNumber), &aTextRandom);
    const std::string aMiddle = aThird(3500, 6500);
    expectCleanMerge(aBase, aFirst + aMiddle + aThird(6500, 10000),
                     aThird(0, 3500) + aMiddle + aLast, aFirst + aMiddle + aLast);
}

// A tiny cost limit splits even small texts: each split stays correct and clean merges clean.
TEST(TextDiff, ACostLimitGivesCoarserButCorrectDifferences) {
    std::mt19937 aRandom(11);
    const MakeLine aFew = [&] { return std::string(1, static_cast<char>('a' + aRandom() % 4)); };
    std::size_t aLonger = 0;
    for (int aRound = 0; aRound < 2000; ++aRound) {
        const std::size_t aLimit = 1 + static_cast<std::size_t>(aRound % 5);
        const std::vector<std::string> aLines =
            randomLines(std::uniform_int_distribution<std::size_t>(0, 60)(aRandom), aFew);
        const std::string aBefore = text(aLines, &aRandom);
        const std::string anAfter =
            text(edit(edit(aLines, aRandom, aFew, 8), aRandom, aFew, 8), &aRandom);
        SCOPED_TRACE("round " + std::to_string(aRound) + "\nold:\n" + aBefore + "\nnew:\n" +
                     anAfter);
        const std::size_t aShortest = editLength(checkedCompare(aBefore, anAfter));
        const std::size_t aCoarse = editLength(checkedCompare(aBefore, anAfter, aLimit));
        EXPECT_GE(aCoarse, aShortest);
        aLonger += aCoarse > aShortest ? 1 : 0;
        expectCleanMerge(aBefore, aBefore, anAfter, anAfter, aLimit);
        expectCleanMerge(aBefore, anAfter, anAfter, anAfter, aLimit);
    }
    EXPECT_GT(aLonger, 0u);
}

// An old text without its last line feed (the other edges are the end-to-end tests').
TEST(TextDiff, FormatsEdgesLikeUnifiedDiff) {
    EXPECT_EQ(textdiff::unified("same\n", "same\n", "a", "b"), "");
    EXPECT_EQ(textdiff::unified("x\ny", "x\ny\n", "a", "b"),
              "--- a\n+++ b\n@@ -1,2 +1,2 @@\n x\n-y\n\\ No newline at end of file\n+y\n");
}

// Names are quoted only when needed, with GNU diff's escapes: no control byte reaches the output.
TEST(TextDiff, QuotesNamesThatNeedIt) {
    EXPECT_EQ(textdiff::quotedName("acme/Order.txt"), "acme/Order.txt");
    EXPECT_EQ(textdiff::quotedName("acme/\xc3\xa4.txt"), "acme/\xc3\xa4.txt");
    EXPECT_EQ(textdiff::quotedName("a b"), "\"a b\"");
    EXPECT_EQ(textdiff::quotedName("a\nb\tc\rd\"e\\f"), "\"a\\nb\\tc\\rd\\\"e\\\\f\"");
    EXPECT_EQ(textdiff::quotedName(std::string("\x01\x1b[2J\x7f\0", 7)),
              "\"\\001\\033[2J\\177\\000\"");
}

TEST(TextDiff, MergesChangesOfBothSides) {
    const std::string aBase = "1\n2\n3\n4\n5\n6\n7\n";
    // Apart: both taken.
    auto aClean = textdiff::merge3(aBase, "one\n2\n3\n4\n5\n6\n7\n", "1\n2\n3\n4\n5\n6\nseven\n",
                                   "L", "B", "R");
    EXPECT_EQ(aClean.itsConflicts, 0u);
    EXPECT_EQ(aClean.itsText, "one\n2\n3\n4\n5\n6\nseven\n");
    // The same change on both sides is taken once; a deletion on one side is taken.
    auto aSame = textdiff::merge3(aBase, "1\n2\nthree\n4\n5\n7\n", "1\n2\nthree\n4\n5\n6\n7\n", "L",
                                  "B", "R");
    EXPECT_EQ(aSame.itsConflicts, 0u);
    EXPECT_EQ(aSame.itsText, "1\n2\nthree\n4\n5\n7\n");
    // Different changes of the same line: a conflict with all three versions.
    auto aClash = textdiff::merge3(aBase, "1\n2\nL3\n4\n5\n6\n7\n", "1\n2\nR3\n4\n5\n6\n7\n",
                                   "local", "base", "remote");
    EXPECT_EQ(aClash.itsConflicts, 1u);
    EXPECT_EQ(aClash.itsText, "1\n2\n<<<<<<< local\nL3\n||||||| base\n3\n=======\nR3\n>>>>>>> "
                              "remote\n4\n5\n6\n7\n");
    // Insertions at the same place that differ, and a side without a last line feed.
    auto anInsert = textdiff::merge3("a\nb", "a\nx\nb", "a\ny\nb", "L", "B", "R");
    EXPECT_EQ(anInsert.itsConflicts, 1u);
    EXPECT_EQ(anInsert.itsText, "a\n<<<<<<< L\nx\n||||||| B\n=======\ny\n>>>>>>> R\nb");
}
