#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/process.hpp"

using namespace kivotest;

// What each request of help starts with, as text or HTML; which entries a request selects and
// the texts themselves are the help table's tests'.
TEST(HelpCommand, OverviewEntriesTopicsAndSearchAsText) {
    const std::pair<std::vector<std::string>, std::string> aCases[] = {
        {{}, "kivo ACTION [WHAT] [OPTION]...\n"},
        {{"--help"}, "kivo ACTION [WHAT] [OPTION]...\n"},
        {{"help", "create"},
         "The following help texts are available:\nkivo help create workSpace\n"},
        {{"help", "create", "ws"}, "\ncreate workSpace\n\n"},
        {{"help", "p4MERGE", "-s"}, "\nmergeToolConfig\n"},
        {{"help", "--html"}, "<!DOCTYPE html>\n"},
    };
    for (const auto& [anArgs, aPart] : aCases) {
        const RunResult aResult = runKivo(anArgs);
        EXPECT_EQ(aResult.itsExitCode, 0);
        EXPECT_TRUE(contains(aResult.itsOut, aPart)) << aResult.itsOut;
        EXPECT_FALSE(anArgs.empty() && contains(aResult.itsOut, "<")) << "the text has no tags";
    }
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
