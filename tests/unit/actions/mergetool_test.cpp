// The merge-tool command: whatever the template does with a placeholder, the shell sees exactly
// the path there, and no character of the path is interpreted.
#include "actions/mergetool.hpp"
#include "actions/resolvesides.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/memorydisk.hpp"
#include "tests/support/process.hpp"
#include "workspace/sys.hpp"

using namespace RepositoryAccess;
namespace fs = std::filesystem;
using resolvesides::Side;

namespace {

// What /bin/sh prints for the command, run in theDir.
std::string shellOutput(const std::string& theCommand, const fs::path& theDir) {
    const std::string aLine = "cd '" + theDir.string() + "' && " + theCommand;
    FILE* apPipe = ::popen(aLine.c_str(), "r");
    if (!apPipe)
        return "popen failed";
    std::string anOutput;
    char aBuffer[256];
    for (std::size_t aRead; (aRead = std::fread(aBuffer, 1, sizeof aBuffer, apPipe)) > 0;)
        anOutput.append(aBuffer, aRead);
    ::pclose(apPipe);
    return anOutput;
}

std::string replaced(std::string theText, const std::string& thePath) {
    for (auto aPos = theText.find('@'); aPos != std::string::npos; aPos = theText.find('@'))
        theText.replace(aPos, 1, thePath);
    return theText;
}

} // namespace

TEST(MergeToolCommand, EveryPlaceholderReachesTheToolAsExactlyThePath) {
    kivotest::TempDir aDir;
    const std::vector<std::string> aPaths = {
        "/tmp/kivotmp/merge-1-1-local.txt", "/tmp/x$(touch pwned).txt",  "/tmp/y`touch pwned`",
        "/tmp/z'; touch pwned; '",          "/tmp/q\"; touch pwned; \"", "/tmp/a b\\c"};
    // A template's argument, and the word the tool must receive (@ stands for the path).
    const std::vector<std::pair<std::string, std::string>> aTemplates = {
        {"%l", "@"},
        {"'%l'", "@"},
        {"\"%l\"", "@"},
        {"--out=%l.merged", "--out=@.merged"},
        {"-o%l", "-o@"},
        {"\"x%ly\"", "x@y"},
        {"'pre %l post'", "pre @ post"},
        {"\\%l", "%l"},
        {"\"\\\"%l\"", "\"@"}};
    for (const std::string& aPath : aPaths) {
        const mergetool::Sides aSides{"/b", "/r", aPath};
        for (const auto& [aTemplate, aWord] : aTemplates) {
            const std::string aCommand = mergetool::command("printf '[%s]' " + aTemplate, aSides);
            EXPECT_EQ(shellOutput(aCommand, aDir.path()), "[" + replaced(aWord, aPath) + "]")
                << aTemplate << " gave " << aCommand;
        }
    }
    EXPECT_FALSE(fs::exists(aDir.path() / "pwned"));
}

TEST(MergeToolCommand, BarePlaceholdersAreQuotedAndPlainPathsInQuotesStayAsTheyAre) {
    const mergetool::Sides aSides{"/t/base.txt", "/t/remote.txt", "/t/local.txt"};
    EXPECT_EQ(mergetool::command("tool %b %r %l %l", aSides),
              "tool '/t/base.txt' '/t/remote.txt' '/t/local.txt' '/t/local.txt'");
    EXPECT_EQ(mergetool::command("tool '%b' \"%r\" -o%l %x %", aSides),
              "tool '/t/base.txt' \"/t/remote.txt\" -o'/t/local.txt' %x %");
    // A path of other characters closes the template's quote around its own.
    EXPECT_EQ(mergetool::command("tool '%l'", {"", "", "/t/it's"}), "tool '''/t/it'\\''s'''");
}

namespace {

class ResolveSides : public ::testing::Test {
protected:
    kivotest::MemoryDisk itsDisk;
    disk::Use itsUse{itsDisk};
    const mergetool::Sides itsSides{"/ws/.kivo/base/a.txt", "/ws/.kivo/diff/a.txt", "/ws/a.txt"};
};

// A missing side and one that begins with the mark both stand for a deleted object.
TEST_F(ResolveSides, EachModeTakesItsOwnFileAndADeletionIsNoContent) {
    itsDisk.addFile(itsSides.itsLocal, "mine");
    itsDisk.addFile(itsSides.itsRemote, "__deleted__");
    const struct {
        const char* itsMode;
        std::optional<Side> itsSide;
    } aTable[] = {
        {"local", Side("mine")}, {"LOCAL", Side("mine")},     {"remote", Side()},
        {"base", Side()},        {"mergeTool", std::nullopt}, {"theirs", std::nullopt},
    };
    for (const auto& aRow : aTable)
        EXPECT_EQ(resolvesides::fileSide(aRow.itsMode, itsSides), aRow.itsSide) << aRow.itsMode;
    itsDisk.addFile(itsSides.itsBase, "old\n__deleted__");
    EXPECT_EQ(resolvesides::sideContent(itsSides.itsBase), Side("old\n__deleted__"));
}

TEST_F(ResolveSides, TheLocalFileIsWrittenOnlyWhenItDiffers) {
    itsDisk.addFile(itsSides.itsLocal, "same");
    const std::string aBefore = sys::getts(itsSides.itsLocal);
    resolvesides::writeLocal(itsSides.itsLocal, Side("same"));
    EXPECT_EQ(sys::getts(itsSides.itsLocal), aBefore);
    resolvesides::writeLocal(itsSides.itsLocal, Side("other"));
    EXPECT_EQ(itsDisk.content(itsSides.itsLocal), "other");
    EXPECT_NE(sys::getts(itsSides.itsLocal), aBefore);
    resolvesides::writeLocal(itsSides.itsLocal, Side());
    EXPECT_FALSE(itsDisk.content(itsSides.itsLocal));
    resolvesides::writeLocal(itsSides.itsLocal, Side()); // gone already: nothing to do
    // A side taken for a deleted file brings its directory back.
    resolvesides::writeLocal("/ws/gone/dir/b.txt", Side("back"));
    EXPECT_EQ(itsDisk.content("/ws/gone/dir/b.txt"), "back");
}

} // namespace
