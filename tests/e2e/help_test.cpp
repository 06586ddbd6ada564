#include <gtest/gtest.h>

#include <string>

#include "tests/support/process.hpp"

using namespace kivotest;

// The program's way to the help: no action and --help print the overview as text, an entry starts
// with its title, a search without a hit fails on standard error. Which entries a request selects
// is the help table's tests'; the browse page and the HTML the docs' tests'.
TEST(HelpCommand, OverviewEntriesTopicsAndSearchAsText) {
    for (const auto& anArgs : {std::vector<std::string>{}, std::vector<std::string>{"--help"}}) {
        const RunResult aResult = runKivo(anArgs);
        EXPECT_EQ(aResult.itsExitCode, 0);
        EXPECT_TRUE(contains(aResult.itsOut, "kivo ACTION [WHAT] [OPTION]...\n")) << aResult.itsOut;
        EXPECT_FALSE(contains(aResult.itsOut, "<")) << aResult.itsOut;
    }
    EXPECT_TRUE(runKivo({"help", "create", "ws"}).itsOut.starts_with("\ncreate workSpace\n\n"));
    const RunResult aNone = runKivo({"help", "zzqx", "-s"});
    EXPECT_EQ(aNone.itsExitCode, 1);
    EXPECT_EQ(aNone.itsErr, "No help found.\n");
    EXPECT_EQ(aNone.itsOut, "");
}
