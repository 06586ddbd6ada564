// `kivo activate` and `kivo push`: metadata, base versions, check runs, failures, conflicts and
// simultaneous activations (activations into changes: the change-tracking tests).
#include <gtest/gtest.h>

#include <future>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

using Activate = WorkspaceTest<true, true>;

const std::string kSuccessfully = "Successfully activated objects with activation ID ";
const std::string kRetrieved = "Retrieving meta data of activated objects...\n"
                               "Successfully retrieved meta data of activated objects.\n";

} // namespace

TEST_F(Activate, CommittedFilesBecomeActiveWithTheirMetadataAndBaseVersions) {
    write("acme/a.txt", "alpha");
    write("acme/b.json", "{\"b\": 1}");
    expectOk(kivo({"commit"}));
    const std::string aStatus = statusText();
    // A simulated activation sends nothing and writes nothing.
    expectSays(kivo({"activate", "--simulate"}), "Simulation: ");
    EXPECT_EQ(inactive(), "acme.a.txt #1\nacme.b.json #1\n");
    EXPECT_EQ(statusText(), aStatus);
    EXPECT_TRUE(contains(meta("acme/a.txt"), "\"type\":\"2\""));
    // Only the named object; the other stays inactive.
    EXPECT_EQ(outputOf(kivo({"activate", "acme/a.txt"})), "Activated objects            : 1\n");
    EXPECT_EQ(inactive(), "acme.b.json #1\n");
    const RunResult aRest = kivo({"activate", "--verbose"});
    EXPECT_TRUE(aRest.itsOut.starts_with("-activate\nACTIVATION ")) << aRest.itsOut << aRest.itsErr;
    expectSays(aRest, "ACTIVATION SUMMARY");
    expectSays(aRest,
               "\n" + kSuccessfully + "2.\n" + kRetrieved + "Activated objects            : 1\n");
    EXPECT_EQ(inactive(), "");
    for (const std::string aFile : {"acme/a.txt", "acme/b.json"})
        EXPECT_TRUE(contains(meta(aFile), "\"version_id\":\"1\"") &&
                    contains(meta(aFile), "\"type\":\"1\"}, \"version\":{\"versionType\":\"1\""))
            << meta(aFile);
    EXPECT_EQ(kivo({"activate", "-v"}).itsOut, "-activate\nNothing to activate.\n");
}

TEST_F(Activate, CheckRunsAndFailedActivationsLeaveEverythingInactive) {
    write("acme/good.txt", "good");
    expectOk(kivo({"commit"}));
    const std::string aCommitted = meta("acme/good.txt");
    // Mode 5 only checks: the metadata stays that of the inactive version.
    const RunResult aCheck = kivo({"activate", "--activationMode=5", "-v"});
    expectSays(aCheck, "\nSuccessfully checked objects with activation ID ");
    EXPECT_FALSE(contains(aCheck.itsOut, "Retrieving")) << aCheck.itsOut;
    EXPECT_EQ(meta("acme/good.txt"), aCommitted);
    EXPECT_EQ(inactive(), "acme.good.txt #1\n");
    // A json syntax error fails the whole activation; the error is printed without --verbose.
    write("acme/bad.json", "{\n  \"a\": \n}\n");
    expectOk(kivo({"commit"}));
    const RunResult aFailed = kivo({"activate", "--log"});
    expectRefused(aFailed, ". Error 40136: ");
    EXPECT_TRUE(aFailed.itsErr.starts_with("Failed to activate objects with activation ID "))
        << aFailed.itsErr;
    EXPECT_TRUE(aFailed.itsOut.starts_with("ACTIVATION ERROR: object: \"bad.json\", package: "
                                           "\"acme\", timestamp: "))
        << aFailed.itsOut;
    EXPECT_TRUE(contains(aFailed.itsOut, "\n" + path("acme/bad.json") + " (3): code "));
    EXPECT_EQ(inactive(), "acme.bad.json #1\nacme.good.txt #1\n");
    EXPECT_EQ(meta("acme/good.txt"), aCommitted);
    // The log holds every check result and the failure.
    const std::string aPrefix =
        "Activation log file: \"" + (settings() / "logs").string() + "/activation_";
    const auto aStart = aFailed.itsOut.find(aPrefix);
    ASSERT_NE(aStart, std::string::npos) << aFailed.itsOut;
    const std::string aLog =
        readText(aFailed.itsOut.substr(aStart + 22, aFailed.itsOut.size() - aStart - 22 - 2));
    EXPECT_TRUE(contains(aLog, "ACTIVATION SUMMARY") && contains(aLog, aFailed.itsErr)) << aLog;
}

TEST_F(Activate, AnOutdatedInactiveVersionConflictsAndIsCheckedOutAsConflicted) {
    write("acme/a.txt", "mine");
    expectOk(kivo({"commit"}));
    activateAs("other", {"put", "acme", "a", "txt", "theirs"});
    // Without the follow-up checkout the conflict is counted and listed with the hint.
    const RunResult aListed = kivo({"activate", "--noCheckOut"});
    expectRefused(aListed, ". Error 40136: ");
    EXPECT_TRUE(contains(aListed.itsOut, ": code 40129: ")) << aListed.itsOut;
    EXPECT_TRUE(contains(aListed.itsOut, "Activation conflicts:\n\t" + path("acme/a.txt") +
                                             "\n\nCall:\n\t* \"kivo checkout\".\n\n"
                                             "Activation conflicts         : 1\n"))
        << aListed.itsOut;
    // The activate sequence checks out: the file becomes conflicted, the hint comes from there.
    const RunResult aCheckedOut = kivo({"activate", "-v"});
    EXPECT_EQ(aCheckedOut.itsExitCode, 1);
    EXPECT_TRUE(contains(aCheckedOut.itsOut, "\n-checkout\n") &&
                contains(aCheckedOut.itsOut, "Conflicted files             : 1\n") &&
                !contains(aCheckedOut.itsOut, "Activation conflicts:"))
        << aCheckedOut.itsOut;
    EXPECT_TRUE(contains(statusText(), "\"conflicts\":[\"acme/a.txt\"]")) << statusText();
    EXPECT_EQ(readText(path("acme/a.txt")), "mine");
    // A conflicted file is not activated again.
    expectError(kivo({"activate"}),
                "Activate failed. At least one of the files to be activated is conflicted.\n\n" +
                    kResolutionCalls + "\n");
    EXPECT_EQ(inactive(), "acme.a.txt #1\n");
}

// Push in one run; the metadata of nine objects (one listing) and of one (read alone) agree.
TEST_F(Activate, PushCommitsAndActivatesInOneRunAndMetadataIsReadEitherWay) {
    EXPECT_EQ(outputOf(kivo({"push"})), "Nothing to commit.\nNothing to activate.\n");
    write("acme/a.txt", "one");
    const RunResult aFirst = kivo({"push", "-v"});
    EXPECT_TRUE(aFirst.itsOut.starts_with("-commit\nCreated package: acme\nCommitted file: \"" +
                                          path("acme/a.txt") + "\"\n-activate\n"))
        << aFirst.itsOut;
    expectSays(aFirst, kSuccessfully + "1.\n" + kRetrieved +
                           "Created packages             : 1\n"
                           "Committed files              : 1\n"
                           "Activated objects            : 1\n");
    write("acme/a.txt", "two");
    EXPECT_EQ(outputOf(kivo({"push"})),
              "Committed files              : 1\nActivated objects            : 1\n");
    EXPECT_TRUE(contains(meta("acme/a.txt"), "\"version_id\":\"2\""));
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/a.txt", "two", 2))) << statusText();

    for (int aNumber = 0; aNumber < 9; ++aNumber)
        write("acme/f" + std::to_string(aNumber) + ".txt", "content " + std::to_string(aNumber));
    write("acme/sub/single.txt", "single");
    expectSays(kivo({"push"}), "Activated objects            : 10\n");
    const std::string aRead = meta("acme/sub/single.txt");
    EXPECT_TRUE(contains(aRead, "\"type\":\"1\"")) << aRead;
    for (int aNumber = 0; aNumber < 9; ++aNumber)
        EXPECT_EQ(meta("acme/f" + std::to_string(aNumber) + ".txt"), aRead) << aNumber;
    EXPECT_EQ(changes(), "\n");
}

// Two users' processes activate their own versions of one new object at the same moment: exactly
// one gets through, the other meets an activation conflict, and the storage stays sound.
using Concurrency = WorkspaceTest<true, false>;

TEST_F(Concurrency, SimultaneousActivationsOfOneObjectLetExactlyOneThrough) {
    const fs::path aBarrier = dir() / "barrier";
    fs::create_directories(aBarrier);
    activateAs("dev", {"create-package"});
    auto anActivate = [&](const std::string& theUser) {
        return runProgram("kivo_activate_probe",
                          {target().host(), theUser, "pw", aBarrier.string(), "2"});
    };
    auto aDev = std::async(std::launch::async, anActivate, "dev");
    auto anOther = std::async(std::launch::async, anActivate, "other");
    const std::pair<std::string, RunResult> aResults[] = {{"dev", aDev.get()},
                                                          {"other", anOther.get()}};
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
    EXPECT_EQ(repoProbe({"actives", "p"}),
              "p.x.txt #1 " + RepositoryAccess::hash::calc(aWinner) + "\n");
    EXPECT_EQ(target().integrity(), "ok\n");
}
