// Workspaces created against a repository (layout and refusals: the workspace layer's tests);
// packages created, updated and deleted with their workspace directories.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// A repository with the users dev and other, and dev's workspace "ws" (nothing tracked).
class Packages : public WorkspaceTest<true, false> {
protected:
    // The attributes of a package as the repository prints them.
    std::string attributes(const std::string& thePackage) const {
        return repoProbe({"package", thePackage});
    }
    std::string show() const { return target().show(); }
    // Runs kivo in the test's folder with theArgs and then theMore.
    RunResult here(std::vector<std::string> theArgs, const std::vector<std::string>& theMore = {}) {
        theArgs.insert(theArgs.end(), theMore.begin(), theMore.end());
        return kivoIn(dir(), theArgs);
    }

    // The tree p (a text with non-ASCII bytes) and p.sub (one more text), activated by dev and
    // checked out in the workspace, and an inactive version of p/x.txt in other's workspace.
    void makeTree() const {
        expectOk(kivo({"create", "package", "p.sub"}));
        expectOk(kivo({"track", "p"}));
        writeText(path("p/a.txt"), "h\xc3\xa4llo\n");
        writeText(path("p/sub/b.txt"), "bee");
        expectOk(kivo({"push"}));
        activateAs("other", {"write-only"});
        ASSERT_TRUE(contains(show(), "Inactive versions: 1")) << show();
    }
    // The repository and the workspace hold nothing of the tree any more.
    void expectTreeGone() const {
        EXPECT_TRUE(contains(show(), "Packages: 0\nObjects: 0\n")) << show();
        EXPECT_TRUE(contains(show(), "Inactive versions: 0")) << show();
        EXPECT_FALSE(fs::exists(path("p")) || fs::exists(settings() / "SYS/p"));
    }
};

using CreateWorkspace = Packages;
const std::string kResponsibleAnn = "Responsible             : ann\n";

} // namespace

TEST_F(Packages, CreateMakesAncestorsAndDirectoriesAndInheritsUnlessToldAndUpdateKeepsTheRest) {
    expectOk(kivo({"create", "package", "acme", "--responsible=ann"}));
    EXPECT_EQ(outputOf(kivo({"create", "package", "acme.sub.deep", "-v", "--structural"})),
              "Created package: \"acme.sub\"\n"
              "Created package: \"acme.sub.deep\"\n"
              "Created packages             : 1\n"
              "Created directories          : 2\n");
    EXPECT_TRUE(fs::is_directory(path("acme/sub/deep")));
    const std::string aDeep = attributes("acme.sub.deep");
    // The ancestors made on the way are the engine's tests'.
    EXPECT_TRUE(contains(aDeep, kResponsibleAnn) &&
                !contains(aDeep, "Structural              : 0\n"))
        << aDeep;

    expectOk(kivo({"create", "packages", "acme.own", "acme.two", "--noInherit"}));
    EXPECT_TRUE(contains(attributes("acme.own"), "Responsible             : \n"));
    EXPECT_TRUE(fs::is_directory(path("acme/two")));
    // Outside a workspace only the repository changes.
    expectOk(runKivo({"create", "package", "outside", "--key=K1"}, options()));
    EXPECT_FALSE(fs::exists(dir() / "outside"));
    EXPECT_TRUE(contains(attributes("outside"), "Package                 : outside\n"));
    // An update changes the given attributes of the tree and keeps the others.
    EXPECT_EQ(outputOf(kivo({"update", "package", "acme.sub", "--description=new", "-v"})),
              "Updated package: \"acme.sub\"\nUpdated package: \"acme.sub.deep\"\n"
              "Updated packages             : 2\n");
    expectOk(kivo({"update", "package", "acme.sub", "--description=top", "--noRecursive"}));
    EXPECT_TRUE(contains(attributes("acme.sub"), "Description             : top\n"));
    const std::string anUpdated = attributes("acme.sub.deep");
    EXPECT_TRUE(contains(anUpdated, "Description             : new\n") &&
                contains(anUpdated, kResponsibleAnn))
        << anUpdated;
}

TEST_F(Packages, DeleteWithoutForceTakesOnlyEmptyPackagesAndKeepsLocalFiles) {
    expectOk(kivo({"create", "packages", "acme.sub", "acme.leaf", "acme.kept"}));
    EXPECT_EQ(kivo({"delete", "package", "acme.nothere"}).itsOut, "No package to delete.\n");
    EXPECT_EQ(outputOf(kivo({"delete", "package", "acme.leaf", "-v"})),
              "Deleted package: \"acme.leaf\"\nDeleted packages             : 1\n");
    EXPECT_FALSE(fs::exists(path("acme/leaf")));
    // A local file that the repository never saw survives with its directory.
    writeText(path("acme/kept/mine.txt"), "mine");
    expectOk(kivo({"delete", "package", "acme.kept"}));
    EXPECT_EQ(read("acme/kept/mine.txt"), "mine");

    expectRefused(kivo({"delete", "package", "acme"}), "Failed to delete package (40114)");
    EXPECT_TRUE(contains(attributes("acme.sub"), "Package                 : acme.sub\n"));
}

// Natively in spite of other's inactive objects; below API 16, or when the native deletion is
// declined, through the workspace.
TEST_F(Packages, ForcedDeleteTakesTheTreeNativelyOrThroughTheWorkspace) {
    makeTree();
    const auto aDeleted = kivo({"delete", "package", "p", "-f", "-v"});
    expectSays(aDeleted, "Deleted package: \"p\" (recursively)\n-discard\n");
    expectSays(aDeleted, "-untrack\nUntracked package \"p\".\n");
    EXPECT_FALSE(contains(aDeleted.itsOut, "-checkout")) << aDeleted.itsOut;
    expectTreeGone();
    EXPECT_TRUE(contains(kivo({"status"}).itsOut, "No packages tracked."));
    // Below API 16 through the workspace, deepest first.
    makeTree();
    expectOk(target().tool("set", {"api_version", "15"}));
    const auto aThrough = kivo({"delete", "package", "p", "-f", "-v"});
    for (const std::string& aPart :
         {std::string("-track\n"), "Committed file deletion: \"" + path("p/a.txt") + "\"\n",
          "Committed file deletion: \"" + path("p/sub/b.txt") + "\"\n",
          std::string("-delete\nDeleted package: \"p.sub\"\nDeleted package: \"p\"\n-discard\n"),
          std::string("Deleted packages             : 2\n")})
        expectSays(aThrough, aPart);
    expectTreeGone();
    // The same at API 16 when the native deletion is declined; the package stays tracked.
    expectOk(target().tool("set", {"api_version", "16"}));
    makeTree();
    const auto aDeclined =
        kivo({"delete", "package", "p", "-f", "-v", "--noDeletePackageRecursively", "--noUnTrack"});
    expectSays(aDeclined, "-delete\nDeleted package: \"p.sub\"\n");
    EXPECT_FALSE(contains(aDeclined.itsOut, "-untrack")) << aDeclined.itsOut;
    expectTreeGone();
}

TEST_F(CreateWorkspace, WithAKeyOrWithHostAndUserAndAFailedConnectLeavesNothing) {
    EXPECT_EQ(here({"create", "workspace", "w1", "K1"}).itsOut,
              "Created workspace \"w1\" in directory: \"" + (dir() / "w1").string() + "\".\n");
    EXPECT_TRUE(fs::is_directory(dir() / "w1/._SYS_KIVO_settings/logs"));
    const std::string aStatus = kivoIn(dir() / "w1", {"status"}).itsOut;
    EXPECT_TRUE(aStatus.starts_with("Workspace: w1\nSecure store key: K1\n")) << aStatus;
    // A repository file named relative to the current directory is reached from anywhere in
    // the workspace afterwards; so is a server's database named by --database.
    expectOk(here({"create", "ws", "w2", "--user=dev", "--passwd=pw"},
                  target().isServer() ? target().connectOptions()
                                      : std::vector<std::string>{"--host=file:repo.db"}));
    fs::create_directories(dir() / "w2/a/b");
    expectOk(kivoIn(dir() / "w2/a/b", {"status", "inactiveObjects", "--passwd=pw"}));
    const std::string aConfig = readText(dir() / "w2/._SYS_KIVO_settings/.kivoConfig");
    EXPECT_TRUE(contains(aConfig, "\"user\":\"dev\"") &&
                contains(aConfig, "\"database\":\"" + target().database() + "\""))
        << aConfig;
    // The directory is created when missing, with its missing parents.
    expectOk(here({"create", "workspace", "a/b/deep", "K1"}));
    EXPECT_TRUE(fs::is_directory(dir() / "a/b/deep/._SYS_KIVO_settings/logs"));
    // A failed connect leaves nothing behind and names no password.
    const RunResult aResult =
        here({"create", "ws", "bad", "--user=dev", "--passwd=Xyzzy42"}, target().connectOptions());
    expectRefused(aResult, "Connecting to the database failed: ");
    expectRefused(aResult, "password (<non-empty password>)");
    EXPECT_FALSE(contains(aResult.itsErr, "Xyzzy42") || fs::exists(dir() / "bad"));
    fs::create_directories(dir() / "kept/mine");
    here({"create", "ws", "kept", "NOSUCHKEY"});
    EXPECT_TRUE(fs::exists(dir() / "kept/mine"));
    EXPECT_FALSE(fs::exists(dir() / "kept/._SYS_KIVO_settings"));
}

// A name with inactive objects needs --force; tracking all packages follows the root packages.
TEST_F(CreateWorkspace, ANameWithInactiveObjectsNeedsForce) {
    activateAs("dev", {"create-package"});
    activateAs("dev", {"write-only"});
    EXPECT_EQ(here({"create", "ws", "__empty__", "K1"}).itsErr,
              "Error: The workspace \"__empty__\" is not empty in the Repository (1 inactive "
              "object(s) already exist).\nCall \"kivo create workspace\" with the \"-f\" option to "
              "create the workspace anyway, or choose a new name for it.\n");
    EXPECT_FALSE(fs::exists(dir() / "__empty__"));
    expectOk(here({"create", "ws", "__empty__", "K1", "-f"}));

    const fs::path aWs = dir() / "__empty__";
    const std::string anInactive =
        outputOf(kivoIn(aWs, {"status", "inactiveObjects", "--inactiveObjects"}));
    EXPECT_TRUE(contains(anInactive, "\nInactive Objects:\n") && contains(anInactive, "x.txt"))
        << anInactive;
    EXPECT_EQ(kivoIn(aWs, {"track", "allPackages", "-v"}).itsOut,
              "Tracking package \"p\".\nTracked packages             : 1\n");
    EXPECT_EQ(kivoIn(aWs, {"untrack", "rootPackages"}).itsOut,
              "Untracked packages           : 1\n");
}
