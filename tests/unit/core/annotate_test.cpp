// Who last changed each line: hand-made histories with the cases a reader checks by eye, and random
// histories whose every line names the version that wrote it.
#include <gtest/gtest.h>

#include <optional>
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

// "version:text" per line, the text with its line feed (if any), so a mismatch reads as a listing.
std::string listing(const std::vector<annotate::AnnotatedLine>& theLines) {
    std::string aText;
    for (const annotate::AnnotatedLine& aLine : theLines)
        aText += std::to_string(aLine.itsVersion) + ":" + std::string(aLine.itsText);
    return aText;
}

} // namespace

// Each line keeps the version that last changed it, up to the chosen version (the last when
// none is chosen). A line that comes back is new; a deletion (no text) starts afresh; a last line
// without line feed changes when one is added.
TEST(Annotate, LinesKeepTheVersionThatLastChangedThem) {
    const std::vector<std::string> aChanges = {"a\nb\nc\n", "a\nB\nc\n", "a\nB\nc\nd\n",
                                               "x\na\nB\nd\n"};
    const struct {
        std::vector<std::string> itsTexts;
        std::optional<std::size_t> itsChosen;
        const char* itsListing;
    } aTable[] = {
        {aChanges, std::nullopt, "3:x\n0:a\n1:B\n2:d\n"},
        {aChanges, 1, "0:a\n1:B\n0:c\n"},
        {aChanges, 0, "0:a\n0:b\n0:c\n"},
        {{"a\nb\n", "a\n", "a\nb\n"}, std::nullopt, "0:a\n2:b\n"},
        {{"a\nb\n", "", "a\nb\n"}, std::nullopt, "2:a\n2:b\n"},
        {{"a\nb", "a\nb\nc"}, std::nullopt, "0:a\n1:b\n1:c"},
        {{}, std::nullopt, ""},
        {{"a\n", ""}, std::nullopt, ""},
    };
    for (const auto& aRow : aTable) {
        // The lines are views of the versions' texts, which must outlive them.
        const std::vector<FileVersion> aVersions = history(aRow.itsTexts);
        EXPECT_EQ(listing(aRow.itsChosen ? annotate::annotateLines(aVersions, *aRow.itsChosen)
                                         : annotate::annotateLines(aVersions)),
                  aRow.itsListing);
    }
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
