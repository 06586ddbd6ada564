#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/process.hpp"

using kivotest::contains;
using kivotest::runKivo;

TEST(HelpCommand, OverviewAndEntriesAsText) {
    for (auto anArgs : {std::vector<std::string>{}, std::vector<std::string>{"help"},
                        std::vector<std::string>{"--help"}}) {
        auto aResult = runKivo(anArgs);
        EXPECT_EQ(aResult.itsExitCode, 0);
        EXPECT_TRUE(contains(aResult.itsOut, "kivo ACTION [WHAT] [OPTION]...\n"));
        EXPECT_FALSE(contains(aResult.itsOut, "<"));
    }

    auto aList = runKivo({"help", "create"});
    EXPECT_EQ(aList.itsExitCode, 0);
    EXPECT_TRUE(contains(aList.itsOut, "The following help texts are available:\n"
                                       "kivo help create workSpace\n"));

    auto anEntry = runKivo({"help", "create", "ws"});
    EXPECT_EQ(anEntry.itsExitCode, 0);
    EXPECT_EQ(anEntry.itsOut.rfind("\ncreate workSpace\n\n", 0), 0u);
    EXPECT_TRUE(contains(anEntry.itsOut, "Usage:\n  create workSpace|ws WORKSPACEPATH [KEY]\n"));

    auto aTopic = runKivo({"help", "LOCKFILE"});
    EXPECT_EQ(aTopic.itsExitCode, 0);
    EXPECT_EQ(aTopic.itsOut.rfind("\nlockFile\n\nThe lock file\n", 0), 0u);

    auto aHtml = runKivo({"help", "--html"});
    EXPECT_EQ(aHtml.itsOut.rfind("<!DOCTYPE html>\n", 0), 0u);
}

TEST(HelpCommand, NoMatchFailsOnStandardError) {
    for (auto anArgs : {std::vector<std::string>{"help", "nosuchthing"},
                        std::vector<std::string>{"help", "zzqx", "-s"}}) {
        auto aResult = runKivo(anArgs);
        EXPECT_EQ(aResult.itsExitCode, 1);
        EXPECT_EQ(aResult.itsErr, "No help found.\n");
        EXPECT_EQ(aResult.itsOut, "");
    }
    auto aFound = runKivo({"help", "p4MERGE", "-s"});
    EXPECT_EQ(aFound.itsExitCode, 0);
    EXPECT_EQ(aFound.itsOut.rfind("\nmergeToolConfig\n", 0), 0u);
}

// The browser gets a file URL with the anchor of the requested entry; the page is the whole help.
TEST(HelpCommand, BrowseWritesThePageAndOpensTheBrowser) {
    kivotest::TempDir aDir;
    std::filesystem::path aScript = aDir.path() / "browser.sh";
    kivotest::writeText(aScript, "#!/bin/sh\necho \"$1\" > \"" + (aDir.path() / "url").string() +
                                     "\"\n"
                                     "f=${1#file://}; cp \"${f%%#*}\" \"" +
                                     (aDir.path() / "page.html").string() + "\"\n");
    std::filesystem::permissions(aScript, std::filesystem::perms::owner_all);
    kivotest::RunOptions anOptions;
    anOptions.itsEnv["BROWSER"] = aScript.string();
    anOptions.itsEnv["TMPDIR"] = aDir.path().string();
    anOptions.itsEnv["TEMP"] = std::nullopt;
    anOptions.itsEnv["temp"] = std::nullopt;

    auto aResult = runKivo({"help", "create", "ws", "--browse"}, anOptions);
    ASSERT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    std::string aFile = (aDir.path() / "kivotmp" / "kivohelp.html").string();
    EXPECT_EQ(kivotest::readText(aDir.path() / "url"), "file://" + aFile + "#create_workSpace\n");
    std::string aPage = kivotest::readText(aDir.path() / "page.html");
    EXPECT_EQ(aPage, kivotest::readText(aFile));
    EXPECT_TRUE(contains(aPage, "<h2 id=\"create_workSpace\">"));
    EXPECT_TRUE(contains(aPage, "<h2 id=\"traces\">"));
    EXPECT_TRUE(contains(aPage, "<h2 id=\"overview\">"));
}
