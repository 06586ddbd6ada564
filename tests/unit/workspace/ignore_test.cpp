#include "workspace/ignore.hpp"

#include <gtest/gtest.h>

#include "tests/unit/workspace/workspacefixture.hpp"

using namespace RepositoryAccess;
using kivotest::TempDir;
using kivotest::writeText;

namespace {

// A workspace directory below a folder that has its own (ineffective) ignore file.
struct IgnoreTree {
    TempDir itsDir;
    std::string itsWs;

    IgnoreTree() {
        itsWs = (itsDir.path() / "ws").string();
        std::filesystem::create_directories(itsDir.path() / "ws/a/b");
        std::filesystem::create_directories(itsDir.path() / "ws/a/c");
        writeText(itsDir.path() / ".kivoignore", R"({"exclude":[".*"]})");
    }
    void rules(const std::string& theDir, const std::string& theJson) {
        writeText(std::filesystem::path(itsWs) / theDir / ".kivoignore", theJson);
    }
    std::string path(const std::string& theRelative) const { return itsWs + "/" + theRelative; }
};

} // namespace

// An include below overrides an exclude above; patterns are relative to their directory, whose
// name is literal in them; the rules above the workspace do not apply.
TEST(Ignore, RulesOfEachDirectoryApplyBelowIt) {
    IgnoreTree aTree;
    std::filesystem::create_directories(aTree.path("a+b"));
    aTree.rules("", R"({"exclude":[".*\\.html"]})");
    aTree.rules("a", R"({"exclude":["x.txt", "Debug/.*"]})");
    aTree.rules("a/b", R"({"include":["index\\.html"], "other":1})");
    aTree.rules("a+b", R"({"exclude":[".*\\.o"]})");
    Ignore anIgnore(aTree.itsWs);
    for (const char* anIgnored :
         {"a/b/other.html", "a/c/index.html", "a/x.txt", "a/Debug/deep/y.bin", "a+b/m.o"})
        EXPECT_TRUE(anIgnore.isIgnored(aTree.path(anIgnored))) << anIgnored;
    for (const char* aKept : {"a/b/index.html", "a/b/x.txt", "top.txt", "a/c/x.txt"})
        EXPECT_FALSE(anIgnore.isIgnored(aTree.path(aKept))) << aKept;
    // Answers are remembered and each rules file is read once.
    aTree.rules("a", "not json at all");
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/x.txt")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/Debug/y")));
}

// A directory that a listing read whole is not probed unless its files held rules; one the
// listing did not read (a/b, below a flat listing) still is.
TEST(Ignore, ListingTellsWhichDirectoriesHoldRules) {
    IgnoreTree aTree;
    aTree.rules("a", R"({"exclude":[".*~"]})");
    aTree.rules("a/b", R"({"exclude":[".*\\.o"]})");
    Ignore anIgnore(aTree.itsWs);
    anIgnore.learnListing({aTree.itsWs + "/", aTree.path("a"), aTree.path("a/c/")},
                          {aTree.path("a/.kivoignore"), aTree.path("a/c/x.txt")});
    aTree.rules("a/c", R"({"exclude":[".*"]})"); // written after the listing
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/f~")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/b/m.o")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/b/f~")));
    EXPECT_FALSE(anIgnore.isIgnored(aTree.path("a/c/x.txt")));
    EXPECT_TRUE(anIgnore.isIgnored(aTree.path("a/c/f~")));
}

TEST(Ignore, UnparsableFileStopsWithItsRelativeNameAndContent) {
    IgnoreTree aTree;
    aTree.rules("a/b", "{\"exclude\": [oops]}");
    EXPECT_EQ(kivotest::messageOf([&] { Ignore(aTree.itsWs).isIgnored(aTree.path("a/b/f.txt")); }),
              "Could not parse \".kivoignore\" file \"a/b/.kivoignore\":\n{\"exclude\": [oops]}");
}

using IgnoreDebug = wstest::WorkSpaceTest;

TEST_F(IgnoreDebug, OutputShowsEveryRuleTried) {
    IgnoreTree aTree;
    aTree.rules("", R"({"exclude":["a\\.x"], "include":["b"]})");
    setParameter(params::debugKivoignore);
    Ignore(aTree.itsWs).isIgnored(aTree.path("a.x"));
    const std::string aCaptured = takeOutput();
    for (const std::string& aLine : {std::string("\nExclude regular expression : "),
                                     "Path                       : " + aTree.itsWs + "/a.x\n" +
                                         "Match                      : yes\n",
                                     std::string("\nInclude regular expression : ")})
        EXPECT_TRUE(kivotest::contains(aCaptured, aLine)) << aCaptured;
}
