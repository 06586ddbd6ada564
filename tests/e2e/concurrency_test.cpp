// Two users' processes activate their own versions of one new object at the same moment: exactly
// one gets through, the other meets an activation conflict, and the storage stays sound.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"
#include "workspace/hash.hpp"

using namespace kivotest;

TEST(Concurrency, SimultaneousActivationsOfOneObjectLetExactlyOneThrough) {
    TempDir aDir;
    RepositoryTarget aTarget(aDir.path());
    const std::string aBarrier = aDir.path().string();
    aTarget.init();
    aTarget.addUser("ALICE", "a-secret");
    aTarget.addUser("BOB", "b-secret");
    const RunResult aPackage =
        runProgram("kivo_activate_probe", {aTarget.host(), "ALICE", "a-secret", "create-package"});
    ASSERT_EQ(aPackage.itsExitCode, 0) << aPackage.itsErr;

    auto anActivate = [&](const std::string& theUser, const std::string& thePassword) {
        return runProgram("kivo_activate_probe",
                          {aTarget.host(), theUser, thePassword, aBarrier, "2"});
    };
    auto anAlice = std::async(std::launch::async, anActivate, "ALICE", "a-secret");
    auto aBob = std::async(std::launch::async, anActivate, "BOB", "b-secret");
    const std::pair<std::string, RunResult> aResults[] = {{"ALICE", anAlice.get()},
                                                          {"BOB", aBob.get()}};
    std::string aWinner;
    int aConflicts = 0;
    for (const auto& [aUser, aResult] : aResults) {
        EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
        if (aResult.itsOut == "activation 0\n" && aWinner.empty())
            aWinner = aUser;
        else if (aResult.itsOut.starts_with("activation 4") &&
                 contains(aResult.itsOut, "\ncheck 40129\n"))
            ++aConflicts;
        else
            ADD_FAILURE() << "unexpected activation output: " << aResult.itsOut;
    }
    EXPECT_EQ(aConflicts, 1);
    // The winner's content (each writes its own name) is the one active version.
    RunOptions anOutside;
    anOutside.itsCwd = aDir.path();
    const RunResult anActive = runProgram(
        "kivo_repo_probe", {aTarget.host(), "ALICE", "a-secret", "actives", "p"}, anOutside);
    EXPECT_EQ(anActive.itsOut, "p.x.txt #1 " + RepositoryAccess::hash::calc(aWinner) + "\n")
        << anActive.itsErr;
    EXPECT_EQ(aTarget.integrity(), "ok\n");
}
