// `kivo resolve`, `kivo mergetool` and `kivo push` with a mode (the sides a mode takes and the
// versions left behind: resolvesides' and pushresolution's tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;
namespace sys = RepositoryAccess::sys;

namespace {

const std::string kTip = "\nCall:\n\t* \"kivo commit\" and then \"kivo activate\" to push the "
                         "resolved files to the Repository, or\n\t* \"kivo push\".\n\n";
const std::string kResolvedOne = "Resolved files               : 1\n";
const std::string kNothingToPush = "Nothing to commit.\nNothing to activate.\n";

// A workspace "ws" that tracks package acme; the user other changes the repository side.
class Resolve : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Resolve() : RepositoryWorkspace(true, false) { fs::create_directories(dir() / "tmp"); }

    // kivo in the workspace, with its temporary directory in the test's folder and, when given,
    // the merge tool of the environment.
    RunResult kivo(const std::vector<std::string>& theArgs,
                   const std::string& theMergeTool = "") const {
        RunOptions anOptions = options(root());
        anOptions.itsEnv["TMPDIR"] = (dir() / "tmp").string();
        anOptions.itsEnv["TEMP"] = std::nullopt;
        anOptions.itsEnv["temp"] = std::nullopt;
        if (!theMergeTool.empty())
            anOptions.itsEnv["KIVO_MERGETOOL"] = theMergeTool;
        return runKivo(theArgs, anOptions);
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
    bool noCopiesLeft() const { return !fs::exists(temp()) || fs::is_empty(temp()); }
    // The user other writes and activates acme/NAME.txt with "PREFIX NAME" for each name.
    void put(const std::vector<std::string>& theNames, const std::string& thePrefix) const {
        std::vector<std::string> anArgs = {"put"};
        for (const auto& aName : theNames)
            anArgs.insert(anArgs.end(), {"acme", aName, "txt", thePrefix + " " + aName});
        activateAs("other", anArgs);
    }
    // Each file is checked out with its base content, changed locally and in the repository; the
    // next checkout marks them conflicted.
    void conflicts(const std::vector<std::string>& theNames) const {
        put(theNames, "base");
        expectOk(kivo({"checkout", "package", "acme"}));
        for (const auto& aName : theNames)
            writeText(path(aName), "mine " + aName);
        put(theNames, "theirs");
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
    std::string active(const std::string& theName) const {
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

// The modes are counted before anything is touched; then each side becomes the file.
TEST_F(Resolve, EachSideBecomesTheFileAndPushBuildsOnTheRemoteVersion) {
    conflicts({"l", "b", "r"});
    const std::string aCount = "Specify exactly one conflict resolution mode (specified: ";
    const std::pair<std::vector<std::string>, std::string> aRefusals[] = {
        {{"resolve"}, aCount + "0)\n"},
        {{"resolve", "--local", "--remote"}, aCount + "2)\n"},
        {{"resolve", "--with=local", "-m"}, aCount + "2)\n"},
        {{"resolve", "object", "acme/b.txt", "--with=theirs"},
         "The parameter \"--with\" must have one of the following "
         "values: mergeTool, local, base or remote.\n"},
    };
    for (const auto& [anArgs, anError] : aRefusals) {
        const RunResult aRun = kivo(anArgs);
        expectError(aRun, anError);
        EXPECT_EQ(aRun.itsOut, "") << anArgs.back();
    }
    EXPECT_TRUE(conflicted("b") && fs::exists(diff("b"))) << statusText();
    EXPECT_EQ(readText(path("b")), "mine b");
    EXPECT_EQ(baseVersion("r"), "1");
    EXPECT_EQ(outputOf(kivo({"resolve", "object", "acme/l.txt", "--local", "-v"})),
              "Conflict for file \"" + path("l") + "\" resolved.\n" + kTip + kResolvedOne);
    EXPECT_EQ(kivo({"resolve", "object", "acme/b.txt", "--base", "--noTips"}).itsOut, kResolvedOne);
    // The mode text is compared without regard to case.
    EXPECT_EQ(kivo({"resolve", "--with=Remote", "--noTips"}).itsOut, kResolvedOne);
    const std::pair<std::string, std::string> aSides[] = {
        {"l", "mine l"}, {"b", "base b"}, {"r", "theirs r"}};
    for (const auto& [aName, aContent] : aSides) {
        EXPECT_EQ(readText(path(aName)), aContent);
        EXPECT_FALSE(conflicted(aName)) << statusText();
        EXPECT_FALSE(fs::exists(diff(aName)) || fs::exists(base(aName))) << aName;
        EXPECT_EQ(baseVersion(aName), "2");
    }
    EXPECT_EQ(kivo({"resolve"}).itsOut, "Nothing to resolve.\n");
    // The remote side is the active version already: only the other two are pushed.
    expectSays(kivo({"push"}), "Committed files              : 2\n");
    for (const auto& [aName, aContent] : aSides)
        EXPECT_EQ(active(aName), aContent);
}

// A committed version given up for the remote one is reverted by resolve as by push.
TEST_F(Resolve, ACommittedVersionGivenUpForTheRemoteOneIsReverted) {
    put({"a", "b", "c"}, "base");
    expectOk(kivo({"checkout", "package", "acme"}));
    writeText(path("a"), "mine a");
    writeText(path("b"), "mine b");
    fs::remove(path("c"));
    expectOk(kivo({"commit"}));
    // Deleted and committed, then made again: a new file that the conflict finds unrecorded.
    writeText(path("c"), "again c");
    put({"a", "b", "c"}, "theirs");
    EXPECT_EQ(kivo({"activate"}).itsExitCode, 1);
    ASSERT_TRUE(conflicted("a") && conflicted("b") && conflicted("c")) << statusText();
    const std::string anActives = actives();

    const RunResult aResolve =
        kivo({"resolve", "object", "acme/a.txt", "--remote", "-v", "--noTips"});
    EXPECT_EQ(aResolve.itsOut, "Reverted file: \"" + path("a") + "\"\nConflict for file \"" +
                                   path("a") + "\" resolved.\n" +
                                   "Reverted objects             : 1\n" + kResolvedOne)
        << aResolve.itsErr;
    EXPECT_EQ(inactive(), "acme.b.txt #2\nacme.c.txt #2 deletion\n");
    // The committed deletion is given up for the remote version as well.
    const RunResult aPush = kivo({"push", "--remote"});
    expectSays(aPush, "Resolved files               : 2\n");
    EXPECT_FALSE(contains(aPush.itsOut, "Committed files") ||
                 contains(aPush.itsOut, "Activated objects"))
        << aPush.itsOut;
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(kivo({"push"}).itsOut, kNothingToPush);
    EXPECT_EQ(actives(), anActives);
    EXPECT_EQ(readText(path("a")), "theirs a");
    EXPECT_EQ(readText(path("c")), "theirs c");
}

// The tool's result on kivo's copies becomes the file only when it changed the local copy.
TEST_F(Resolve, TheMergeToolsResultIsTakenWhenItChangedTheFile) {
    conflicts({"a"});
    const std::string aCopies =
        copy(1, "base") + " " + copy(1, "remote") + " " + copy(1, "local") + " " + copy(1, "local");
    const std::string anIdle = script("idle.sh", "exit 0\n");
    const RunResult aKept =
        kivo({"resolve", "-m", "--noConfirm", "--mergeToolConfig=" + anIdle + " %b %r %l %l"});
    EXPECT_EQ(aKept.itsExitCode, 1) << aKept.itsErr;
    EXPECT_EQ(aKept.itsErr, "");
    EXPECT_EQ(normalized(aKept.itsOut), "Invoking merge tool: \n" + anIdle + " " + aCopies + "\n");
    EXPECT_TRUE(conflicted("a") && fs::exists(diff("a")));
    EXPECT_EQ(readText(path("a")), "mine a");
    EXPECT_TRUE(noCopiesLeft());
    // The tool writes the merge of its three inputs into the local copy.
    const std::string aMerge =
        script("merge.sh", "{ cat \"$1\"; echo; cat \"$2\"; echo; cat "
                           "\"$3\"; } > \"$3.tmp\" && mv \"$3.tmp\" \"$4\"\n");
    const RunResult aMerged =
        kivo({"mergetool", "--noConfirm", "--noTips", "-v"}, aMerge + " %b %r %l %l");
    EXPECT_EQ(aMerged.itsExitCode, 0) << aMerged.itsErr;
    EXPECT_EQ(normalized(aMerged.itsOut), "-resolve\nInvoking merge tool: \n" + aMerge + " " +
                                              aCopies + "\nConflict for file \"" + path("a") +
                                              "\" resolved.\n" + kResolvedOne);
    EXPECT_EQ(readText(path("a")), "base a\ntheirs a\nmine a");
    EXPECT_FALSE(conflicted("a") || fs::exists(base("a")));
    EXPECT_EQ(baseVersion("a"), "2");
    EXPECT_TRUE(noCopiesLeft());
}

// An identical remote version is taken without a conflict; a committed one left behind reverted.
TEST_F(Resolve, ACheckoutTakesTheRemoteVersionOfAnIdenticalFile) {
    put({"b", "c"}, "base");
    expectOk(kivo({"checkout", "package", "acme"}));
    writeText(path("b"), "mine b");
    writeText(path("c"), "mine c");
    expectOk(kivo({"commit", "object", "acme/b.txt"}));
    put({"b", "c"}, "mine");
    ASSERT_EQ(inactive(), "acme.b.txt #2\n");
    const std::string aStamp = sys::getts(path("c"));

    const RunResult aCheckout = kivo({"checkout", "-v"});
    expectSays(aCheckout, "Updated files                : 2\n");
    expectSays(aCheckout, "Reverted file: \"" + path("b") + "\"\n");
    EXPECT_FALSE(contains(aCheckout.itsOut, "onflict")) << aCheckout.itsOut;
    EXPECT_EQ(sys::getts(path("c")), aStamp);
    for (const std::string aName : {"b", "c"}) {
        EXPECT_FALSE(conflicted(aName)) << statusText();
        EXPECT_EQ(readText(path(aName)), "mine " + aName);
        EXPECT_EQ(baseVersion(aName), "2");
    }
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(kivo({"push"}).itsOut, kNothingToPush);
    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");
}

// A tool the shell cannot start: one line on how to choose another, and the conflict stays.
TEST_F(Resolve, AMergeToolThatCannotBeStartedSaysHowToChooseOne) {
    conflicts({"a", "b"});
    const std::string aHint =
        " (choose a merge tool with --mergeToolConfig=\"TOOL %b %r %l\" or the environment "
        "variable KIVO_MERGETOOL, for example KIVO_MERGETOOL=\"kivo-merge %b %r %l\")\n";
    const std::string aCopies = copy(1, "base") + " " + copy(1, "remote") + " " + copy(1, "local");
    for (const std::string aTool :
         {"no-such-merge-tool", "./no-such-merge-tool", "'no such tool'"}) {
        const RunResult aRun = kivo({"resolve", "-m"}, aTool + " %b %r %l");
        const std::string aMessage =
            "The merge tool could not be started: " + aTool + " " + aCopies + aHint;
        EXPECT_EQ(aRun.itsExitCode, 1);
        // A quoted name that the shell only finds out about when it runs.
        if (aTool.starts_with("'")) {
            EXPECT_TRUE(contains(normalized(aRun.itsErr), aMessage)) << aRun.itsErr;
            EXPECT_FALSE(contains(aRun.itsOut, "Resolve it anyway")) << aRun.itsOut;
        } else {
            EXPECT_EQ(normalized(aRun.itsErr), aMessage);
            EXPECT_EQ(aRun.itsOut, "");
        }
        EXPECT_TRUE(conflicted("a") && conflicted("b") && fs::exists(diff("a"))) << aTool;
        EXPECT_EQ(readText(path("a")), "mine a");
        EXPECT_TRUE(noCopiesLeft());
    }
}

// No character of a name another user chose reaches the shell, whatever the template does.
TEST_F(Resolve, NamesOfOtherUsersNeverReachTheShellOfTheMergeTool) {
    const std::vector<std::string> aNames = {"x$(touch pwned)", "y`touch pwned`",
                                             "z'; touch pwned; '", "q\"; touch pwned; \""};
    conflicts(aNames);
    const fs::path aLog = dir() / "arguments.log";
    const std::string aTool = script(
        "tool.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + aLog.string() +
                       "'; case \"$a\" in --out=*) echo side > \"${a#--out=}\";; esac; done\n");
    // How each form of a placeholder is quoted is the merge-tool command's tests'.
    for (const std::string aTemplate : {" '%b' \"%r\" %l", " --base=%b --out=%l.merged -r%r"}) {
        const RunResult aRun = kivo({"resolve", "-m", "--noConfirm"}, aTool + aTemplate);
        EXPECT_EQ(aRun.itsExitCode, 1) << aRun.itsOut << aRun.itsErr;
        EXPECT_EQ(countOf(aRun.itsOut, "Invoking merge tool"), aNames.size()) << aRun.itsOut;
        EXPECT_FALSE(contains(aRun.itsOut, "touch")) << aRun.itsOut;
        EXPECT_TRUE(noCopiesLeft()) << aTemplate;
    }
    const std::regex aCopy("(--base=|--out=|-r)?" + temp().string() +
                           "/merge-[0-9]+-[0-9]+-(base|remote|local)\\.txt(\\.merged)?");
    std::istringstream aLines(readText(aLog));
    int aCount = 0;
    for (std::string aLine; std::getline(aLines, aLine); ++aCount)
        EXPECT_TRUE(std::regex_match(aLine, aCopy)) << aLine;
    EXPECT_EQ(aCount, 24);
    // A tool that writes its result resolves every file with it.
    const std::string aWriter = script("writer.sh", "echo merged > \"${1#-o}\"\n");
    const RunResult aResolved =
        kivo({"resolve", "-m", "--noConfirm", "--noTips"}, aWriter + " -o%l");
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

// kivo-merge resolves a clean conflict of a push; an overlapping one stays, the merge beside it.
TEST_F(Resolve, KivoMergeResolvesACleanConflictOfAPushWithoutAPrompt) {
    const std::string aMergeTool = std::string(KIVO_BINARY_DIR) + "/kivo-merge %b %r %l";
    activateAs("other", {"put", "acme", "a", "txt", "1\n2\n3\n4\n5\n6\n7\n8\n"});
    expectOk(kivo({"checkout", "package", "acme"}));
    writeText(path("a"), "one\n2\n3\n4\n5\n6\n7\n8\n");
    activateAs("other", {"put", "acme", "a", "txt", "1\n2\n3\n4\n5\n6\n7\neight\n"});
    expectSays(kivo({"push", "--mergeTool", "--noConfirm"}, aMergeTool), kResolvedOne);
    EXPECT_EQ(readText(path("a")), "one\n2\n3\n4\n5\n6\n7\neight\n");
    EXPECT_EQ(active("a"), "one\n2\n3\n4\n5\n6\n7\neight\n");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(inactive(), "");

    writeText(path("a"), "one\n2\n3\n4\n5\n6\n7\nmine\n");
    activateAs("other", {"put", "acme", "a", "txt", "one\n2\n3\n4\n5\n6\n7\ntheirs\n"});
    const RunResult aClash = kivo({"push", "--mergeTool", "--noConfirm"}, aMergeTool);
    EXPECT_EQ(aClash.itsExitCode, 1) << aClash.itsOut << aClash.itsErr;
    EXPECT_EQ(readText(path("a")), "one\n2\n3\n4\n5\n6\n7\nmine\n");
    EXPECT_TRUE(fs::exists(path("a") + ".merged"));
    EXPECT_TRUE(conflicted("a") && baseVersion("a") == "3") << statusText();
}
