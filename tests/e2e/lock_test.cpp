// The workspace seen from outside, through real processes: the lock between runs, the command
// log and trace appended by the workspace exit, exit failures, and the rollback of a failed
// creation. The probe runs the real run sequence and opens or creates the workspace before its
// action step.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

RunResult probe(const TempDir& theDir, const std::string& theMode,
                const std::vector<std::string>& theArgs,
                std::map<std::string, std::optional<std::string>> theEnv = {},
                const fs::path& theCwd = {}) {
    RunOptions anOptions;
    anOptions.itsCwd = theCwd.empty() ? theDir.path() : theCwd;
    anOptions.itsEnv = std::move(theEnv);
    anOptions.itsEnv["PROBE_WORKSPACE"] = theMode;
    return runProgram("kivo_workspace_probe", theArgs, anOptions);
}

// Creates the workspace "ws" in the directory; its creation run writes the first log block.
fs::path createWorkSpace(const TempDir& theDir) {
    const auto aResult = probe(theDir, "create", {"version"}, {{"KIVO_WORKSPACE", "ws"}});
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    return theDir.path() / "ws";
}

const std::string theLockMessage =
    "Workspace already locked by other process (name: kivo, id: 1).\nNow, you can either:\n\t* "
    "remove the lock (delete the file .lock in the directory ._SYS_KIVO_settings of the "
    "workspace), or\n\t* set the environment variable \"KIVO_IGNORE_LOCKFILE\" to \"1\".\n";

} // namespace

TEST(WorkSpaceExit, EachRunAppendsOneBlockAndReleasesTheLock) {
    TempDir aDir;
    const fs::path aWs = createWorkSpace(aDir);
    const fs::path aLog = aWs / "._SYS_KIVO_settings/logs/commands.log";
    auto aResult = probe(aDir, "lock", {"version", "--plain"}, {}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    EXPECT_EQ(aResult.itsOut, "1.1.3\n");
    EXPECT_FALSE(fs::exists(aWs / "._SYS_KIVO_settings/.lock"));
    const std::string aText = readText(aLog);
    // Two blocks, each: time, command line, parameter dump, then an empty line.
    EXPECT_EQ(countOf(aText, "\n\n"), 2u) << aText;
    EXPECT_TRUE(aText.ends_with("\"plain\":X}\n\n")) << aText;
    EXPECT_NE(aText.find(" version\n{"), std::string::npos) << aText;
    EXPECT_NE(aText.find(" version --plain\n{"), std::string::npos) << aText;
    EXPECT_FALSE(fs::exists(aWs / "._SYS_KIVO_settings/logs/commands.trace"));
}

TEST(WorkSpaceExit, NoCommandLogWithTraceAndFailingActions) {
    TempDir aDir;
    const fs::path aWs = createWorkSpace(aDir);
    const fs::path aLogs = aWs / "._SYS_KIVO_settings/logs";
    const std::string aLog = readText(aLogs / "commands.log");
    auto aResult = probe(aDir, "open", {"version", "--noCommandLog", "--trace"}, {}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    EXPECT_EQ(readText(aLogs / "commands.log"), aLog);
    const std::string aTrace = readText(aLogs / "commands.trace");
    EXPECT_NE(aTrace.find("1.1.3 Opt\n"), std::string::npos) << aTrace;
    EXPECT_TRUE(aTrace.ends_with("\n\n"));

    // A failing action still leaves its block, and the trace ends with the error.
    aResult = probe(aDir, "lock", {"version", "--trace"}, {{"PROBE_FAIL", "1"}}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_EQ(aResult.itsErr, "Probe failure.\n");
    EXPECT_EQ(countOf(readText(aLogs / "commands.log"), "\n\n"), 2u);
    const std::string aSecondTrace = readText(aLogs / "commands.trace");
    EXPECT_NE(aSecondTrace.find("An error occurred:\nProbe failure."), std::string::npos)
        << aSecondTrace;
    EXPECT_FALSE(fs::exists(aWs / "._SYS_KIVO_settings/.lock"));
}

TEST(WorkSpaceExit, ForeignLockRefusesTheRunAndStays) {
    TempDir aDir;
    const fs::path aWs = createWorkSpace(aDir);
    const fs::path aLock = aWs / "._SYS_KIVO_settings/.lock";
    writeText(aLock, "name: kivo, id: 1");
    auto aResult = probe(aDir, "lock", {"version"}, {}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_EQ(aResult.itsErr, theLockMessage);
    EXPECT_EQ(aResult.itsOut, "");
    EXPECT_EQ(readText(aLock), "name: kivo, id: 1");

    aResult = probe(aDir, "lock", {"version", "--plain"}, {{"KIVO_IGNORE_LOCKFILE", "1"}}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    EXPECT_EQ(readText(aLock), "name: kivo, id: 1");
}

TEST(WorkSpaceExit, FailuresOfTheExitAreReportedAndTheRestStillRuns) {
    TempDir aDir;
    const fs::path aWs = createWorkSpace(aDir);
    const fs::path aLogs = aWs / "._SYS_KIVO_settings/logs";
    fs::remove(aLogs / "commands.log");
    fs::create_directories(aLogs / "commands.log/blocked");
    auto aResult = probe(aDir, "lock", {"version", "--plain", "--trace"}, {}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_TRUE(aResult.itsErr.starts_with(
        "Error exiting workspace: Failed to open file for writing (append: true): \"" +
        (aLogs / "commands.log").string() + "\""))
        << aResult.itsErr;
    EXPECT_TRUE(fs::exists(aLogs / "commands.trace"));
    EXPECT_FALSE(fs::exists(aWs / "._SYS_KIVO_settings/.lock"));
}

TEST(WorkSpaceExit, SimulationWritesNoLog) {
    TempDir aDir;
    const fs::path aWs = createWorkSpace(aDir);
    const fs::path aLog = aWs / "._SYS_KIVO_settings/logs/commands.log";
    const std::string aBefore = readText(aLog);
    auto aResult = probe(aDir, "lock", {"version", "--plain", "--simulate"}, {}, aWs);
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    EXPECT_EQ(readText(aLog), aBefore);
    EXPECT_NE(aResult.itsOut.find("Simulation: File system write operation: Write file (append: "
                                  "true) \"" +
                                  aLog.string() + "\""),
              std::string::npos)
        << aResult.itsOut;
    EXPECT_FALSE(fs::exists(aWs / "._SYS_KIVO_settings/.lock"));
}

TEST(WorkSpaceExit, FailedCreationIsRolledBack) {
    TempDir aDir;
    auto aResult = probe(aDir, "create", {"version", "--trace"},
                         {{"PROBE_FAIL", "1"}, {"KIVO_WORKSPACE", "ws"}});
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_EQ(aResult.itsErr, "Probe failure.\n");
    EXPECT_TRUE(fs::is_empty(aDir.path()));

    // Creating over an existing workspace fails and changes nothing in it.
    const fs::path aWs = createWorkSpace(aDir);
    const std::string aLog = readText(aWs / "._SYS_KIVO_settings/logs/commands.log");
    aResult = probe(aDir, "create", {"version"}, {{"KIVO_WORKSPACE", "ws"}});
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_EQ(aResult.itsErr, "Workspace already exists (the settings folder \"" +
                                  (aWs / "._SYS_KIVO_settings").string() + "\" already exists).\n");
    EXPECT_EQ(readText(aWs / "._SYS_KIVO_settings/logs/commands.log"), aLog);
}
