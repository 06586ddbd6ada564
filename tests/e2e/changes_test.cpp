// Change tracking through the real binaries: the switch, activations that open or join changes,
// contributors and their validation, release, merge, move, the administration of changes and
// contributors, and the deletion of inactive workspaces of two users.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// dev's workspace "ws" and other's workspace "wso" (key K2) on one repository, both tracking
// acme, with change tracking switched on.
class Changes : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Changes() : RepositoryWorkspace(true, true) {
        expectOk(
            runProgram("zevuserstore", {"SET", "K2", "file:" + file(), "other", "pw"}, options()));
        expectOk(runKivo({"create", "workspace", "wso", "K2"}, options()));
        fs::create_directories(otherRoot() / "acme");
        expectOk(other({"track", "acme"}));
        auto anOn = kivo({"set", "changeTrackingStatus", "enabled"});
        EXPECT_EQ(anOn.itsOut, "Change tracking is now on.\n") << anOn.itsErr;
    }

    fs::path otherRoot() const { return dir() / "wso"; }
    RunResult other(const std::vector<std::string>& theArgs) const {
        return runKivo(theArgs, options(otherRoot()));
    }
    // Writes a file of dev's workspace and pushes it; returns the push's output.
    std::string push(const std::string& theRelative, const std::string& theContent) const {
        writeText(path(theRelative), theContent);
        auto aPush = kivo({"push"});
        EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsErr;
        return aPush.itsOut;
    }
    static void expectRefused(const RunResult& theResult, const std::string& theError) {
        EXPECT_EQ(theResult.itsExitCode, 1) << theResult.itsOut;
        EXPECT_TRUE(contains(theResult.itsErr, theError)) << theResult.itsErr;
    }
};

const std::string kChange1 = "Change: \"ZEV//1\"\n";

} // namespace

TEST_F(Changes, TheSwitchIsRefusedWhileAChangeIsOpenUnlessForced) {
    EXPECT_TRUE(contains(push("acme/a.txt", "one"), kChange1));

    expectRefused(kivo({"set", "cts", "disabled"}),
                  "Failed to toggle change tracking (40103): Change tracking cannot be switched "
                  "off while open changes exist; release or delete them, or force the switch: \n");
    auto aForced = kivo({"set", "cts", "disabled", "--force"});
    EXPECT_EQ(aForced.itsOut, "Change tracking is now off.\n") << aForced.itsErr;

    // Off: no change is made, and activations carry none.
    expectRefused(kivo({"create", "change", "late"}),
                  "Failed to create change. Description: late (40104): Change tracking is "
                  "disabled in this repository; switch it on first: \n");
    EXPECT_FALSE(contains(push("acme/a.txt", "two"), "Change: "));
}

TEST_F(Changes, ActivationsOpenAChangeReuseItAndRespectItsContributors) {
    EXPECT_TRUE(contains(push("acme/a.txt", "one"), kChange1));

    // The second activation of the object finds its change and joins it.
    writeText(path("acme/a.txt"), "two");
    expectOk(kivo({"commit"}));
    auto anAffected = kivo({"activate", "--getAffectedChanges"});
    EXPECT_EQ(anAffected.itsOut, "ZEV//1\n") << anAffected.itsErr;
    auto aSecond = kivo({"activate"});
    EXPECT_TRUE(contains(aSecond.itsOut, kChange1)) << aSecond.itsOut << aSecond.itsErr;

    // other works on the same object but contributes to no change of it.
    expectOk(other({"checkout"}));
    writeText(otherRoot() / "acme/a.txt", "other's");
    expectRefused(other({"push"}), "Activation failed: The objects are contained in precisely one "
                                   "change (\"ZEV//1\"), but you are not one of the contributors.");
    auto anAdded = kivo({"create", "contributor", "ZEV//1", "other", "--verbose"});
    EXPECT_TRUE(contains(anAdded.itsOut, "Created contributor: \"other\" for change \"ZEV//1\"\n"))
        << anAdded.itsOut << anAdded.itsErr;
    auto anOthers = other({"activate"});
    EXPECT_TRUE(contains(anOthers.itsOut, kChange1)) << anOthers.itsOut << anOthers.itsErr;

    // A change of its own for b.txt; an activation of both objects would mix two changes.
    auto aCreated = kivo({"create", "change", "second"});
    EXPECT_TRUE(aCreated.itsOut.starts_with("Created change: \"ZEV//2\"\n")) << aCreated.itsOut;
    writeText(path("acme/b.txt"), "bee");
    expectOk(kivo({"commit"}));
    auto aGiven = kivo({"activate", "--changeId=ZEV//2"});
    EXPECT_TRUE(contains(aGiven.itsOut, "Change: \"ZEV//2\"\n")) << aGiven.itsErr;
    expectOk(kivo({"checkout"}));
    writeText(path("acme/a.txt"), "three");
    writeText(path("acme/b.txt"), "bee two");
    expectOk(kivo({"commit"}));
    expectRefused(kivo({"activate"}), "Activation failed: The objects are contained in more than "
                                      "one change:\nZEV//1\nZEV//2\n");
}

TEST_F(Changes, AChangeIsReleasedOnlyWhenEveryContributorValidated) {
    push("acme/a.txt", "one");
    expectOk(kivo({"create", "contributor", "ZEV//1", "other"}));
    expectRefused(kivo({"validate", "contributor", "ZEV//1", "other"}),
                  "Failed to validate contributor. Change id: ZEV//1, user: other, comment:  "
                  "(40120): Not authorized: User DEV may not validate the contribution of user "
                  "other to change \"ZEV//1\"\n");
    auto aValidated = kivo({"validate", "contributor", "ZEV//1", "dev", "--verbose"});
    EXPECT_TRUE(
        contains(aValidated.itsOut, "Validated contributor: \"dev\" of change \"ZEV//1\"\n"))
        << aValidated.itsOut << aValidated.itsErr;
    expectRefused(kivo({"release", "ZEV//1"}),
                  "Failed to release change. Change id: ZEV//1 (40107): Change \"ZEV//1\" cannot "
                  "be released: not every contribution is validated (OTHER): ZEV//1\n");

    expectOk(other({"validate", "contributor", "ZEV//1", "other", "--description=looks good"}));
    auto aReleased = kivo({"release", "change", "ZEV//1", "--verbose"});
    EXPECT_TRUE(contains(aReleased.itsOut, "Released change: \"ZEV//1\"\n"))
        << aReleased.itsOut << aReleased.itsErr;
    expectRefused(kivo({"release", "ZEV//1"}),
                  "Failed to release change. Change id: ZEV//1 (40130): Change \"ZEV//1\" is "
                  "released; only an open change can be released: ZEV//1\n");
    // The next activation of the object opens a new change.
    EXPECT_TRUE(contains(push("acme/a.txt", "two"), "Change: \"ZEV//2\"\n"));
}

TEST_F(Changes, EntriesMoveAndMergeBetweenChangesThatAreAdministeredWithTheirRefusals) {
    push("acme/a.txt", "one");
    expectOk(kivo({"create", "change", "two", "three"}));

    auto aMoved = kivo({"move", "ZEV//1", "ZEV//2", "--verbose"});
    EXPECT_TRUE(contains(aMoved.itsOut, "Moved object: \"" + path("acme/a.txt") +
                                            "\" from change \"ZEV//1\" to change \"ZEV//2\"\n"))
        << aMoved.itsOut << aMoved.itsErr;
    EXPECT_TRUE(contains(aMoved.itsOut, "Moved objects                : 1\n")) << aMoved.itsOut;
    EXPECT_EQ(kivo({"move", "ZEV//1", "ZEV//2"}).itsOut, "Nothing to move.\n");
    EXPECT_EQ(kivo({"move", "package", "ZEV//2", "ZEV//1", "zzz"}).itsOut, "Nothing to move.\n");
    expectRefused(kivo({"move", "ZEV//9", "ZEV//2"}),
                  "Failed to read changes (40102): Change \"ZEV//9\" does not exist: ZEV//9\n");

    expectRefused(kivo({"delete", "change", "ZEV//2"}),
                  "Failed to delete change. Change id: ZEV//2 (40105): Change \"ZEV//2\" holds 1 "
                  "object(s) and cannot be deleted; move them to another change first: ZEV//2\n");
    auto aMerged = kivo({"merge", "changes", "ZEV//2", "ZEV//3", "--verbose"});
    EXPECT_TRUE(contains(aMerged.itsOut, "Merged changes: \"ZEV//2\" and \"ZEV//3\"\n"))
        << aMerged.itsOut << aMerged.itsErr;
    expectRefused(kivo({"merge", "changes", "ZEV//2", "ZEV//3"}),
                  "Failed to merge changes. Source change Id: ZEV//2, target change id: ZEV//3 "
                  "(40130): Change \"ZEV//2\" is abandoned; only an open change can be merged: ");
    auto aDeleted = kivo({"delete", "change", "ZEV//1", "ZEV//2", "--verbose"});
    EXPECT_TRUE(
        contains(aDeleted.itsOut, "Deleted change: \"ZEV//1\"\nDeleted change: \"ZEV//2\"\n"))
        << aDeleted.itsOut << aDeleted.itsErr;

    auto anUpdated = kivo({"update", "change", "ZEV//3", "--description=renamed", "--verbose"});
    EXPECT_TRUE(contains(anUpdated.itsOut, "Updated change: \"ZEV//3\"\n")) << anUpdated.itsErr;
    expectRefused(kivo({"update", "change", "ZEV//9", "--description=renamed"}),
                  "Failed to edit change description. Change id: ZEV//9, description: renamed "
                  "(40102): Change \"ZEV//9\" does not exist: ZEV//9\n");

    expectRefused(kivo({"create", "contributor", "ZEV//3", "nobody"}),
                  "Failed to add contributor. Change id: ZEV//3, contributor: nobody (40106): "
                  "User \"nobody\" is not a user of this repository: nobody\n");
    expectOk(kivo({"create", "contributor", "ZEV//3", "other"}));
    auto aComment =
        kivo({"update", "contributor", "ZEV//3", "other", "--description=later", "--verbose"});
    EXPECT_TRUE(contains(aComment.itsOut, "Updated contributor: \"other\" of change: \"ZEV//3\"\n"))
        << aComment.itsOut << aComment.itsErr;
    auto aRemoved = kivo({"delete", "contributor", "ZEV//3", "other", "--verbose"});
    EXPECT_TRUE(
        contains(aRemoved.itsOut, "Deleted contributor: \"other\" from change \"ZEV//3\"\n"))
        << aRemoved.itsOut << aRemoved.itsErr;
    expectRefused(kivo({"delete", "contributor", "ZEV//3", "other"}),
                  "Failed to remove contributor. Change id: ZEV//3, contributor: other (40106): "
                  "User \"other\" is not a contributor of change \"ZEV//3\": other\n");
}

TEST_F(Changes, EachUserDeletesTheirOwnInactiveWorkspacesOnly) {
    writeText(path("acme/a.txt"), "dev's");
    expectOk(kivo({"commit"}));
    writeText(otherRoot() / "acme/o.txt", "other's");
    expectOk(other({"commit"}));
    const std::string aCounts = runProgram("kivo-repo", {"show", file()}).itsOut;
    EXPECT_TRUE(contains(aCounts, "Inactive versions: 2\n")) << aCounts;

    expectRefused(kivo({"delete", "inactiveWorkSpace", "wso", "--inactiveWorkSpaceUser=other"}),
                  "Failed to delete inactive workspace wso(40120): Not authorized: User DEV may "
                  "not delete the workspace \"wso\" of user OTHER\n");
    auto anOwn = kivo({"delete", "inactiveWorkSpace", "ws", "--verbose"});
    EXPECT_TRUE(contains(anOwn.itsOut, "Deleted inactive workspace: \"ws\" of user \"DEV\"\n"))
        << anOwn.itsOut << anOwn.itsErr;
    auto anAll = other({"delete", "allInactiveWorkSpaces", "other", "--verbose"});
    EXPECT_TRUE(contains(anAll.itsOut, "Deleted inactive workspace: \"wso\" of user \"other\"\n"))
        << anAll.itsOut << anAll.itsErr;
    const std::string anAfter = runProgram("kivo-repo", {"show", file()}).itsOut;
    EXPECT_TRUE(contains(anAfter, "Inactive versions: 0\n")) << anAfter;
}
