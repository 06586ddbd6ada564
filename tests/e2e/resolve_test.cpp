// `kivo resolve`, `kivo mergetool` and `kivo push` with a mode (the sides a mode takes and the
// versions left behind: resolvesides' and pushresolution's tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

const std::string kTip = "\nCall:\n\t* \"kivo commit\" and then \"kivo activate\" to push the "
                         "resolved files to the Repository, or\n\t* \"kivo push\".\n\n";
const std::string kResolvedOne = "Resolved files               : 1\n";

// dev's workspace "ws"; the user other changes the repository side of package acme.
class Resolve : public WorkspaceTest<true, false> {
protected:
    Resolve() { fs::create_directories(dir() / "tmp"); }
    // kivo in the workspace, with its temporary directory in the test's folder and, when given,
    // the merge tool of the environment.
    RunResult kivo(const std::vector<std::string>& theArgs,
                   const std::string& theMergeTool = "") const {
        RunOptions anOptions = options(root());
        anOptions.itsEnv["TMPDIR"] = (dir() / "tmp").string();
        anOptions.itsEnv["TEMP"] = anOptions.itsEnv["temp"] = std::nullopt;
        if (!theMergeTool.empty())
            anOptions.itsEnv["KIVO_MERGETOOL"] = theMergeTool;
        return runKivo(theArgs, anOptions);
    }
    // kivo's temporary directory, where the merge tool finds its copies.
    fs::path temp() const { return dir() / "tmp/kivotmp"; }
    // The copies of base, remote and local that the merge tool of the run's first conflict works
    // on, quoted for the shell; the process id in their names is written as P (see normalized).
    std::string copies() const {
        std::string aCopies;
        for (const char* aSide : {"base", "remote", "local"})
            aCopies += std::string(aCopies.empty() ? "'" : " '") +
                       (temp() / "merge-P-1-").string() + aSide + ".txt'";
        return aCopies;
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
    std::string content(const std::string& theName) const { return readText(path(theName)); }
    // Whether the stored remote (diff) or base side of the conflict is there.
    bool stored(const std::string& theSide, const std::string& theName) const {
        return fs::exists(settings() / theSide / "acme" / (theName + ".txt"));
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
            makeWorkspace("check", "K1");
        expectOk(kivoIn(dir() / "check", {"checkout", "package", "acme", "--force"}));
        return readText(dir() / "check/acme" / (theName + ".txt"));
    }
    // The active versions of acme with their numbers and content hashes.
    std::string actives() const { return repoProbe({"actives", "acme"}); }
    std::string script(const std::string& theName, const std::string& theBody) const {
        writeText(dir() / theName, theBody);
        return "sh " + (dir() / theName).string();
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
    EXPECT_TRUE(conflicted("b") && stored("diff", "b") && content("b") == "mine b");
    EXPECT_EQ(outputOf(kivo({"resolve", "object", "acme/l.txt", "--local", "-v"})),
              "Conflict for file \"" + path("l") + "\" resolved.\n" + kTip + kResolvedOne);
    EXPECT_EQ(kivo({"resolve", "object", "acme/b.txt", "--base", "--noTips"}).itsOut, kResolvedOne);
    // The mode text is compared without regard to case.
    EXPECT_EQ(kivo({"resolve", "--with=Remote", "--noTips"}).itsOut, kResolvedOne);
    const std::pair<std::string, std::string> aSides[] = {
        {"l", "mine l"}, {"b", "base b"}, {"r", "theirs r"}};
    for (const auto& [aName, aContent] : aSides) {
        EXPECT_EQ(content(aName), aContent);
        EXPECT_FALSE(conflicted(aName) || stored("diff", aName) || stored("base", aName)) << aName;
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
    write("acme/a.txt", "mine a");
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
    // Nothing is committed or activated: the active versions stay.
    expectSays(kivo({"push", "--remote"}), "Resolved files               : 2\n");
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
    EXPECT_EQ(actives(), anActives);
    EXPECT_EQ(content("a") + content("c"), "theirs atheirs c");
}

// The tool's result on kivo's copies becomes the file only when it changed the local copy.
TEST_F(Resolve, TheMergeToolsResultIsTakenWhenItChangedTheFile) {
    conflicts({"a"});
    const std::string aCopies = copies() + " " + copies().substr(copies().rfind(' ') + 1);
    const std::string anIdle = script("idle.sh", "exit 0\n");
    const RunResult aKept =
        kivo({"resolve", "-m", "--noConfirm", "--mergeToolConfig=" + anIdle + " %b %r %l %l"});
    EXPECT_EQ(aKept.itsExitCode, 1) << aKept.itsErr;
    EXPECT_EQ(aKept.itsErr, "");
    EXPECT_EQ(normalized(aKept.itsOut), "Invoking merge tool: \n" + anIdle + " " + aCopies + "\n");
    EXPECT_TRUE(conflicted("a") && stored("diff", "a") && content("a") == "mine a");
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
    EXPECT_EQ(content("a"), "base a\ntheirs a\nmine a");
    EXPECT_FALSE(conflicted("a") || stored("base", "a"));
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
    const std::string aStamp = RepositoryAccess::sys::getts(path("c"));

    const RunResult aCheckout = kivo({"checkout", "-v"});
    expectSays(aCheckout, "Updated files                : 2\n");
    expectSays(aCheckout, "Reverted file: \"" + path("b") + "\"\n");
    EXPECT_FALSE(contains(aCheckout.itsOut, "onflict")) << aCheckout.itsOut;
    EXPECT_EQ(RepositoryAccess::sys::getts(path("c")), aStamp);
    for (const std::string aName : {"b", "c"})
        EXPECT_TRUE(!conflicted(aName) && content(aName) == "mine " + aName &&
                    baseVersion(aName) == "2")
            << statusText();
    EXPECT_EQ(inactive(), "");
    EXPECT_EQ(changes(), "\n");
}

// A tool the shell cannot start: one line on how to choose another, and the conflict stays.
TEST_F(Resolve, AMergeToolThatCannotBeStartedSaysHowToChooseOne) {
    conflicts({"a", "b"});
    const std::string aHint =
        " (choose a merge tool with --mergeToolConfig=\"TOOL %b %r %l\" or the environment "
        "variable KIVO_MERGETOOL, for example KIVO_MERGETOOL=\"kivo-merge %b %r %l\")\n";
    for (const std::string aTool :
         {"no-such-merge-tool", "./no-such-merge-tool", "'no such tool'"}) {
        const RunResult aRun = kivo({"resolve", "-m"}, aTool + " %b %r %l");
        const std::string aMessage =
            "The merge tool could not be started: " + aTool + " " + copies() + aHint;
        EXPECT_EQ(aRun.itsExitCode, 1);
        // A quoted name that the shell only finds out about when it runs.
        if (aTool.starts_with("'")) {
            EXPECT_TRUE(contains(normalized(aRun.itsErr), aMessage)) << aRun.itsErr;
            EXPECT_FALSE(contains(aRun.itsOut, "Resolve it anyway")) << aRun.itsOut;
        } else {
            EXPECT_EQ(normalized(aRun.itsErr), aMessage);
            EXPECT_EQ(aRun.itsOut, "");
        }
        EXPECT_TRUE(conflicted("a") && conflicted("b") && stored("diff", "a")) << aTool;
        EXPECT_TRUE(content("a") == "mine a" && noCopiesLeft());
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
    for (const auto& aName : aNames)
        EXPECT_TRUE(content(aName) == "merged\n" && !conflicted(aName) &&
                    readText(path(aName) + ".merged") == "side\n")
            << aName;
    for (const auto& anEntry : fs::recursive_directory_iterator(dir()))
        EXPECT_NE(anEntry.path().filename(), "pwned") << anEntry.path();
    EXPECT_TRUE(noCopiesLeft());
}

// kivo-merge resolves a clean conflict of a push; an overlapping one stays, the merge beside it.
TEST_F(Resolve, KivoMergeResolvesACleanConflictOfAPushWithoutAPrompt) {
    const std::string aMergeTool = std::string(KIVO_BINARY_DIR) + "/kivo-merge %b %r %l";
    const std::string aMiddle = "2\n3\n4\n5\n6\n7\n";
    activateAs("other", {"put", "acme", "a", "txt", "1\n" + aMiddle + "8\n"});
    expectOk(kivo({"checkout", "package", "acme"}));
    write("acme/a.txt", "one\n" + aMiddle + "8\n");
    activateAs("other", {"put", "acme", "a", "txt", "1\n" + aMiddle + "eight\n"});
    expectSays(kivo({"push", "--mergeTool", "--noConfirm"}, aMergeTool), kResolvedOne);
    EXPECT_EQ(content("a"), "one\n" + aMiddle + "eight\n");
    EXPECT_EQ(active("a"), "one\n" + aMiddle + "eight\n");
    EXPECT_EQ(changes(), "\n");

    write("acme/a.txt", "one\n" + aMiddle + "mine\n");
    activateAs("other", {"put", "acme", "a", "txt", "one\n" + aMiddle + "theirs\n"});
    const RunResult aClash = kivo({"push", "--mergeTool", "--noConfirm"}, aMergeTool);
    EXPECT_EQ(aClash.itsExitCode, 1) << aClash.itsOut << aClash.itsErr;
    EXPECT_EQ(content("a"), "one\n" + aMiddle + "mine\n");
    EXPECT_TRUE(fs::exists(path("a") + ".merged"));
    EXPECT_TRUE(conflicted("a") && baseVersion("a") == "3") << statusText();
}
