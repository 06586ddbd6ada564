#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/process.hpp"

using namespace kivotest;

// What each request of help starts with, as text or HTML; which entries a request selects and
// the texts themselves are the help table's tests'.
TEST(HelpCommand, OverviewEntriesTopicsAndSearchAsText) {
    const std::string anOverview = "kivo ACTION [WHAT] [OPTION]...\n";
    const struct {
        std::vector<std::string> itsArgs;
        std::string itsPart;
        bool itsAtStart;
    } aCases[] = {
        {{}, anOverview, false},
        {{"--help"}, anOverview, false},
        {{"help", "create"},
         "The following help texts are available:\nkivo help create workSpace\n",
         false},
        {{"help", "create", "ws"}, "\ncreate workSpace\n\n", true},
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
    EXPECT_FALSE(contains(runKivo({}).itsOut, "<"));
    const RunResult aNone = runKivo({"help", "zzqx", "-s"});
    EXPECT_EQ(aNone.itsExitCode, 1);
    EXPECT_EQ(aNone.itsErr, "No help found.\n");
    EXPECT_EQ(aNone.itsOut, "");
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
