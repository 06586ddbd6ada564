#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/process.hpp"

using namespace kivotest;

// What each request of help starts with; the texts themselves are the help table's tests'.
TEST(HelpCommand, OverviewEntriesTopicsAndSearchAsText) {
    const std::string anOverview = "kivo ACTION [WHAT] [OPTION]...\n";
    const std::string aList =
        "The following help texts are available:\nkivo help create workSpace\n";
    const struct {
        std::vector<std::string> itsArgs;
        std::string itsPart;
        bool itsAtStart;
    } aCases[] = {
        {{}, anOverview, false},
        {{"help"}, anOverview, false},
        {{"--help"}, anOverview, false},
        {{"help", "create"}, aList, false},
        {{"help", "create", "ws"}, "\ncreate workSpace\n\n", true},
        {{"help", "LOCKFILE"}, "\nlockFile\n\nThe lock file\n", true},
        {{"help", "p4MERGE", "-s"}, "\nmergeToolConfig\n", true},
        {{"help", "--html"}, "<!DOCTYPE html>\n", true},
    };
    for (const auto& aCase : aCases) {
        const RunResult aResult = runKivo(aCase.itsArgs);
        EXPECT_EQ(aResult.itsExitCode, 0);
        EXPECT_TRUE(aCase.itsAtStart ? aResult.itsOut.starts_with(aCase.itsPart)
                                     : contains(aResult.itsOut, aCase.itsPart))
            << aResult.itsOut;
    }
    EXPECT_FALSE(contains(runKivo({"help"}).itsOut, "<"));
    const std::vector<std::string> aNoMatches[] = {{"help", "nosuchthing"}, {"help", "zzqx", "-s"}};
    for (const auto& anArgs : aNoMatches) {
        const RunResult aResult = runKivo(anArgs);
        EXPECT_EQ(aResult.itsExitCode, 1);
        EXPECT_EQ(aResult.itsErr, "No help found.\n");
        EXPECT_EQ(aResult.itsOut, "");
    }
}

// The browser gets a file URL with the anchor of the requested entry; the page is the whole help.
TEST(HelpCommand, BrowseWritesThePageAndOpensTheBrowser) {
    TempDir aDir;
    const std::filesystem::path aScript = aDir.path() / "browser.sh";
    writeText(aScript, "#!/bin/sh\necho \"$1\" > \"" + (aDir.path() / "url").string() +
                           "\"\nf=${1#file://}; cp \"${f%%#*}\" \"" +
                           (aDir.path() / "page.html").string() + "\"\n");
    std::filesystem::permissions(aScript, std::filesystem::perms::owner_all);
    RunOptions anOptions;
    anOptions.itsEnv = {{"BROWSER", aScript.string()},
                        {"TMPDIR", aDir.path().string()},
                        {"TEMP", std::nullopt},
                        {"temp", std::nullopt}};
    const RunResult aResult = runKivo({"help", "create", "ws", "--browse"}, anOptions);
    ASSERT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    const std::string aFile = (aDir.path() / "kivotmp" / "kivohelp.html").string();
    EXPECT_EQ(readText(aDir.path() / "url"), "file://" + aFile + "#create_workSpace\n");
    const std::string aPage = readText(aDir.path() / "page.html");
    EXPECT_EQ(aPage, readText(aFile));
    for (const char* anId : {"create_workSpace", "traces", "overview"})
        EXPECT_TRUE(contains(aPage, "<h2 id=\"" + std::string(anId) + "\">")) << anId;
}
