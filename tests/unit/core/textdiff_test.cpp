// The line differences of `kivo diff` and `kivo-merge`: the unified format beside GNU diff over
// random edits, and the three-way merge.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>

#include "core/textdiff.hpp"
#include "tests/support/process.hpp"

using namespace RepositoryAccess;
using namespace kivotest;

namespace {

// The standard output of a shell command.
std::string shellOutput(const std::string& theCommand) {
    std::string anOut;
    FILE* aPipe = popen(theCommand.c_str(), "r");
    if (aPipe == nullptr)
        return anOut;
    char aBuffer[4096];
    std::size_t aRead = 0;
    while ((aRead = fread(aBuffer, 1, sizeof aBuffer, aPipe)) > 0)
        anOut.append(aBuffer, aRead);
    pclose(aPipe);
    return anOut;
}

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

// A random edit of theLines: up to four runs deleted, inserted or replaced by lines of
// theMakeLine.
std::vector<std::string> edit(std::vector<std::string> theLines, std::mt19937& theRandom,
                              const MakeLine& theMakeLine) {
    const int anEdits = std::uniform_int_distribution<int>(0, 4)(theRandom);
    for (int e = 0; e < anEdits; ++e) {
        const std::size_t anAt =
            std::uniform_int_distribution<std::size_t>(0, theLines.size())(theRandom);
        const std::size_t aLength = std::uniform_int_distribution<std::size_t>(1, 4)(theRandom);
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

// The lines as a text; one time in four without the last line feed.
std::string text(const std::vector<std::string>& theLines, std::mt19937& theRandom) {
    std::string aText;
    for (const auto& aLine : theLines)
        aText += aLine + "\n";
    if (!aText.empty() && theRandom() % 4 == 0)
        aText.pop_back();
    return aText;
}

} // namespace

// Lines that occur once each make the shortest edit unique, so the hunks must equal GNU diff's
// byte for byte; lines from a small vocabulary leave a choice of equally short edits, so there
// the edit must be as short as GNU diff's and turn the old file into the new one.
TEST(TextDiff, HunksAgreeWithGnuDiffOverRandomEdits) {
    TempDir aDir;
    const std::string anOld = (aDir.path() / "old").string();
    const std::string aNew = (aDir.path() / "new").string();
    const std::string aPatch = (aDir.path() / "ours.diff").string();
    const std::string aPatched = (aDir.path() / "patched").string();
    std::mt19937 aRandom(20261206);
    int aNext = 0;
    const MakeLine aUnique = [&] { return "line " + std::to_string(aNext++); };
    const MakeLine aFew = [&] { return std::string(1, static_cast<char>('a' + aRandom() % 3)); };
    for (int aRound = 0; aRound < 400; ++aRound) {
        const bool aRepeated = aRound % 2 == 1;
        const MakeLine& aMake = aRepeated ? aFew : aUnique;
        std::vector<std::string> aLines(std::uniform_int_distribution<std::size_t>(0, 40)(aRandom));
        for (auto& aLine : aLines)
            aLine = aMake();
        const std::string aBefore = text(aLines, aRandom);
        const std::string anAfter = text(edit(aLines, aRandom, aMake), aRandom);
        writeText(anOld, aBefore);
        writeText(aNew, anAfter);
        const std::string aGnu = shellOutput("diff -u " + anOld + " " + aNew);
        const std::string anOurs = textdiff::unified(aBefore, anAfter, "old", "new");
        SCOPED_TRACE("round " + std::to_string(aRound) + "\nold:\n" + aBefore + "\nnew:\n" +
                     anAfter + "\nGNU:\n" + aGnu + "\nours:\n" + anOurs);
        if (!aRepeated) {
            EXPECT_EQ(hunks(anOurs), hunks(aGnu));
            continue;
        }
        EXPECT_EQ(countLines(anOurs, '-'), countLines(aGnu, '-'));
        EXPECT_EQ(countLines(anOurs, '+'), countLines(aGnu, '+'));
        if (anOurs.empty())
            continue;
        writeText(aPatch, anOurs);
        shellOutput("patch -s -o " + aPatched + " " + anOld + " < " + aPatch);
        EXPECT_EQ(readText(aPatched), anAfter);
    }
}

TEST(TextDiff, FormatsEdgesLikeUnifiedDiff) {
    EXPECT_EQ(textdiff::unified("same\n", "same\n", "a", "b"), "");
    EXPECT_EQ(textdiff::unified("", "x\n", "a", "b"), "--- a\n+++ b\n@@ -0,0 +1 @@\n+x\n");
    EXPECT_EQ(textdiff::unified("x\ny", "x\ny\n", "a", "b"),
              "--- a\n+++ b\n@@ -1,2 +1,2 @@\n x\n-y\n\\ No newline at end of file\n+y\n");
    EXPECT_EQ(textdiff::unified("a\r\nb\r\n", "a\r\nc\r\n", "a", "b"),
              "--- a\n+++ b\n@@ -1,2 +1,2 @@\n a\r\n-b\r\n+c\r\n");
    EXPECT_TRUE(textdiff::isBinary(std::string("PK\0\3", 4)));
    EXPECT_FALSE(textdiff::isBinary("plain text\n"));
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
