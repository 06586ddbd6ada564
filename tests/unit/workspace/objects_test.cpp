#include "workspace/objects.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/json.hpp"
#include "core/recordfields.hpp"
#include "tests/unit/workspace/workspacefixture.hpp"

using kivotest::readText;
using kivotest::writeText;
using RepositoryAccess::ObjectMetaData;
using RepositoryAccess::ObjectVersion;
using RepositoryAccess::RepositoryObject;
using wstest::messageOf;
namespace objects = RepositoryAccess::objects;
namespace json = RepositoryAccess::json;
namespace workspace = RepositoryAccess::workspace;
namespace fs = std::filesystem;

namespace {

using Objects = wstest::WorkSpaceTest;

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
    EXPECT_EQ(RepositoryObject("p", "README", "").workSpaceFileName(), (aWs / "p/README").string());
    EXPECT_EQ(RepositoryObject("p", "SYS", "").diffFileName(), aSettings + "/diff/p/SYS");

    // A workspace file with its metadata copy (the file's content: MetaFilesAndRepositoryElements);
    // one without stays at type 0.
    ObjectMetaData aMeta;
    aMeta.itsVersionId = 42;
    aMeta.itsType = 2;
    anObject.setMetaData(aMeta);
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
    EXPECT_EQ(wstest::treeOf(aWs / "._SYS_KIVO_settings/SYS"), std::vector<std::string>{});
    // A dotted name is a plain file name.
    EXPECT_EQ(fromJsonText(R"({"package":"a","name":"..x","suffix":"t"})").workSpaceFileName(),
              (aWs / "a/..x.t").string());
}

// The active and inactive forms and the version forms travel in every request and are checked
// with them; the historical form is only written to metadata files.
TEST_F(Objects, MetaDataAndVersionJson) {
    ObjectMetaData aHistorical;
    aHistorical.itsType = 3;
    aHistorical.itsActivatedBy = "A\"B";
    EXPECT_TRUE(objects::metaDataToJson(aHistorical).find(R"("activated_by":"A\"B")") !=
                std::string::npos);
    ObjectVersion aVersion;
    aVersion.itsVersionType = 4;
    EXPECT_EQ(messageOf([&] { objects::versionToJson(aVersion); }),
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
    EXPECT_TRUE(aRead.itsIsDeletion);
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
    EXPECT_EQ(anObject.metaData().itsType, 3);
    EXPECT_EQ(anObject.metaData().itsObjectStatus, "");
    EXPECT_EQ(anObject.error(), "{\"code\":\"40\"}");
    ObjectVersion aVersion;
    aVersion.itsVersionType = 3;
    aVersion.itsVersionNr = 2;
    anObject.setVersion(aVersion);
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
