// `kivo resolve`, `kivo mergetool` and `kivo push` with a resolution mode against the embedded
// repository: conflicts come from a checkout that meets local changes, or from an activation of
// an outdated committed version; resolution takes a side or a merge tool's result.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

const std::string kTip = "\nCall:\n\t* \"kivo commit\" and then \"kivo activate\" to push the "
                         "resolved files to the Repository, or\n\t* \"kivo push\".\n\n";
const std::string kResolvedOne = "Resolved files               : 1\n";

// A workspace "ws" that tracks package acme; the user other changes the repository side.
class Resolve : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Resolve() : RepositoryWorkspace(true, false) {}

    using RepositoryWorkspace::kivo;
    // The same with the merge tool given by the environment.
    RunResult kivo(const std::vector<std::string>& theArgs, const std::string& theMergeTool) const {
        RunOptions anOptions = options(root());
        anOptions.itsEnv["KIVO_MERGETOOL"] = theMergeTool;
        return runKivo(theArgs, anOptions);
    }
    // The user other writes and activates acme/NAME.txt.
    void put(const std::string& theName, const std::string& theContent) {
        activateAs("other", {"put", "acme", theName, "txt", theContent});
    }
    void remove(const std::string& theName) {
        activateAs("other", {"remove", "acme", theName, "txt"});
    }
    // Each file is checked out with its base content, changed locally (a missing local content
    // deletes it) and changed in the repository; the next checkout marks them conflicted.
    void conflicts(const std::vector<std::string>& theNames, const std::string& theLocal = "mine") {
        for (const auto& aName : theNames)
            put(aName, "base " + aName);
        expectOk(kivo({"checkout", "package", "acme"}));
        for (const auto& aName : theNames) {
            writeText(path(aName), theLocal + " " + aName);
            put(aName, "theirs " + aName);
        }
        expectOk(kivo({"checkout"}));
    }
    std::string path(const std::string& theName) const {
        return (root() / "acme" / (theName + ".txt")).string();
    }
    std::string diff(const std::string& theName) const {
        return (settings() / "diff/acme" / (theName + ".txt")).string();
    }
    std::string base(const std::string& theName) const {
        return (settings() / "base/acme" / (theName + ".txt")).string();
    }
    bool conflicted(const std::string& theName) const {
        const std::string aText = statusText();
        return aText.find("\"acme/" + theName + ".txt\"", aText.find("\"conflicts\":[")) !=
               std::string::npos;
    }
    std::string baseVersion(const std::string& theName) const {
        const std::string aText = statusText();
        const auto anEntry = aText.find("{\"filename\":\"acme/" + theName + ".txt\"");
        const auto aPos = aText.find("\"baseversion\":\"", anEntry) + 15;
        return aText.substr(aPos, aText.find('"', aPos) - aPos);
    }
    // The active content of acme/NAME.txt, checked out into a second workspace.
    std::string active(const std::string& theName) {
        if (!fs::exists(dir() / "check"))
            expectOk(runKivo({"create", "ws", "check", "K1"}, options()));
        expectOk(runKivo({"checkout", "package", "acme", "--force"}, options(dir() / "check")));
        return readText(dir() / "check/acme" / (theName + ".txt"));
    }
    std::string script(const std::string& theName, const std::string& theBody) const {
        const fs::path aPath = dir() / theName;
        writeText(aPath, theBody);
        return "sh " + aPath.string();
    }
};

} // namespace

TEST_F(Resolve, ModesAreCountedAndNothingIsResolvedWithoutConflicts) {
    put("a", "alpha");
    expectOk(kivo({"checkout", "package", "acme"}));
    EXPECT_EQ(kivo({"resolve"}).itsOut, "Nothing to resolve.\n");

    conflicts({"b"});
    auto aNone = kivo({"resolve"});
    EXPECT_EQ(aNone.itsExitCode, 1);
    EXPECT_EQ(aNone.itsErr, "Specify exactly one conflict resolution mode (specified: 0)\n");
    auto aTwo = kivo({"resolve", "--local", "--remote"});
    EXPECT_EQ(aTwo.itsErr, "Specify exactly one conflict resolution mode (specified: 2)\n");
    auto aMixed = kivo({"resolve", "--with=local", "-m"});
    EXPECT_EQ(aMixed.itsErr, "Specify exactly one conflict resolution mode (specified: 2)\n");

    // An unknown mode is reported per file; the file stays conflicted.
    auto anUnknown = kivo({"resolve", "--with=theirs"});
    EXPECT_EQ(anUnknown.itsExitCode, 1);
    EXPECT_EQ(anUnknown.itsErr, "The parameter \"--with\" must have one of the following values: "
                                "mergeTool, local, base or remote.\n");
    EXPECT_EQ(anUnknown.itsOut, "");
    EXPECT_TRUE(conflicted("b")) << statusText();
    EXPECT_EQ(readText(path("b")), "mine b");
    EXPECT_TRUE(fs::exists(diff("b")));
}

TEST_F(Resolve, EachSideBecomesTheFileAndPushBuildsOnTheRemoteVersion) {
    conflicts({"l", "b", "r"});
    EXPECT_EQ(baseVersion("r"), "1");

    auto aLocal = kivo({"resolve", "object", "acme/l.txt", "--local", "-v"});
    EXPECT_EQ(aLocal.itsExitCode, 0) << aLocal.itsErr;
    EXPECT_EQ(aLocal.itsOut,
              "Conflict for file \"" + path("l") + "\" resolved.\n" + kTip + kResolvedOne);
    auto aBase = kivo({"resolve", "object", "acme/b.txt", "--base", "--noTips"});
    EXPECT_EQ(aBase.itsOut, kResolvedOne);
    // The mode text is compared without regard to case.
    auto aRemote = kivo({"resolve", "--with=Remote", "--noTips"});
    EXPECT_EQ(aRemote.itsOut, kResolvedOne) << aRemote.itsErr;

    EXPECT_EQ(readText(path("l")), "mine l");
    EXPECT_EQ(readText(path("b")), "base b");
    EXPECT_EQ(readText(path("r")), "theirs r");
    for (const std::string aName : {"l", "b", "r"}) {
        EXPECT_FALSE(conflicted(aName)) << statusText();
        EXPECT_FALSE(fs::exists(diff(aName)));
        EXPECT_FALSE(fs::exists(base(aName)));
        EXPECT_EQ(baseVersion(aName), "2");
    }
    EXPECT_EQ(kivo({"resolve"}).itsOut, "Nothing to resolve.\n");

    auto aPush = kivo({"push"});
    EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsErr;
    EXPECT_TRUE(contains(aPush.itsOut, "Committed files              : 3\n")) << aPush.itsOut;
    EXPECT_EQ(active("l"), "mine l");
    EXPECT_EQ(active("b"), "base b");
    EXPECT_EQ(active("r"), "theirs r");
}

TEST_F(Resolve, DeletedSidesResolveToDeletions) {
    put("gone", "base gone");
    put("kept", "base kept");
    expectOk(kivo({"checkout", "package", "acme"}));
    // Deleted in the repository, changed locally; deleted locally, changed in the repository.
    writeText(path("gone"), "mine gone");
    remove("gone");
    fs::remove(path("kept"));
    put("kept", "theirs kept");
    expectOk(kivo({"checkout"}));
    ASSERT_TRUE(conflicted("gone") && conflicted("kept")) << statusText();
    EXPECT_EQ(readText(diff("gone")), "__deleted__");
    EXPECT_EQ(readText(path("kept")), "__deleted__");

    auto aRemote = kivo({"resolve", "object", "acme/gone.txt", "--remote"});
    EXPECT_EQ(aRemote.itsExitCode, 0) << aRemote.itsErr;
    EXPECT_FALSE(fs::exists(path("gone")));
    auto aLocal = kivo({"resolve", "object", "acme/kept.txt", "--local", "--noTips"});
    EXPECT_EQ(aLocal.itsOut, kResolvedOne) << aLocal.itsErr;
    EXPECT_FALSE(fs::exists(path("kept")));
    EXPECT_FALSE(fs::exists(diff("kept")));
    EXPECT_FALSE(conflicted("gone") || conflicted("kept")) << statusText();
    EXPECT_EQ(baseVersion("kept"), "2");
}

TEST_F(Resolve, TheMergeToolsResultIsTakenWhenItChangedTheFile) {
    conflicts({"a"});
    const std::string aQuoted =
        "'" + base("a") + "' '" + diff("a") + "' '" + path("a") + "' '" + path("a") + "'";

    // A tool that leaves the file alone: with --noConfirm the conflict stays.
    const std::string anIdle = script("idle.sh", "exit 0\n");
    auto aKept =
        kivo({"resolve", "-m", "--noConfirm", "--mergeToolConfig=" + anIdle + " %b %r %l %l"});
    EXPECT_EQ(aKept.itsExitCode, 0) << aKept.itsErr;
    EXPECT_EQ(aKept.itsOut, "Invoking merge tool: \n" + anIdle + " " + aQuoted + "\n");
    EXPECT_TRUE(conflicted("a"));
    EXPECT_TRUE(fs::exists(diff("a")));

    // The tool writes the merge of its three inputs into the local file.
    const std::string aMerge =
        script("merge.sh", "{ cat \"$1\"; echo; cat \"$2\"; echo; cat "
                           "\"$3\"; } > \"$3.tmp\" && mv \"$3.tmp\" \"$4\"\n");
    auto aMerged = kivo({"mergetool", "--noConfirm", "--noTips", "-v"}, aMerge + " %b %r %l %l");
    EXPECT_EQ(aMerged.itsExitCode, 0) << aMerged.itsErr;
    EXPECT_EQ(aMerged.itsOut, "-resolve\nInvoking merge tool: \n" + aMerge + " " + aQuoted +
                                  "\nConflict for file \"" + path("a") + "\" resolved.\n" +
                                  kResolvedOne);
    EXPECT_EQ(readText(path("a")), "base a\ntheirs a\nmine a");
    EXPECT_FALSE(conflicted("a"));
    EXPECT_FALSE(fs::exists(base("a")));
    EXPECT_EQ(baseVersion("a"), "2");
}

TEST_F(Resolve, PushWithAModeResolvesAndPushesInOneRun) {
    conflicts({"a"});
    auto aPush = kivo({"push", "--remote"});
    EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsOut << aPush.itsErr;
    EXPECT_TRUE(contains(aPush.itsOut, kResolvedOne)) << aPush.itsOut;
    EXPECT_FALSE(conflicted("a"));
    EXPECT_EQ(readText(path("a")), "theirs a");
    // The remote content is the active version already: nothing new to write.
    EXPECT_EQ(active("a"), "theirs a");
}

TEST_F(Resolve, AnOutdatedCommittedFileIsCommittedAgainOnTopOfTheRemoteVersion) {
    put("a", "base a");
    expectOk(kivo({"checkout", "package", "acme"}));
    writeText(path("a"), "mine a");
    expectOk(kivo({"commit"}));
    put("a", "theirs a");
    auto anActivate = kivo({"activate"});
    EXPECT_EQ(anActivate.itsExitCode, 1);
    ASSERT_TRUE(conflicted("a")) << anActivate.itsOut << anActivate.itsErr << statusText();

    auto aPush = kivo({"push", "--local"});
    EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsOut << aPush.itsErr;
    EXPECT_TRUE(contains(aPush.itsOut, kResolvedOne)) << aPush.itsOut;
    EXPECT_TRUE(contains(aPush.itsOut, "Committed files              : 1\n")) << aPush.itsOut;
    EXPECT_TRUE(contains(aPush.itsOut, "Activated objects            : 1\n")) << aPush.itsOut;
    EXPECT_EQ(active("a"), "mine a");
    EXPECT_EQ(baseVersion("a"), "3");
}

// A merge tool that the shell cannot start leaves one line on standard error that says how to
// choose another, asks nothing and leaves the conflict in place.
TEST_F(Resolve, AMergeToolThatCannotBeStartedSaysHowToChooseOne) {
    conflicts({"a", "b"});
    const std::string aHint =
        " (choose a merge tool with --mergeToolConfig=\"TOOL %b %r %l\" or the environment "
        "variable KIVO_MERGETOOL, for example KIVO_MERGETOOL=\"kivo-merge %b %r %l\")\n";
    const std::string aQuoted = "'" + base("a") + "' '" + diff("a") + "' '" + path("a") + "'";
    for (const std::string aTool : {"no-such-merge-tool", "./no-such-merge-tool"}) {
        auto aRun = kivo({"resolve", "-m"}, aTool + " %b %r %l");
        EXPECT_EQ(aRun.itsExitCode, 1);
        EXPECT_EQ(aRun.itsErr,
                  "The merge tool could not be started: " + aTool + " " + aQuoted + aHint);
        EXPECT_EQ(aRun.itsOut, "");
        EXPECT_TRUE(conflicted("a"));
        EXPECT_TRUE(conflicted("b"));
        EXPECT_TRUE(fs::exists(diff("a")));
        EXPECT_EQ(readText(path("a")), "mine a");
    }
    // A command the shell only finds out about when it runs (here a quoted program name).
    auto aShell = kivo({"resolve", "-m"}, "'no such tool' %b %r %l");
    EXPECT_EQ(aShell.itsExitCode, 1);
    EXPECT_TRUE(contains(aShell.itsErr,
                         "The merge tool could not be started: 'no such tool' " + aQuoted + aHint))
        << aShell.itsErr;
    EXPECT_FALSE(contains(aShell.itsOut, "Resolve it anyway")) << aShell.itsOut;
    EXPECT_TRUE(conflicted("a"));
}
