// The run sequence from outside: echo, parse failures on their stream, nothing written before.
#include <gtest/gtest.h>

#include "tests/support/process.hpp"

using namespace kivotest;

namespace {

class RunSequence : public ::testing::Test {
protected:
    RunResult kivo(const std::vector<std::string>& theArgs,
                   std::map<std::string, std::optional<std::string>> theEnv = {}) const {
        RunOptions anOptions;
        anOptions.itsCwd = itsDir.path();
        anOptions.itsEnv = std::move(theEnv);
        return runKivo(theArgs, anOptions);
    }
    bool nothingWritten() const { return std::filesystem::is_empty(dir()); }
    const std::filesystem::path& dir() const { return itsDir.path(); }

private:
    TempDir itsDir;
};

} // namespace

// KIVO_ARGS=2 dumps and runs nothing, 1 shows the call and runs it, other values do nothing.
TEST_F(RunSequence, ArgumentEchoByTheEnvironment) {
    const RunResult aDump = kivo({"status", "-v", "--passwd=geheim"}, {{"KIVO_ARGS", "2"}});
    EXPECT_EQ(aDump.itsExitCode, 0);
    EXPECT_EQ(aDump.itsOut.substr(aDump.itsOut.find(' ')),
              " status -v --passwd=********\n{\"action\":status,\n\"passWord\":********,\n"
              "\"verbose\":X,\n\"what\":trackedPackages}\n");
    EXPECT_EQ(aDump.itsErr, "");
    const RunResult aCall = kivo({"rebase", "x"}, {{"KIVO_ARGS", "1"}});
    EXPECT_TRUE(aCall.itsOut.substr(0, aCall.itsOut.find('\n') + 1).ends_with(" rebase x\n"));
    EXPECT_TRUE(contains(aCall.itsOut, "{\"action\":rebase,\n\"object\":x,\n\"what\":objects}\n"));
    // Arguments that are no ASCII arrive unchanged.
    EXPECT_TRUE(contains(kivo({"status", "pä/ö€.txt"}, {{"KIVO_ARGS", "2"}}).itsOut,
                         "\"object\":pä/ö€.txt"));
    for (const char* aValue : {"3", "11", "", "2 "})
        EXPECT_EQ(kivo({"frobnicate"}, {{"KIVO_ARGS", aValue}}).itsOut, "Arguments:\nfrobnicate\n")
            << aValue;
    EXPECT_TRUE(nothingWritten());
}

TEST_F(RunSequence, ParseFailuresPrintOnlyTheirMessage) {
    const RunResult aBadOption = kivo({"status", "--no-tips"});
    EXPECT_EQ(aBadOption.itsExitCode, 1);
    EXPECT_EQ(aBadOption.itsErr, "kivo: Could not parse commandline argument: --no-tips\n");
    EXPECT_EQ(aBadOption.itsOut, "");
    const RunResult aWords = kivo({"list", "--with=x", "-v"});
    EXPECT_EQ(aWords.itsExitCode, 1);
    EXPECT_EQ(aWords.itsOut, "Arguments:\nlist\n--v=X\n--with=x\n");
    EXPECT_EQ(aWords.itsErr, "kivo: Could not parse commandline arguments: See \"kivo help\".\n");
    EXPECT_TRUE(nothingWritten());
}

// Only --perf writes the trace, not KIVO_PERFTRACE=true, a failed or a simulated run.
TEST_F(RunSequence, ThePerformanceTraceOnlyWhenAsked) {
    kivo({"version"}, {{"KIVO_PERFTRACE", "true"}});
    kivo({"nosuchaction", "x"}, {{"KIVO_PERFTRACE", "1"}});
    kivo({"version"}, {{"KIVO_PERFTRACE", "1"}, {"KIVO_SIMULATE", "1"}});
    EXPECT_TRUE(nothingWritten());
    EXPECT_EQ(kivo({"version", "--perf"}).itsExitCode, 0);
    EXPECT_TRUE(readText(dir() / "kivoPerfTrace.xml")
                    .starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
}
