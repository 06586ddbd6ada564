// Delivery units exported, imported and transported through the real binaries, byte for byte
// (archive contents and a unit's attributes: the engine's and the record descriptions' tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <list>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// The files of the tree, with contents that a careless transfer would change: non-ASCII text, a
// binary with NUL and CR LF bytes, JSON in a sub package.
const std::pair<std::string, std::string> kTree[] = {
    {"acme/a.txt", "gr\xc3\xbc\xc3\x9f"
                   "e\n"},
    {"acme/b.png", std::string("\x89PNG\0\r\n\x1a\n\0\xff", 11)},
    {"acme/sub/c.json", "{\"k\": [1, 2]}\n"}};

// dev's workspace "ws" with the packages acme and acme.sub holding the tree, assigned to the
// delivery unit DU1; target repositories that archives are imported into.
class DeliveryUnits : public WorkspaceTest<true, false> {
protected:
    DeliveryUnits() {
        expectOk(kivo({"create", "deliveryUnit", "DU1", "--caption=first"}));
        expectOk(kivo({"create", "package", "acme.sub"}));
        expectOk(kivo({"track", "acme"}));
        for (const auto& [aFile, aContent] : kTree)
            write(aFile, aContent);
        expectOk(kivo({"push"}));
        expectOk(kivo({"assign", "acme", "DU1"}));
    }

    // The delivery unit DU2 with the package thePackage (and theFile in it, pushed).
    void secondUnit(const std::string& thePackage, const std::string& theFile = "") const {
        expectOk(kivo({"create", "deliveryUnit", "DU2"}));
        expectOk(kivo({"create", "package", thePackage}));
        if (!theFile.empty()) {
            expectOk(kivo({"track", thePackage}));
            write(theFile, "zed");
            expectOk(kivo({"push"}));
        }
        expectOk(kivo({"assign", thePackage, "DU2"}));
    }
    // A new repository NAME with the user dev and the key NAME for it.
    const RepositoryTarget& makeTarget(const std::string& theName) {
        RepositoryTarget& aTarget = itsTargets.emplace_back(dir(), theName);
        aTarget.init();
        aTarget.addUser("dev", "pw");
        expectOk(
            runProgram("zevuserstore", {"SET", theName, aTarget.host(), "dev", "pw"}, options()));
        return aTarget;
    }
    RunResult outside(const std::vector<std::string>& theArgs) const {
        return kivoIn(dir(), theArgs);
    }
    std::string archive(const std::string& theName) const { return (dir() / theName).string(); }

    // Checks the tree out of the repository with key theKey into a new workspace theWorkSpace
    // and expects every file byte for byte.
    void expectTreeIn(const std::string& theKey, const std::string& theWorkSpace) const {
        makeWorkspace(theWorkSpace, theKey);
        expectOk(kivoIn(dir() / theWorkSpace, {"checkout", "acme/"}));
        for (const auto& [aFile, aContent] : kTree)
            EXPECT_EQ(readText(dir() / theWorkSpace / aFile), aContent) << aFile;
    }
    // The active objects of acme and its sub packages: key, version and content hash.
    std::string actives() const { return repoProbe({"actives", "acme"}); }

private:
    std::list<RepositoryTarget> itsTargets;
};

// The names in a folder.
std::vector<std::string> entries(const fs::path& theDir) {
    std::vector<std::string> aNames;
    for (const auto& anEntry : fs::directory_iterator(theDir))
        aNames.push_back(anEntry.path().filename().string());
    std::sort(aNames.begin(), aNames.end());
    return aNames;
}

// Expects one log file whose name starts with thePrefix in a workspace's logs folder, with thePart.
void expectLog(const fs::path& theSettings, const std::string& thePrefix,
               const std::string& thePart = "") {
    std::vector<std::string> aFiles;
    for (const std::string& aName : entries(theSettings / "logs"))
        if (aName.starts_with(thePrefix))
            aFiles.push_back(readText(theSettings / "logs" / aName));
    ASSERT_EQ(aFiles.size(), 1u) << thePrefix;
    EXPECT_TRUE(contains(aFiles[0], thePart)) << aFiles[0];
}

} // namespace

TEST_F(DeliveryUnits, ExportImportAndCheckoutKeepEveryByte) {
    auto anExpected = entries(dir());
    const auto anExport = kivo({"export", "DU1", archive("du1.tgz")});
    const std::string aFile = "\n--> File                : " + archive("du1.tgz") + " (" +
                              std::to_string(fs::file_size(archive("du1.tgz"))) + " bytes)\n";
    EXPECT_EQ(anExport.itsOut, aFile +
                                   "Delivery Unit           : DU1\n"
                                   "Vendor                  : example.com\nExport successful.\n");
    // The archive is all that the export wrote: a gzip-compressed tar archive with the manifest
    // and a member for each object.
    anExpected.push_back("du1.tgz");
    std::sort(anExpected.begin(), anExpected.end());
    EXPECT_EQ(entries(dir()), anExpected);
    const RunResult aMembers = runProgram("/usr/bin/tar", {"-tzf", archive("du1.tgz")});
    EXPECT_TRUE(contains(aMembers.itsOut, "manifest.json\n")) << aMembers.itsErr;
    EXPECT_EQ(countOf("\n" + aMembers.itsOut, "\nobjects/"), 3u) << aMembers.itsOut;

    makeTarget("T1");
    const auto anImport = outside({"import", archive("du1.tgz"), "--key=T1"});
    expectSays(anImport, aFile + "Workspace               : \nForce Remove            : 1\n"
                                 "Auto Activate           : 1\nActivation mode         : 0\n"
                                 "Only test import        : 0\nDetermine Xrefs         : 0\n--\n"
                                 "Activation ID           : ");
    EXPECT_TRUE(anImport.itsOut.ends_with("\nImport successful.\n")) << anImport.itsOut;
    expectTreeIn("T1", "copy");
    // An export version that the repository's API is too old for is refused before any request.
    expectOk(target().tool("set", {"api_version", "11"}));
    expectError(kivo({"export", "DU1", archive("old.tgz"), "--exportVersion=2"}),
                "Failed to set export version (Repository API version 12 "
                "required; you have version 11).\n");
    EXPECT_FALSE(fs::exists(archive("old.tgz")));
}

TEST_F(DeliveryUnits, TransportCarriesUnitsWithKeysOrHostAndUserAndLeavesNoFiles) {
    secondUnit("beta", "beta/z.txt");
    makeTarget("T1");
    RunOptions anOptions = options();
    const fs::path aTemp = dir() / "tmp/kivotmp";
    fs::create_directories(aTemp);
    anOptions.itsEnv["TMPDIR"] = (dir() / "tmp").string();

    const auto aByKeys =
        runKivo({"transport", "DU1", "DU2", "--sourceKey=K1", "--targetKey=T1"}, anOptions);
    EXPECT_TRUE(aByKeys.itsOut.starts_with("\nSource key: K1\n\n--> File")) << aByKeys.itsOut;
    expectSays(aByKeys, "Export successful.\n\n" + std::string(60, '-') + "\nTarget key: T1\n");
    expectSays(aByKeys, "Import count");
    EXPECT_EQ(countOf(aByKeys.itsOut, "Export successful."), 2u);
    EXPECT_TRUE(entries(aTemp).empty());
    expectTreeIn("T1", "copy");
    expectOk(kivoIn(dir() / "copy", {"checkout", "beta/"}));
    EXPECT_EQ(readText(dir() / "copy/beta/z.txt"), "zed");

    const RepositoryTarget& aThird = makeTarget("T3");
    const auto aByHost =
        runKivo({"transport", "DU1", "--sourceHost=" + target().host(), "--sourceUser=dev",
                 "--sourcePassWord=pw", "--targetHost=" + aThird.host(), "--targetUser=dev",
                 "--targetPassWord=pw"},
                anOptions);
    EXPECT_TRUE(aByHost.itsOut.starts_with("\nSource host name: " + target().host() +
                                           "\nSource user name: dev\n"))
        << aByHost.itsOut;
    expectSays(aByHost, "\nTarget host name: " + aThird.host() + "\nTarget user name: dev\n");
    EXPECT_FALSE(contains(aByHost.itsOut + aByHost.itsErr, "pw\n"));
    expectTreeIn("T3", "third");
}

// A test import, a damaged archive and one past the limit that kivo-repo set change nothing;
// several archives import in one call or one by one.
TEST_F(DeliveryUnits, SeveralArchivesImportInOneCallOrOneByOneAndFailuresChangeNothing) {
    secondUnit("beta");
    expectOk(kivo({"export", "DU1", archive("du1.tgz")}));
    expectOk(kivo({"export", "DU2", archive("du2.tgz")}));
    const std::string aWhole = readText(archive("du1.tgz"));
    writeText(archive("truncated.tgz"), aWhole.substr(0, aWhole.size() / 2));
    const RepositoryTarget& aTarget = makeTarget("T1");
    const std::string anEmpty = aTarget.show();
    const auto aTest = outside({"import", archive("du1.tgz"), "--key=T1", "--onlyTestImport=1"});
    expectSays(aTest, "Only test import        : 1\n");
    expectSays(aTest, "Import successful.");
    EXPECT_EQ(aTarget.show(), anEmpty);
    const auto aFailed = outside({"import", archive("truncated.tgz"), "--key=T1"});
    EXPECT_TRUE(aFailed.itsErr.starts_with("\nImport failed (40150): ")) << aFailed.itsErr;
    EXPECT_TRUE(aFailed.itsExitCode == 1 && !contains(aFailed.itsOut, "Import successful."));
    expectOk(aTarget.tool("set", {"import_max_bytes", "4096"}));
    expectRefused(outside({"import", archive("du1.tgz"), "--key=T1"}),
                  "the import's limit of 4096 bytes");
    expectOk(aTarget.tool("set", {"import_max_bytes", "1048576"}));

    const auto aTogether = outside({"import", archive("du1.tgz"), archive("du2.tgz"), "--key=T1"});
    for (const char* aPart :
         {"--\nRevert count            : ", "du2.tgz (", "Caption                 : first\n"})
        expectSays(aTogether, aPart);
    EXPECT_EQ(countOf(aTogether.itsOut, "--> File                : "), 2u);
    EXPECT_EQ(countOf(aTogether.itsOut, "Import successful."), 1u);
    expectTreeIn("T1", "together");

    makeTarget("T2");
    const auto aSingly =
        outside({"import", archive("du1.tgz"), archive("du2.tgz"), "--key=T2", "--noMultiImport"});
    EXPECT_EQ(countOf(aSingly.itsOut, "Import successful."), 2u);
    EXPECT_FALSE(contains(aSingly.itsOut, "Revert count")) << aSingly.itsOut;
    expectTreeIn("T2", "singly");
}

// --log writes the log files of exports and imports, a failed import's too.
TEST_F(DeliveryUnits, LogFilesOfExportAndImport) {
    const auto aLanguages = kivo(
        {"export", "languages", "DU1", "example.com", archive("texts.tgz"), "de", "en", "--log"});
    expectSays(aLanguages, "\n--> File      : " + archive("texts.tgz"));
    expectSays(aLanguages,
               "Export log file: \"" + (settings() / "logs").string() + "/export_languages_DU1_");
    expectLog(settings(), "export_languages_DU1_", "Delivery Unit : DU1\n");
    expectSays(kivo({"export", "DU1", archive("du1.tgz"), "-v", "--log"}),
               "Objects:\nObject                  : a.txt\n");
    expectLog(settings(), "export_delivery_unit_DU1_example.com_", "Export successful.");

    makeTarget("T1");
    makeWorkspace("copy", "T1");
    const fs::path aCopy = dir() / "copy/._SYS_KIVO_settings";
    expectSays(kivoIn(dir() / "copy", {"import", archive("du1.tgz"), archive("du1.tgz"), "--log"}),
               "Import log file: \"" + (aCopy / "logs").string() + "/import_multiple_files_");
    writeText(archive("broken.tgz"), "not an archive");
    EXPECT_EQ(kivoIn(dir() / "copy", {"import", archive("broken.tgz"), "--log"}).itsExitCode, 1);
    expectLog(aCopy, "import_file_", "Import failed (40150)");
    expectLog(aCopy, "import_multiple_files_");
}

TEST_F(DeliveryUnits, UndeployCountsAndUnknownUnits) {
    EXPECT_EQ(outputOf(kivo({"undeploy", "DU1"})), "Deleted objects              : 3\n"
                                                   "Deleted packages             : 2\n"
                                                   "Deleted delivery units       : 1\n");
    EXPECT_TRUE(contains(target().show(), "Packages: 0\nObjects: 0\n")) << target().show();

    EXPECT_EQ(kivo({"delete", "deliveryUnit", "DU1"}).itsErr,
              "Delivery unit DU1 example.com does not exist.\n");
    const auto anExport = kivo({"export", "DU1", archive("none.tgz")});
    EXPECT_TRUE(anExport.itsErr.starts_with("Failed to export delivery unit (40116): "))
        << anExport.itsErr;
    EXPECT_FALSE(fs::exists(archive("none.tgz")));
    EXPECT_TRUE(
        kivo({"undeploy", "DU1"})
            .itsErr.starts_with(
                "Failed to undeploy delivery unit \"DU1\" (vendor: \"example.com\") (40116): "));
}

TEST_F(DeliveryUnits, AdministrationAndAssignment) {
    const std::string aUnit = "delivery unit: \"DU7\" (vendor: \"acme.org\")\n";
    EXPECT_EQ(outputOf(kivo({"create", "du", "DU7", "--vendor=acme.org", "--caption=cap", "-v"})),
              "Created " + aUnit + "Created delivery units       : 1\n");
    EXPECT_EQ(kivo({"update", "du", "DU7", "--vendor=acme.org", "--version=5", "-v"}).itsOut,
              "Updated " + aUnit + "Updated delivery units       : 1\n");
    EXPECT_EQ(kivo({"assign", "acme", "DU7", "--vendor=acme.org", "-v"}).itsOut,
              "-update\nUpdated package: \"acme\"\n"
              "Updated package: \"acme.sub\"\nUpdated packages             : 2\n");
    const std::string anAssignment = "Delivery Unit           : DU7\nVendor                  : "
                                     "acme.org\n";
    EXPECT_TRUE(contains(repoProbe({"package", "acme.sub"}), anAssignment));
    // A package that two arguments reach is updated and counted once.
    EXPECT_EQ(kivo({"assign", "acme", "acme.sub", "DU7", "--vendor=acme.org"}).itsOut,
              "Updated packages             : 2\n");
    expectOk(kivo({"unassign", "acme", "--noRecursive"}));
    EXPECT_TRUE(contains(repoProbe({"package", "acme"}),
                         "Delivery Unit           : \nVendor                  : \n"));
    EXPECT_TRUE(contains(repoProbe({"package", "acme.sub"}), anAssignment));
    EXPECT_EQ(kivo({"delete", "du", "DU7", "--vendor=acme.org", "-v"}).itsOut,
              "Deleted " + aUnit + "Deleted delivery units       : 1\n");
}

// DU1's archive again after acme.sub went to DU2 and gained d.txt: only the administrator's.
TEST_F(DeliveryUnits, ImportsThatDeleteOrTakeAreTheAdministratorsAndSaySo) {
    expectOk(kivo({"export", "DU1", archive("du1.tgz")}));
    expectOk(target().tool("user", {"dev", "pw", "--admin"}));
    setKey("K2", "other");
    expectOk(kivo({"create", "deliveryUnit", "DU2"}));
    expectOk(kivo({"assign", "acme.sub", "DU2"}));
    write("acme/sub/d.txt", "dee");
    expectOk(kivo({"push"}));
    const std::string aBefore = actives();

    expectError(outside({"import", archive("du1.tgz"), "--key=K2"}),
                "\nImport failed (40120): Not authorized: User OTHER may not take package acme.sub "
                "from delivery unit DU2 (example.com) by an import: only an administrator may\n");
    EXPECT_EQ(actives(), aBefore);
    expectSays(outside({"import", archive("du1.tgz"), "--key=K1"}),
               "Taken package           : acme.sub (from delivery unit DU2, vendor example.com)\n"
               "Deleted object          : acme/sub/d.txt\n\nImport successful.\n");
    EXPECT_FALSE(contains(actives(), "d.txt"));
}
