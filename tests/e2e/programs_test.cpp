// The programs from outside: help, the run sequence, the workspace exit through the probe,
// kivo-merge on files, kivo-repo (the administrator's tool) and zevuserstore (the key store).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// Runs a program in a fresh test folder with changes to the environment.
class InFolder : public ::testing::Test {
protected:
    using Env = std::map<std::string, std::optional<std::string>>;
    RunResult run(const std::string& theProgram, const std::vector<std::string>& theArgs,
                  Env theEnv = {}, const fs::path& theSub = {}) const {
        RunOptions anOptions;
        anOptions.itsCwd = dir() / theSub;
        anOptions.itsEnv = std::move(theEnv);
        return runProgram(theProgram, theArgs, anOptions);
    }
    RunResult kivo(const std::vector<std::string>& theArgs, Env theEnv = {}) const {
        return run("kivo", theArgs, std::move(theEnv));
    }
    bool nothingWritten() const { return fs::is_empty(dir()); }
    const fs::path& dir() const { return itsDir.path(); }

private:
    TempDir itsDir;
};

using HelpCommand = InFolder;
using RunSequence = InFolder;

} // namespace

// The overview, an entry and a failed search as text (what a request selects: the help tests').
TEST_F(HelpCommand, OverviewEntriesTopicsAndSearchAsText) {
    for (const auto& anArgs : {std::vector<std::string>{}, std::vector<std::string>{"--help"}}) {
        const RunResult aResult = kivo(anArgs);
        EXPECT_EQ(aResult.itsExitCode, 0);
        EXPECT_TRUE(contains(aResult.itsOut, "kivo ACTION [WHAT] [OPTION]...\n")) << aResult.itsOut;
        EXPECT_FALSE(contains(aResult.itsOut, "<")) << aResult.itsOut;
    }
    EXPECT_TRUE(kivo({"help", "create", "ws"}).itsOut.starts_with("\ncreate workSpace\n\n"));
    const RunResult aNone = kivo({"help", "zzqx", "-s"});
    EXPECT_EQ(aNone.itsExitCode, 1);
    EXPECT_EQ(aNone.itsErr, "No help found.\n");
    EXPECT_EQ(aNone.itsOut, "");
}

// KIVO_ARGS=2 dumps and runs nothing, 1 shows the call and runs it, other values do nothing; a
// parse failure prints only its message, on standard error.
TEST_F(RunSequence, ArgumentEchoByTheEnvironmentAndParseFailures) {
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

    const RunResult aBadOption = kivo({"status", "--no-tips"});
    EXPECT_EQ(aBadOption.itsExitCode, 1);
    EXPECT_EQ(aBadOption.itsErr, "kivo: Could not parse commandline argument: --no-tips\n");
    EXPECT_EQ(aBadOption.itsOut, "");
    const RunResult aWords = kivo({"list", "--with=x", "-v"});
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

namespace {

// The workspace "ws", made by a creation run of the probe (which runs the real run sequence)
// that writes the first log block. The lock's refusals are the workspace layer's tests.
class WorkSpaceExit : public InFolder {
protected:
    WorkSpaceExit() {
        EXPECT_EQ(probe("create", {"version"}, {{"KIVO_WORKSPACE", "ws"}}).itsExitCode, 0);
    }
    // Runs the probe in the workspace, or in the test's folder for a creation.
    RunResult probe(const std::string& theMode, const std::vector<std::string>& theArgs,
                    Env theEnv = {}) const {
        theEnv["PROBE_WORKSPACE"] = theMode;
        return run("kivo_workspace_probe", theArgs, theEnv, theMode == "create" ? "" : "ws");
    }
    fs::path logs() const { return dir() / "ws/._SYS_KIVO_settings/logs"; }
    std::string log() const { return readText(logs() / "commands.log"); }
    bool locked() const { return fs::exists(logs().parent_path() / ".lock"); }
};

} // namespace

// One log block a run (none with --noCommandLog, one for a failure too), and the lock released.
TEST_F(WorkSpaceExit, EachRunAppendsOneBlockAndReleasesTheLock) {
    EXPECT_EQ(probe("lock", {"version", "--plain"}).itsExitCode, 0);
    const std::string aText = log();
    EXPECT_EQ(countOf(aText, "\n\n"), 2u) << aText;
    EXPECT_TRUE(aText.ends_with("\"plain\":X}\n\n")) << aText;
    EXPECT_TRUE(contains(aText, " version\n{") && contains(aText, " version --plain\n{")) << aText;
    EXPECT_FALSE(fs::exists(logs() / "commands.trace"));

    EXPECT_EQ(probe("open", {"version", "--noCommandLog", "--trace"}).itsExitCode, 0);
    EXPECT_EQ(log(), aText);
    const std::string aTrace = readText(logs() / "commands.trace");
    EXPECT_TRUE(contains(aTrace, " Opt\n") && aTrace.ends_with("\n\n")) << aTrace;

    const RunResult aFailed = probe("lock", {"version", "--trace"}, {{"PROBE_FAIL", "1"}});
    EXPECT_EQ(aFailed.itsExitCode, 1);
    EXPECT_EQ(aFailed.itsErr, "Probe failure.\n");
    EXPECT_EQ(countOf(log(), "\n\n"), 3u);
    EXPECT_TRUE(
        contains(readText(logs() / "commands.trace"), "An error occurred:\nProbe failure."));
    EXPECT_FALSE(locked());
}

TEST_F(WorkSpaceExit, FailuresOfTheExitAreReportedAndTheRestStillRuns) {
    fs::remove(logs() / "commands.log");
    fs::create_directories(logs() / "commands.log/blocked");
    const RunResult aFailed = probe("lock", {"version", "--plain", "--trace"});
    EXPECT_EQ(aFailed.itsExitCode, 1);
    EXPECT_TRUE(aFailed.itsErr.starts_with(
        "Error exiting workspace: Failed to open file for writing (append: true): \"" +
        (logs() / "commands.log").string() + "\""))
        << aFailed.itsErr;
    EXPECT_TRUE(fs::exists(logs() / "commands.trace"));
    EXPECT_FALSE(locked());
}

namespace {

// kivo-merge on the files base, remote and local (as push's merge tool: the resolution's tests;
// its lines: the text merge's; an overlap of a push: Resolve.KivoMerge...).
class KivoMerge : public InFolder {
protected:
    RunResult merge(const std::string& theBase, const std::string& theRemote,
                    const std::string& theLocal) const {
        writeText(dir() / "base", theBase);
        writeText(dir() / "remote", theRemote);
        writeText(dir() / "local", theLocal);
        return run("kivo-merge", {"base", "remote", "local"});
    }
    std::string local() const { return readText(dir() / "local"); }
};

} // namespace

TEST_F(KivoMerge, OverlappingChangesLeaveTheLocalFileAndWriteTheMergeBesideIt) {
    const RunResult aRun = merge("1\n2\n3\n", "1\n2\nR3\n", "1\n2\nL3\n");
    EXPECT_EQ(aRun.itsExitCode, 1);
    EXPECT_EQ(local(), "1\n2\nL3\n");
    // The markers name the sides by their files; the layout is the text merge's tests'.
    EXPECT_TRUE(contains(readText(dir() / "local.merged"), "<<<<<<< local local\nL3\n"));
    EXPECT_TRUE(contains(aRun.itsErr, "1 overlapping change(s)")) << aRun.itsErr;
    EXPECT_TRUE(contains(aRun.itsErr, "local.merged")) << aRun.itsErr;
    // A marker line brought in by one side is never taken as a resolved merge.
    const std::string aBase = "1\n2\n3\n4\n5\n6\n7\n8\n";
    EXPECT_EQ(merge(aBase, aBase, "<<<<<<< left over\n" + aBase).itsExitCode, 1);
    EXPECT_EQ(local(), "<<<<<<< left over\n" + aBase);
    // A deleted object is not merged line by line.
    EXPECT_EQ(merge(aBase, "__deleted__", aBase + "9\n").itsExitCode, 1);
    EXPECT_EQ(local(), aBase + "9\n");
    EXPECT_EQ(run("kivo-merge", {"a", "b"}).itsExitCode, 2);
    EXPECT_EQ(run("kivo-merge", {"no-base", "no-remote", "no-local"}).itsExitCode, 2);
}

TEST(KivoRepoTool, InitUsersAdministratorsSettingsAndShow) {
    TempDir aDir;
    RepositoryTarget aTarget(aDir.path());
    auto anInit = aTarget.tool("init", {"--database", "TST", "--vendor", "acme.org"});
    ASSERT_EQ(anInit.itsExitCode, 0) << anInit.itsErr;
    auto aTwice = aTarget.tool("init");
    EXPECT_EQ(aTwice.itsExitCode, 1);
    EXPECT_TRUE(contains(aTwice.itsErr, "exists already")) << aTwice.itsErr;
    auto aShow = [&] { return aTarget.tool("show").itsOut; };
    EXPECT_TRUE(contains(aShow(), "Administrators: every user (nobody is marked)\n")) << aShow();
    // A new password keeps the administrator's mark; --admin=no takes it back.
    const std::pair<std::vector<std::string>, std::string> aUsers[] = {
        {{"carol", "pw-1", "--admin"}, "Added user CAROL\nUser CAROL is an administrator\n"},
        {{"--admin=yes", "dan", "pw"}, "Added user DAN\nUser DAN is an administrator\n"},
        {{"CAROL", "pw-2"}, "Changed the password of user CAROL\n"},
        {{"dan", "pw", "--admin=no"},
         "Changed the password of user DAN\nUser DAN is no administrator\n"},
    };
    for (const auto& [anArgs, anOutput] : aUsers)
        EXPECT_EQ(aTarget.tool("user", anArgs).itsOut, anOutput);
    const auto aMaybe = aTarget.tool("user", {"dan", "pw", "--admin=maybe"});
    EXPECT_EQ(aMaybe.itsErr, "kivo-repo: --admin takes yes or no, not \"maybe\"\n");
    // Without PASSWORD it is read from standard input, here empty.
    const auto anEmpty = aTarget.tool("user", {"dan", "--admin"});
    EXPECT_EQ(anEmpty.itsErr, "kivo-repo: The password must not be empty\n");
    EXPECT_TRUE(aMaybe.itsExitCode == 1 && anEmpty.itsExitCode == 1);
    EXPECT_EQ(aTarget.tool("user", {"dan", "pw", "--admin", "--admin=no"}).itsExitCode, 2);

    EXPECT_EQ(aTarget.tool("set", {"api_version", "none"}).itsExitCode, 0);
    auto aBad = aTarget.tool("set", {"change_tracking", "maybe"});
    EXPECT_EQ(aBad.itsExitCode, 1);
    EXPECT_TRUE(contains(aBad.itsErr, "on or off")) << aBad.itsErr;
    EXPECT_EQ(aTarget.tool("set", {"import_max_bytes", "1048576"}).itsOut,
              "import_max_bytes = 1048576\n");
    for (const char* aLimit : {"0", "-1", "1e9", ""}) {
        auto aRefused = aTarget.tool("set", {"import_max_bytes", aLimit});
        EXPECT_EQ(aRefused.itsExitCode, 1) << aLimit;
        EXPECT_TRUE(contains(aRefused.itsErr, "positive number of bytes")) << aRefused.itsErr;
    }
    for (const char* aLine :
         {"  api_version = none\n", "  import_max_bytes = 1048576\n", "  database_name = TST\n",
          "  vendor = acme.org\n", "  CAROL\n", "Objects: 0\n", "Administrators: CAROL\n"})
        EXPECT_TRUE(contains(aShow(), aLine)) << aLine << "\n" << aShow();
    EXPECT_FALSE(contains(aShow(), "pw-")) << "passwords are never shown";
    EXPECT_EQ(runProgram("kivo-repo", {"frobnicate"}).itsExitCode, 2);
}

using ZevUserStoreTool = InFolder;

TEST_F(ZevUserStoreTool, KeysAreStoredPrivatelyListedWithoutPasswordsAndDeleted) {
    const fs::path aHome = dir() / "store";
    auto aStore = [&](const std::vector<std::string>& theArgs) {
        return run("zevuserstore", theArgs, {{"ZEVUSERSTORE_HOME", aHome.string()}});
    };
    auto aMode = [](const fs::path& thePath) { return fs::status(thePath).permissions(); };
    // A repository file named from the current directory is stored with its absolute path.
    const std::string aRepo = "file:" + (dir() / "repo.db").string();
    auto aSet = aStore({"SET", "DEV", "file:repo.db", "alice", "pw-secret"});
    ASSERT_EQ(aSet.itsExitCode, 0) << aSet.itsErr;
    EXPECT_EQ(aMode(aHome), fs::perms::owner_all);
    EXPECT_EQ(aMode(aHome / "keys"), fs::perms::owner_read | fs::perms::owner_write);
    aStore({"SET", "QA", "file:/tmp/qa.db", "bob", "x"});
    const std::string aQa = "KEY QA\n  HOST: file:/tmp/qa.db\n  USER: BOB\n";
    EXPECT_EQ(aStore({"LIST"}).itsOut, "KEY DEV\n  HOST: " + aRepo + "\n  USER: ALICE\n" + aQa);
    EXPECT_EQ(aStore({"LIST", "QA"}).itsOut, aQa);
    EXPECT_EQ(aStore({"DELETE", "QA"}).itsExitCode, 0);
    EXPECT_EQ(aStore({"LIST", "QA"}).itsExitCode, 1);

    fs::permissions(aHome / "keys", fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::add);
    auto aRefused = aStore({"LIST"});
    EXPECT_EQ(aRefused.itsExitCode, 1);
    EXPECT_TRUE(contains(aRefused.itsErr, (aHome / "keys").string()) &&
                contains(aRefused.itsErr, "0644"))
        << aRefused.itsErr;
}
