// `kivo revert`, `kivo discard` and `kivo takeOver` against the repository: committed
// files go back to their base versions, checked-out files leave the workspace, and inactive
// objects move from another repository workspace into the user's own.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// A repository with the users dev and other, and a workspace "ws" of dev that tracks acme.
class Revert : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Revert() : RepositoryWorkspace(true, true) {}

    bool hasMeta(const std::string& theRelative) const {
        return fs::exists(settings() / "SYS" / (theRelative + ".kivoMeta"));
    }
    void write(const std::string& theRelative, const std::string& theContent) const {
        writeText(path(theRelative), theContent);
    }
    std::string read(const std::string& theRelative) const { return readText(path(theRelative)); }
    // The inactive objects of the user's workspace theWorkSpace as the repository lists them.
    std::string inactive(const std::string& theWorkSpace = "ws") const {
        return repoProbe({"list"}, dir() / theWorkSpace);
    }
    // The user other writes and activates acme/NAME.txt.
    void otherActivates(const std::string& theName, const std::string& theContent) const {
        activateAs("other", {"put", "acme", theName, "txt", theContent});
    }
    std::string configText() const { return readText(settings() / ".kivoConfig"); }
};

const std::string kRevertConflicted =
    "Revert failed. At least one of the files to be reverted is conflicted.\n\nCall:\n"
    "\t* \"kivo resolve --local|--base|--remote|--mergetool|-m\" for\n"
    "\t  (non-)interactive conflict resolution, or\n"
    "\t* \"kivo push --local|--base|--remote|--mergetool|-m\", or\n"
    "\t* \"kivo checkout --force|-f\" to overwrite your local changes.\n";

std::string discardRefused(const std::string& theKind) {
    return "Discard failed. There are " + theKind +
           " in the workspace.\nUse \"kivo discard -f\" to discard them anyway, or \"kivo "
           "discard --noContent\" to discard only the meta data.\n";
}

} // namespace

TEST_F(Revert, CommittedFilesGoBackToTheirBaseVersions) {
    EXPECT_EQ(kivo({"revert"}).itsOut, "Nothing to revert.\n");
    const auto aQuiet = kivo({"revert", "-v"});
    EXPECT_EQ(aQuiet.itsOut, "-checkout\n-revert\nNothing to revert.\n");
    EXPECT_EQ(kivo({"revert", "-v", "--noCheckOut"}).itsOut, "-revert\nNothing to revert.\n");

    otherActivates("a", "one");
    otherActivates("b", "bee");
    expectOk(kivo({"checkout"}));
    write("acme/a.txt", "two");
    write("acme/b.txt", "bee two");
    expectOk(kivo({"commit"}));
    ASSERT_EQ(inactive(), "acme.a.txt #2\nacme.b.txt #2\n");

    // Only the named object; the other keeps its inactive version and its content.
    auto aSingle = kivo({"revert", "object", "acme/a.txt", "--verbose"});
    EXPECT_EQ(aSingle.itsExitCode, 0) << aSingle.itsErr;
    EXPECT_TRUE(
        contains(aSingle.itsOut, "-revert\nReverted file: \"" + path("acme/a.txt") + "\"\n"))
        << aSingle.itsOut;
    EXPECT_TRUE(contains(aSingle.itsOut, "Reverted objects             : 1\n")) << aSingle.itsOut;
    EXPECT_EQ(read("acme/a.txt"), "one");
    EXPECT_EQ(read("acme/b.txt"), "bee two");
    EXPECT_EQ(inactive(), "acme.b.txt #2\n");

    // Without the checkout the repository forgets the version, the file keeps the local content.
    auto aNoCheckOut = kivo({"revert", "--noCheckOut"});
    EXPECT_EQ(aNoCheckOut.itsExitCode, 0) << aNoCheckOut.itsErr;
    EXPECT_EQ(aNoCheckOut.itsOut, "Reverted objects             : 1\n");
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(read("acme/b.txt"), "bee two");
}

TEST_F(Revert, ConflictedFilesAreNotReverted) {
    otherActivates("a", "one");
    expectOk(kivo({"checkout"}));
    write("acme/a.txt", "mine");
    expectOk(kivo({"commit"}));
    otherActivates("a", "theirs");
    kivo({"checkout"});
    ASSERT_TRUE(contains(statusText(), "conflict")) << statusText();

    auto aFailed = kivo({"revert", "--noCheckOut"});
    EXPECT_EQ(aFailed.itsExitCode, 1);
    EXPECT_EQ(aFailed.itsErr, kRevertConflicted + "\n");
    EXPECT_EQ(inactive(), "acme.a.txt #2\n");
}

TEST_F(Revert, DiscardRefusesLocalChangesUnlessForcedOrOnlyMetadata) {
    otherActivates("a", "one");
    activateAs("other", {"put", "acme.sub", "b", "txt", "bee"});
    expectOk(kivo({"checkout"}));
    ASSERT_EQ(read("acme/sub/b.txt"), "bee");
    EXPECT_EQ(kivo({"discard", "package", "nothere", "--noUnTrack"}).itsOut,
              "Nothing to discard.\n");

    write("acme/a.txt", "changed");
    write("acme/new.txt", "new");
    fs::remove(path("acme/sub/b.txt"));
    auto aCreated = kivo({"discard", "package", "acme"});
    EXPECT_EQ(aCreated.itsExitCode, 1);
    EXPECT_EQ(aCreated.itsErr, discardRefused("locally created files"));
    fs::remove(path("acme/new.txt"));
    EXPECT_EQ(kivo({"discard", "package", "acme"}).itsErr, discardRefused("locally deleted files"));
    write("acme/sub/b.txt", "bee");
    EXPECT_EQ(kivo({"discard", "package", "acme"}).itsErr,
              discardRefused("locally modified files"));
    EXPECT_TRUE(hasMeta("acme/a.txt"));

    // Only the bookkeeping goes; the files stay, the package stays tracked without recursion.
    auto aMetaOnly = kivo({"discard", "package", "acme", "--noContent", "--noUnTrack", "-v"});
    EXPECT_EQ(aMetaOnly.itsExitCode, 0) << aMetaOnly.itsErr;
    EXPECT_TRUE(contains(aMetaOnly.itsOut, "-discard\nDiscarded file: \"" + path("acme/a.txt") +
                                               "\" from local workspace.\n"))
        << aMetaOnly.itsOut;
    EXPECT_FALSE(contains(aMetaOnly.itsOut, "-untrack")) << aMetaOnly.itsOut;
    EXPECT_TRUE(contains(aMetaOnly.itsOut, "Discarded files              : 2\n"));
    EXPECT_EQ(read("acme/a.txt"), "changed");
    EXPECT_FALSE(hasMeta("acme/a.txt"));
    EXPECT_FALSE(fs::exists(settings() / "SYS/acme/sub"));
    EXPECT_FALSE(contains(statusText(), "a.txt")) << statusText();
    EXPECT_TRUE(contains(configText(), "acme")) << configText();

    // Forced: the untracked files go too, with the package directories; the package is untracked.
    auto aForced = kivo({"discard", "package", "acme", "-f"});
    EXPECT_EQ(aForced.itsExitCode, 0) << aForced.itsErr;
    EXPECT_EQ(aForced.itsOut,
              "Untracked packages           : 1\nDiscarded files              : 2\n");
    EXPECT_FALSE(fs::exists(path("acme")));
    EXPECT_FALSE(contains(configText(), "acme")) << configText();
}

TEST_F(Revert, DiscardOfObjectsKeepsTheRestAndTheTracking) {
    otherActivates("a", "one");
    otherActivates("b", "bee");
    expectOk(kivo({"checkout"}));
    auto aDiscarded = kivo({"discard", "object", "acme/a.txt"});
    EXPECT_EQ(aDiscarded.itsExitCode, 0) << aDiscarded.itsErr;
    EXPECT_EQ(aDiscarded.itsOut, "Discarded files              : 1\n");
    EXPECT_FALSE(fs::exists(path("acme/a.txt")));
    EXPECT_FALSE(hasMeta("acme/a.txt"));
    EXPECT_EQ(read("acme/b.txt"), "bee");
    EXPECT_TRUE(hasMeta("acme/b.txt"));
    EXPECT_TRUE(contains(configText(), "acme"));
    // The repository is untouched: a checkout brings the file back.
    expectOk(kivo({"checkout"}));
    EXPECT_EQ(read("acme/a.txt"), "one");
}

TEST_F(Revert, TakeOverMovesInactiveObjectsOfAnotherWorkspace) {
    auto aNothing =
        kivo({"takeOver", "--inactiveWorkSpace=ws2", "--inactiveWorkSpaceUser=dev", "-v"});
    EXPECT_EQ(aNothing.itsExitCode, 0) << aNothing.itsErr;
    EXPECT_EQ(aNothing.itsOut, "-takeover\nNothing to take over.\n");

    // A second workspace of the same user commits a new file.
    expectOk(runKivo({"create", "workspace", "ws2", "K1"}, options(dir())));
    fs::create_directories(dir() / "ws2/acme");
    expectOk(runKivo({"track", "acme"}, options(dir() / "ws2")));
    writeText((dir() / "ws2/acme/c.txt").string(), "sea");
    expectOk(runKivo({"commit"}, options(dir() / "ws2")));
    ASSERT_EQ(inactive("ws2"), "acme.c.txt #1\n");

    auto aTaken =
        kivo({"takeOver", "--inactiveWorkSpace=ws2", "--inactiveWorkSpaceUser=dev", "-v"});
    EXPECT_EQ(aTaken.itsExitCode, 0) << aTaken.itsErr;
    EXPECT_TRUE(aTaken.itsOut.starts_with("-takeover\nTaken over file: \"" + path("acme/c.txt") +
                                          "\"\n-checkout\n"))
        << aTaken.itsOut;
    EXPECT_TRUE(contains(aTaken.itsOut, "Taken over objects           : 1\n")) << aTaken.itsOut;
    EXPECT_EQ(inactive("ws2"), "");
    EXPECT_EQ(inactive(), "acme.c.txt #1\n");
    EXPECT_EQ(read("acme/c.txt"), "sea");
    EXPECT_TRUE(hasMeta("acme/c.txt"));
}

TEST_F(Revert, TakeOverOfAnotherUsersObjectsAndItsFailures) {
    activateAs("other", {"create-package"});
    activateAs("other", {"write-only"});
    auto aOutside = kivo({"takeOver", "--inactiveWorkSpaceUser=other"});
    EXPECT_EQ(aOutside.itsOut, "Nothing to take over.\n");

    // Without the checkout only the repository changes.
    auto aTaken = kivo({"takeOver", "package", "p", "--inactiveWorkSpaceUser=other", "--noCheckOut",
                        "--noUnTrack"});
    EXPECT_EQ(aTaken.itsExitCode, 0) << aTaken.itsErr;
    EXPECT_EQ(aTaken.itsOut, "Taken over objects           : 1\n");
    EXPECT_EQ(inactive(), "p.x.txt #1\n");
    EXPECT_FALSE(fs::exists(path("p/x.txt")));

    // The user's workspace holds an inactive version already: the repository refuses.
    activateAs("other", {"write-only"});
    auto aRefused =
        kivo({"takeOver", "object", "p/x.txt", "--inactiveWorkSpaceUser=other", "--noCheckOut"});
    EXPECT_EQ(aRefused.itsExitCode, 1);
    EXPECT_TRUE(aRefused.itsErr.starts_with("Failed to pull inactive objects ("))
        << aRefused.itsErr;
    EXPECT_EQ(inactive(), "p.x.txt #1\n");
}

// The checkout of the base versions brings back a file whose deletion was committed: its status
// entry went with the commit, so only the inactive version knows it.
TEST_F(Revert, ACommittedDeletionComesBack) {
    otherActivates("a", "one");
    otherActivates("b", "bee\nline two\n");
    expectOk(kivo({"checkout"}));
    fs::remove(path("acme/b.txt"));
    expectOk(kivo({"commit"}));
    ASSERT_EQ(inactive(), "acme.b.txt #2 deletion\n");

    auto aRevert = kivo({"revert", "-v"});
    EXPECT_EQ(aRevert.itsExitCode, 0) << aRevert.itsErr;
    EXPECT_TRUE(contains(aRevert.itsOut, "Reverted objects             : 1\n")) << aRevert.itsOut;
    EXPECT_EQ(read("acme/b.txt"), "bee\nline two\n");
    EXPECT_EQ(read("acme/a.txt"), "one");
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");
}
