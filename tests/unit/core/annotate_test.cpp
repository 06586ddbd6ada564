// Who last changed each line: hand-made histories with the cases a reader checks by eye, and random
// histories whose every line names the version that wrote it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/annotate.hpp"
#include "core/error.hpp"
#include "tests/support/messages.hpp"

using namespace RepositoryAccess;
using annotate::FileVersion;

namespace {

std::vector<FileVersion> history(const std::vector<std::string>& theTexts) {
    std::vector<FileVersion> aVersions;
    for (std::size_t v = 0; v < theTexts.size(); ++v)
        aVersions.push_back({theTexts[v], std::to_string(v + 1), "user" + std::to_string(v)});
    return aVersions;
}

// "owner:text" per line, the line feed left out, so a mismatch reads as a listing.
std::string listing(const std::vector<annotate::AnnotatedLine>& theLines) {
    std::string aText;
    for (const annotate::AnnotatedLine& aLine : theLines) {
        std::string_view aBody = aLine.itsText;
        if (aBody.ends_with('\n'))
            aBody.remove_suffix(1);
        aText += std::to_string(aLine.itsVersion) + ":" + std::string(aBody) + "\n";
    }
    return aText;
}

} // namespace

TEST(Annotate, LinesKeepTheVersionThatLastChangedThem) {
    const std::vector<FileVersion> aVersions =
        history({"a\nb\nc\n", "a\nB\nc\n", "a\nB\nc\nd\n", "x\na\nB\nd\n"});
    EXPECT_EQ(listing(annotate::annotateLines(aVersions)), "3:x\n0:a\n1:B\n2:d\n");
    // An older version as the chosen one: later versions do not count.
    EXPECT_EQ(listing(annotate::annotateLines(aVersions, 1)), "0:a\n1:B\n0:c\n");
    EXPECT_EQ(listing(annotate::annotateLines(aVersions, 0)), "0:a\n0:b\n0:c\n");
}

TEST(Annotate, ALineThatComesBackIsNewAndADeletionStartsAfresh) {
    // "b" deleted in version 1 and written again in version 2 is version 2's line.
    EXPECT_EQ(listing(annotate::annotateLines(history({"a\nb\n", "a\n", "a\nb\n"}))), "0:a\n2:b\n");
    // Version 1 deleted the file (no text); version 2 created it again with the same lines.
    EXPECT_EQ(listing(annotate::annotateLines(history({"a\nb\n", "", "a\nb\n"}))), "2:a\n2:b\n");
}

TEST(Annotate, ALastLineWithoutLineFeedChangesWhenOneIsAdded) {
    // The lines are views of the versions' texts, which must outlive them.
    const std::vector<FileVersion> aVersions = history({"a\nb", "a\nb\nc"});
    const std::vector<annotate::AnnotatedLine> aLines = annotate::annotateLines(aVersions);
    EXPECT_EQ(listing(aLines), "0:a\n1:b\n1:c\n");
    EXPECT_EQ(aLines.back().itsText, "c");
}

TEST(Annotate, EmptyHistoriesAndAMissingVersion) {
    EXPECT_TRUE(annotate::annotateLines(std::vector<FileVersion>{}).empty());
    EXPECT_TRUE(annotate::annotateLines(history({"a\n", ""})).empty());
    const std::vector<FileVersion> aVersions = history({"a\n", "b\n"});
    EXPECT_EQ(kivotest::messageOf([&] { annotate::annotateLines(aVersions, 2); }),
              "No version 3 to annotate: the file has 2 versions");
}

// Random histories of insertions, deletions and rewrites in which every written line is unique
// and says which version wrote it: the answer for each line is then known without a diff.
TEST(Annotate, RandomHistoriesNameTheWriterOfEveryLine) {
    std::mt19937 aRandom(20261208);
    for (int aRound = 0; aRound < 200; ++aRound) {
        std::vector<std::string> aLines;
        std::vector<std::string> aTexts;
        int aWritten = 0;
        const int aCount = std::uniform_int_distribution<int>(1, 8)(aRandom);
        for (int v = 0; v < aCount; ++v) {
            const int anEdits = std::uniform_int_distribution<int>(0, 3)(aRandom);
            for (int e = 0; e < anEdits; ++e) {
                const std::size_t anAt =
                    std::uniform_int_distribution<std::size_t>(0, aLines.size())(aRandom);
                const auto aPlace = aLines.begin() + static_cast<std::ptrdiff_t>(anAt);
                if (std::uniform_int_distribution<int>(0, 2)(aRandom) == 0 && anAt < aLines.size())
                    aLines.erase(aPlace);
                else
                    aLines.insert(aPlace,
                                  std::to_string(v) + ":line " + std::to_string(aWritten++) + "\n");
            }
            std::string aText;
            for (const std::string& aLine : aLines)
                aText += aLine;
            aTexts.push_back(aText);
        }
        std::string anExpected;
        for (const std::string& aLine : aLines)
            anExpected += aLine.substr(0, aLine.find(':')) + ":" + aLine;
        EXPECT_EQ(listing(annotate::annotateLines(history(aTexts))), anExpected)
            << "round " << aRound;
    }
}
