// `kivo status`, `kivo track` and `kivo untrack` on workspaces written by the test. The status
// file's layouts and the tracked set's rules are the workspace layer's tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/e2e/workspacetree.hpp"

using namespace kivotest;

namespace {

// What `kivo status` prints first for a workspace that tracks acme.
std::string header(const WorkspaceTree& theWs) {
    return "Workspace: ws\nHost: " + theWs.host() +
           "\nUser: ME\nClient format version: 1.1.0\nTracked packages:\n\tacme\n";
}

// Moves a file's last-write time, so that timestamp modes see a change without waiting.
void touch(const std::string& thePath, long theSeconds) {
    timespec aTimes[2] = {{theSeconds, 0}, {theSeconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, thePath.c_str(), aTimes, 0), 0);
}

} // namespace

TEST(Status, ReportsEachKindOnceWithBaseVersionsAndTheTip) {
    WorkspaceTree anEmpty;
    anEmpty.save();
    EXPECT_EQ(anEmpty.kivo({"status"}).itsOut,
              "Workspace: ws\nHost: " + anEmpty.host() +
                  "\nUser: ME\nClient format version: 1.1.0\n"
                  "No packages tracked.\nCall \"kivo help track\" for help.\n");

    WorkspaceTree aWs;
    aWs.track("acme");
    aWs.file("acme/changed.txt", "old", true, 3);
    aWs.file("acme/sub/conflicted.txt", "c", true, 4);
    aWs.save();
    const RunResult aClean = aWs.kivo({"status"});
    EXPECT_EQ(aClean.itsOut, header(aWs) + "\n") << aClean.itsErr;
    EXPECT_EQ(aClean.itsErr, "");

    writeText(aWs.path("acme/changed.txt"), "new");
    aWs.known("acme/gone.txt", "x", 2);
    writeText(aWs.path("acme/sub/conflicted.txt"), "edited too");
    aWs.conflict("acme/sub/conflicted.txt");
    aWs.file("acme/sub/fresh.txt", "n", false);
    aWs.file("other/outside.txt", "not tracked", false);
    aWs.save();
    EXPECT_EQ(aWs.kivo({"status"}).itsOut, header(aWs) +
                                               "\nChanged files:\n\tacme/changed.txt (base #3)\n"
                                               "\nDeleted files:\n\tacme/gone.txt (base #2)\n"
                                               "\nConflicts:\n\tacme/sub/conflicted.txt (base #4)\n"
                                               "\nNew local files:\n\tacme/sub/fresh.txt\n\n" +
                                               kResolutionCalls + "\n");
    // Paths are shown relative to the current directory; the tip can be switched off.
    const std::string aBelow = aWs.kivo({"status", "--noTips"}, "acme/sub").itsOut;
    EXPECT_TRUE(contains(aBelow, "\n\t../changed.txt (base #3)\n") &&
                contains(aBelow, "\n\tfresh.txt\n") && !contains(aBelow, "Call:"))
        << aBelow;
    // Advanced layout: every heading, no versions, no tip.
    const std::string anAdvanced = aWs.kivo({"status"}, "", {{"KIVO_ADVANCED", "yes"}}).itsOut;
    EXPECT_TRUE(contains(anAdvanced, "\nChanged files:\n\tacme/changed.txt\n") &&
                !contains(anAdvanced, "Call:"))
        << anAdvanced;
}

TEST(Status, ComparisonModesOnAFileEditedAndRestored) {
    WorkspaceTree aWs;
    aWs.track("acme");
    aWs.file("acme/a.txt", "same bytes");
    aWs.save();
    touch(aWs.path("acme/a.txt"), 1700000000);
    const std::string aChanged = "\nChanged files:\n\tacme/a.txt (base #1)\n";
    auto modeOutput = [&](std::vector<std::string> theArgs) {
        theArgs.insert(theArgs.begin(), "status");
        return aWs.kivo(theArgs).itsOut.substr(header(aWs).size());
    };
    EXPECT_EQ(modeOutput({}), "\n");
    EXPECT_EQ(modeOutput({"--fast"}), "\n");
    EXPECT_EQ(modeOutput({"--veryFast"}), aChanged + "\n");
    EXPECT_EQ(modeOutput({"--noCompare"}), aChanged + "\n");
    // Simulation mode reads no timestamp, so every timestamp comparison fails, and the log
    // append is only reported.
    EXPECT_EQ(aWs.kivo({"status", "--veryFast"}, "", {{"KIVO_SIMULATE", "1"}}).itsOut,
              header(aWs) + aChanged +
                  "\nSimulation: File system write operation: Write file "
                  "(append: true) \"" +
                  aWs.path("._SYS_KIVO_settings/logs/commands.log") + "\"\n");
}

// A file named twice is reported once in every mode; the help's ignore example does what it says.
TEST(Status, NestedScopesAndIgnoreRulesReportEachFileOnce) {
    const std::string aHelp = runKivo({"help", "kivoignore"}).itsOut;
    const auto aStart = aHelp.find("{\"exclude\"");
    ASSERT_NE(aStart, std::string::npos) << aHelp;
    WorkspaceTree aWs;
    aWs.file("p2/.kivoignore", aHelp.substr(aStart, aHelp.find("]}", aStart) + 2 - aStart), false);
    for (const char* aFile : {"notes.txt", "sub/notes.txt", "x.bak", "sub/y.bak", "keep.bak",
                              "sub/keep.bak", "mykeep.bak", "build/out/o.txt", "builder.txt",
                              "draft.txt~", "sub/draft.txt~", "plain.txt"})
        aWs.file(std::string("p2/") + aFile, "content", false);
    aWs.track("acme");
    aWs.file("acme/a.txt", "a");
    aWs.file("acme/sub/b.txt", "b", true, 7);
    aWs.file("acme/sub/c.txt", "c");
    aWs.file("acme/sub/d.bak", "d");
    aWs.file("acme/sub/.kivoignore", R"({"exclude":[".*\\.bak"]})", false);
    aWs.save();
    const std::string aTop =
        "\nNew local files:\n\tp2/.kivoignore\n\tp2/builder.txt\n\tp2/keep.bak\n"
        "\tp2/plain.txt\n";
    EXPECT_EQ(aWs.kivo({"status", "p2/"}).itsOut,
              aTop + "\tp2/sub/keep.bak\n\tp2/sub/notes.txt\n\n");
    EXPECT_EQ(aWs.kivo({"status", "package", "p2", "--noRecursive"}).itsOut, aTop + "\n");
    EXPECT_EQ(aWs.kivo({"status", "p2/bad,name.txt"}).itsExitCode, 1);

    writeText(aWs.path("acme/sub/b.txt"), "b2");
    writeText(aWs.path("acme/sub/d.bak"), "d2");
    // Within the same millisecond the timestamp modes would see no change.
    touch(aWs.path("acme/sub/b.txt"), 1700000000);
    touch(aWs.path("acme/sub/d.bak"), 1700000000);
    const std::string aReport = "\nChanged files:\n\tacme/sub/b.txt (base #7)\n"
                                "\nNew local files:\n\tacme/sub/.kivoignore\n\n";
    for (const auto& theArgs : std::vector<std::vector<std::string>>{
             {"status", "--veryFast", "package", "acme.sub", "acme"},
             {"status", "--veryFast", "acme/sub/", "acme/", "acme/sub/b.txt"},
             {"status", "acme/sub/b.txt", "acme/sub/.kivoignore", "acme/sub/b.txt"}}) {
        auto aResult = aWs.kivo(theArgs);
        EXPECT_EQ(aResult.itsOut, aReport) << theArgs.back() << aResult.itsErr;
    }
}

// Track keeps the set minimal; status runs beside a lock that stops a writing action.
TEST(Track, KeepsTheTrackedSetMinimalAndCountsEveryArgument) {
    WorkspaceTree aWs;
    aWs.track("acme.orders");
    aWs.track("acme.shared");
    aWs.save();
    EXPECT_EQ(aWs.kivo({"track", "acme", "-v"}).itsOut,
              "Tracking package \"acme\".\n"
              "No longer tracking the following sub packages of \"acme\":\n"
              "\tacme.orders\n\tacme.shared\n"
              "Tracked packages             : 1\n"
              "Untracked packages           : 2\n");
    EXPECT_TRUE(
        contains(readText(aWs.settings() / ".kivoConfig"), "\"trackedPackages\":[\"acme\"]"));
    // The texts for a package tracked or untracked already: SettingsFiles.ConfigLayoutAndTracking.
    EXPECT_TRUE(
        aWs.kivo({"track", "./acme/orders/sub/"}).itsOut.ends_with("packages             : 1\n"));
    EXPECT_TRUE(aWs.kivo({"untrack", "acme.orders"}).itsOut.ends_with("packages           : 1\n"));
    EXPECT_EQ(aWs.kivo({"untrack", "allPackages"}).itsOut, "Untracked packages           : 1\n");
    EXPECT_EQ(aWs.kivo({"untrack", "allPackages"}).itsOut, "");
    EXPECT_EQ(aWs.kivo({"track", "x", "--noRecursive"}).itsErr, "Cannot track non-recursively.\n");
    EXPECT_EQ(aWs.kivo({"untrack", "x", "--noRec"}).itsErr, "Cannot un-track non-recursively.\n");

    writeText(aWs.settings() / ".lock", "name: kivo, id: 1");
    EXPECT_EQ(aWs.kivo({"status"}).itsExitCode, 0);
    EXPECT_EQ(aWs.kivo({"track", "acme"}).itsExitCode, 1);
}
