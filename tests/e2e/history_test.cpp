// `kivo log`, `kivo annotate` and `kivo diff --version` over a history with a deletion.
#include <gtest/gtest.h>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;

namespace {

// acme/orders/Order.txt: dev writes three lines, other changes the middle one, dev deletes the
// object and pushes it again from the workspace with the first two lines and a new one.
class History : public ::testing::Test, protected RepositoryWorkspace {
protected:
    History() : RepositoryWorkspace(true, true) {
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

TEST_F(History, BinaryObjectsAndHostileNames) {
    write("acme/pic.bin", std::string("PK\0\1", 4));
    write("acme/we \"ird.txt", "one\n");
    expectOk(kivo({"push"}));
    write("acme/pic.bin", std::string("PK\0\2", 4));
    write("acme/we \"ird.txt", "one\ntwo\n");
    expectOk(kivo({"push"}));

    EXPECT_EQ(outputOf(kivo({"log", "acme/pic.bin", "-p"})),
              "acme/pic.bin\n#2\t<time>\tDEV\n"
              "Binary files acme/pic.bin (#1) and acme/pic.bin (#2) differ\n"
              "#1\t<time>\tDEV\n"
              "Binary files acme/pic.bin (new) and acme/pic.bin (#1) differ\n");
    expectRefused(kivo({"annotate", "acme/pic.bin"}), "is binary and cannot be annotated.");
    // The name is quoted in every header, so it cannot start a line of its own.
    EXPECT_EQ(outputOf(kivo({"log", "acme/we \"ird.txt", "-p", "--since=2000"})),
              "\"acme/we \\\"ird.txt\"\n#2\t<time>\tDEV\n"
              "--- \"acme/we \\\"ird.txt\"\t(#1)\n+++ \"acme/we \\\"ird.txt\"\t(#2)\n"
              "@@ -1 +1,2 @@\n one\n+two\n"
              "#1\t<time>\tDEV\n"
              "--- \"acme/we \\\"ird.txt\"\t(new)\n+++ \"acme/we \\\"ird.txt\"\t(#1)\n"
              "@@ -0,0 +1 @@\n+one\n");
    EXPECT_EQ(outputOf(kivo({"annotate", "acme/we \"ird.txt"})),
              "    1 DEV      | one\n    2 DEV      | two\n");
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
