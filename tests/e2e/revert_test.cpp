// `kivo revert`, `kivo discard` and `kivo takeOver` through the real binary.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// The users dev and other, and dev's workspace "ws" that tracks acme.
class Revert : public WorkspaceTest<true, true> {
protected:
    bool hasMeta(const std::string& theRelative) const { return fs::exists(metaFile(theRelative)); }
    // The user other activates acme/a.txt "one" and acme/b.txt with theB; dev checks both out.
    void checkedOut(const std::string& theB = "bee") const {
        activateAs("other", {"put", "acme", "a", "txt", "one", "acme", "b", "txt", theB});
        expectOk(kivo({"checkout"}));
    }
    std::string configText() const { return readText(settings() / ".kivoConfig"); }
};

std::string discardRefused(const std::string& theKind) {
    return "Discard failed. There are " + theKind +
           " in the workspace.\nUse \"kivo discard -f\" to discard them anyway, or \"kivo "
           "discard --noContent\" to discard only the meta data.\n";
}

} // namespace

TEST_F(Revert, CommittedFilesGoBackToTheirBaseVersions) {
    expectOutputs({{{"revert"}, "Nothing to revert.\n"},
                   {{"revert", "-v"}, "-checkout\n-revert\nNothing to revert.\n"},
                   {{"revert", "-v", "--noCheckOut"}, "-revert\nNothing to revert.\n"}});
    checkedOut();
    write("acme/a.txt", "two");
    write("acme/b.txt", "bee two");
    expectOk(kivo({"commit"}));
    ASSERT_EQ(inactive(), "acme.a.txt #2\nacme.b.txt #2\n");
    // Only the named object; the other keeps its inactive version and its content.
    const RunResult aSingle = kivo({"revert", "object", "acme/a.txt", "--verbose"});
    expectSays(aSingle, "-revert\nReverted file: \"" + path("acme/a.txt") + "\"\n");
    expectSays(aSingle, "Reverted objects             : 1\n");
    EXPECT_EQ(read("acme/a.txt") + read("acme/b.txt"), "onebee two");
    EXPECT_EQ(inactive(), "acme.b.txt #2\n");
    // Without the checkout the repository forgets the version, the file keeps the local content.
    EXPECT_EQ(outputOf(kivo({"revert", "--noCheckOut"})), "Reverted objects             : 1\n");
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(read("acme/b.txt"), "bee two");
}

// A committed deletion, known only to its inactive version, comes back with the checkout; a
// conflicted file is not reverted.
TEST_F(Revert, ACommittedDeletionComesBackAndConflictedFilesAreNotReverted) {
    checkedOut("bee\nline two\n");
    fs::remove(path("acme/b.txt"));
    expectOk(kivo({"commit"}));
    ASSERT_EQ(inactive(), "acme.b.txt #2 deletion\n");
    expectSays(kivo({"revert", "-v"}), "Reverted objects             : 1\n");
    EXPECT_EQ(read("acme/b.txt"), "bee\nline two\n");
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");

    write("acme/a.txt", "mine");
    expectOk(kivo({"commit"}));
    activateAs("other", {"put", "acme", "a", "txt", "theirs"});
    kivo({"checkout"});
    ASSERT_TRUE(contains(statusText(), "conflict")) << statusText();
    expectError(kivo({"revert", "--noCheckOut"}),
                "Revert failed. At least one of the files to be reverted is conflicted.\n\n" +
                    kResolutionCalls + "\n");
    EXPECT_EQ(inactive(), "acme.a.txt #2\n");
}

TEST_F(Revert, DiscardOfObjectsAndPackagesRefusesLocalChangesUnlessForcedOrOnlyMetadata) {
    activateAs("other", {"put", "acme", "a", "txt", "one", "acme.sub", "b", "txt", "bee"});
    expectOk(kivo({"checkout"}));
    EXPECT_EQ(kivo({"discard", "package", "nothere", "--noUnTrack"}).itsOut,
              "Nothing to discard.\n");
    // An object is discarded alone, the package stays tracked; the repository is untouched: a
    // checkout brings the file back.
    EXPECT_EQ(outputOf(kivo({"discard", "object", "acme/a.txt"})),
              "Discarded files              : 1\n");
    EXPECT_FALSE(fs::exists(path("acme/a.txt")) || hasMeta("acme/a.txt"));
    EXPECT_TRUE(hasMeta("acme/sub/b.txt") && contains(configText(), "acme"));
    expectOk(kivo({"checkout"}));
    EXPECT_EQ(read("acme/a.txt"), "one");
    write("acme/a.txt", "changed");
    write("acme/new.txt", "new");
    fs::remove(path("acme/sub/b.txt"));
    expectError(kivo({"discard", "package", "acme"}), discardRefused("locally created files"));
    fs::remove(path("acme/new.txt"));
    EXPECT_EQ(kivo({"discard", "package", "acme"}).itsErr, discardRefused("locally deleted files"));
    write("acme/sub/b.txt", "bee");
    EXPECT_EQ(kivo({"discard", "package", "acme"}).itsErr,
              discardRefused("locally modified files"));
    EXPECT_TRUE(hasMeta("acme/a.txt"));
    // Only the bookkeeping goes; the files stay, the package stays tracked without recursion.
    const RunResult aMetaOnly =
        kivo({"discard", "package", "acme", "--noContent", "--noUnTrack", "-v"});
    expectSays(aMetaOnly,
               "-discard\nDiscarded file: \"" + path("acme/a.txt") + "\" from local workspace.\n");
    expectSays(aMetaOnly, "Discarded files              : 2\n");
    EXPECT_FALSE(contains(aMetaOnly.itsOut, "-untrack")) << aMetaOnly.itsOut;
    EXPECT_EQ(read("acme/a.txt"), "changed");
    EXPECT_FALSE(hasMeta("acme/a.txt") || fs::exists(settings() / "SYS/acme/sub"));
    EXPECT_FALSE(contains(statusText(), "a.txt")) << statusText();
    EXPECT_TRUE(contains(configText(), "acme")) << configText();
    // Forced: the untracked files go too, with the package directories; the package is untracked.
    EXPECT_EQ(outputOf(kivo({"discard", "package", "acme", "-f"})),
              "Untracked packages           : 1\nDiscarded files              : 2\n");
    EXPECT_FALSE(fs::exists(path("acme")));
    EXPECT_FALSE(contains(configText(), "acme")) << configText();
}

// Another workspace's inactive objects come with a checkout, another user's without one.
TEST_F(Revert, TakeOverMovesInactiveObjectsOfAnotherWorkspace) {
    const std::vector<std::string> aFromWs2 = {"takeOver", "--inactiveWorkSpace=ws2",
                                               "--inactiveWorkSpaceUser=dev", "-v"};
    EXPECT_EQ(outputOf(kivo(aFromWs2)), "-takeover\nNothing to take over.\n");
    makeWorkspace("ws2", "K1", "acme");
    writeText(dir() / "ws2/acme/c.txt", "sea");
    expectOk(kivoIn(dir() / "ws2", {"commit"}));
    ASSERT_EQ(inactive(dir() / "ws2"), "acme.c.txt #1\n");

    const RunResult aTaken = kivo(aFromWs2);
    EXPECT_TRUE(aTaken.itsOut.starts_with("-takeover\nTaken over file: \"" + path("acme/c.txt") +
                                          "\"\n-checkout\n"))
        << aTaken.itsOut << aTaken.itsErr;
    expectSays(aTaken, "Taken over objects           : 1\n");
    EXPECT_EQ(inactive(dir() / "ws2"), "");
    EXPECT_EQ(inactive(), "acme.c.txt #1\n");
    EXPECT_TRUE(read("acme/c.txt") == "sea" && hasMeta("acme/c.txt"));

    activateAs("other", {"create-package"});
    activateAs("other", {"write-only"});
    EXPECT_EQ(outputOf(kivo({"takeOver", "package", "p", "--inactiveWorkSpaceUser=other",
                             "--noCheckOut", "--noUnTrack"})),
              "Taken over objects           : 1\n");
    EXPECT_EQ(inactive(), "acme.c.txt #1\np.x.txt #1\n");
    EXPECT_FALSE(fs::exists(path("p/x.txt")));
}
