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

TEST(KivoRepoTool, InitUserSetAndShowAdministerARepository) {
    TempDir aDir;
    kivotest::RepositoryTarget aTarget(aDir.path());
    auto anInit = aTarget.tool("init", {"--database", "TST", "--vendor", "acme.org"});
    ASSERT_EQ(anInit.itsExitCode, 0) << anInit.itsErr;
    auto aTwice = aTarget.tool("init");
    EXPECT_EQ(aTwice.itsExitCode, 1);
    EXPECT_NE(aTwice.itsErr.find("exists already"), std::string::npos) << aTwice.itsErr;

    EXPECT_EQ(aTarget.tool("user", {"carol", "pw-1"}).itsOut, "Added user CAROL\n");
    EXPECT_EQ(aTarget.tool("user", {"CAROL", "pw-2"}).itsOut,
              "Changed the password of user CAROL\n");
    EXPECT_EQ(aTarget.tool("set", {"api_version", "none"}).itsExitCode, 0);
    auto aBad = aTarget.tool("set", {"change_tracking", "maybe"});
    EXPECT_EQ(aBad.itsExitCode, 1);
    EXPECT_NE(aBad.itsErr.find("on or off"), std::string::npos);
    EXPECT_EQ(aTarget.tool("set", {"import_max_bytes", "1048576"}).itsOut,
              "import_max_bytes = 1048576\n");
    for (const char* aLimit : {"0", "-1", "1e9", ""}) {
        auto aRefused = aTarget.tool("set", {"import_max_bytes", aLimit});
        EXPECT_EQ(aRefused.itsExitCode, 1) << aLimit;
        EXPECT_NE(aRefused.itsErr.find("positive number of bytes"), std::string::npos)
            << aRefused.itsErr;
    }

    auto aShow = aTarget.tool("show");
    ASSERT_EQ(aShow.itsExitCode, 0) << aShow.itsErr;
    for (const char* aLine :
         {"  api_version = none\n", "  import_max_bytes = 1048576\n", "  database_name = TST\n",
          "  vendor = acme.org\n", "  CAROL\n", "Objects: 0\n"})
        EXPECT_NE(aShow.itsOut.find(aLine), std::string::npos) << aLine << "\n" << aShow.itsOut;
    EXPECT_EQ(aShow.itsOut.find("pw-"), std::string::npos) << "passwords are never shown";
    EXPECT_EQ(runProgram("kivo-repo", {"frobnicate"}).itsExitCode, 2);
}

TEST(KivoRepoTool, AdministratorsAreMarkedUnmarkedAndShown) {
    TempDir aDir;
    kivotest::RepositoryTarget aTarget(aDir.path());
    aTarget.init();
    auto aShow = [&] { return aTarget.tool("show").itsOut; };
    EXPECT_TRUE(contains(aShow(), "Administrators: every user (nobody is marked)\n")) << aShow();

    EXPECT_EQ(aTarget.tool("user", {"carol", "pw", "--admin"}).itsOut,
              "Added user CAROL\nUser CAROL is an administrator\n");
    EXPECT_EQ(aTarget.tool("user", {"--admin=yes", "dan", "pw"}).itsOut,
              "Added user DAN\nUser DAN is an administrator\n");
    EXPECT_TRUE(contains(aShow(), "Administrators: CAROL DAN\n")) << aShow();
    // A new password keeps the mark; --admin=no takes it back.
    EXPECT_EQ(aTarget.tool("user", {"carol", "pw-2"}).itsOut,
              "Changed the password of user CAROL\n");
    EXPECT_EQ(aTarget.tool("user", {"dan", "pw", "--admin=no"}).itsOut,
              "Changed the password of user DAN\nUser DAN is no administrator\n");
    EXPECT_TRUE(contains(aShow(), "Administrators: CAROL\n")) << aShow();

    auto aBadValue = aTarget.tool("user", {"dan", "pw", "--admin=maybe"});
    EXPECT_EQ(aBadValue.itsExitCode, 1);
    EXPECT_EQ(aBadValue.itsErr, "kivo-repo: --admin takes yes or no, not \"maybe\"\n");
    // Without PASSWORD it is read from standard input, here empty: refused.
    auto aNoPassword = aTarget.tool("user", {"dan", "--admin"});
    EXPECT_EQ(aNoPassword.itsExitCode, 1);
    EXPECT_EQ(aNoPassword.itsErr, "kivo-repo: The password must not be empty\n");
    EXPECT_EQ(aTarget.tool("user", {"dan", "pw", "--admin", "--admin=no"}).itsExitCode, 2);
    EXPECT_TRUE(contains(aShow(), "Administrators: CAROL\n")) << aShow();
}

TEST(ZevUserStoreTool, KeysAreStoredPrivatelyListedWithoutPasswordsAndDeleted) {
    TempDir aDir;
    kivotest::RunOptions anOptions;
    std::filesystem::path aHome = aDir.path() / "store";
    anOptions.itsEnv["ZEVUSERSTORE_HOME"] = aHome.string();
    anOptions.itsCwd = aDir.path();
    // A repository file named from the current directory is stored with its absolute path.
    const std::string aRepo =
        "file:" + std::filesystem::weakly_canonical(aDir.path() / "repo.db").string();
    auto aSet =
        runProgram("zevuserstore", {"SET", "DEV", "file:repo.db", "alice", "pw-secret"}, anOptions);
    ASSERT_EQ(aSet.itsExitCode, 0) << aSet.itsErr;
    EXPECT_EQ(modeOf(aHome), 0700u);
    EXPECT_EQ(modeOf(aHome / "keys"), 0600u);
    runProgram("zevuserstore", {"SET", "QA", "file:/tmp/qa.db", "bob", "x"}, anOptions);

    auto aList = runProgram("zevuserstore", {"LIST"}, anOptions);
    EXPECT_EQ(aList.itsOut, "KEY DEV\n  HOST: " + aRepo +
                                "\n  USER: ALICE\n"
                                "KEY QA\n  HOST: file:/tmp/qa.db\n  USER: BOB\n");
    EXPECT_EQ(runProgram("zevuserstore", {"LIST", "QA"}, anOptions).itsOut,
              "KEY QA\n  HOST: file:/tmp/qa.db\n  USER: BOB\n");
    EXPECT_EQ(runProgram("zevuserstore", {"DELETE", "QA"}, anOptions).itsExitCode, 0);
    EXPECT_EQ(runProgram("zevuserstore", {"LIST", "QA"}, anOptions).itsExitCode, 1);

    ::chmod((aHome / "keys").c_str(), 0644);
    auto aRefused = runProgram("zevuserstore", {"LIST"}, anOptions);
    EXPECT_EQ(aRefused.itsExitCode, 1);
    EXPECT_NE(aRefused.itsErr.find((aHome / "keys").string()), std::string::npos);
    EXPECT_NE(aRefused.itsErr.find("0644"), std::string::npos) << aRefused.itsErr;
}
