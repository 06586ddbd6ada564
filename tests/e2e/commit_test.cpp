// `kivo commit` against the repository: new, modified and deleted files, packages made
// for new directories, binary contents and the refusal of conflicted files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/e2e/workspacetree.hpp"
#include "tests/support/process.hpp"
#include "workspace/filestat.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// A repository with the user dev and a workspace "ws" on it that tracks acme.
class CommitWorkspace : public RepositoryWorkspace {
public:
    CommitWorkspace() : RepositoryWorkspace(false, true) {}

    std::string meta(const std::string& theRelative) const {
        return (settings() / "SYS" / (theRelative + ".kivoMeta")).string();
    }
    // Runs the repository probe in the workspace as dev.
    std::string probe(const std::vector<std::string>& theArgs) const { return repoProbe(theArgs); }
};

const std::string kConflictMessage =
    "Commit failed. At least one of the files to be committed is conflicted.\n\nCall:\n\t* "
    "\"kivo resolve --local|--base|--remote|--mergetool|-m\" for\n\t  (non-)interactive "
    "conflict resolution, or\n\t* \"kivo push --local|--base|--remote|--mergetool|-m\", or\n\t* "
    "\"kivo checkout --force|-f\" to overwrite your local changes.\n";

} // namespace

TEST(Commit, NothingToCommitSendsNoRequest) {
    CommitWorkspace aWs;
    auto aResult = aWs.kivo({"commit", "--jsonRequest"});
    EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
    EXPECT_EQ(aResult.itsOut, "Nothing to commit.\n");
}

TEST(Commit, NewFilesCreateTheirPackagesAndModifiedFilesKeepTheirBase) {
    CommitWorkspace aWs;
    aWs.write("acme/a.txt", "alpha");
    aWs.write("acme/sub/b.txt", "beta");
    // Past the clock tick of the writes: the commit then records the files' stat data as proof.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto aFirst = aWs.kivo({"commit", "-v"});
    EXPECT_EQ(aFirst.itsExitCode, 0) << aFirst.itsErr;
    EXPECT_EQ(aFirst.itsOut, "Created package: acme\nCreated package: acme.sub\n"
                             "Committed file: \"" +
                                 aWs.path("acme/a.txt") + "\"\nCommitted file: \"" +
                                 aWs.path("acme/sub/b.txt") +
                                 "\"\nCreated packages             : 2\n"
                                 "Committed files              : 2\n");
    for (const auto& [aFile, aContent] :
         {std::pair{"acme/a.txt", "alpha"}, {"acme/sub/b.txt", "beta"}})
        EXPECT_TRUE(contains(aWs.statusText(),
                             aWs.statusEntry(aFile, aContent, 0) + ",\"filestat\":\"" +
                                 RepositoryAccess::filestat::toText(
                                     *RepositoryAccess::filestat::ofPath(aWs.path(aFile))) +
                                 "\"}"))
            << aWs.statusText();
    const std::string aMeta = readText(aWs.meta("acme/a.txt"));
    EXPECT_TRUE(aMeta.starts_with("{\"metadata\":{\"edit\":\"true\",\"version_id\":\"1\","))
        << aMeta;
    EXPECT_TRUE(contains(aMeta, "\"is_deletion\":\"false\",\"type\":\"2\"}, \"version\":{"
                                "\"versionType\":\"2\",\"owner\":\"DEV\",\"workspace\":\"ws\"}}"))
        << aMeta;
    EXPECT_EQ(aWs.changes(), "\n");
    EXPECT_EQ(aWs.probe({"list"}), "acme.a.txt #1\nacme.sub.b.txt #1\n");

    // A changed file replaces its inactive version; the base stays that of the first commit.
    aWs.write("acme/a.txt", "alpha 2");
    auto aSecond = aWs.kivo({"commit", "--verbose", "--noInherit"});
    EXPECT_EQ(aSecond.itsOut, "Committed file: \"" + aWs.path("acme/a.txt") +
                                  "\"\nCommitted files              : 1\n");
    EXPECT_TRUE(contains(aWs.statusText(), aWs.statusEntry("acme/a.txt", "alpha 2", 0)));
    EXPECT_EQ(aWs.probe({"list"}), "acme.a.txt #1\nacme.sub.b.txt #1\n");
    EXPECT_EQ(aWs.probe({"stored", "acme", "a", "txt"}), "616c7068612032\n");
    EXPECT_EQ(aWs.changes(), "\n");
}

TEST(Commit, AnActiveLocalVersionReplacesAnOlderInactiveOne) {
    CommitWorkspace aWs;
    aWs.write("acme/a.txt", "one");
    CommitWorkspace::expectOk(aWs.kivo({"commit"}));
    EXPECT_EQ(aWs.probe({"activate"}), "activation 0\n");
    // The file as a checkout of the active version leaves it.
    const std::string anActive =
        "{\"metadata\":{\"edit\":\"true\",\"version_id\":\"1\",\"activated_at\":\"t\","
        "\"activated_by\":\"DEV\",\"object_status\":\"0\",\"change_number\":\"\","
        "\"released_at\":\"\",\"type\":\"1\"}, \"version\":{\"versionType\":\"1\"}}";
    writeText(aWs.meta("acme/a.txt"), anActive);
    aWs.write("acme/a.txt", "two");
    auto aSecond = aWs.kivo({"commit"});
    EXPECT_EQ(aSecond.itsOut, "Committed files              : 1\n") << aSecond.itsErr;
    EXPECT_TRUE(contains(aWs.statusText(), aWs.statusEntry("acme/a.txt", "two", 1)));

    // Checked out in its active version again while the inactive version is still there: the
    // old inactive version is reverted before the new one is written on top of the active one.
    writeText(aWs.meta("acme/a.txt"), anActive);
    aWs.write("acme/a.txt", "three");
    auto aThird = aWs.kivo({"commit", "--jsonRequest"});
    EXPECT_TRUE(contains(aThird.itsOut, "JSON request: RevertObjectsRequest")) << aThird.itsOut;
    EXPECT_LT(aThird.itsOut.find("RevertObjectsRequest"), aThird.itsOut.find("WriteObjectRequest"));
    EXPECT_EQ(aWs.probe({"list"}), "acme.a.txt #2\n");
    EXPECT_EQ(aWs.probe({"stored", "acme", "a", "txt"}), "7468726565\n");
    EXPECT_TRUE(contains(aWs.statusText(), aWs.statusEntry("acme/a.txt", "three", 1)));
}

TEST(Commit, DeletedFilesRevertNewObjectsAndDeleteActivatedOnes) {
    CommitWorkspace aWs;
    aWs.write("acme/kept.txt", "k");
    aWs.write("acme/gone.txt", "g");
    CommitWorkspace::expectOk(aWs.kivo({"commit"}));
    EXPECT_EQ(aWs.probe({"activate"}), "activation 0\n");
    aWs.write("acme/new.txt", "n");
    CommitWorkspace::expectOk(aWs.kivo({"commit"}));

    // new.txt was never activated: deleting it drops its inactive version.
    fs::remove(aWs.path("acme/new.txt"));
    auto aRevert = aWs.kivo({"commit", "-v"});
    EXPECT_EQ(aRevert.itsOut, "There is no active version. Reverted inactive object: \"" +
                                  aWs.path("acme/new.txt") +
                                  "\"\nReverted objects             : 1\n")
        << aRevert.itsErr;
    EXPECT_FALSE(fs::exists(aWs.meta("acme/new.txt")));
    EXPECT_FALSE(contains(aWs.statusText(), "acme/new.txt"));
    EXPECT_EQ(aWs.probe({"list"}), "");

    // gone.txt is active: its deletion becomes an inactive deletion. Its local metadata says
    // active, as a checkout after the activation leaves it.
    writeText(aWs.meta("acme/gone.txt"),
              "{\"metadata\":{\"edit\":\"true\",\"version_id\":\"1\",\"activated_at\":\"t\","
              "\"activated_by\":\"DEV\",\"object_status\":\"0\",\"change_number\":\"\","
              "\"released_at\":\"\",\"type\":\"1\"}, \"version\":{\"versionType\":\"1\"}}");
    fs::remove(aWs.path("acme/gone.txt"));
    auto aDelete = aWs.kivo({"commit", "-v", "--trace"});
    EXPECT_EQ(aDelete.itsOut, "Committed file deletion: \"" + aWs.path("acme/gone.txt") +
                                  "\"\nCommitted files              : 1\n")
        << aDelete.itsErr;
    EXPECT_TRUE(
        contains(readText(aWs.meta("acme/gone.txt")), "\"version_id\":\"2\",\"last_changed_at\""));
    EXPECT_TRUE(contains(readText(aWs.meta("acme/gone.txt")), "\"is_deletion\":\"true\""));
    EXPECT_FALSE(contains(aWs.statusText(), "acme/gone.txt"));
    EXPECT_EQ(aWs.probe({"list"}), "acme.gone.txt #2 deletion\n");
    EXPECT_TRUE(contains(readText(aWs.root() / "._SYS_KIVO_settings/logs/commands.trace"),
                         "Committed file deletion: \""));
    EXPECT_EQ(aWs.changes(), "\n");
}

TEST(Commit, BinaryTypesTravelAsBinaryData) {
    CommitWorkspace aWs;
    const std::string anImage("\x89PNG\0\xe9", 6);
    aWs.write("acme/i.png", anImage);
    aWs.write("acme/t.properties", "\xe9");
    CommitWorkspace::expectOk(aWs.kivo({"commit"}));
    EXPECT_EQ(aWs.probe({"stored", "acme", "i", "png"}), "89504e4700e9\n");
    // Text of a "properties" object is Latin-1 and arrives as UTF-8 when sent as CDATA ...
    EXPECT_EQ(aWs.probe({"stored", "acme", "t", "properties"}), "c3a9\n");
    // ... but unchanged once the repository calls the type a binary file type.
    const RunResult aBinary =
        aWs.target().sql("UPDATE object_types SET is_file_type = '1', use_cdata = '0', "
                         "use_bdata = '1' WHERE object_type = 'properties'");
    ASSERT_EQ(aBinary.itsExitCode, 0) << aBinary.itsErr;
    aWs.write("acme/t.properties", "\xe9\xe9");
    CommitWorkspace::expectOk(aWs.kivo({"commit"}));
    EXPECT_EQ(aWs.probe({"stored", "acme", "t", "properties"}), "e9e9\n");
}

TEST(Commit, ConflictedFilesStopTheCommitBeforeAnyRequest) {
    WorkspaceTree aWs;
    aWs.track("acme");
    aWs.file("acme/c.txt", "c");
    aWs.conflict("acme/c.txt");
    aWs.file("acme/n.txt", "new", false);
    aWs.save();
    const std::string aStatus = readText(aWs.settings() / ".kivoStatus");
    auto aResult = aWs.kivo({"commit", "--jsonRequest"});
    EXPECT_EQ(aResult.itsExitCode, 1);
    EXPECT_EQ(aResult.itsErr, kConflictMessage + "\n");
    EXPECT_EQ(aResult.itsOut, "");
    EXPECT_EQ(readText(aWs.settings() / ".kivoStatus"), aStatus);
    EXPECT_FALSE(fs::exists(aWs.settings() / ".lock"));

    // Outside the conflicted object's scope the commit goes on.
    auto anEmpty = aWs.kivo({"commit", "package", "other"});
    EXPECT_EQ(anEmpty.itsOut, "Nothing to commit.\n") << anEmpty.itsErr;
}
