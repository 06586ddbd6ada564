// `kivo diff` of local changes against base, active or stored remote versions; `kivo log`,
// `kivo annotate` and `kivo diff --version` over a history with a deletion.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// A workspace "ws" of dev that tracks acme; the user other changes the repository side.
class Diff : public WorkspaceTest<true, true> {
protected:
    void otherPuts(const std::string& thePackage, const std::string& theName,
                   const std::string& theContent) const {
        activateAs("other", {"put", thePackage, theName, "txt", theContent});
    }
    RunResult diff(const std::vector<std::string>& theArgs, const fs::path& theCwd = {}) const {
        std::vector<std::string> anArgs = {"diff"};
        anArgs.insert(anArgs.end(), theArgs.begin(), theArgs.end());
        RunResult aResult = kivoIn(theCwd.empty() ? root() : theCwd, anArgs);
        EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
        return aResult;
    }
};

const std::string kText = "one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nnine\nten\n";

} // namespace

TEST_F(Diff, ChangedNewAndDeletedFilesAgainstTheirBaseVersionsInOneRead) {
    write("acme/a.txt", kText);
    write("acme/sub/b.txt", "bee\n");
    write("acme/c.bin", std::string("PK\0\1", 4));
    write("acme/crlf.txt", "first\r\nsecond\r\n");
    expectOk(kivo({"push"}));
    EXPECT_EQ(diff({}).itsOut, "No differences.\n");

    write("acme/a.txt", "one\ntwo\nTHREE\nfour\nfive\nsix\nseven\neight\nnine\nten");
    write("acme/c.bin", std::string("PK\0\2", 4));
    write("acme/crlf.txt", "first\r\nsecond line\r\n");
    fs::remove(path("acme/sub/b.txt"));
    write("acme/sub/new.txt", "fresh\n");
    const auto aRun = diff({"--jsonRequest"});
    EXPECT_EQ(countOf(aRun.itsOut, "JSON request: ReadObjectsRequest"), 1u) << aRun.itsOut;
    EXPECT_EQ(countOf(aRun.itsOut, "JSON request: ReadObjectRequest"), 0u) << aRun.itsOut;

    const std::string anAll = diff({}).itsOut;
    EXPECT_EQ(anAll, "--- acme/a.txt\t(base #1)\n+++ acme/a.txt\t(workspace)\n"
                     "@@ -1,10 +1,10 @@\n one\n two\n-three\n+THREE\n four\n five\n six\n"
                     " seven\n eight\n nine\n-ten\n+ten\n\\ No newline at end of file\n"
                     "Binary files acme/c.bin (base #1) and acme/c.bin (workspace) differ\n"
                     "--- acme/crlf.txt\t(base #1)\n+++ acme/crlf.txt\t(workspace)\n"
                     "@@ -1,2 +1,2 @@\n first\r\n-second\r\n+second line\r\n"
                     "--- acme/sub/b.txt\t(base #1)\n+++ acme/sub/b.txt\t(deleted)\n"
                     "@@ -1 +0,0 @@\n-bee\n"
                     "--- acme/sub/new.txt\t(new)\n+++ acme/sub/new.txt\t(workspace)\n"
                     "@@ -0,0 +1 @@\n+fresh\n");
    // Inside a sub-directory, relative arguments name the scope; headers stay workspace paths.
    const std::string aSub = diff({"./"}, root() / "acme/sub").itsOut;
    EXPECT_EQ(aSub, anAll.substr(anAll.find("--- acme/sub/b.txt")));
    // Diff writes nothing: the status is the same before and after.
    EXPECT_EQ(diff({}).itsOut, anAll);
}

// Another user's newer active version is compared with only when --active asks for it.
TEST_F(Diff, TheActiveVersionOnlyWhenAskedFor) {
    write("acme/a.txt", kText);
    expectOk(kivo({"push"}));
    write("acme/a.txt", "zero\n" + kText);
    otherPuts("acme", "a", kText + "eleven\n");

    EXPECT_EQ(diff({}).itsOut, "--- acme/a.txt\t(base #1)\n+++ acme/a.txt\t(workspace)\n"
                               "@@ -1,3 +1,4 @@\n+zero\n one\n two\n three\n");
    EXPECT_EQ(diff({"--active"}).itsOut,
              "--- acme/a.txt\t(active #2)\n+++ acme/a.txt\t(workspace)\n"
              "@@ -1,3 +1,4 @@\n+zero\n one\n two\n three\n"
              "@@ -8,4 +9,3 @@\n eight\n nine\n ten\n-eleven\n");
    // A new file that the repository has meanwhile: compared with its active version.
    otherPuts("acme", "n", "theirs\n");
    write("acme/n.txt", "mine\n");
    EXPECT_TRUE(contains(diff({"acme/n.txt", "--active"}).itsOut,
                         "--- acme/n.txt\t(active #1)\n+++ acme/n.txt\t(workspace)\n"
                         "@@ -1 +1 @@\n-theirs\n+mine\n"));
}

// A conflicted file is compared offline with the repository version its checkout stored.
TEST_F(Diff, ConflictedFilesAgainstTheStoredRemoteVersionWithoutAConnection) {
    otherPuts("acme", "a", "base\nline\n");
    otherPuts("acme", "d", "doomed\n");
    expectOk(kivo({"checkout"}));
    write("acme/a.txt", "mine\nline\n");
    fs::remove(path("acme/d.txt"));
    otherPuts("acme", "a", "theirs\nline\n");
    otherPuts("acme", "d", "doomed 2\n");
    expectOk(kivo({"checkout"}));

    target().takeAway();
    EXPECT_EQ(diff({}).itsOut, "--- acme/a.txt\t(remote #2)\n+++ acme/a.txt\t(workspace)\n"
                               "@@ -1,2 +1,2 @@\n-theirs\n+mine\n line\n"
                               "--- acme/d.txt\t(remote #2)\n+++ acme/d.txt\t(deleted)\n"
                               "@@ -1 +0,0 @@\n-doomed 2\n");
    target().bringBack();
}

// Whoever names a file chooses no line of the output: names are C-quoted where needed, as patch
// reads them.
TEST_F(Diff, NamesAreQuotedWhereTheyNeedIt) {
    write("acme/line\nfeed.txt", "one\n");
    write("acme/tab\tand \"quote\".txt", "one\n");
    write("acme/bin\n.dat", std::string("PK\0\1", 4));
    expectOk(kivo({"push"}));
    write("acme/line\nfeed.txt", "two\n");
    write("acme/tab\tand \"quote\".txt", "two\n");
    write("acme/bin\n.dat", std::string("PK\0\2", 4));
    write("acme/ctl\x01.txt", "new\n");

    const std::string anOut = diff({}).itsOut;
    EXPECT_EQ(anOut, "Binary files \"acme/bin\\n.dat\" (base #1) and \"acme/bin\\n.dat\" "
                     "(workspace) differ\n"
                     "--- \"acme/ctl\\001.txt\"\t(new)\n+++ \"acme/ctl\\001.txt\"\t(workspace)\n"
                     "@@ -0,0 +1 @@\n+new\n"
                     "--- \"acme/line\\nfeed.txt\"\t(base #1)\n"
                     "+++ \"acme/line\\nfeed.txt\"\t(workspace)\n"
                     "@@ -1 +1 @@\n-one\n+two\n"
                     "--- \"acme/tab\\tand \\\"quote\\\".txt\"\t(base #1)\n"
                     "+++ \"acme/tab\\tand \\\"quote\\\".txt\"\t(workspace)\n"
                     "@@ -1 +1 @@\n-one\n+two\n");
    // patch finds the files by their quoted names and takes the changes back.
    RunOptions aPatch;
    aPatch.itsCwd = root();
    aPatch.itsStdin = anOut.substr(anOut.find("--- \"acme/line"));
    const RunResult aPatched = runProgram("/usr/bin/patch", {"-s", "-p0", "-R"}, aPatch);
    EXPECT_EQ(aPatched.itsExitCode, 0) << aPatched.itsOut << aPatched.itsErr;
    EXPECT_EQ(readText(path("acme/line\nfeed.txt")), "one\n");
    EXPECT_EQ(readText(path("acme/tab\tand \"quote\".txt")), "one\n");
}

namespace {

// acme/orders/Order.txt: dev writes three lines, other changes the middle one, dev deletes the
// object and pushes it again from the workspace with the first two lines and a new one.
class History : public WorkspaceTest<true, true> {
protected:
    History() {
        activateAs("dev", {"put", "acme.orders", "Order", "txt", "a\nb\nc\n"});
        activateAs("other", {"put", "acme.orders", "Order", "txt", "a\nB\nc\n"});
        activateAs("dev", {"remove", "acme.orders", "Order", "txt"});
        // A file written where an object was deleted conflicts with the deletion; the local side
        // is taken.
        write("acme/orders/Order.txt", "a\nB\nz\n");
        expectOk(kivo({"push", "--local"}));
    }
};

const std::string kLog = "acme/orders/Order.txt\n"
                         "#4\t<time>\tDEV\n"
                         "#3\t<time>\tDEV\tdeletion\n"
                         "#2\t<time>\tOTHER\n"
                         "#1\t<time>\tDEV\n";

} // namespace

TEST_F(History, LogAnnotateAndDiffOfVersions) {
    const std::string aPatch = "--- acme/orders/Order.txt\t(#2)\n+++ acme/orders/Order.txt\t(#3)\n"
                               "@@ -1,3 +0,0 @@\n-a\n-B\n-c\n";
    expectOutputs({
        {{"log", "acme/orders/Order.txt"}, kLog},
        {{"log", "Order.txt", "--package=acme.orders"}, kLog, true},
        {{"log", "acme/orders/"}, kLog},
        {{"log", "acme/orders/Order.txt", "--createdBy=other"},
         "acme/orders/Order.txt\n#2\t<time>\tOTHER\n"},
        {{"log", "acme/orders/Order.txt", "--since=2999-01-01"}, "acme/orders/Order.txt\n"},
        {{"log", "acme/orders/Order.txt", "-p"},
         "acme/orders/Order.txt\n#4\t<time>\tDEV\n"
         "--- acme/orders/Order.txt\t(#3)\n+++ acme/orders/Order.txt\t(#4)\n"
         "@@ -0,0 +1,3 @@\n+a\n+B\n+z\n#3\t<time>\tDEV\tdeletion\n" +
             aPatch +
             "#2\t<time>\tOTHER\n"
             "--- acme/orders/Order.txt\t(#1)\n+++ acme/orders/Order.txt\t(#2)\n"
             "@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n#1\t<time>\tDEV\n"
             "--- acme/orders/Order.txt\t(new)\n+++ acme/orders/Order.txt\t(#1)\n"
             "@@ -0,0 +1,3 @@\n+a\n+b\n+c\n"},
        {{"annotate", "Order.txt", "--package=acme.orders", "--version=2"},
         "    1 DEV      | a\n    2 OTHER    | B\n    1 DEV      | c\n",
         true},
        {{"diff", "Order.txt", "--package=acme.orders", "--version=1..2"},
         "--- acme/orders/Order.txt\t(#1)\n+++ acme/orders/Order.txt\t(#2)\n"
         "@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n",
         true},
        {{"diff", "acme/orders/Order.txt", "--version=4"}, "No differences.\n"},
        // The deletion in version 3 has no content: everything before it is removed.
        {{"diff", "acme/orders/Order.txt", "--version=2..3"}, aPatch},
    });
    write("acme/orders/Order.txt", "a\nB\nz\nmore\n");
    EXPECT_EQ(outputOf(kivo({"diff", "acme/orders/Order.txt", "--version=2"})),
              "--- acme/orders/Order.txt\t(#2)\n+++ acme/orders/Order.txt\t(workspace)\n"
              "@@ -1,3 +1,4 @@\n a\n B\n-c\n+z\n+more\n");
    // The deletion in version 3 makes every line of version 4 new again.
    activateAs("dev", {"put", "acme.orders", "Order", "txt", "a\nB\nz\nlast"});
    EXPECT_EQ(
        outputOf(kivo({"annotate", "acme/orders/Order.txt"})),
        "    4 DEV      | a\n    4 DEV      | B\n    4 DEV      | z\n    5 DEV      | last\n");

    expectRefused(kivo({"annotate", "acme/orders/Order.txt", "--version=9"}),
                  "has no historical version 9.");
    expectRefused(kivo({"annotate", "acme/orders/Order.txt", "--version=x"}),
                  "Invalid version (must be a historical version (positive integer)): x");
    expectRefused(kivo({"diff", "acme/orders/Order.txt", "--version=2..x"}),
                  "Invalid version (must be N or N..M with positive integers): 2..x");
}

// The differences that log -p prints are diff's (Diff.NamesAreQuotedWhereTheyNeedIt); the log's
// own title line quotes the name too, so that it cannot start a line of its own.
TEST_F(History, BinaryObjectsAndHostileNames) {
    write("acme/pic.bin", std::string("PK\0\1", 4));
    write("acme/we \"ird.txt", "one\n");
    expectOk(kivo({"push"}));
    write("acme/we \"ird.txt", "one\ntwo\n");
    expectOk(kivo({"push"}));
    expectRefused(kivo({"annotate", "acme/pic.bin"}), "is binary and cannot be annotated.");
    EXPECT_TRUE(outputOf(kivo({"log", "acme/we \"ird.txt", "-p", "--since=2000"}))
                    .starts_with("\"acme/we \\\"ird.txt\"\n#2\t<time>\tDEV\n"));
}

// The log names each version's change; the difference of a change goes version by version.
TEST_F(History, ChangesInTheLogAndTheDifferenceOfAChange) {
    expectOk(kivo({"set", "changeTrackingStatus", "enabled", "--force"}));
    write("acme/a.txt", "one\n");
    expectOk(kivo({"push"}));
    expectOk(kivo({"validate", "contributor", "ZEV//1", "dev"}));
    expectOk(kivo({"release", "ZEV//1"}));
    write("acme/a.txt", "one\ntwo\n");
    expectOk(kivo({"push"}));

    const std::string aReleased = "#1\t<time>\tDEV\tchange ZEV//1 (released <time>)\n";
    expectOutputs({
        {{"log", "acme/a.txt"}, "acme/a.txt\n#2\t<time>\tDEV\tchange ZEV//2 (open)\n" + aReleased},
        {{"log", "acme/a.txt", "--changeNumber=ZEV//1"}, "acme/a.txt\n" + aReleased},
        {{"diff", "--changeId=ZEV//2"},
         "--- acme/a.txt\t(#1)\n+++ acme/a.txt\t(#2)\n@@ -1 +1,2 @@\n one\n+two\n"},
        {{"diff", "--changeId=ZEV//1"},
         "--- acme/a.txt\t(new)\n+++ acme/a.txt\t(#1)\n@@ -0,0 +1 @@\n+one\n",
         true},
    });
}
