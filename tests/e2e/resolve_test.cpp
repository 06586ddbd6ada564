// `kivo resolve`, `kivo mergetool` and `kivo push` with a resolution mode against the embedded
// repository: conflicts come from a checkout that meets local changes, or from an activation of
// an outdated committed version; resolution takes a side or a merge tool's result.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <tuple>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;
namespace sys = RepositoryAccess::sys;

namespace {

const std::string kTip = "\nCall:\n\t* \"kivo commit\" and then \"kivo activate\" to push the "
                         "resolved files to the Repository, or\n\t* \"kivo push\".\n\n";
const std::string kResolvedOne = "Resolved files               : 1\n";

// A workspace "ws" that tracks package acme; the user other changes the repository side.
class Resolve : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Resolve() : RepositoryWorkspace(true, false) { fs::create_directories(dir() / "tmp"); }

    // kivo in the workspace, with its temporary directory in the test's folder.
    RunResult kivo(const std::vector<std::string>& theArgs) const {
        return runKivo(theArgs, withTemp(options(root())));
    }
    // The same with the merge tool given by the environment.
    RunResult kivo(const std::vector<std::string>& theArgs, const std::string& theMergeTool) const {
        RunOptions anOptions = withTemp(options(root()));
        anOptions.itsEnv["KIVO_MERGETOOL"] = theMergeTool;
        return runKivo(theArgs, anOptions);
    }
    RunOptions withTemp(RunOptions theOptions) const {
        theOptions.itsEnv["TMPDIR"] = (dir() / "tmp").string();
        theOptions.itsEnv["TEMP"] = std::nullopt;
        theOptions.itsEnv["temp"] = std::nullopt;
        return theOptions;
    }
    // kivo's temporary directory, where the merge tool finds its copies.
    fs::path temp() const { return dir() / "tmp/kivotmp"; }
    // The copy of one side that the merge tool of the run's conflict theNumber works on, quoted
    // for the shell; the process id in its name is written as P (see normalized).
    std::string copy(int theNumber, const std::string& theSide) const {
        return "'" +
               (temp() / ("merge-P-" + std::to_string(theNumber) + "-" + theSide + ".txt"))
                   .string() +
               "'";
    }
    static std::string normalized(const std::string& theText) {
        return std::regex_replace(theText, std::regex("merge-[0-9]+-"), "merge-P-");
    }
    // True when nothing is left in kivo's temporary directory.
    bool noCopiesLeft() const { return !fs::exists(temp()) || fs::is_empty(temp()); }
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
    // The active versions of acme with their numbers and content hashes, and dev's inactive ones.
    std::string actives() const { return repoProbe({"actives", "acme"}); }
    std::string inactive() const { return repoProbe({"list"}); }
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

    // The remote side is the active version already: only the other two are pushed.
    auto aPush = kivo({"push"});
    EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsErr;
    EXPECT_TRUE(contains(aPush.itsOut, "Committed files              : 2\n")) << aPush.itsOut;
    EXPECT_EQ(active("l"), "mine l");
    EXPECT_EQ(active("b"), "base b");
    EXPECT_EQ(active("r"), "theirs r");
}

// Whatever the mode, a file that ends with the remote version's content is that version: it is
// unchanged, and nothing is pushed for it.
TEST_F(Resolve, AFileResolvedToTheRemoteContentIsUnchanged) {
    for (const std::string aName : {"r", "m", "b"})
        put(aName, "base " + aName);
    expectOk(kivo({"checkout", "package", "acme"}));
    for (const std::string aName : {"r", "m", "b"})
        writeText(path(aName), "mine " + aName);
    put("r", "theirs r");
    put("m", "theirs m");
    // The other user activates the base content again: the base side is the remote content.
    put("b", "base b");
    expectOk(kivo({"checkout"}));
    ASSERT_TRUE(conflicted("r") && conflicted("m") && conflicted("b")) << statusText();
    const std::string anActives = actives();

    expectOk(kivo({"resolve", "object", "acme/r.txt", "--remote"}));
    expectOk(kivo({"resolve", "object", "acme/b.txt", "--base"}));
    auto aMerged = kivo({"resolve", "object", "acme/m.txt", "-m", "--noConfirm"}, "cp %r %l");
    EXPECT_EQ(aMerged.itsExitCode, 0) << aMerged.itsOut << aMerged.itsErr;

    EXPECT_EQ(kivo({"diff"}).itsOut, "No differences.\n");
    EXPECT_EQ(changes(), "\n");
    const std::vector<std::tuple<std::string, std::string>> aContents = {
        {"r", "theirs r"}, {"m", "theirs m"}, {"b", "base b"}};
    for (const auto& [aName, aContent] : aContents)
        EXPECT_TRUE(contains(statusText(), statusEntry("acme/" + aName + ".txt", aContent, 2)))
            << statusText();
    EXPECT_EQ(kivo({"push"}).itsOut, "Nothing to commit.\nNothing to activate.\n");
    EXPECT_EQ(actives(), anActives);
    EXPECT_EQ(inactive(), "");
}

// A committed version that the user gives up for the remote one is reverted in the repository,
// by resolve as by push, so that it is never activated and nothing is pushed again.
TEST_F(Resolve, ACommittedVersionGivenUpForTheRemoteOneIsReverted) {
    for (const std::string aName : {"a", "b", "c"})
        put(aName, "base " + aName);
    expectOk(kivo({"checkout", "package", "acme"}));
    for (const std::string aName : {"a", "b"})
        writeText(path(aName), "mine " + aName);
    fs::remove(path("c"));
    expectOk(kivo({"commit"}));
    // Deleted and committed, then made again: a new file that the conflict finds unrecorded.
    writeText(path("c"), "again c");
    for (const std::string aName : {"a", "b", "c"})
        put(aName, "theirs " + aName);
    EXPECT_EQ(kivo({"activate"}).itsExitCode, 1);
    ASSERT_TRUE(conflicted("a") && conflicted("b") && conflicted("c")) << statusText();
    const std::string anActives = actives();

    auto aResolve = kivo({"resolve", "object", "acme/a.txt", "--remote", "-v", "--noTips"});
    EXPECT_EQ(aResolve.itsExitCode, 0) << aResolve.itsErr;
    EXPECT_EQ(aResolve.itsOut, "Reverted file: \"" + path("a") + "\"\nConflict for file \"" +
                                   path("a") + "\" resolved.\n" +
                                   "Reverted objects             : 1\n" + kResolvedOne);
    EXPECT_EQ(inactive(), "acme.b.txt #2\nacme.c.txt #2 deletion\n");

    // The committed deletion is given up for the remote version as well.
    auto aPush = kivo({"push", "--remote"});
    EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsOut << aPush.itsErr;
    EXPECT_TRUE(contains(aPush.itsOut, "Resolved files               : 2\n")) << aPush.itsOut;
    EXPECT_FALSE(contains(aPush.itsOut, "Committed files")) << aPush.itsOut;
    EXPECT_FALSE(contains(aPush.itsOut, "Activated objects")) << aPush.itsOut;
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(kivo({"push"}).itsOut, "Nothing to commit.\nNothing to activate.\n");
    EXPECT_EQ(actives(), anActives);
    EXPECT_EQ(readText(path("a")), "theirs a");
    EXPECT_EQ(readText(path("c")), "theirs c");
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

// The tool works on copies in kivo's temporary directory; its result becomes the file when it
// changed the local copy, and a run that leaves a conflict fails.
TEST_F(Resolve, TheMergeToolsResultIsTakenWhenItChangedTheFile) {
    conflicts({"a"});
    const std::string aCopies =
        copy(1, "base") + " " + copy(1, "remote") + " " + copy(1, "local") + " " + copy(1, "local");

    // A tool that leaves the file alone: with --noConfirm the conflict stays.
    const std::string anIdle = script("idle.sh", "exit 0\n");
    auto aKept =
        kivo({"resolve", "-m", "--noConfirm", "--mergeToolConfig=" + anIdle + " %b %r %l %l"});
    EXPECT_EQ(aKept.itsExitCode, 1) << aKept.itsErr;
    EXPECT_EQ(aKept.itsErr, "");
    EXPECT_EQ(normalized(aKept.itsOut), "Invoking merge tool: \n" + anIdle + " " + aCopies + "\n");
    EXPECT_TRUE(conflicted("a"));
    EXPECT_TRUE(fs::exists(diff("a")));
    EXPECT_EQ(readText(path("a")), "mine a");
    EXPECT_TRUE(noCopiesLeft());

    // The tool writes the merge of its three inputs into the local copy.
    const std::string aMerge =
        script("merge.sh", "{ cat \"$1\"; echo; cat \"$2\"; echo; cat "
                           "\"$3\"; } > \"$3.tmp\" && mv \"$3.tmp\" \"$4\"\n");
    auto aMerged = kivo({"mergetool", "--noConfirm", "--noTips", "-v"}, aMerge + " %b %r %l %l");
    EXPECT_EQ(aMerged.itsExitCode, 0) << aMerged.itsErr;
    EXPECT_EQ(normalized(aMerged.itsOut), "-resolve\nInvoking merge tool: \n" + aMerge + " " +
                                              aCopies + "\nConflict for file \"" + path("a") +
                                              "\" resolved.\n" + kResolvedOne);
    EXPECT_EQ(readText(path("a")), "base a\ntheirs a\nmine a");
    EXPECT_FALSE(conflicted("a"));
    EXPECT_FALSE(fs::exists(base("a")));
    EXPECT_EQ(baseVersion("a"), "2");
    EXPECT_TRUE(noCopiesLeft());
}

// Push with a resolution mode fails as resolve does when a conflict is left, after its counters.
TEST_F(Resolve, ARunThatLeavesAConflictFails) {
    conflicts({"a", "b"});
    const std::string anIdle = script("idle.sh", "exit 0\n");
    auto aPush = kivo({"push", "--mergeTool", "--noConfirm"}, anIdle + " %b %r %l");
    EXPECT_EQ(aPush.itsExitCode, 1) << aPush.itsOut << aPush.itsErr;
    EXPECT_EQ(aPush.itsErr, "");
    EXPECT_EQ(countOf(aPush.itsOut, "Invoking merge tool"), 2u) << aPush.itsOut;
    EXPECT_TRUE(conflicted("a") && conflicted("b")) << statusText();

    // One file resolved and one left: still a failure.
    auto aHalf =
        kivo({"push", "--mergeTool", "--noConfirm"},
             script("one.sh", "case \"$3\" in *-1-local.txt) echo merged > \"$3\";; esac\n") +
                 " %b %r %l");
    EXPECT_EQ(aHalf.itsExitCode, 1) << aHalf.itsOut << aHalf.itsErr;
    EXPECT_TRUE(contains(aHalf.itsOut, kResolvedOne)) << aHalf.itsOut;
    EXPECT_TRUE(conflicted("a") != conflicted("b")) << statusText();

    auto aDone = kivo({"push", "--remote"});
    EXPECT_EQ(aDone.itsExitCode, 0) << aDone.itsOut << aDone.itsErr;
    EXPECT_EQ(kivo({"resolve", "--remote"}).itsExitCode, 0);
}

TEST_F(Resolve, PushWithAModeResolvesAndPushesInOneRun) {
    conflicts({"a"});
    const std::string anActives = actives();
    auto aPush = kivo({"push", "--remote"});
    EXPECT_EQ(aPush.itsExitCode, 0) << aPush.itsOut << aPush.itsErr;
    EXPECT_TRUE(contains(aPush.itsOut, kResolvedOne)) << aPush.itsOut;
    EXPECT_FALSE(conflicted("a"));
    EXPECT_EQ(readText(path("a")), "theirs a");
    // The remote content is the active version already: nothing new to write.
    EXPECT_FALSE(contains(aPush.itsOut, "Committed files")) << aPush.itsOut;
    EXPECT_EQ(actives(), anActives);
    EXPECT_EQ(changes(), "\n");
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

// When the other user took over the committed version and activated it, or activated the same
// content, the checkout takes the remote version for the identical file: no conflict, nothing
// written, and the committed version that is left behind is reverted.
TEST_F(Resolve, ACheckoutTakesTheRemoteVersionOfAnIdenticalFile) {
    for (const std::string aName : {"a", "b", "c"})
        put(aName, "base " + aName);
    expectOk(kivo({"checkout", "package", "acme"}));
    for (const std::string aName : {"a", "b", "c"})
        writeText(path(aName), "mine " + aName);
    expectOk(kivo({"commit", "object", "acme/a.txt"}));
    expectOk(kivo({"commit", "object", "acme/b.txt"}));
    setKey("K2", "other");
    const fs::path aTheirs = dir() / "theirs";
    expectOk(runKivo({"create", "workspace", "theirs", "K2"}, options()));
    fs::create_directories(aTheirs / "acme");
    expectOk(runKivo({"track", "acme"}, options(aTheirs)));
    expectOk(runKivo({"takeOver", "object", "acme/a.txt", "--inactiveWorkSpace=ws",
                      "--inactiveWorkSpaceUser=dev"},
                     options(aTheirs)));
    expectOk(runKivo({"push"}, options(aTheirs)));
    put("b", "mine b");
    put("c", "mine c");
    ASSERT_EQ(inactive(), "acme.b.txt #2\n");
    const std::string aStamp = sys::getts(path("a"));

    auto aCheckout = kivo({"checkout", "-v"});
    EXPECT_EQ(aCheckout.itsExitCode, 0) << aCheckout.itsErr;
    EXPECT_FALSE(contains(aCheckout.itsOut, "onflict")) << aCheckout.itsOut;
    EXPECT_TRUE(contains(aCheckout.itsOut, "Updated files                : 3\n"))
        << aCheckout.itsOut;
    EXPECT_TRUE(contains(aCheckout.itsOut, "Reverted file: \"" + path("b") + "\"\n"))
        << aCheckout.itsOut;
    EXPECT_EQ(sys::getts(path("a")), aStamp);
    for (const std::string aName : {"a", "b", "c"}) {
        EXPECT_FALSE(conflicted(aName)) << statusText();
        EXPECT_EQ(readText(path(aName)), "mine " + aName);
        EXPECT_EQ(baseVersion(aName), "2");
    }
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(kivo({"push"}).itsOut, "Nothing to commit.\nNothing to activate.\n");
    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");
}

// A merge tool that the shell cannot start leaves one line on standard error that says how to
// choose another, asks nothing and leaves the conflict in place.
TEST_F(Resolve, AMergeToolThatCannotBeStartedSaysHowToChooseOne) {
    conflicts({"a", "b"});
    const std::string aHint =
        " (choose a merge tool with --mergeToolConfig=\"TOOL %b %r %l\" or the environment "
        "variable KIVO_MERGETOOL, for example KIVO_MERGETOOL=\"kivo-merge %b %r %l\")\n";
    const std::string aCopies = copy(1, "base") + " " + copy(1, "remote") + " " + copy(1, "local");
    for (const std::string aTool : {"no-such-merge-tool", "./no-such-merge-tool"}) {
        auto aRun = kivo({"resolve", "-m"}, aTool + " %b %r %l");
        EXPECT_EQ(aRun.itsExitCode, 1);
        EXPECT_EQ(normalized(aRun.itsErr),
                  "The merge tool could not be started: " + aTool + " " + aCopies + aHint);
        EXPECT_EQ(aRun.itsOut, "");
        EXPECT_TRUE(conflicted("a"));
        EXPECT_TRUE(conflicted("b"));
        EXPECT_TRUE(fs::exists(diff("a")));
        EXPECT_EQ(readText(path("a")), "mine a");
        EXPECT_TRUE(noCopiesLeft());
    }
    // A command the shell only finds out about when it runs (here a quoted program name).
    auto aShell = kivo({"resolve", "-m"}, "'no such tool' %b %r %l");
    EXPECT_EQ(aShell.itsExitCode, 1);
    EXPECT_TRUE(contains(normalized(aShell.itsErr),
                         "The merge tool could not be started: 'no such tool' " + aCopies + aHint))
        << aShell.itsErr;
    EXPECT_FALSE(contains(aShell.itsOut, "Resolve it anyway")) << aShell.itsOut;
    EXPECT_TRUE(conflicted("a"));
    EXPECT_TRUE(noCopiesLeft());
}

// Whatever the template does with its placeholders, no character of a name that another user
// chose reaches the shell: the tool gets copies with names of kivo's own, and what it leaves
// beside the local copy comes back beside the file.
TEST_F(Resolve, NamesOfOtherUsersNeverReachTheShellOfTheMergeTool) {
    const std::vector<std::string> aNames = {"x$(touch pwned)", "y`touch pwned`",
                                             "z'; touch pwned; '", "q\"; touch pwned; \""};
    conflicts(aNames);
    const fs::path aLog = dir() / "arguments.log";
    const std::string aTool = script(
        "tool.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + aLog.string() +
                       "'; case \"$a\" in --out=*) echo side > \"${a#--out=}\";; esac; done\n");
    for (const std::string aTemplate :
         {" '%b' '%r' '%l'", " --base=%b --out=%l.merged", " -o%l -r%r", " \"%b\" \"%r\" \"%l\""}) {
        auto aRun = kivo({"resolve", "-m", "--noConfirm"}, aTool + aTemplate);
        EXPECT_EQ(aRun.itsExitCode, 1) << aRun.itsOut << aRun.itsErr;
        EXPECT_EQ(countOf(aRun.itsOut, "Invoking merge tool"), aNames.size()) << aRun.itsOut;
        EXPECT_FALSE(contains(aRun.itsOut, "touch")) << aRun.itsOut;
        EXPECT_TRUE(noCopiesLeft()) << aTemplate;
    }
    const std::regex aCopy("(--base=|--out=|-o|-r)?" + temp().string() +
                           "/merge-[0-9]+-[0-9]+-(base|remote|local)\\.txt(\\.merged)?");
    std::istringstream aLines(readText(aLog));
    int aCount = 0;
    for (std::string aLine; std::getline(aLines, aLine); ++aCount)
        EXPECT_TRUE(std::regex_match(aLine, aCopy)) << aLine;
    EXPECT_EQ(aCount, 40);

    // A tool that writes its result resolves every file with it.
    const std::string aWriter = script("writer.sh", "echo merged > \"${1#-o}\"\n");
    auto aResolved = kivo({"resolve", "-m", "--noConfirm", "--noTips"}, aWriter + " -o%l");
    EXPECT_EQ(aResolved.itsExitCode, 0) << aResolved.itsOut << aResolved.itsErr;
    for (const auto& aName : aNames) {
        EXPECT_EQ(readText(path(aName)), "merged\n") << aName;
        EXPECT_EQ(readText(path(aName) + ".merged"), "side\n") << aName;
        EXPECT_FALSE(conflicted(aName)) << statusText();
    }
    for (const auto& anEntry : fs::recursive_directory_iterator(dir()))
        EXPECT_NE(anEntry.path().filename(), "pwned") << anEntry.path();
    EXPECT_TRUE(noCopiesLeft());
}
