// Two users on one repository, in two processes: each writes its own inactive version of the same
// new object and both activate at the same moment. The repository must let exactly one
// activation through and report the other as an activation conflict, and its storage must stay
// sound.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"
#include "workspace/hash.hpp"

using namespace kivotest;

namespace {

void expectRun(const std::string& theProgram, const std::vector<std::string>& theArgs) {
    RunResult aResult = runProgram(theProgram, theArgs);
    ASSERT_EQ(aResult.itsExitCode, 0) << theProgram << ": " << aResult.itsErr;
}

} // namespace

TEST(Concurrency, SimultaneousActivationsOfOneObjectLetExactlyOneThrough) {
    TempDir aDir;
    RepositoryTarget aTarget(aDir.path());
    const std::string aBarrier = aDir.path().string();
    aTarget.init();
    aTarget.addUser("ALICE", "a-secret");
    aTarget.addUser("BOB", "b-secret");
    expectRun("kivo_activate_probe", {aTarget.host(), "ALICE", "a-secret", "create-package"});

    auto anActivate = [&](const std::string& theUser, const std::string& thePassword) {
        return runProgram("kivo_activate_probe",
                          {aTarget.host(), theUser, thePassword, aBarrier, "2"});
    };
    auto anAlice = std::async(std::launch::async, anActivate, "ALICE", "a-secret");
    auto aBob = std::async(std::launch::async, anActivate, "BOB", "b-secret");
    const RunResult aResults[] = {anAlice.get(), aBob.get()};

    int aSucceeded = 0;
    int aConflicts = 0;
    std::string aWinner;
    const char* const aUsers[] = {"ALICE", "BOB"};
    for (int anIndex = 0; anIndex < 2; ++anIndex) {
        const RunResult& aResult = aResults[anIndex];
        EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
        if (aResult.itsOut == "activation 0\n") {
            ++aSucceeded;
            aWinner = aUsers[anIndex];
        } else if (aResult.itsOut.starts_with("activation 4") &&
                   aResult.itsOut.find("\ncheck 40129\n") != std::string::npos) {
            ++aConflicts;
        } else {
            ADD_FAILURE() << "unexpected activation output: " << aResult.itsOut;
        }
    }
    EXPECT_EQ(aSucceeded, 1);
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
