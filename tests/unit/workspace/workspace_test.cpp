#include "workspace/workspace.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "core/console.hpp"
#include "core/json.hpp"
#include "core/recordfields.hpp"
#include "tests/support/objectmeta.hpp"
#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspacefile.hpp"

namespace workspace = RepositoryAccess::workspace;
namespace params = RepositoryAccess::params;
namespace sys = RepositoryAccess::sys;
using kivotest::readText;
using kivotest::writeText;
using wstest::messageOf;
using wstest::treeOf;
namespace fs = std::filesystem;
namespace objects = RepositoryAccess::objects;
namespace json = RepositoryAccess::json;
using RepositoryAccess::ObjectMetaData;
using RepositoryAccess::RepositoryObject;
using RepositoryAccess::testsupport::meta;

namespace {

using WorkSpaceFinding = wstest::WorkSpaceTest;
using WorkSpaceLock = wstest::WorkSpaceTest;
using PackageNames = wstest::WorkSpaceTest;
using WorkSpaceCreation = wstest::WorkSpaceTest;
using Objects = wstest::WorkSpaceTest;

const std::string theLockMessageTail =
    ").\nNow, you can either:\n\t* remove the lock (delete the file .lock in the directory "
    "._SYS_KIVO_settings of the workspace), or\n\t* set the environment variable "
    "\"KIVO_IGNORE_LOCKFILE\" to \"1\".";

// The parsed JSON text theText, in theAllocator.
json::JsonObject parsed(const std::string& theText, json::JsonAllocator& theAllocator) {
    json::JsonObject anObject;
    if (!json::jsonParse(theText.data(), theText.size(), anObject, theAllocator))
        throw std::runtime_error("test JSON does not parse");
    return anObject;
}

// The object of one repository response element given as JSON text.
RepositoryObject fromJsonText(const std::string& theText) {
    json::JsonAllocator anAllocator;
    return objects::fromJson(parsed(theText, anAllocator));
}

} // namespace

TEST_F(WorkSpaceFinding, OutermostSettingsFolderWinsAndNamesTheWorkSpace) {
    fs::create_directories(dir() / "r/ws/._SYS_KIVO_settings");
    fs::create_directories(dir() / "r/ws/sub/inner/._SYS_KIVO_settings");
    const std::string anInner = (dir() / "r/ws/sub/inner").string();
    EXPECT_EQ(workspace::determineRootDirName(anInner), (dir() / "r").string());
    EXPECT_EQ(workspace::determineWorkSpaceName((dir() / "r").string(), anInner), "ws");
    EXPECT_EQ(workspace::determineWorkSpaceName((dir() / "r").string(), (dir() / "r/ws").string()),
              "ws");
    // Outside any workspace, and a current directory beside the root's children.
    EXPECT_EQ(workspace::determineRootDirName(dir().string()), "");
    EXPECT_EQ(workspace::determineWorkSpaceName((dir() / "r").string(), (dir() / "rx/ws").string()),
              "");
    // Characters with a meaning in patterns are plain text in the root.
    EXPECT_EQ(workspace::determineWorkSpaceName("/x/a+b(c)", "/x/a+b(c)/ws/d"), "ws");
}

// Missing conflict folders are made again on open.
TEST_F(WorkSpaceFinding, KivoRootAndWorkSpaceParameterAndOpenFailures) {
    const fs::path aWs = makeWorkSpace("ws");
    fs::remove(aWs / "._SYS_KIVO_settings/diff");
    fs::remove(aWs / "._SYS_KIVO_settings/logs");
    fs::create_directories(aWs / "a/b");
    fs::current_path(aWs / "a/b");
    const wstest::ScopedEnv anEnv{{"KIVO_ROOT", dir().c_str()}};
    ASSERT_TRUE(workspace::open(false));
    EXPECT_EQ(workspace::get()->workSpaceName(), "ws");
    EXPECT_EQ(workspace::get()->rootDirName(), dir().string());
    EXPECT_EQ(workspace::get()->srcDirName(), aWs.string());
    EXPECT_FALSE(fs::exists(aWs / "._SYS_KIVO_settings/.lock"));
    EXPECT_TRUE(fs::is_directory(aWs / "._SYS_KIVO_settings/diff"));
    EXPECT_TRUE(fs::is_directory(aWs / "._SYS_KIVO_settings/logs"));

    // A named workspace that does not exist, and one without settings folder: not open after.
    fs::create_directory(dir() / "plain");
    for (const auto& [aName, aMissing] :
         {std::pair{"ghost", "The workspace directory \"" + (dir() / "ghost").string()},
          {"plain",
           "The settings directory \"" + (dir() / "plain/._SYS_KIVO_settings").string()}}) {
        workspace::reset();
        setParameter(params::workSpace, aName);
        EXPECT_EQ(messageOf([] { workspace::open(true); }),
                  "Invalid kivo workspace:\n" + aMissing + "\" does not exist.");
        EXPECT_FALSE(workspace::isOpen());
    }
}

TEST_F(WorkSpaceLock, ForeignSameAndIgnoredLocks) {
    const fs::path aWs = makeWorkSpace("ws");
    const fs::path aLock = aWs / "._SYS_KIVO_settings/.lock";
    fs::current_path(aWs);
    // A lock of another process: refused with its content, and left in place by unlock.
    writeText(aLock, "name: kivo, id: 1");
    EXPECT_EQ(messageOf([] { workspace::open(true); }),
              "Workspace already locked by other process (name: kivo, id: 1" + theLockMessageTail);
    workspace::unlock();
    EXPECT_EQ(readText(aLock), "name: kivo, id: 1");

    // ignoreLockFile skips the check, and with no lock present also the writing.
    setParameter(params::ignoreLockFile);
    EXPECT_EQ(messageOf([] { workspace::lock(); }), "no error");
    fs::remove(aLock);
    workspace::lock();
    EXPECT_FALSE(fs::exists(aLock));
    unsetParameter(params::ignoreLockFile);

    // Our own lock: written without line end, accepted again, removed by unlock.
    workspace::lock();
    EXPECT_EQ(readText(aLock), *sys::processIdentity());
    EXPECT_EQ(messageOf([] { workspace::open(true); }), "no error");
    workspace::unlock();
    EXPECT_FALSE(fs::exists(aLock));
}

TEST_F(WorkSpaceLock, RacingProcessesNeverShareTheLock) {
    const fs::path aWs = makeWorkSpace("ws");
    fs::current_path(aWs);
    int aGate[2]; // closed by the parent: opens the gate for all children at once
    ASSERT_EQ(::pipe(aGate), 0);
    std::vector<pid_t> aPids(12);
    for (pid_t& aPid : aPids) {
        aPid = ::fork();
        ASSERT_GE(aPid, 0);
        if (aPid == 0) { // waits for the gate, then tries once: exits 0 when it got the lock
            ::close(aGate[1]);
            char aByte;
            while (::read(aGate[0], &aByte, 1) < 0) {
            }
            workspace::reset();
            const std::string aMessage = messageOf([] { workspace::open(true); });
            ::_exit(aMessage == "no error"                             ? 0
                    : aMessage.starts_with("Workspace already locked") ? 1
                                                                       : 2);
        }
    }
    ::close(aGate[0]);
    ::close(aGate[1]);
    std::vector<pid_t> aWinners;
    for (pid_t aPid : aPids) {
        int aStatus = 0;
        ASSERT_EQ(::waitpid(aPid, &aStatus, 0), aPid);
        ASSERT_TRUE(WIFEXITED(aStatus) && WEXITSTATUS(aStatus) <= 1) << aStatus;
        if (WEXITSTATUS(aStatus) == 0)
            aWinners.push_back(aPid);
    }
    ASSERT_EQ(aWinners.size(), 1u);
    const std::string aContent = readText(aWs / "._SYS_KIVO_settings/.lock");
    EXPECT_TRUE(aContent.ends_with("id: " + std::to_string(aWinners[0]))) << aContent;
}

TEST_F(PackageNames, ArgumentsInsideAndOutsideTheWorkSpace) {
    // No workspace: relative paths give the empty package, absolute ones fail.
    EXPECT_EQ(workspace::normalizePackage("a/b"), "");
    EXPECT_EQ(messageOf([] { workspace::normalizePackage("/x/y"); }),
              "Not in a workspace. Cannot resolve absolute file system path: \"/x/y\"");

    const fs::path aWs = makeWorkSpace("ws");
    fs::create_directories(aWs / "a/b.c/d");
    fs::current_path(aWs / "a");
    ASSERT_TRUE(workspace::open(false));
    EXPECT_EQ(workspace::normalizePackage((aWs / "a/b.c/d").string()), "a.\"b.c\".d");
    for (const auto& [anArgument, aPackage] : {std::pair{"b.c/d/", "a.\"b.c\".d"},
                                               {"b.c\\d", "a.\"b.c\".d"},
                                               {"./", "a"},
                                               {"../", ""},
                                               {".hidden/x/", "a.\".hidden\".x"},
                                               {"a.b.c", "a.b.c"},
                                               {".a", "\".a\""}})
        EXPECT_EQ(workspace::normalizePackage(anArgument), aPackage) << anArgument;
    EXPECT_EQ(messageOf([] { workspace::normalizePackage("../../x"); }),
              "Failed to normalize package: \"../../x\"");
    EXPECT_EQ(messageOf([&] { workspace::normalizePackage((dir() / "other").string()); }),
              "Failed to normalize package: \"" + (dir() / "other").string() + "\"");
    EXPECT_EQ(workspace::packageOfFile((aWs / "a/b.c/d/x.txt").string()), "a.\"b.c\".d");
    EXPECT_EQ(workspace::packageOfFile("x.txt"), "a");

    // For objects and histories the `package` parameter is taken as given.
    setParameter(params::what, "Objects");
    setParameter(params::package, "p.q");
    EXPECT_EQ(workspace::normalizePackage("a/b"), "p.q");
}

// The directories of packages and the other refusals: ObjectNames tests.
TEST_F(PackageNames, AnEmptySuperPackageIsRefused) {
    for (const std::string anEmpty : {"a..b", ".b"})
        EXPECT_EQ(messageOf([&] { workspace::packageToDirectory(anEmpty); }),
                  "Empty super package for sub package \"" + anEmpty +
                      "\". Use double quotes to enclose dot-separated package names.");
}

// With a key the configuration keeps no host, user or database (without: CreateWorkspace, e2e).
TEST_F(WorkSpaceCreation, CreateWritesTheLayoutAndRollbackLeavesNothing) {
    setParameter(params::workSpace, "orders");
    setParameter(params::hostName, "db.example.com:5432");
    setParameter(params::userName, "DEV");
    setParameter(params::database, "orders_db");
    setParameter(params::key, "ORDERSKEY");
    workspace::create();
    const fs::path aWs = dir() / "orders";
    EXPECT_EQ(treeOf(aWs),
              (std::vector<std::string>{"._SYS_KIVO_settings/", "._SYS_KIVO_settings/.kivoConfig",
                                        "._SYS_KIVO_settings/.kivoStatus",
                                        "._SYS_KIVO_settings/SYS/", "._SYS_KIVO_settings/base/",
                                        "._SYS_KIVO_settings/diff/", "._SYS_KIVO_settings/logs/"}));
    EXPECT_TRUE(kivotest::contains(readText(aWs / "._SYS_KIVO_settings/.kivoConfig"),
                                   "\"hostname\":\"\",\n\"user\":\"\",\n\"database\":\"\",\n"
                                   "\"key\":\"ORDERSKEY\""));
    EXPECT_EQ(readText(aWs / "._SYS_KIVO_settings/.kivoStatus"),
              "{\n\"name\":\"orders\",\n\"filenames\":[],\n\"conflicts\":[]\n}\n");
    workspace::finish(true);
    EXPECT_FALSE(fs::exists(aWs));

    // A directory that existed before stays, emptied of what the creation made.
    workspace::reset();
    fs::create_directory(dir() / "kept");
    setParameter(params::workSpace, (dir() / "kept").string());
    workspace::create();
    writeText(dir() / "kept/._SYS_KIVO_settings/logs/activation.log", "x");
    workspace::finish(true);
    EXPECT_EQ(treeOf(dir() / "kept"),
              (std::vector<std::string>{"._SYS_KIVO_settings/", "._SYS_KIVO_settings/logs/",
                                        "._SYS_KIVO_settings/logs/activation.log"}));
    EXPECT_EQ(RepositoryAccess::exitstatus::get(), 0);

    // A simulated creation leaves the disk untouched.
    workspace::reset();
    setParameter(params::simulate);
    setParameter(params::workSpace, "sim");
    workspace::create();
    workspace::finish(false);
    EXPECT_FALSE(fs::exists(dir() / "sim"));
    EXPECT_TRUE(kivotest::contains(takeOutput(),
                                   "Simulation: File system write operation: Write "
                                   "file (append: false) \"" +
                                       (dir() / "sim/._SYS_KIVO_settings/.kivoConfig").string()));
}

TEST_F(WorkSpaceCreation, ExistingWorkSpaceAndMissingDirectoryAreRefused) {
    const fs::path aWs = makeWorkSpace("ws");
    const std::string aConfig = readText(aWs / "._SYS_KIVO_settings/.kivoConfig");
    const auto aTree = treeOf(aWs);
    setParameter(params::workSpace, aWs.string());
    EXPECT_EQ(messageOf([] { workspace::create(); }),
              "Workspace already exists (the settings folder \"" +
                  (aWs / "._SYS_KIVO_settings").string() + "\" already exists).");
    workspace::finish(true);
    EXPECT_EQ(treeOf(aWs), aTree);
    EXPECT_EQ(readText(aWs / "._SYS_KIVO_settings/.kivoConfig"), aConfig);

    workspace::reset();
    unsetParameter(params::workSpace);
    EXPECT_EQ(messageOf([] { workspace::create(); }),
              "Workspace directory not specified. Use \".\" for the current directory.");
    // Advanced mode takes the current directory.
    workspace::reset();
    const wstest::ScopedEnv anEnv{{"KIVO_ADVANCED", "yes"}};
    fs::create_directory(dir() / "here");
    fs::current_path(dir() / "here");
    workspace::create();
    EXPECT_TRUE(fs::is_directory(dir() / "here/._SYS_KIVO_settings"));
}

// The lock's release and the command log: WorkSpaceExit, end to end.
TEST_F(WorkSpaceCreation, ExitWritesOnlyModifiedSettings) {
    const fs::path aSettings = dir() / "ws/._SYS_KIVO_settings";
    const std::string aStatus = "{\"name\":\"ws\", \"filenames\":[], \"conflicts\":[]}";
    openWorkSpace(true);
    writeText(aSettings / ".kivoStatus", aStatus);
    workspace::config().trackPackage("acme");
    workspace::finish(false);
    EXPECT_TRUE(
        kivotest::contains(readText(aSettings / ".kivoConfig"), "\"trackedPackages\":[\"acme\"]"));
    // The status file was not modified: its text stays as it was.
    EXPECT_EQ(readText(aSettings / ".kivoStatus"), aStatus);
}

TEST_F(WorkSpaceCreation, JournalAnnouncesEachObjectOnceAndARepositoryRepairOutweighs) {
    using RepositoryAccess::JournalEntry;
    constexpr auto aRepository = JournalEntry::Repair::repository;
    constexpr auto aCheckout = JournalEntry::Repair::checkout;
    const fs::path aJournal = openWorkSpace(true) / "._SYS_KIVO_settings" / ".kivoJournal";
    RepositoryAccess::WorkSpace& aWorkSpace = *workspace::get();
    auto aRecorded = [&] {
        std::vector<std::string> aLines;
        for (const JournalEntry& anEntry : RepositoryAccess::journal::read(aJournal.string()))
            aLines.push_back(anEntry.itsPackage + "/" + anEntry.itsName + "." + anEntry.itsSuffix +
                             (anEntry.itsRepair == aRepository ? " repository" : " checkout"));
        return aLines;
    };
    aWorkSpace.recordJournal({{"p", "a", "txt", aRepository}, {"p", "b", "txt", aCheckout}});
    // A push's activation announces what its commit did: the journal is not written again.
    const auto aWritten = fs::last_write_time(aJournal);
    aWorkSpace.recordJournal({{"p", "a", "txt", aRepository}, {"p", "a", "txt", aCheckout}});
    EXPECT_EQ(fs::last_write_time(aJournal), aWritten);
    // Name and suffix split elsewhere name another object; a repository repair of an object
    // announced for checkout is added.
    aWorkSpace.recordJournal({{"p", "b", "txt", aRepository}, {"p", "bt", "xt", aCheckout}});
    EXPECT_EQ(aRecorded(), (std::vector<std::string>{"p/a.txt repository", "p/b.txt checkout",
                                                     "p/b.txt repository", "p/bt.xt checkout"}));
    // An unfinished run keeps its journal.
    workspace::finish(false);
    EXPECT_TRUE(fs::exists(aJournal));
}

TEST_F(Objects, FileNamesSplitAndSubPackages) {
    using Split = std::pair<std::string, std::string>;
    EXPECT_EQ(objects::splitFileName("a", "Order.view.backup"), (Split{"Order.view", "backup"}));
    EXPECT_EQ(objects::splitFileName("a", "README"), (Split{"README", ""}));
    EXPECT_EQ(objects::splitFileName("a", ".kivoignore"), (Split{"", "kivoignore"}));
    EXPECT_EQ(objects::splitFileName("a", "trailing."), (Split{"trailing.", ""}));
    for (const std::string aName : {"a|b.txt", "x:y"})
        EXPECT_EQ(messageOf([&] { objects::splitFileName("a/b", aName); }),
                  "File: \"a/b/" + aName + "\" does not represent a valid repository object.");
    EXPECT_TRUE(objects::isSubPackage("acme.orders", "acme"));
    for (const auto& [aSub, aSuper] : {std::pair{"acme.orders", "acme.orders"},
                                       {"acmex.orders", "acme"},
                                       {"a.bc", "a.b"},
                                       {"acme", "acme.orders"}})
        EXPECT_FALSE(objects::isSubPackage(aSub, aSuper)) << aSub << " " << aSuper;
}

TEST_F(Objects, PathsOfQuotedPackagesAndWorkSpaceFiles) {
    // Without an open workspace the paths are relative, the conflict copies included.
    const RepositoryObject aLoose("a.b", "x", "");
    EXPECT_EQ(aLoose.workSpaceFileName(), "a/b/x");
    EXPECT_EQ(aLoose.metaDataFileName(), "SYS/a/b/x.kivoMeta");
    EXPECT_EQ(aLoose.diffFileName(), "diff/a/b/x");
    EXPECT_EQ(aLoose.baseFileName(), "base/a/b/x");

    const fs::path aWs = openWorkSpace();
    const std::string aSettings = (aWs / "._SYS_KIVO_settings").string();
    RepositoryObject anObject("a.\"b.c\"", "x", "txt");
    EXPECT_EQ(anObject.key(), "a.\"b.c\".x.txt");
    EXPECT_EQ(anObject.workSpaceFileName(), (aWs / "a/b.c/x.txt").string());
    EXPECT_EQ(anObject.metaDataFileName(), aSettings + "/SYS/a/b.c/x.txt.kivoMeta");
    EXPECT_EQ(anObject.diffFileName(), aSettings + "/diff/a/b.c/x.txt");
    EXPECT_EQ(anObject.baseFileName(), aSettings + "/base/a/b.c/x.txt");
    EXPECT_EQ(anObject.toJson(),
              "{\"package\":\"a.\\\"b.c\\\"\",\"name\":\"x\",\"suffix\":\"txt\"}");
    EXPECT_EQ(RepositoryObject("p", "SYS", "").diffFileName(), aSettings + "/diff/p/SYS");

    // A workspace file with its metadata copy (the file's content: MetaFilesAndRepositoryElements);
    // one without stays at type 0.
    anObject.setMetaData(meta(2, 42));
    anObject.setVersion({2, "DEV", "", 42});
    objects::writeMetaFile(anObject);
    const auto aRead = objects::object_name_to_object_id((aWs / "a/b.c/x.txt").string());
    EXPECT_EQ(aRead.package(), "a.\"b.c\"");
    EXPECT_EQ(aRead.metaData().itsVersionId, 42);
    EXPECT_EQ(aRead.version().itsOwner, "DEV");
    EXPECT_EQ(objects::fromWorkSpaceFile((aWs / "a/y.txt").string()).metaData().itsType, 0);
}

TEST_F(Objects, FilesOfOneDirectoryShareAPackageUntilTheParametersChange) {
    const fs::path aWs = openWorkSpace();
    auto aPackageOf = [&](const std::string& theFile) {
        return objects::nameOfWorkSpaceFile((aWs / theFile).string()).package();
    };
    EXPECT_EQ(aPackageOf("a/b.c/x.txt"), "a.\"b.c\"");
    EXPECT_EQ(aPackageOf("a/b.c/y.txt"), "a.\"b.c\"");
    EXPECT_EQ(aPackageOf("a/x.txt"), "a");
    // An object command with a package names the package of every file, whatever its directory.
    setParameter(RepositoryAccess::params::what, "object");
    setParameter(RepositoryAccess::params::package, "other");
    EXPECT_EQ(aPackageOf("a/y.txt"), "other");
    unsetParameter(RepositoryAccess::params::package);
    EXPECT_EQ(aPackageOf("a/z.txt"), "a");
    // A relative path depends on the current directory.
    fs::create_directories(aWs / "a/d");
    fs::current_path(aWs / "a/d");
    EXPECT_EQ(objects::nameOfWorkSpaceFile("x.txt").package(), "a.d");
    fs::current_path(aWs / "a");
    EXPECT_EQ(objects::nameOfWorkSpaceFile("x.txt").package(), "a");
}

TEST_F(Objects, HostileNamesFromTheRepositoryAreRefused) {
    const fs::path aWs = openWorkSpace();
    // Both element forms go through the name checks (each refusal: ObjectNames tests).
    for (const char* anElement :
         {R"({"package":"a","name":"x","suffix":"t/../../z"})",
          R"({"object":{"package":"a.\"..\".\"..\"","name":"x","suffix":"t"}})",
          R"({"package":"\"/etc\"","name":"x","suffix":"t"})"}) {
        const std::string aMessage = messageOf([&] { fromJsonText(anElement); });
        EXPECT_TRUE(aMessage.starts_with("Invalid repository object") ||
                    aMessage.starts_with("Invalid package name"))
            << anElement << ": " << aMessage;
    }
    EXPECT_EQ(treeOf(aWs / "._SYS_KIVO_settings/SYS"), std::vector<std::string>{});
    // A dotted name is a plain file name.
    EXPECT_EQ(fromJsonText(R"({"package":"a","name":"..x","suffix":"t"})").workSpaceFileName(),
              (aWs / "a/..x.t").string());
}

// The active and inactive forms and the version forms travel in every request and are checked
// with them; the historical form is only written to metadata files.
TEST_F(Objects, MetaDataAndVersionJson) {
    ObjectMetaData aHistorical = meta(3, 0);
    aHistorical.itsActivatedBy = "A\"B";
    EXPECT_TRUE(objects::metaDataToJson(aHistorical).find(R"("activated_by":"A\"B")") !=
                std::string::npos);
    const RepositoryAccess::ObjectVersion aWrongType{4, "", "", 0};
    EXPECT_EQ(messageOf([&] { objects::versionToJson(aWrongType); }),
              "Invalid version type (must be active = 1, inactive = 2 or historical = 3): 4");
    EXPECT_EQ(messageOf([] { objects::metaDataToJson(ObjectMetaData{}); }),
              "Invalid meta data type (must be active = 1, inactive = 2 or historical = 3): 0");
    EXPECT_EQ(messageOf([] {
                  fromJsonText(
                      R"({"package":"a","name":"x","suffix":"t","version":{"versionType":"x"}})");
              }),
              "Invalid version type (must be active = 1, inactive = 2 or historical = 3): x");
}

// A metadata attribute added to the description is read from a response, written to the
// metadata file and printed, for the version types that carry it only.
TEST_F(Objects, AnAttributeAddedToTheMetaDataDescriptionTravels) {
    using namespace RepositoryAccess;
    const RecordDescription aGlobal = objectMetaDataFields();
    std::vector<RecordField> aFields(aGlobal.begin(), aGlobal.end());
    aFields.insert(aFields.begin() + 3, {"signed_by", "", "", "Signed by", FieldKind::text, false,
                                         0, false, "", 1u << 3, true});
    const std::string aCommon = R"({"version_id":"9","type":"3","activated_at":"t",)"
                                R"("activated_by":"u",)";
    json::JsonAllocator anAllocator;
    ObjectMetaData aRead = objects::metaDataFromJson(
        parsed(aCommon + R"("signed_by":"S","is_deletion":"true"})", anAllocator), aFields);
    EXPECT_EQ(objects::metaDataToJson(aRead, aFields),
              R"({"edit":"true","version_id":"9","activated_at":"t","activated_by":"u",)"
              R"("signed_by":"S","is_deletion":"true","object_status":"","change_number":"",)"
              R"("released_at":"","type":"3"})");
    RepositoryObject aPrinted("p", "n", "s");
    aPrinted.setMetaData(aRead);
    aPrinted.setVersion({3, {}, {}, 9});
    std::ostringstream aText;
    objects::printObject(aPrinted, aText, aFields);
    EXPECT_NE(aText.str().find("Last activated by       : u\n"
                               "Signed by               : S\n"
                               "Deletion                : true\n"),
              std::string::npos)
        << aText.str();
    // A required attribute missing from a response fails its read; another type leaves it out.
    EXPECT_NE(messageOf([&] {
                  objects::metaDataFromJson(
                      parsed(aCommon + R"("is_deletion":"true"})", anAllocator), aFields);
              }),
              "no error");
    aRead.itsType = 1;
    EXPECT_EQ(objects::metaDataToJson(aRead, aFields).find("signed_by"), std::string::npos);
}

TEST_F(Objects, MetaFilesAndRepositoryElements) {
    const fs::path aWs = openWorkSpace();
    RepositoryObject anObject = fromJsonText(
        R"({"object":{"package":"p","name":"n","suffix":"s"},)"
        R"("metadata":{"version_id":"9","type":"3","activated_at":"t","activated_by":"u",)"
        R"("is_deletion":"false"},"error":{"code":"40"}})");
    EXPECT_EQ(anObject.metaData().itsObjectStatus, "");
    EXPECT_EQ(anObject.error(), "{\"code\":\"40\"}");
    anObject.setVersion({3, "", "", 2});
    const std::string aContent = *objects::metaFileContent(anObject);
    EXPECT_TRUE(aContent.starts_with("{\"metadata\":{\"edit\":\"true\""));
    EXPECT_TRUE(aContent.ends_with("\"type\":\"3\"}, \"version\":{\"versionType\":\"3\","
                                   "\"versionNr\":\"2\"}}"));
    objects::writeMetaFile(anObject);
    EXPECT_EQ(readText(anObject.metaDataFileName()), aContent);
    const auto [aMetaData, aReadVersion] = objects::readMetaFile(anObject.metaDataFileName());
    EXPECT_EQ(aMetaData.itsVersionId, 9);
    EXPECT_EQ(aReadVersion.itsVersionNr, 2);
    writeText(anObject.metaDataFileName(), "{\"metadata\":");
    EXPECT_EQ(messageOf([&] { objects::readMetaFile(anObject.metaDataFileName()); }),
              "Failed to parse meta data file: " + anObject.metaDataFileName());
}
