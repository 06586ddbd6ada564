// Workspaces created against a repository (their layout and refusals: the workspace layer's tests).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// The repository with the user dev and key K1, and no workspace yet.
class CreateWorkspace : public ::testing::Test, protected RepositoryWorkspace {
protected:
    CreateWorkspace() : RepositoryWorkspace(WithoutWorkspace()) {}
    // Runs kivo in the test's folder with theArgs and then theMore.
    RunResult here(std::vector<std::string> theArgs, const std::vector<std::string>& theMore = {}) {
        theArgs.insert(theArgs.end(), theMore.begin(), theMore.end());
        return kivoIn(dir(), theArgs);
    }
};

} // namespace

TEST_F(CreateWorkspace, WithAKeyOrWithHostAndUserAndAFailedConnectLeavesNothing) {
    EXPECT_EQ(here({"create", "workspace", "ws", "K1"}).itsOut,
              "Created workspace \"ws\" in directory: \"" + (dir() / "ws").string() + "\".\n");
    EXPECT_TRUE(fs::is_directory(dir() / "ws/._SYS_KIVO_settings/logs"));
    const std::string aStatus = kivoIn(dir() / "ws", {"status"}).itsOut;
    EXPECT_TRUE(aStatus.starts_with("Workspace: ws\nSecure store key: K1\n")) << aStatus;
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
