// `kivo checkout` carrying out one decision of each kind (the decisions: checkoutdecision's tests).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// A repository with one user and a workspace "ws" that tracks nothing yet.
class Checkout : public ::testing::Test, protected RepositoryWorkspace {
protected:
    Checkout() : RepositoryWorkspace(false, false) {}

    // Writes and activates each PACKAGE NAME CONTENT of theWords as NAME.txt.
    void put(const std::vector<std::string>& theWords) const {
        std::vector<std::string> anArgs = {"put"};
        for (std::size_t aPos = 0; aPos + 2 < theWords.size(); aPos += 3)
            anArgs.insert(anArgs.end(),
                          {theWords[aPos], theWords[aPos + 1], "txt", theWords[aPos + 2]});
        activateAs("dev", anArgs);
    }
};

} // namespace

TEST_F(Checkout, WritesNewAndNewerFilesAndSaysWhenNothingChanged) {
    put({"acme", "a", "alpha", "acme.sub", "b", "beta"});
    EXPECT_EQ(outputOf(kivo({"checkout", "package", "acme", "-v"})),
              "-track\nTracking package \"acme\".\n-checkout\nCreated file: \"" +
                  path("acme/a.txt") + "\"\nCreated file: \"" + path("acme/sub/b.txt") +
                  "\"\nTracked packages             : 1\n"
                  "Created directories          : 2\n"
                  "Created files                : 2\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "alpha");
    EXPECT_EQ(readText(path("acme/sub/b.txt")), "beta");
    EXPECT_TRUE(contains(readText(settings() / "SYS/acme/a.txt.kivoMeta"), "\"version_id\":\"1\""));
    EXPECT_TRUE(contains(statusText(), "{\"filename\":\"acme/a.txt\""));

    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");

    put({"acme", "a", "alpha 2"});
    auto anUpdate = kivo({"checkout", "-v"});
    EXPECT_EQ(anUpdate.itsOut, "-checkout\nUpdated file: \"" + path("acme/a.txt") +
                                   "\"\nUpdated files                : 1\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "alpha 2");
    EXPECT_TRUE(contains(statusText(), "\"baseversion\":\"2\""));
    // An object deleted in the repository goes from the workspace.
    activateAs("dev", {"remove", "acme.sub", "b", "txt"});
    EXPECT_EQ(outputOf(kivo({"checkout", "-v"})), "-checkout\nDeleted file: \"" +
                                                      path("acme/sub/b.txt") +
                                                      "\"\nDeleted files                : 1\n");
    EXPECT_FALSE(fs::exists(path("acme/sub/b.txt")) ||
                 fs::exists(settings() / "SYS/acme/sub/b.txt.kivoMeta"));
    EXPECT_FALSE(contains(statusText(), "acme/sub/b.txt"));
}

TEST_F(Checkout, LocalChangesBecomeConflictsUnlessSkippedOrForced) {
    put({"acme", "a", "base", "acme", "d", "to delete"});
    expectOk(kivo({"checkout", "package", "acme"}));
    writeText(path("acme/a.txt"), "mine");
    fs::remove(path("acme/d.txt"));
    put({"acme", "a", "theirs", "acme", "d", "theirs too"});

    auto aSkipped = kivo({"checkout", "--skip", "-v"});
    EXPECT_EQ(aSkipped.itsOut, "-checkout\nSkipping file: \"" + path("acme/a.txt") +
                                   "\"\nSkipping file: \"" + path("acme/d.txt") +
                                   "\"\nNothing to check out.\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "mine");

    EXPECT_EQ(outputOf(kivo({"checkout", "-v"})),
              "-checkout\nCreating conflict for file: \"" + path("acme/a.txt") +
                  "\" (file locally modified)\nCreating conflict for file: \"" +
                  path("acme/d.txt") + "\" (file locally deleted)\nAdding conflicted file: \"" +
                  path("acme/a.txt") + "\"\nAdding conflicted file: \"" + path("acme/d.txt") +
                  "\"\n" + kResolutionCalls + "\nConflicted files             : 2\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "mine");
    EXPECT_EQ(readText(settings() / "diff/acme/a.txt"), "theirs");
    EXPECT_EQ(readText(settings() / "base/acme/a.txt"), "base");
    EXPECT_EQ(readText(path("acme/d.txt")), "__deleted__");
    EXPECT_EQ(readText(settings() / "diff/acme/d.txt"), "theirs too");
    EXPECT_TRUE(contains(statusText(), "\"conflicts\":[\"acme/a.txt\",\n\"acme/d.txt\"]"))
        << statusText();
    // A conflicted scope is refused; nothing changes.
    expectError(kivo({"checkout"}),
                "Checkout failed. At least one of the files to be checked out is "
                "conflicted.\n\n" +
                    kResolutionCalls + "\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "mine");
    // --force overwrites the local side and resolves the conflicts.
    const RunResult aForced = kivo({"checkout", "--force", "-v"});
    expectSays(aForced, "Updated file: \"" + path("acme/a.txt") + "\"\nResolved file: \"" +
                            path("acme/a.txt") + "\"\n");
    expectSays(aForced, "Resolved files               : 2\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "theirs");
    EXPECT_EQ(readText(path("acme/d.txt")), "theirs too");
    EXPECT_FALSE(fs::exists(settings() / "diff/acme/a.txt"));
    EXPECT_TRUE(contains(statusText(), "\"conflicts\":[]"));
}

TEST_F(Checkout, HistoricalVersionsAndTheirFailures) {
    // Two runs: versions activated by one run could share their timestamp.
    put({"acme", "a", "one"});
    put({"acme", "a", "two", "acme", "b", "bee"});
    expectOk(kivo({"checkout", "package", "acme"}));

    const RunResult anOld =
        kivo({"checkout", "object", "acme/a.txt", "--historicalVersion=1", "-v"});
    expectSays(anOld, "-checkout\nHistorical timestamp for version #1 of object \"acme.a.txt\": ");
    expectSays(anOld, "Updated file: \"" + path("acme/a.txt") + "\"\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "one");
    EXPECT_TRUE(contains(statusText(), "\"baseversion\":\"1\""));

    expectOk(kivo({"checkout", "--active"}));
    EXPECT_EQ(readText(path("acme/a.txt")), "two");

    EXPECT_EQ(kivo({"checkout", "package", "acme", "--historicalVersion=1"}).itsErr,
              "Supply a historical object (--historicalObject|--histObj|--hO=).\n");
    for (const std::string aVersion : {"0", "x1"})
        EXPECT_EQ(
            kivo({"checkout", "object", "acme/a.txt", "--historicalVersion=" + aVersion}).itsErr,
            "Historical version must be a positive integer\n");
    EXPECT_EQ(kivo({"checkout", "object", "acme/a.txt", "--historicalVersion=7"}).itsErr,
              "Could not find historical timestamp for version #7 of object \"acme.a.txt\"\n");
    // --historical with a timestamp before everything: the objects did not exist yet, so the
    // files stay as local files without metadata.
    expectOk(kivo({"checkout", "--historical=2000-01-01"}));
    EXPECT_EQ(readText(path("acme/a.txt")), "two");
    EXPECT_FALSE(fs::exists(settings() / "SYS/acme/a.txt.kivoMeta"));
    EXPECT_FALSE(contains(statusText(), "acme/a.txt"));
}

// A package directory among the arguments is tracked by checkout and untracked by discard.
TEST_F(Checkout, PackageDirectoriesOfMixedArgumentsAreTrackedAndUntracked) {
    put({"acme", "a", "alpha", "other", "o", "omega"});
    expectSays(kivo({"checkout", "acme/", "other/o.txt", "-v"}),
               "-track\nTracking package \"acme\".\n-checkout\n");
    EXPECT_EQ(readText(path("acme/a.txt")), "alpha");
    EXPECT_EQ(readText(path("other/o.txt")), "omega");
    EXPECT_TRUE(contains(kivo({"status"}).itsOut, "Tracked packages:\n\tacme\n"));

    expectSays(kivo({"discard", "acme/", "-v"}), "-untrack\nUntracked package \"acme\".\n");
    EXPECT_TRUE(contains(kivo({"status"}).itsOut, "No packages tracked."));
    EXPECT_TRUE(fs::exists(path("other/o.txt")));
}

// Parts of 250, 500, 1,000 and the rest, read while the previous one is written, arrive whole.
TEST_F(Checkout, ManyObjectsArriveWholeAcrossParts) {
    constexpr int kFiles = 1800;
    expectOk(runKivo({"create", "workspace", "source", "K1"}, options()));
    const fs::path aSource = dir() / "source";
    for (int i = 0; i < kFiles; ++i) {
        const fs::path aDir = aSource / "bulk" / ("d" + std::to_string(i % 7));
        fs::create_directories(aDir);
        writeText(aDir / ("f" + std::to_string(i) + ".txt"), "content " + std::to_string(i));
    }
    expectOk(runKivo({"track", "bulk"}, options(aSource)));
    expectOk(runKivo({"push"}, options(aSource)));

    expectSays(kivo({"checkout", "bulk/"}), "Created files                : 1800\n");
    for (int i = 0; i < kFiles; ++i) {
        const std::string aRelative = "bulk/d" + std::to_string(i % 7) + "/f" + std::to_string(i);
        ASSERT_EQ(readText(path(aRelative + ".txt")), "content " + std::to_string(i)) << i;
        ASSERT_TRUE(fs::exists(settings() / "SYS" / (aRelative + ".txt.kivoMeta"))) << i;
    }
    // Every status entry agrees with its file, and nothing was left behind.
    EXPECT_EQ(changes(), "\n");
    for (const auto& anEntry : fs::recursive_directory_iterator(settings()))
        EXPECT_EQ(anEntry.path().filename().string().find(".tmp"), std::string::npos)
            << anEntry.path();
    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");
}
