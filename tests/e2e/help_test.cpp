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

// The ways out that a new user needs are found where they look first, and by a search.
TEST(HelpCommand, TellsTheWaysOut) {
    EXPECT_TRUE(contains(runKivo({"help", "timeStamps"}).itsOut, "the repository's times in UTC"));
    EXPECT_TRUE(contains(runKivo({"help", "checkout"}).itsOut,
                         "--historical=TIMESTAMP (--hist): the versions valid at YYYY-MM-DD "
                         "HH:MM:SS.NNN or YYYY-MM-DD, a time of the repository in UTC"));
    const std::string aForce = "a later activation conflicts with it until kivo revert removes it";
    EXPECT_TRUE(contains(runKivo({"help", "checkout"}).itsOut, aForce));
    EXPECT_TRUE(contains(runKivo({"help", "conflicts"}).itsOut, aForce));
    EXPECT_TRUE(contains(runKivo({"help", "kivoignore"}).itsOut,
                         "A pattern is anchored at its directory and at the end of the name"));
    EXPECT_TRUE(contains(runKivo({"help", "mergeToolConfig"}).itsOut, "kivo-merge %b %r %l"));
    auto aSearch = runKivo({"help", "anchored", "-s"});
    EXPECT_EQ(aSearch.itsExitCode, 0);
    EXPECT_TRUE(contains(aSearch.itsOut, ".kivoignore files")) << aSearch.itsOut;
    EXPECT_TRUE(contains(runKivo({"help", "diff"}).itsOut, "Usage:\n  diff inactiveObjects|ios\n"));
    EXPECT_TRUE(contains(runKivo({"help", "log"}).itsOut, "Usage:\n  log OBJECT OBJECT...\n"));
    EXPECT_TRUE(contains(runKivo({"help", "annotate"}).itsOut, "--version=N"));
}

// A user of a team server finds its topic by the server's name, with the host forms, the TLS
// settings and what to do when the server fails.
TEST(HelpCommand, TheServersTopicIsFoundByTheServersName) {
    auto aSearch = runKivo({"help", "postgresql", "-s"});
    EXPECT_EQ(aSearch.itsExitCode, 0);
    EXPECT_TRUE(contains(aSearch.itsOut, "Team repositories on a PostgreSQL server"))
        << aSearch.itsOut;
    for (const char* aPart :
         {"HOST:PORT@DATABASE", "--database=DATABASE", "HOST1:PORT1,HOST2:PORT2@DATABASE",
          "--sslTrustStore=FILE", "statement_timeout", "CREATE EXTENSION kivo", "--keepName"})
        EXPECT_TRUE(contains(aSearch.itsOut, aPart)) << aPart;
    EXPECT_TRUE(contains(runKivo({"help", "create", "ws"}).itsOut, "see the topic servers"));
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
