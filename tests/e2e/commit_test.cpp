// `kivo commit` carrying out each decision of commitdecision's table, binary contents and the
// refusal of conflicted files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/e2e/workspacetree.hpp"
#include "workspace/filestat.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// dev's workspace "ws" that tracks acme.
class Commit : public WorkspaceTest<false, true> {
protected:
    // Leaves the metadata of theFile's active version 1 as a checkout after the activation does.
    void activeMeta(const std::string& theFile) const {
        writeText(metaFile(theFile),
                  "{\"metadata\":{\"edit\":\"true\",\"version_id\":\"1\",\"activated_at\":\"t\","
                  "\"activated_by\":\"DEV\",\"object_status\":\"0\",\"change_number\":\"\","
                  "\"released_at\":\"\",\"type\":\"1\"}, \"version\":{\"versionType\":\"1\"}}");
    }
    // Commits theFile with theContent and activates it as version 1.
    void activated(const std::string& theFile, const std::string& theContent) const {
        write(theFile, theContent);
        expectOk(kivo({"commit"}));
        EXPECT_EQ(repoProbe({"activate"}), "activation 0\n");
        activeMeta(theFile);
    }
};

} // namespace

TEST_F(Commit, NewFilesCreateTheirPackagesAndModifiedFilesKeepTheirBase) {
    EXPECT_EQ(outputOf(kivo({"commit", "--jsonRequest"})), "Nothing to commit.\n");
    write("acme/a.txt", "alpha");
    write("acme/sub/b.txt", "beta");
    // Past the clock tick of the writes: the commit then records the files' stat data as proof.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const RunResult aFirst = kivo({"commit", "-v"});
    expectOk(aFirst);
    EXPECT_EQ(aFirst.itsOut, "Created package: acme\nCreated package: acme.sub\n"
                             "Committed file: \"" +
                                 path("acme/a.txt") + "\"\nCommitted file: \"" +
                                 path("acme/sub/b.txt") +
                                 "\"\nCreated packages             : 2\n"
                                 "Committed files              : 2\n")
        << aFirst.itsErr;
    using namespace RepositoryAccess::filestat;
    for (const auto& [aFile, aContent] :
         {std::pair{"acme/a.txt", "alpha"}, {"acme/sub/b.txt", "beta"}})
        EXPECT_TRUE(contains(statusText(), statusEntry(aFile, aContent, 0) + ",\"filestat\":\"" +
                                               toText(*ofPath(path(aFile))) + "\"}"))
            << statusText();
    const std::string aMeta = meta("acme/a.txt");
    EXPECT_TRUE(aMeta.starts_with("{\"metadata\":{\"edit\":\"true\",\"version_id\":\"1\","))
        << aMeta;
    EXPECT_TRUE(contains(aMeta, "\"is_deletion\":\"false\",\"type\":\"2\"}, \"version\":{"
                                "\"versionType\":\"2\",\"owner\":\"DEV\",\"workspace\":\"ws\"}}"))
        << aMeta;
    EXPECT_EQ(changes(), "\n");
    // A changed file replaces its inactive version; the base stays that of the first commit.
    write("acme/a.txt", "alpha 2");
    EXPECT_EQ(kivo({"commit", "--verbose", "--noInherit"}).itsOut,
              "Committed file: \"" + path("acme/a.txt") + "\"\nCommitted files              : 1\n");
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/a.txt", "alpha 2", 0)));
    EXPECT_EQ(inactive(), "acme.a.txt #1\nacme.sub.b.txt #1\n");
    EXPECT_EQ(repoProbe({"stored", "acme", "a", "txt"}), "616c7068612032\n");
}

TEST_F(Commit, AnActiveLocalVersionReplacesAnOlderInactiveOne) {
    activated("acme/a.txt", "one");
    write("acme/a.txt", "two");
    EXPECT_EQ(kivo({"commit"}).itsOut, "Committed files              : 1\n");
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/a.txt", "two", 1)));
    // Checked out in its active version again while the inactive version is still there: the
    // old inactive version is reverted before the new one is written on top of the active one.
    activeMeta("acme/a.txt");
    write("acme/a.txt", "three");
    const RunResult aThird = kivo({"commit", "--jsonRequest"});
    expectSays(aThird, "JSON request: RevertObjectsRequest");
    EXPECT_LT(aThird.itsOut.find("RevertObjectsRequest"), aThird.itsOut.find("WriteObjectRequest"));
    EXPECT_EQ(inactive(), "acme.a.txt #2\n");
    EXPECT_EQ(repoProbe({"stored", "acme", "a", "txt"}), "7468726565\n");
    EXPECT_TRUE(contains(statusText(), statusEntry("acme/a.txt", "three", 1)));
}

TEST_F(Commit, DeletedFilesRevertNewObjectsAndDeleteActivatedOnes) {
    activated("acme/gone.txt", "g");
    write("acme/new.txt", "n");
    expectOk(kivo({"commit"}));
    // new.txt was never activated: deleting it drops its inactive version.
    fs::remove(path("acme/new.txt"));
    EXPECT_EQ(kivo({"commit", "-v"}).itsOut,
              "There is no active version. Reverted inactive object: \"" + path("acme/new.txt") +
                  "\"\nReverted objects             : 1\n");
    EXPECT_FALSE(fs::exists(metaFile("acme/new.txt")) || contains(statusText(), "acme/new.txt"));
    EXPECT_EQ(inactive(), "");
    // gone.txt is active: its deletion becomes an inactive deletion.
    fs::remove(path("acme/gone.txt"));
    EXPECT_EQ(kivo({"commit", "-v", "--trace"}).itsOut,
              "Committed file deletion: \"" + path("acme/gone.txt") +
                  "\"\nCommitted files              : 1\n");
    const std::string aMeta = meta("acme/gone.txt");
    EXPECT_TRUE(contains(aMeta, "\"version_id\":\"2\",\"last_changed_at\"") &&
                contains(aMeta, "\"is_deletion\":\"true\""))
        << aMeta;
    EXPECT_FALSE(contains(statusText(), "acme/gone.txt"));
    EXPECT_EQ(inactive(), "acme.gone.txt #2 deletion\n");
    EXPECT_TRUE(
        contains(readText(settings() / "logs/commands.trace"), "Committed file deletion: \""));
}

// A "properties" text goes as UTF-8 CDATA, unchanged once the repository calls its type binary.
TEST_F(Commit, BinaryTypesTravelAsBinaryData) {
    write("acme/i.png", std::string("\x89PNG\0\xe9", 6));
    write("acme/t.properties", "\xe9");
    expectOk(kivo({"commit"}));
    EXPECT_EQ(repoProbe({"stored", "acme", "i", "png"}), "89504e4700e9\n");
    EXPECT_EQ(repoProbe({"stored", "acme", "t", "properties"}), "c3a9\n");
    expectOk(target().sql("UPDATE object_types SET is_file_type = '1', use_cdata = '0', "
                          "use_bdata = '1' WHERE object_type = 'properties'"));
    write("acme/t.properties", "\xe9\xe9");
    expectOk(kivo({"commit"}));
    EXPECT_EQ(repoProbe({"stored", "acme", "t", "properties"}), "e9e9\n");
}

TEST(CommitConflicts, ConflictedFilesStopTheCommitBeforeAnyRequest) {
    WorkspaceTree aWs;
    aWs.track("acme");
    aWs.file("acme/c.txt", "c");
    aWs.conflict("acme/c.txt");
    aWs.file("acme/n.txt", "new", false);
    aWs.save();
    const std::string aStatus = readText(aWs.settings() / ".kivoStatus");
    const RunResult aResult = aWs.kivo({"commit", "--jsonRequest"});
    RepositoryWorkspace::expectError(aResult, "Commit failed. At least one of the files to be "
                                              "committed is conflicted.\n\n" +
                                                  kResolutionCalls + "\n");
    EXPECT_EQ(aResult.itsOut, "");
    EXPECT_EQ(readText(aWs.settings() / ".kivoStatus"), aStatus);
    EXPECT_FALSE(fs::exists(aWs.settings() / ".lock"));
    // Outside the conflicted object's scope the commit goes on.
    EXPECT_EQ(aWs.kivo({"commit", "package", "other"}).itsOut, "Nothing to commit.\n");
}
