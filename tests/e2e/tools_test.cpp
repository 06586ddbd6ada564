// kivo-repo, the administrator's tool, and zevuserstore, the key store, through their binaries.
#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

using kivotest::contains;
using kivotest::runProgram;
using kivotest::TempDir;

namespace {

mode_t modeOf(const std::filesystem::path& thePath) {
    struct stat aStat;
    return ::stat(thePath.c_str(), &aStat) == 0 ? (aStat.st_mode & 0777) : 0;
}

} // namespace

TEST(KivoRepoTool, InitUsersAdministratorsSettingsAndShow) {
    TempDir aDir;
    kivotest::RepositoryTarget aTarget(aDir.path());
    auto anInit = aTarget.tool("init", {"--database", "TST", "--vendor", "acme.org"});
    ASSERT_EQ(anInit.itsExitCode, 0) << anInit.itsErr;
    auto aTwice = aTarget.tool("init");
    EXPECT_EQ(aTwice.itsExitCode, 1);
    EXPECT_TRUE(contains(aTwice.itsErr, "exists already")) << aTwice.itsErr;
    auto aShow = [&] { return aTarget.tool("show").itsOut; };
    EXPECT_TRUE(contains(aShow(), "Administrators: every user (nobody is marked)\n")) << aShow();
    // A new password keeps the administrator's mark; --admin=no takes it back.
    const std::pair<std::vector<std::string>, std::string> aUsers[] = {
        {{"carol", "pw-1", "--admin"}, "Added user CAROL\nUser CAROL is an administrator\n"},
        {{"--admin=yes", "dan", "pw"}, "Added user DAN\nUser DAN is an administrator\n"},
        {{"CAROL", "pw-2"}, "Changed the password of user CAROL\n"},
        {{"dan", "pw", "--admin=no"},
         "Changed the password of user DAN\nUser DAN is no administrator\n"},
    };
    for (const auto& [anArgs, anOutput] : aUsers)
        EXPECT_EQ(aTarget.tool("user", anArgs).itsOut, anOutput);
    const std::pair<std::vector<std::string>, std::string> aRefusals[] = {
        {{"dan", "pw", "--admin=maybe"}, "kivo-repo: --admin takes yes or no, not \"maybe\"\n"},
        // Without PASSWORD it is read from standard input, here empty.
        {{"dan", "--admin"}, "kivo-repo: The password must not be empty\n"},
    };
    for (const auto& [anArgs, anError] : aRefusals) {
        const auto aRefused = aTarget.tool("user", anArgs);
        EXPECT_EQ(aRefused.itsExitCode, 1);
        EXPECT_EQ(aRefused.itsErr, anError);
    }
    EXPECT_EQ(aTarget.tool("user", {"dan", "pw", "--admin", "--admin=no"}).itsExitCode, 2);

    EXPECT_EQ(aTarget.tool("set", {"api_version", "none"}).itsExitCode, 0);
    auto aBad = aTarget.tool("set", {"change_tracking", "maybe"});
    EXPECT_EQ(aBad.itsExitCode, 1);
    EXPECT_TRUE(contains(aBad.itsErr, "on or off")) << aBad.itsErr;
    EXPECT_EQ(aTarget.tool("set", {"import_max_bytes", "1048576"}).itsOut,
              "import_max_bytes = 1048576\n");
    for (const char* aLimit : {"0", "-1", "1e9", ""}) {
        auto aRefused = aTarget.tool("set", {"import_max_bytes", aLimit});
        EXPECT_EQ(aRefused.itsExitCode, 1) << aLimit;
        EXPECT_TRUE(contains(aRefused.itsErr, "positive number of bytes")) << aRefused.itsErr;
    }
    for (const char* aLine :
         {"  api_version = none\n", "  import_max_bytes = 1048576\n", "  database_name = TST\n",
          "  vendor = acme.org\n", "  CAROL\n", "Objects: 0\n", "Administrators: CAROL\n"})
        EXPECT_TRUE(contains(aShow(), aLine)) << aLine << "\n" << aShow();
    EXPECT_FALSE(contains(aShow(), "pw-")) << "passwords are never shown";
    EXPECT_EQ(runProgram("kivo-repo", {"frobnicate"}).itsExitCode, 2);
}

TEST(ZevUserStoreTool, KeysAreStoredPrivatelyListedWithoutPasswordsAndDeleted) {
    TempDir aDir;
    kivotest::RunOptions anOptions;
    std::filesystem::path aHome = aDir.path() / "store";
    anOptions.itsEnv["ZEVUSERSTORE_HOME"] = aHome.string();
    anOptions.itsCwd = aDir.path();
    auto aStore = [&](const std::vector<std::string>& theArgs) {
        return runProgram("zevuserstore", theArgs, anOptions);
    };
    // A repository file named from the current directory is stored with its absolute path.
    const std::string aRepo =
        "file:" + std::filesystem::weakly_canonical(aDir.path() / "repo.db").string();
    auto aSet = aStore({"SET", "DEV", "file:repo.db", "alice", "pw-secret"});
    ASSERT_EQ(aSet.itsExitCode, 0) << aSet.itsErr;
    EXPECT_EQ(modeOf(aHome), 0700u);
    EXPECT_EQ(modeOf(aHome / "keys"), 0600u);
    aStore({"SET", "QA", "file:/tmp/qa.db", "bob", "x"});
    const std::string aQa = "KEY QA\n  HOST: file:/tmp/qa.db\n  USER: BOB\n";
    EXPECT_EQ(aStore({"LIST"}).itsOut, "KEY DEV\n  HOST: " + aRepo + "\n  USER: ALICE\n" + aQa);
    EXPECT_EQ(aStore({"LIST", "QA"}).itsOut, aQa);
    EXPECT_EQ(aStore({"DELETE", "QA"}).itsExitCode, 0);
    EXPECT_EQ(aStore({"LIST", "QA"}).itsExitCode, 1);

    ::chmod((aHome / "keys").c_str(), 0644);
    auto aRefused = aStore({"LIST"});
    EXPECT_EQ(aRefused.itsExitCode, 1);
    EXPECT_TRUE(contains(aRefused.itsErr, (aHome / "keys").string()) &&
                contains(aRefused.itsErr, "0644"))
        << aRefused.itsErr;
}
