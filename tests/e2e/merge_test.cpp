// kivo-merge on files (as push's merge tool: the resolution's tests; its lines: the text merge's).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

const std::string kBase = "1\n2\n3\n4\n5\n6\n7\n8\n";

// Three files base, remote and local in a temporary folder, and the tool run on them.
class KivoMerge : public ::testing::Test {
protected:
    RunResult merge(const std::string& theRemote, const std::string& theLocal,
                    const std::string& theBase = kBase) {
        writeText(itsDir.path() / "base", theBase);
        writeText(itsDir.path() / "remote", theRemote);
        writeText(local(), theLocal);
        return runProgram("kivo-merge", {(itsDir.path() / "base").string(),
                                         (itsDir.path() / "remote").string(), local()});
    }
    std::string local() const { return (itsDir.path() / "local").string(); }
    std::string merged() const { return local() + ".merged"; }

private:
    TempDir itsDir;
};

} // namespace

TEST_F(KivoMerge, OverlappingChangesLeaveTheLocalFileAndWriteTheMergeBesideIt) {
    auto aRun = merge("1\n2\nR3\n4\n5\n6\n7\n8\n", "1\n2\nL3\n4\n5\n6\n7\nL8\n");
    EXPECT_EQ(aRun.itsExitCode, 1);
    EXPECT_EQ(readText(local()), "1\n2\nL3\n4\n5\n6\n7\nL8\n");
    // The markers name the sides by their files; the layout is the text merge's tests'.
    EXPECT_TRUE(contains(readText(merged()), "<<<<<<< local " + local() + "\nL3\n")) << local();
    EXPECT_TRUE(contains(aRun.itsErr, "1 overlapping change(s)")) << aRun.itsErr;
    EXPECT_TRUE(contains(aRun.itsErr, merged())) << aRun.itsErr;
    // A marker line brought in by one side is never taken as a resolved merge.
    auto aMarker = merge("1\n2\n3\n4\n5\n6\n7\n8\n", "<<<<<<< left over\n1\n2\n3\n4\n5\n6\n7\n8\n");
    EXPECT_EQ(aMarker.itsExitCode, 1);
    EXPECT_EQ(readText(local()), "<<<<<<< left over\n1\n2\n3\n4\n5\n6\n7\n8\n");
    // A deleted object or a binary file is not merged line by line.
    EXPECT_EQ(merge("__deleted__", kBase + "9\n").itsExitCode, 1);
    EXPECT_EQ(readText(local()), kBase + "9\n");
    EXPECT_EQ(runProgram("kivo-merge", {"a", "b"}).itsExitCode, 2);
    EXPECT_EQ(runProgram("kivo-merge", {"no-base", "no-remote", "no-local"}).itsExitCode, 2);
}
