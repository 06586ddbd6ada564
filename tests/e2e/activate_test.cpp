// `kivo activate` and `kivo push` against the repository: activation of committed files
// with the metadata and base versions that follow, check runs, failed activations, the
// activation log, conflicts with another user's activation and their follow-up checkout. The
// activation into a change is the change-tracking tests'.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// A repository with the users dev and other, and a workspace "ws" of dev that tracks acme.
class Activate : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Activate() : RepositoryWorkspace(true, true) {}

    std::string meta(const std::string& theRelative) const {
        return readText(settings() / "SYS" / (theRelative + ".kivoMeta"));
    }
    // The user's inactive objects as the repository lists them.
    std::string inactive() const { return repoProbe({"list"}); }
};

const std::string kSuccessfully = "Successfully activated objects with activation ID ";
const std::string kRetrieved = "Retrieving meta data of activated objects...\n"
                               "Successfully retrieved meta data of activated objects.\n";

} // namespace

TEST_F(Activate, CommittedFilesBecomeActiveWithTheirMetadataAndBaseVersions) {
    EXPECT_EQ(kivo({"activate"}).itsOut, "Nothing to activate.\n");
    write("acme/a.txt", "alpha");
    write("acme/b.json", "{\"b\": 1}");
    expectOk(kivo({"commit"}));
    ASSERT_EQ(inactive(), "acme.a.txt #1\nacme.b.json #1\n");
    const std::string aStatus = statusText();

    // A simulated activation sends nothing and writes nothing.
    auto aSimulated = kivo({"activate", "--simulate"});
    EXPECT_EQ(aSimulated.itsExitCode, 0) << aSimulated.itsErr;
    EXPECT_TRUE(contains(aSimulated.itsOut, "Simulation: ")) << aSimulated.itsOut;
    EXPECT_EQ(inactive(), "acme.a.txt #1\nacme.b.json #1\n");
    EXPECT_EQ(statusText(), aStatus);
    EXPECT_TRUE(contains(meta("acme/a.txt"), "\"type\":\"2\""));

    // Only the named object; the other stays inactive.
    EXPECT_EQ(outputOf(kivo({"activate", "acme/a.txt"})), "Activated objects            : 1\n");
    EXPECT_EQ(inactive(), "acme.b.json #1\n");

    auto aRest = kivo({"activate", "--verbose"});
    EXPECT_EQ(aRest.itsExitCode, 0) << aRest.itsErr;
    EXPECT_TRUE(aRest.itsOut.starts_with("-activate\nACTIVATION ")) << aRest.itsOut << aRest.itsErr;
    EXPECT_TRUE(contains(aRest.itsOut, "ACTIVATION SUMMARY")) << aRest.itsOut;
    EXPECT_TRUE(contains(aRest.itsOut, "\n" + kSuccessfully + "2.\n" + kRetrieved +
                                           "Activated objects            : 1\n"))
        << aRest.itsOut;
    EXPECT_EQ(aRest.itsErr, "");
    EXPECT_EQ(inactive(), "");

    for (const std::string aFile : {"acme/a.txt", "acme/b.json"}) {
        const std::string aMeta = meta(aFile);
        EXPECT_TRUE(contains(aMeta, "\"version_id\":\"1\"")) << aMeta;
        EXPECT_TRUE(contains(aMeta, "\"type\":\"1\"}, \"version\":{\"versionType\":\"1\""))
            << aMeta;
    }
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/a.txt", "alpha", 1))) << statusText();
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/b.json", "{\"b\": 1}", 1)));
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(kivo({"activate", "-v"}).itsOut, "-activate\nNothing to activate.\n");
}

TEST_F(Activate, CheckRunsAndFailedActivationsLeaveEverythingInactive) {
    write("acme/good.txt", "good");
    expectOk(kivo({"commit"}));
    const std::string aCommitted = meta("acme/good.txt");

    // Mode 5 only checks: the metadata stays that of the inactive version.
    auto aCheck = kivo({"activate", "--activationMode=5", "-v"});
    EXPECT_EQ(aCheck.itsExitCode, 0) << aCheck.itsErr;
    EXPECT_TRUE(contains(aCheck.itsOut, "\nSuccessfully checked objects with activation ID "))
        << aCheck.itsOut;
    EXPECT_FALSE(contains(aCheck.itsOut, "Retrieving")) << aCheck.itsOut;
    EXPECT_FALSE(contains(aCheck.itsOut, "Activated objects")) << aCheck.itsOut;
    EXPECT_EQ(meta("acme/good.txt"), aCommitted);
    EXPECT_EQ(inactive(), "acme.good.txt #1\n");

    // A json syntax error fails the whole activation; the error is printed without --verbose.
    write("acme/bad.json", "{\n  \"a\": \n}\n");
    expectOk(kivo({"commit"}));
    auto aFailed = kivo({"activate", "--log"});
    EXPECT_EQ(aFailed.itsExitCode, 1);
    EXPECT_TRUE(aFailed.itsErr.starts_with("Failed to activate objects with activation ID "))
        << aFailed.itsErr;
    EXPECT_TRUE(contains(aFailed.itsErr, ". Error 40136: ")) << aFailed.itsErr;
    EXPECT_TRUE(aFailed.itsOut.starts_with("ACTIVATION ERROR: object: \"bad.json\", package: "
                                           "\"acme\", timestamp: "))
        << aFailed.itsOut;
    EXPECT_TRUE(contains(aFailed.itsOut, "\n" + path("acme/bad.json") + " (3): code "))
        << aFailed.itsOut;
    EXPECT_FALSE(contains(aFailed.itsOut, "ACTIVATION SUMMARY")) << aFailed.itsOut;
    EXPECT_EQ(inactive(), "acme.bad.json #1\nacme.good.txt #1\n");
    EXPECT_EQ(meta("acme/good.txt"), aCommitted);

    // The log holds every check result and the failure.
    const std::string aPrefix = "Activation log file: \"";
    const auto aStart = aFailed.itsOut.find(aPrefix);
    ASSERT_NE(aStart, std::string::npos) << aFailed.itsOut;
    const std::string aLogName = aFailed.itsOut.substr(
        aStart + aPrefix.size(), aFailed.itsOut.size() - aStart - aPrefix.size() - 2);
    EXPECT_EQ(fs::path(aLogName).parent_path(), root() / "._SYS_KIVO_settings/logs");
    EXPECT_TRUE(fs::path(aLogName).filename().string().starts_with("activation_"));
    const std::string aLog = readText(aLogName);
    EXPECT_TRUE(contains(aLog, "ACTIVATION SUMMARY")) << aLog;
    EXPECT_TRUE(contains(aLog, aFailed.itsErr)) << aLog;
}

TEST_F(Activate, AnOutdatedInactiveVersionConflictsAndIsCheckedOutAsConflicted) {
    write("acme/a.txt", "mine");
    expectOk(kivo({"commit"}));
    activateAs("other", {"put", "acme", "a", "txt", "theirs"});

    // Without the follow-up checkout the conflict is counted and listed with the hint.
    auto aListed = kivo({"activate", "--noCheckOut"});
    EXPECT_EQ(aListed.itsExitCode, 1);
    EXPECT_TRUE(contains(aListed.itsErr, ". Error 40136: ")) << aListed.itsErr;
    EXPECT_TRUE(contains(aListed.itsOut, ": code 40129: ")) << aListed.itsOut;
    EXPECT_TRUE(contains(aListed.itsOut, "Activation conflicts:\n\t" + path("acme/a.txt") +
                                             "\n\nCall:\n\t* \"kivo checkout\".\n\n"
                                             "Activation conflicts         : 1\n"))
        << aListed.itsOut;
    EXPECT_FALSE(contains(aListed.itsOut, "-checkout"));

    // The activate sequence checks out: the file becomes conflicted, the hint comes from there.
    auto aCheckedOut = kivo({"activate", "-v"});
    EXPECT_EQ(aCheckedOut.itsExitCode, 1);
    EXPECT_FALSE(contains(aCheckedOut.itsOut, "Activation conflicts:")) << aCheckedOut.itsOut;
    EXPECT_TRUE(contains(aCheckedOut.itsOut, "\n-checkout\n")) << aCheckedOut.itsOut;
    EXPECT_TRUE(contains(aCheckedOut.itsOut, "Conflicted files             : 1\n"))
        << aCheckedOut.itsOut;
    EXPECT_TRUE(contains(statusText(), "\"conflicts\":[\"acme/a.txt\"]")) << statusText();
    EXPECT_TRUE(contains(kivo({"status"}).itsOut, "Conflicts"));
    EXPECT_EQ(readText(path("acme/a.txt")), "mine");

    // A conflicted file is not activated again.
    expectError(kivo({"activate"}),
                "Activate failed. At least one of the files to be activated is conflicted.\n\n" +
                    kResolutionCalls + "\n");
    EXPECT_EQ(inactive(), "acme.a.txt #1\n");
}

TEST_F(Activate, PushCommitsAndActivatesInOneRun) {
    EXPECT_EQ(outputOf(kivo({"push"})), "Nothing to commit.\nNothing to activate.\n");

    write("acme/a.txt", "one");
    auto aFirst = kivo({"push", "-v"});
    EXPECT_EQ(aFirst.itsExitCode, 0) << aFirst.itsErr;
    EXPECT_TRUE(aFirst.itsOut.starts_with("-commit\nCreated package: acme\nCommitted file: \"" +
                                          path("acme/a.txt") + "\"\n-activate\n"))
        << aFirst.itsOut;
    EXPECT_TRUE(contains(aFirst.itsOut, kSuccessfully + "1.\n" + kRetrieved +
                                            "Created packages             : 1\n"
                                            "Committed files              : 1\n"
                                            "Activated objects            : 1\n"))
        << aFirst.itsOut;

    write("acme/a.txt", "two");
    EXPECT_EQ(outputOf(kivo({"push"})),
              "Committed files              : 1\nActivated objects            : 1\n");
    EXPECT_EQ(inactive(), "");
    EXPECT_TRUE(contains(meta("acme/a.txt"), "\"version_id\":\"2\""));
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/a.txt", "two", 2))) << statusText();
    EXPECT_EQ(changes(), "\n");
}

TEST_F(Activate, MetadataListedForAPackageEqualsMetadataReadObjectByObject) {
    // Nine objects of acme are many enough for one listing of the package; the one object of
    // acme.sub is read on its own. One activation gives all of them the same metadata.
    for (int aNumber = 0; aNumber < 9; ++aNumber)
        write("acme/f" + std::to_string(aNumber) + ".txt", "content " + std::to_string(aNumber));
    write("acme/sub/single.txt", "single");
    auto aPushed = kivo({"push"});
    EXPECT_EQ(aPushed.itsExitCode, 0) << aPushed.itsErr;
    EXPECT_TRUE(contains(aPushed.itsOut, "Activated objects            : 10\n")) << aPushed.itsOut;
    const std::string aRead = meta("acme/sub/single.txt");
    EXPECT_TRUE(contains(aRead, "\"type\":\"1\"")) << aRead;
    for (int aNumber = 0; aNumber < 9; ++aNumber)
        EXPECT_EQ(meta("acme/f" + std::to_string(aNumber) + ".txt"), aRead) << aNumber;
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/f8.txt", "content 8", 1))) << statusText();
}
