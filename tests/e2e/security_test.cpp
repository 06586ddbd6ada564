// Attacks of "other" (workspace "evil") on "dev" (workspace "ws") with nothing but kivo: each fails
// with a clear message and leaves dev's settings, outside files and the repository as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

class Attack : public WorkspaceTest<true, true> {
protected:
    Attack() {
        setKey("K2", "other");
        makeWorkspace("evil", "K2", "acme");
        fs::create_directories(outside());
        writeText(outside() / "victim.txt", "precious");
    }

    fs::path evil() const { return dir() / "evil"; }
    fs::path outside() const { return dir() / "outside"; }
    RunResult attacker(const std::vector<std::string>& theArgs) const {
        return kivoIn(evil(), theArgs);
    }
    // The attacker writes the file into his workspace and pushes it.
    void attackerPushes(const std::string& theRelative, const std::string& theContent) const {
        fs::create_directories((evil() / theRelative).parent_path());
        writeText(evil() / theRelative, theContent);
        const RunResult aPush = attacker({"push"});
        EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsOut << aPush.itsErr;
    }
    // Every package and version of the repository.
    std::string repository() const { return repoProbe({"snapshot"}, dir()); }
    // Every entry below the directory with its kind and content; the logs, which record every
    // run, are left out.
    static std::map<std::string, std::string> tree(const fs::path& theDir) {
        std::map<std::string, std::string> aTree;
        for (const auto& anEntry : fs::recursive_directory_iterator(theDir)) {
            const std::string aName = fs::relative(anEntry.path(), theDir).string();
            if (aName.starts_with("logs"))
                continue;
            aTree[aName] = anEntry.is_symlink()     ? "link " + fs::read_symlink(anEntry).string()
                           : anEntry.is_directory() ? "dir"
                                                    : readText(anEntry.path());
        }
        return aTree;
    }
    // What the victim must keep, taken before an attack and compared after it.
    struct Keep {
        std::map<std::string, std::string> itsSettings;
        std::map<std::string, std::string> itsOutside;
        std::string itsRepository;
        bool operator==(const Keep&) const = default;
    };
    Keep keep() const { return {tree(settings()), tree(outside()), repository()}; }
};

} // namespace

TEST_F(Attack, TheSettingsFolderIsNeverAPackage) {
    for (const std::string anArgument : {"._SYS_KIVO_settings/", "\"._SYS_KIVO_settings\""}) {
        expectError(attacker({"track", anArgument}),
                    "Invalid package name \"\"._SYS_KIVO_settings\"\": the part "
                    "\"._SYS_KIVO_settings\" is the settings folder of the "
                    "workspace.\n");
    }
    // The repository refuses the package; an older one may hold it, with an object: tracking all
    // packages leaves it out, by name.
    expectRefused(runProgram("kivo_activate_probe", {target().host(), "other", "pw", "package",
                                                     "\"._SYS_KIVO_settings\""}),
                  "Invalid package name");
    activateAs("other", {"put", "planted", "x", "txt", "planted"});
    expectOk(target().sql("UPDATE packages SET name = '\"._SYS_KIVO_settings\"' WHERE name = "
                          "'planted'; UPDATE objects SET package = '\"._SYS_KIVO_settings\"' WHERE "
                          "package = 'planted'"));
    activateAs("other", {"put", "shared", "a", "txt", "fine"});
    const Keep aPlanted = keep();
    expectRefused(kivo({"track", "allPackages"}),
                  "Invalid package name \"\"._SYS_KIVO_settings\"\"");
    expectOk(kivo({"checkout"}));
    EXPECT_EQ(readText(path("shared/a.txt")), "fine");
    EXPECT_EQ(aPlanted.itsOutside, keep().itsOutside);
    EXPECT_FALSE(contains(readText(settings() / ".kivoConfig"), "._SYS"));
}

TEST_F(Attack, SymbolicLinksAreNeitherReadNorWrittenThrough) {
    // The victim's workspace holds links to files and a directory outside it.
    fs::create_symlink(outside() / "victim.txt", path("acme/leak.txt"));
    fs::create_symlink(outside() / "victim.txt", path("acme/x.txt"));
    fs::create_symlink(outside(), path("acme/sub"));
    fs::create_symlink(dir() / "nowhere", path("acme/dangling.txt"));
    const Keep aBefore = keep();
    EXPECT_FALSE(contains(kivo({"status"}).itsOut, ".txt"));
    EXPECT_EQ(kivo({"push"}).itsOut, "Nothing to commit.\nNothing to activate.\n");
    EXPECT_EQ(aBefore, keep());

    attackerPushes("acme/x.txt", "overwritten");
    attackerPushes("acme/sub/planted.txt", "planted");
    attackerPushes("acme/fine.txt", "fine");
    const std::string aRepository = repository();
    expectError(kivo({"checkout"}),
                "The object \"planted\" (suffix \"txt\") of package \"acme.sub\" is not checked "
                "out: \"" +
                    path("acme/sub") +
                    "\" is a symbolic link, and checkout never writes through one.\n"
                    "The object \"x\" (suffix \"txt\") of package \"acme\" is not checked out: \"" +
                    path("acme/x.txt") +
                    "\" is a symbolic link, and checkout never writes through one.\n");
    EXPECT_EQ(readText(path("acme/fine.txt")), "fine");
    EXPECT_EQ(aBefore.itsOutside, tree(outside()));
    EXPECT_EQ(aRepository, repository());
}

TEST_F(Attack, TheBrowsePageIsWrittenOnlyIntoAPrivateDirectory) {
    RunOptions anOptions = options();
    anOptions.itsEnv["TMPDIR"] = (dir() / "tmp").string();
    anOptions.itsEnv["BROWSER"] = "true";
    const fs::path aKivoTmp = dir() / "tmp" / "kivotmp";
    // Another user's link in a directory open to everyone: replaced, never followed.
    fs::create_directories(aKivoTmp);
    fs::permissions(aKivoTmp, fs::perms::all);
    fs::create_symlink(outside() / "victim.txt", aKivoTmp / "kivohelp.html");
    expectOk(runKivo({"help", "--browse"}, anOptions));
    EXPECT_EQ(readText(outside() / "victim.txt"), "precious");
    EXPECT_FALSE(fs::is_symlink(aKivoTmp / "kivohelp.html"));
    EXPECT_TRUE(contains(readText(aKivoTmp / "kivohelp.html"), "<html>"));
    EXPECT_EQ(fs::status(aKivoTmp).permissions() & fs::perms::all, fs::perms::owner_all);
    // A kivotmp that is a link, or (as far as the test may hand it over) someone else's.
    fs::remove_all(aKivoTmp);
    fs::create_directory_symlink(outside(), aKivoTmp);
    const RunResult aLinked = runKivo({"help", "--browse"}, anOptions);
    expectError(aLinked, "The temporary directory \"" + aKivoTmp.string() +
                             "\" is not a directory of your own. Remove it, or set TMPDIR "
                             "to a directory of your own.\n");
    fs::remove(aKivoTmp);
    if (::geteuid() == 0) {
        fs::create_directory(aKivoTmp);
        ASSERT_EQ(::chown(aKivoTmp.c_str(), 65534, 65534), 0);
        EXPECT_EQ(runKivo({"help", "--browse"}, anOptions).itsErr, aLinked.itsErr);
        EXPECT_FALSE(fs::exists(aKivoTmp / "kivohelp.html"));
    }
    EXPECT_EQ(tree(outside()).size(), 1u);
}

TEST_F(Attack, IgnorePatternsAreBoundedAndRefusedByFile) {
    const std::string aDeep =
        "{\"exclude\":[\"" + std::string(30000, '(') + std::string(30000, ')') + "\"]}";
    const std::string aRefusal =
        "Invalid pattern in \".kivoignore\" file \"acme/deep/.kivoignore\": " +
        std::string(80, '(') + "... (groups nested deeper than 200 levels at offset 200)\n";
    attackerPushes("acme/slow/.kivoignore", R"({"exclude":["(a*)*b"]})");
    attackerPushes("acme/slow/" + std::string(20, 'a'), "");
    fs::create_directories(evil() / "acme/deep");
    writeText(evil() / "acme/deep/.kivoignore", aDeep);
    EXPECT_EQ(attacker({"push"}).itsErr, aRefusal);
    // Another client put it there.
    activateAs("other", {"put", "acme.deep", "", "kivoignore", aDeep});
    expectOk(kivo({"checkout"}));
    const Keep aBefore = keep();
    for (const std::string anAction : {"status", "push"}) {
        expectError(kivo({anAction}), aRefusal);
        EXPECT_FALSE(fs::exists(settings() / ".lock"));
    }
    EXPECT_EQ(aBefore, keep());
    fs::remove(path("acme/deep/.kivoignore"));
    expectOk(kivo({"status", "--noTips"}));
}

TEST_F(Attack, TwoObjectsOfOneFileAreRefusedByName) {
    attackerPushes("acme/a.txt", "suffix txt");
    // Another client wrote the object "a.txt" without suffix beside it.
    activateAs("other", {"put", "acme", "a.txt", "", "no suffix"});
    const Keep aBefore = keep();
    expectError(kivo({"checkout"}),
                "The objects \"a\" (suffix \"txt\") of package \"acme\" and "
                "\"a.txt\" (suffix \"\") of package \"acme\" map to the same file "
                "\"" +
                    path("acme/a.txt") + "\": neither is checked out.\n");
    EXPECT_FALSE(fs::exists(path("acme/a.txt")));
    EXPECT_EQ(kivo({"push"}).itsOut, "Nothing to commit.\nNothing to activate.\n");
    EXPECT_EQ(aBefore.itsRepository, repository());
}

TEST_F(Attack, PasswordsAreMaskedInEveryForm) {
    const std::string aLog = (settings() / "logs" / "commands.log").string();
    const RunResult aBlank = kivo({"status", "--passWord", "s3cret"});
    const RunResult aDash = kivo({"status", "-passWord=s3cret"});
    EXPECT_EQ(aDash.itsErr, "kivo: Could not parse commandline argument: -passWord=********\n");
    const RunResult anUnparsable = kivo({"version", "a", "b", "--passWord", "s3cret"});
    EXPECT_TRUE(contains(anUnparsable.itsOut, "Arguments:\n")) << anUnparsable.itsOut;
    EXPECT_TRUE(contains(anUnparsable.itsOut, "--passWord=********\n")) << anUnparsable.itsOut;
    // A damaged key-store line is named by its number, never quoted.
    const fs::path aKeys = dir() / "keys" / "keys";
    writeText(aKeys, readText(aKeys) + "K3 file:x other s3cret\n");
    const RunResult aCheckout = kivo({"checkout", "--trace"});
    EXPECT_EQ(aCheckout.itsExitCode, 1);
    const RunResult aList = runProgram("zevuserstore", {"LIST"}, options());
    EXPECT_TRUE(contains(aList.itsErr, "is damaged: line 4 does not have four fields"))
        << aList.itsErr;
    for (const RunResult& aRun : {aBlank, aDash, anUnparsable, aCheckout, aList})
        EXPECT_FALSE(contains(aRun.itsOut + aRun.itsErr, "s3cret")) << aRun.itsOut << aRun.itsErr;
    EXPECT_FALSE(contains(readText(aLog), "s3cret"));
    EXPECT_FALSE(contains(readText(settings() / "logs" / "commands.trace"), "s3cret"));
    EXPECT_TRUE(contains(readText(aLog), "--passWord ********"));
}

TEST_F(Attack, NamesThatWouldPoisonTheWorkspaceAreRefused) {
    // The names' refusals are the object names' tests'.
    const Keep aBefore = keep();
    for (const char* aName : {".", "\""})
        expectRefused(kivo({"track", aName}), "Invalid package name \"\"" + std::string(aName));
    EXPECT_EQ(aBefore, keep());
    expectOk(kivo({"status"}));
    // One file that cannot become an object is refused by name; the others are committed.
    writeText(path("acme/back\\slash.txt"), "x");
    writeText(path("acme/good.txt"), "good");
    expectError(kivo({"commit"}), "Cannot commit file \"" + path("acme/back\\slash.txt") +
                                      "\": a backslash cannot be part of a repository object's "
                                      "name.\n");
    EXPECT_EQ(repoProbe({"list"}), "acme.good.txt #1\n");
}

// Objects whose names no workspace can hold are skipped by name; the others arrive as usual.
TEST_F(Attack, AnObjectNoWorkspaceCanHoldIsSkippedByName) {
    for (const char* aName : {"good", "slash", "long", "evil"})
        activateAs("other", {"put", "acme", aName, "txt", aName});
    const std::string aLong(300, 'n');
    expectOk(target().sql("UPDATE objects SET name = 'back\\slash' WHERE name = 'slash'"));
    expectOk(target().sql("UPDATE objects SET name = '" + aLong + "' WHERE name = 'long'"));
    expectOk(target().sql("UPDATE objects SET name = '../../escaped' WHERE name = 'evil'"));
    const Keep aBefore = keep();

    const RunResult aCheckout = kivo({"checkout"});
    EXPECT_EQ(aCheckout.itsExitCode, 1);
    EXPECT_EQ(readText(path("acme/good.txt")), "good");
    const RunResult aList = kivo({"list", "activeObjects", "acme"});
    EXPECT_TRUE(aList.itsExitCode == 1 && contains(aList.itsOut, "acme/good.txt")) << aList.itsOut;
    EXPECT_FALSE(fs::exists(dir() / "escaped.txt") || fs::exists(root() / "escaped.txt"));
    for (const std::string& aFile : {std::string("acme/back\\slash.txt"), "acme/" + aLong + ".txt"})
        for (const RunResult& aRun : {aCheckout, aList})
            EXPECT_TRUE(contains(aRun.itsErr, "Skipped repository object \"" + aFile +
                                                  "\": Invalid repository object"))
                << aRun.itsErr;
    const Keep anAfter = keep();
    EXPECT_TRUE(aBefore.itsOutside == anAfter.itsOutside &&
                aBefore.itsRepository == anAfter.itsRepository);
}
