// Two users on one repository file, in two processes: each writes its own inactive version of
// the same new object and both activate at the same moment. The repository must let exactly one
// activation through and report the other as an activation conflict, and the file must stay
// sound.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "tests/support/process.hpp"

using namespace kivotest;

namespace {

void expectRun(const std::string& theProgram, const std::vector<std::string>& theArgs) {
    RunResult aResult = runProgram(theProgram, theArgs);
    ASSERT_EQ(aResult.itsExitCode, 0) << theProgram << ": " << aResult.itsErr;
}

} // namespace

TEST(Concurrency, SimultaneousActivationsOfOneObjectLetExactlyOneThrough) {
    TempDir aDir;
    const std::string aFile = (aDir.path() / "repo.db").string();
    const std::string aBarrier = aDir.path().string();
    expectRun("kivo-repo", {"init", aFile});
    expectRun("kivo-repo", {"user", aFile, "ALICE", "a-secret"});
    expectRun("kivo-repo", {"user", aFile, "BOB", "b-secret"});
    expectRun("kivo_activate_probe", {aFile, "ALICE", "a-secret", "create-package"});

    auto anActivate = [&](const std::string& theUser, const std::string& thePassword) {
        return runProgram("kivo_activate_probe", {aFile, theUser, thePassword, aBarrier, "2"});
    };
    auto anAlice = std::async(std::launch::async, anActivate, "ALICE", "a-secret");
    auto aBob = std::async(std::launch::async, anActivate, "BOB", "b-secret");
    const RunResult aResults[] = {anAlice.get(), aBob.get()};

    int aSucceeded = 0;
    int aConflicts = 0;
    for (const RunResult& aResult : aResults) {
        EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
        if (aResult.itsOut == "activation 0\n")
            ++aSucceeded;
        else if (aResult.itsOut.starts_with("activation 4") &&
                 aResult.itsOut.find("\ncheck 40129\n") != std::string::npos)
            ++aConflicts;
        else
            ADD_FAILURE() << "unexpected activation output: " << aResult.itsOut;
    }
    EXPECT_EQ(aSucceeded, 1);
    EXPECT_EQ(aConflicts, 1);

    RunResult aCheck = runProgram("/usr/bin/sqlite3", {aFile, "PRAGMA integrity_check"});
    EXPECT_EQ(aCheck.itsExitCode, 0) << aCheck.itsErr;
    EXPECT_EQ(aCheck.itsOut, "ok\n");
}
