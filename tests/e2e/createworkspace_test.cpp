// Workspaces created against a repository, and the actions that ask it for packages and inactive
// objects.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

using Repository = RepositoryWorkspace;
const Repository::WithoutWorkspace kWithoutWorkspace;

// theArgs followed by theMore.
std::vector<std::string> joined(std::vector<std::string> theArgs,
                                const std::vector<std::string>& theMore) {
    theArgs.insert(theArgs.end(), theMore.begin(), theMore.end());
    return theArgs;
}

} // namespace

TEST(CreateWorkspace, WithAKeyOrWithHostAndUser) {
    Repository aRepo(kWithoutWorkspace);
    auto aCreated = aRepo.kivoIn(aRepo.dir(), {"create", "workspace", "ws", "K1"});
    EXPECT_EQ(aCreated.itsOut,
              "Created workspace \"ws\" in directory: \"" + (aRepo.dir() / "ws").string() + "\".\n")
        << aCreated.itsErr;
    EXPECT_TRUE(fs::is_directory(aRepo.dir() / "ws/._SYS_KIVO_settings/logs"));
    auto aStatus = aRepo.kivoIn(aRepo.dir() / "ws", {"status"});
    EXPECT_TRUE(aStatus.itsOut.starts_with("Workspace: ws\nSecure store key: K1\n"))
        << aStatus.itsOut;

    // A repository file named relative to the current directory is reached from anywhere in
    // the workspace afterwards; so is a server's database named by --database.
    const std::vector<std::string> aHost = aRepo.target().isServer()
                                               ? aRepo.target().connectOptions()
                                               : std::vector<std::string>{"--host=file:repo.db"};
    auto aDirect = aRepo.kivoIn(aRepo.dir(),
                                joined({"create", "ws", "w2", "--user=dev", "--passwd=pw"}, aHost));
    EXPECT_EQ(aDirect.itsExitCode, 0) << aDirect.itsErr;
    fs::create_directories(aRepo.dir() / "w2/a/b");
    auto aBelow =
        aRepo.kivoIn(aRepo.dir() / "w2/a/b", {"status", "inactiveObjects", "--passwd=pw"});
    EXPECT_EQ(aBelow.itsExitCode, 0) << aBelow.itsErr;
    const std::string aConfig = readText(aRepo.dir() / "w2/._SYS_KIVO_settings/.kivoConfig");
    EXPECT_NE(aConfig.find("\"user\":\"dev\""), std::string::npos) << aConfig;
    EXPECT_NE(aConfig.find("\"database\":\"" + aRepo.target().database() + "\""), std::string::npos)
        << aConfig;
    const std::string aLog = readText(aRepo.dir() / "w2/._SYS_KIVO_settings/logs/commands.log");
    EXPECT_EQ(aLog.find("pw\""), std::string::npos);
    EXPECT_NE(aLog.find("--passwd=********"), std::string::npos) << aLog;

    // The directory is created when missing, with its missing parents.
    auto aDeep = aRepo.kivoIn(aRepo.dir(), {"create", "workspace", "a/b/deep", "K1"});
    EXPECT_EQ(aDeep.itsExitCode, 0) << aDeep.itsErr;
    EXPECT_TRUE(fs::is_directory(aRepo.dir() / "a/b/deep/._SYS_KIVO_settings/logs"));

    auto anAgain = aRepo.kivoIn(aRepo.dir(), {"create", "ws", "ws", "K1"});
    EXPECT_EQ(anAgain.itsExitCode, 1);
    EXPECT_TRUE(anAgain.itsErr.starts_with("Workspace already exists")) << anAgain.itsErr;
    EXPECT_TRUE(fs::exists(aRepo.dir() / "ws/._SYS_KIVO_settings/.kivoConfig"));
}

TEST(CreateWorkspace, AFailedConnectLeavesNothingBehind) {
    Repository aRepo(kWithoutWorkspace);
    auto aResult =
        aRepo.kivoIn(aRepo.dir(), joined({"create", "ws", "bad", "--user=dev", "--passwd=Xyzzy42"},
                                         aRepo.target().connectOptions()));
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_NE(aResult.itsErr.find("Connecting to the database failed: "), std::string::npos);
    EXPECT_NE(aResult.itsErr.find("password (<non-empty password>)"), std::string::npos)
        << aResult.itsErr;
    EXPECT_EQ(aResult.itsErr.find("Xyzzy42"), std::string::npos);
    EXPECT_FALSE(fs::exists(aRepo.dir() / "bad"));

    fs::create_directories(aRepo.dir() / "kept/mine");
    aRepo.kivoIn(aRepo.dir(), {"create", "ws", "kept", "NOSUCHKEY"});
    EXPECT_TRUE(fs::exists(aRepo.dir() / "kept/mine"));
    EXPECT_FALSE(fs::exists(aRepo.dir() / "kept/._SYS_KIVO_settings"));
}

TEST(CreateWorkspace, ANameWithInactiveObjectsNeedsForce) {
    Repository aRepo(kWithoutWorkspace);
    aRepo.activateAs("dev", {"create-package"});
    aRepo.activateAs("dev", {"write-only"});
    auto aRefused = aRepo.kivoIn(aRepo.dir(), {"create", "ws", "__empty__", "K1"});
    EXPECT_EQ(aRefused.itsErr,
              "Error: The workspace \"__empty__\" is not empty in the Repository (1 inactive "
              "object(s) already exist).\nCall \"kivo create workspace\" with the \"-f\" option to "
              "create the workspace anyway, or choose a new name for it.\n");
    EXPECT_FALSE(fs::exists(aRepo.dir() / "__empty__"));
    EXPECT_EQ(aRepo.kivoIn(aRepo.dir(), {"create", "ws", "__empty__", "K1", "-f"}).itsExitCode, 0);

    const fs::path aWs = aRepo.dir() / "__empty__";
    auto anInactive = aRepo.kivoIn(aWs, {"status", "inactiveObjects", "--inactiveObjects"});
    EXPECT_EQ(anInactive.itsExitCode, 0) << anInactive.itsErr;
    EXPECT_NE(anInactive.itsOut.find("\nInactive Objects:\n"), std::string::npos)
        << anInactive.itsOut;
    EXPECT_NE(anInactive.itsOut.find("x.txt"), std::string::npos);
}

TEST(TrackAllPackages, FollowsTheRepositoryRootPackages) {
    Repository aRepo(kWithoutWorkspace);
    aRepo.activateAs("dev", {"create-package"});
    Repository::expectOk(aRepo.kivoIn(aRepo.dir(), {"create", "ws", "ws", "K1"}));
    const fs::path aWs = aRepo.dir() / "ws";
    auto aTracked = aRepo.kivoIn(aWs, {"track", "allPackages", "-v"});
    EXPECT_EQ(aTracked.itsOut, "Tracking package \"p\".\nTracked packages             : 1\n")
        << aTracked.itsErr;
    auto anUntracked = aRepo.kivoIn(aWs, {"untrack", "rootPackages"});
    EXPECT_EQ(anUntracked.itsOut, "Untracked packages           : 1\n");
}
