// The run sequence seen from outside: argument echo, parse failures, exit status, and the rule
// that nothing is written before an action runs.
#include <gtest/gtest.h>

#include "tests/support/process.hpp"

using namespace kivotest;

namespace {

RunOptions inDir(const TempDir& theDir,
                 std::map<std::string, std::optional<std::string>> theEnv = {}) {
    RunOptions anOptions;
    anOptions.itsCwd = theDir.path();
    anOptions.itsEnv = std::move(theEnv);
    return anOptions;
}

// The echoed command line names the program as it was started; compare from the first blank.
std::string withoutProgram(const std::string& theOut) {
    return theOut.substr(theOut.find(' '));
}

} // namespace

TEST(RunSequence, ArgsEchoTwoPrintsTheDumpAndRunsNothing) {
    TempDir aDir;
    auto aResult = runKivo({"status", "-v", "--passwd=geheim"}, inDir(aDir, {{"KIVO_ARGS", "2"}}));
    EXPECT_EQ(aResult.itsExitCode, 0);
    EXPECT_EQ(withoutProgram(aResult.itsOut),
              " status -v --passwd=********\n{\"action\":status,\n\"passWord\":********,\n"
              "\"verbose\":X,\n\"what\":trackedPackages}\n");
    EXPECT_EQ(aResult.itsErr, "");
    EXPECT_TRUE(std::filesystem::is_empty(aDir.path()));
}

TEST(RunSequence, ArgsEchoOtherValuesHaveNoEffect) {
    TempDir aDir;
    for (const char* aValue : {"3", "11", "", "2 "}) {
        auto aResult = runKivo({"frobnicate"}, inDir(aDir, {{"KIVO_ARGS", aValue}}));
        EXPECT_EQ(aResult.itsExitCode, 1) << aValue;
        EXPECT_EQ(aResult.itsOut, "Arguments:\nfrobnicate\n") << aValue;
    }
}

TEST(RunSequence, EchoOneShowsTheCallThenRuns) {
    TempDir aDir;
    auto aResult = runKivo({"rebase", "x"}, inDir(aDir, {{"KIVO_ARGS", "1"}}));
    EXPECT_EQ(aResult.itsOut.substr(0, aResult.itsOut.find('\n') + 1).ends_with(" rebase x\n"),
              true);
    EXPECT_NE(aResult.itsOut.find("{\"action\":rebase,\n\"object\":x,\n\"what\":objects}\n"),
              std::string::npos);
}

TEST(RunSequence, ParseFailuresPrintOnlyTheirMessage) {
    TempDir aDir;
    auto aBadOption = runKivo({"status", "--no-tips"}, inDir(aDir));
    EXPECT_EQ(aBadOption.itsExitCode, 1);
    EXPECT_EQ(aBadOption.itsErr, "kivo: Could not parse commandline argument: --no-tips\n");
    EXPECT_EQ(aBadOption.itsOut, "");

    auto anUnknown = runKivo({"status", "--frobnicate=1"}, inDir(aDir));
    EXPECT_EQ(anUnknown.itsErr, "The parameter: frobnicate is not supported\n");

    auto aWords = runKivo({"list", "--with=x", "-v"}, inDir(aDir));
    EXPECT_EQ(aWords.itsOut, "Arguments:\nlist\n--v=X\n--with=x\n");
    EXPECT_EQ(aWords.itsErr, "kivo: Could not parse commandline arguments: See \"kivo help\".\n");
    EXPECT_TRUE(std::filesystem::is_empty(aDir.path()));
}

TEST(RunSequence, NonAsciiArgumentsArriveUnchanged) {
    TempDir aDir;
    auto aResult = runKivo({"status", "pä/ö€.txt"}, inDir(aDir, {{"KIVO_ARGS", "2"}}));
    EXPECT_NE(aResult.itsOut.find("\"object\":pä/ö€.txt"), std::string::npos);
}

TEST(VersionAction, PrintsEachRequestedFormWithoutStatistics) {
    TempDir aDir;
    auto run = [&](std::vector<std::string> theArgs) {
        return runKivo(theArgs, inDir(aDir)).itsOut;
    };
    EXPECT_EQ(run({"version"}), "1.1.3 Opt\n");
    EXPECT_EQ(run({"--version"}), "1.1.3 Opt\n");
    EXPECT_EQ(run({"-version"}), "1.1.3 Opt\n");
    EXPECT_EQ(run({"version", "--plain"}), "1.1.3\n");
    EXPECT_EQ(run({"version", "--client"}), "1.1.0\n");
    EXPECT_EQ(run({"version", "--micro", "--major"}), "1\n3\n");
    EXPECT_EQ(run({"version", "--client", "--plain", "--minor"}), "1.1.0\n1\n");
    EXPECT_TRUE(std::filesystem::is_empty(aDir.path()));
}

TEST(PerformanceTrace, IsWrittenToTheCurrentDirectoryOnlyWhenAsked) {
    TempDir aDir;
    auto aResult = runKivo({"version", "--perf"}, inDir(aDir));
    EXPECT_EQ(aResult.itsExitCode, 0);
    std::string aTrace = readText(aDir.path() / "kivoPerfTrace.xml");
    EXPECT_TRUE(aTrace.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")) << aTrace;

    TempDir anOther;
    runKivo({"version"}, inDir(anOther, {{"KIVO_PERFTRACE", "true"}}));
    EXPECT_FALSE(std::filesystem::exists(anOther.path() / "kivoPerfTrace.xml"));
    runKivo({"nosuchaction", "x"}, inDir(anOther, {{"KIVO_PERFTRACE", "1"}}));
    EXPECT_FALSE(std::filesystem::exists(anOther.path() / "kivoPerfTrace.xml"));
    runKivo({"version"}, inDir(anOther, {{"KIVO_PERFTRACE", "1"}, {"KIVO_SIMULATE", "1"}}));
    EXPECT_FALSE(std::filesystem::exists(anOther.path() / "kivoPerfTrace.xml"));
}
