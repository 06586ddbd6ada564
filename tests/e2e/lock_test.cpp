// The workspace exit through the probe, which runs the real run sequence: command log, trace,
// the lock's release and failures of the exit (the lock's refusals: the workspace layer's tests).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// The workspace "ws" in a test folder, made by a creation run that writes the first log block.
class WorkSpaceExit : public ::testing::Test {
protected:
    WorkSpaceExit() {
        const RunResult aCreated = probe("create", {"version"}, {{"KIVO_WORKSPACE", "ws"}});
        EXPECT_EQ(aCreated.itsExitCode, 0) << aCreated.itsErr;
    }
    // Runs the probe in the workspace, or in the test's folder for a creation.
    RunResult probe(const std::string& theMode, const std::vector<std::string>& theArgs,
                    std::map<std::string, std::optional<std::string>> theEnv = {}) const {
        RunOptions anOptions;
        anOptions.itsCwd = theMode == "create" ? itsDir.path() : ws();
        anOptions.itsEnv = std::move(theEnv);
        anOptions.itsEnv["PROBE_WORKSPACE"] = theMode;
        return runProgram("kivo_workspace_probe", theArgs, anOptions);
    }
    fs::path ws() const { return itsDir.path() / "ws"; }
    fs::path settings() const { return ws() / "._SYS_KIVO_settings"; }
    std::string log() const { return readText(settings() / "logs/commands.log"); }

private:
    TempDir itsDir;
};

} // namespace

// One log block a run (none with --noCommandLog, one for a failure too), and the lock released.
TEST_F(WorkSpaceExit, EachRunAppendsOneBlockAndReleasesTheLock) {
    const RunResult aResult = probe("lock", {"version", "--plain"});
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    const std::string aText = log();
    EXPECT_EQ(countOf(aText, "\n\n"), 2u) << aText;
    EXPECT_TRUE(aText.ends_with("\"plain\":X}\n\n")) << aText;
    EXPECT_TRUE(contains(aText, " version\n{") && contains(aText, " version --plain\n{")) << aText;
    EXPECT_FALSE(fs::exists(settings() / "logs/commands.trace"));

    EXPECT_EQ(probe("open", {"version", "--noCommandLog", "--trace"}).itsExitCode, 0);
    EXPECT_EQ(log(), aText);
    const std::string aTrace = readText(settings() / "logs/commands.trace");
    EXPECT_TRUE(contains(aTrace, " Opt\n") && aTrace.ends_with("\n\n")) << aTrace;

    const RunResult aFailed = probe("lock", {"version", "--trace"}, {{"PROBE_FAIL", "1"}});
    EXPECT_EQ(aFailed.itsExitCode, 1);
    EXPECT_EQ(aFailed.itsErr, "Probe failure.\n");
    EXPECT_EQ(countOf(log(), "\n\n"), 3u);
    EXPECT_TRUE(contains(readText(settings() / "logs/commands.trace"),
                         "An error occurred:\nProbe failure."));
    EXPECT_FALSE(fs::exists(settings() / ".lock"));
}

TEST_F(WorkSpaceExit, FailuresOfTheExitAreReportedAndTheRestStillRuns) {
    const fs::path aLogs = settings() / "logs";
    fs::remove(aLogs / "commands.log");
    fs::create_directories(aLogs / "commands.log/blocked");
    const RunResult aResult = probe("lock", {"version", "--plain", "--trace"});
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_TRUE(aResult.itsErr.starts_with(
        "Error exiting workspace: Failed to open file for writing (append: true): \"" +
        (aLogs / "commands.log").string() + "\""))
        << aResult.itsErr;
    EXPECT_TRUE(fs::exists(aLogs / "commands.trace"));
    EXPECT_FALSE(fs::exists(settings() / ".lock"));
}
