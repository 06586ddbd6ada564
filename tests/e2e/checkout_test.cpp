// `kivo checkout` carrying out one decision of each kind (the decisions: checkoutdecision's tests).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// dev's workspace "ws" that tracks nothing yet.
class Checkout : public WorkspaceTest<false, false> {
protected:
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
    EXPECT_EQ(read("acme/sub/b.txt"), "beta");
    EXPECT_TRUE(contains(meta("acme/a.txt"), "\"version_id\":\"1\""));
    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");

    put({"acme", "a", "alpha 2"});
    EXPECT_EQ(kivo({"checkout", "-v"}).itsOut, "-checkout\nUpdated file: \"" + path("acme/a.txt") +
                                                   "\"\nUpdated files                : 1\n");
    EXPECT_EQ(read("acme/a.txt"), "alpha 2");
    EXPECT_TRUE(contains(statusText(), "\"baseversion\":\"2\""));
    // An object deleted in the repository goes from the workspace.
    activateAs("dev", {"remove", "acme.sub", "b", "txt"});
    EXPECT_EQ(outputOf(kivo({"checkout", "-v"})), "-checkout\nDeleted file: \"" +
                                                      path("acme/sub/b.txt") +
                                                      "\"\nDeleted files                : 1\n");
    EXPECT_FALSE(fs::exists(path("acme/sub/b.txt")) || fs::exists(metaFile("acme/sub/b.txt")));
    EXPECT_FALSE(contains(statusText(), "acme/sub/b.txt"));
}

TEST_F(Checkout, LocalChangesBecomeConflictsUnlessSkippedOrForced) {
    put({"acme", "a", "base", "acme", "d", "to delete"});
    expectOk(kivo({"checkout", "package", "acme"}));
    writeText(path("acme/a.txt"), "mine");
    fs::remove(path("acme/d.txt"));
    put({"acme", "a", "theirs", "acme", "d", "theirs too"});

    EXPECT_EQ(kivo({"checkout", "--skip", "-v"}).itsOut,
              "-checkout\nSkipping file: \"" + path("acme/a.txt") + "\"\nSkipping file: \"" +
                  path("acme/d.txt") + "\"\nNothing to check out.\n");
    EXPECT_EQ(outputOf(kivo({"checkout", "-v"})),
              "-checkout\nCreating conflict for file: \"" + path("acme/a.txt") +
                  "\" (file locally modified)\nCreating conflict for file: \"" +
                  path("acme/d.txt") + "\" (file locally deleted)\nAdding conflicted file: \"" +
                  path("acme/a.txt") + "\"\nAdding conflicted file: \"" + path("acme/d.txt") +
                  "\"\n" + kResolutionCalls + "\nConflicted files             : 2\n");
    // The local side stays, the remote and base sides are stored for the resolution.
    EXPECT_EQ(read("acme/a.txt") + read("acme/d.txt"), "mine__deleted__");
    EXPECT_EQ(readText(settings() / "diff/acme/a.txt"), "theirs");
    EXPECT_EQ(readText(settings() / "base/acme/a.txt"), "base");
    EXPECT_EQ(readText(settings() / "diff/acme/d.txt"), "theirs too");
    EXPECT_TRUE(contains(statusText(), "\"conflicts\":[\"acme/a.txt\",\n\"acme/d.txt\"]"))
        << statusText();
    // A conflicted scope is refused; nothing changes.
    expectError(kivo({"checkout"}),
                "Checkout failed. At least one of the files to be checked out is "
                "conflicted.\n\n" +
                    kResolutionCalls + "\n");
    // --force overwrites the local side and resolves the conflicts.
    const RunResult aForced = kivo({"checkout", "--force", "-v"});
    expectSays(aForced, "Updated file: \"" + path("acme/a.txt") + "\"\nResolved file: \"" +
                            path("acme/a.txt") + "\"\n");
    expectSays(aForced, "Resolved files               : 2\n");
    EXPECT_EQ(read("acme/a.txt") + read("acme/d.txt"), "theirstheirs too");
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
    EXPECT_EQ(read("acme/a.txt"), "one");
    EXPECT_TRUE(contains(statusText(), "\"baseversion\":\"1\""));
    expectOk(kivo({"checkout", "--active"}));
    EXPECT_EQ(read("acme/a.txt"), "two");

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
    EXPECT_EQ(read("acme/a.txt"), "two");
    EXPECT_FALSE(fs::exists(metaFile("acme/a.txt")));
    EXPECT_FALSE(contains(statusText(), "acme/a.txt"));
}

// A package directory among the arguments is tracked by checkout and untracked by discard.
TEST_F(Checkout, PackageDirectoriesOfMixedArgumentsAreTrackedAndUntracked) {
    put({"acme", "a", "alpha", "other", "o", "omega"});
    expectSays(kivo({"checkout", "acme/", "other/o.txt", "-v"}),
               "-track\nTracking package \"acme\".\n-checkout\n");
    EXPECT_EQ(read("acme/a.txt") + read("other/o.txt"), "alphaomega");
    EXPECT_TRUE(contains(kivo({"status"}).itsOut, "Tracked packages:\n\tacme\n"));

    expectSays(kivo({"discard", "acme/", "-v"}), "-untrack\nUntracked package \"acme\".\n");
    EXPECT_TRUE(contains(kivo({"status"}).itsOut, "No packages tracked."));
    EXPECT_TRUE(fs::exists(path("other/o.txt")));
}

// Parts of 250, 500, 1,000 and the rest, read while the previous one is written, arrive whole.
TEST_F(Checkout, ManyObjectsArriveWholeAcrossParts) {
    constexpr int kFiles = 1800;
    makeWorkspace("source", "K1", "bulk");
    auto aFile = [](int i) { return "bulk/d" + std::to_string(i % 7) + "/f" + std::to_string(i); };
    for (int i = 0; i < kFiles; ++i) {
        fs::create_directories((dir() / "source" / aFile(i)).parent_path());
        writeText(dir() / "source" / (aFile(i) + ".txt"), "content " + std::to_string(i));
    }
    expectOk(kivoIn(dir() / "source", {"push"}));

    expectSays(kivo({"checkout", "bulk/"}), "Created files                : 1800\n");
    for (int i = 0; i < kFiles; ++i) {
        ASSERT_EQ(read(aFile(i) + ".txt"), "content " + std::to_string(i)) << i;
        ASSERT_TRUE(fs::exists(metaFile(aFile(i) + ".txt"))) << i;
    }
    // Every status entry agrees with its file, and nothing was left behind.
    EXPECT_EQ(changes(), "\n");
    for (const auto& anEntry : fs::recursive_directory_iterator(settings()))
        EXPECT_EQ(anEntry.path().filename().string().find(".tmp"), std::string::npos)
            << anEntry.path();
    EXPECT_EQ(kivo({"checkout"}).itsOut, "Nothing to check out.\n");
}
