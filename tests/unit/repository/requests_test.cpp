#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "repository/reqbase.hpp"
#include "repository/reqchanges.hpp"
#include "repository/reqdeliveryunits.hpp"
#include "repository/reqobjects.hpp"
#include "repository/reqpackages.hpp"
#include "tests/support/messages.hpp"

using namespace RepositoryAccess;
using kivotest::messageOf;

namespace {

// The object descriptors and sessions the expected bodies are written with.
const std::string kO1 = R"({"package":"a.b","name":"c","suffix":"txt"})";
const std::string kO2 = R"({"package":"a","name":"d.e","suffix":""})";
const std::string kS1 = R"({"sessionType":"1"})";
const std::string kS2 = R"({"sessionType":"2","owner":"DEV","workspace":"ws"})";

RepositoryObject o1() {
    return RepositoryObject("a.b", "c", "txt");
}
RepositoryObject o2() {
    return RepositoryObject("a", "d.e", "");
}
RepositorySession s2() {
    return RepositorySession::inactive("DEV", "ws");
}
SharedString bytes(std::string theText) {
    return std::make_shared<const std::string>(std::move(theText));
}

RepositoryObject withMetaData(ObjectMetaData theMetaData) {
    RepositoryObject anObject = o1();
    anObject.setMetaData(std::move(theMetaData));
    return anObject;
}

RepositoryObject withVersion(ObjectVersion theVersion) {
    RepositoryObject anObject = o1();
    anObject.setVersion(std::move(theVersion));
    return anObject;
}

ObjectMetaData activeMetaData() {
    ObjectMetaData aMetaData;
    aMetaData.itsVersionId = 5;
    aMetaData.itsType = 1;
    aMetaData.itsActivatedAt = "2024-01-01 10:00:00";
    aMetaData.itsActivatedBy = "DEV";
    aMetaData.itsObjectStatus = "0";
    aMetaData.itsIsDeletion = true;
    return aMetaData;
}

const std::string kActiveMetaData =
    R"({"edit":"true","version_id":"5","activated_at":"2024-01-01 10:00:00",)"
    R"("activated_by":"DEV","object_status":"0","change_number":"","released_at":"","type":"1"})";

PackageAttributes packageAttributes() {
    return {"a.b", "SRC", "d", "r", "en", "0", "du", "v", "1", "0", "tc", "ts", "td", "h", {}};
}

const std::string kAllPackageMembers =
    R"("package":"a.b","src_system":"SRC","description":"d","responsible":"r","orig_lang":"en",)"
    R"("structural":"0","delivery_unit":"du","du_vendor":"v","transportable":"1","content":"0",)"
    R"("text_collection":"tc","text_status":"ts","text_terminology_domain":"td",)"
    R"("hints_for_translation":"h")";

DeliveryUnitAttributes deliveryUnitAttributes() {
    return {"du", "v", "c", "r", "1", "2", "3", "L", "q", "s", "a"};
}

// An export of a whole delivery unit: no time range and no optional flags.
DeliveryUnitExport fullExport(std::string theDeliveryUnit, std::string theExportSummary) {
    DeliveryUnitExport anExport;
    anExport.itsDeliveryUnit = std::move(theDeliveryUnit);
    anExport.itsVendor = "v";
    anExport.itsAlias = "al";
    anExport.itsExportSummary = std::move(theExportSummary);
    return anExport;
}

ImportOptions importOptions() {
    return {"0", "1", "1", "0", "0"};
}

const std::string kImportOptions =
    R"("forceRemove":"0","autoActivate":"1","activationMode":"1","onlyTestImport":"0",)"
    R"("determineXrefs":"0","contentProvided":"1")";

std::string body(const RepositoryRequest& theRequest) {
    return theRequest.json();
}

// One request of the catalogue with the read/write mark and the body it must have.
struct CatalogueRow {
    std::shared_ptr<RepositoryRequest> itsRequest;
    bool itsIsWrite;
    std::string itsBody;
};

std::vector<CatalogueRow> catalogue() {
    // An activation request refers to the caller's objects: they must outlive it.
    static const std::vector<RepositoryObject> kActivated = {o1(), o2()};
    return {
        {std::make_shared<ActivateObjectsRequest>(s2(), kActivated, "1", ""), true,
         R"({"action":"activate","what":"objects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             ",\n" + kO2 + R"(],"activationMode":"1"})"},
        {std::make_shared<AddContributorRequest>("7", "DEV"), true,
         R"({"action":"add","what":"changeContributor","changeID":"7","contributor":"DEV"})"},
        {std::make_shared<CheckIsDeliveryUnitBrokenRequest>("du", "v"), false,
         R"({"action":"check","what":"isDeliveryUnitBroken","name":"du","vendor":"v"})"},
        {std::make_shared<CreateChangeRequest>("fix"), true,
         R"({"action":"create","what":"change","description":"fix"})"},
        {std::make_shared<CreateDeliveryUnitRequest>(deliveryUnitAttributes()), true,
         R"({"action":"create","what":"deliveryUnit","name":"du","vendor":"v","caption":"c",)"
         R"("responsible":"r","version":"1","version_sp":"2","version_patch":"3","qrtsID":"q",)"
         R"("sp_QRTS_ID":"s","ach":"a"})"},
        {std::make_shared<CreatePackageRequest>(packageAttributes(), true), true,
         R"({"action":"create","what":"package","package":"a.b","description":"d",)"
         R"("responsible":"r","orig_lang":"en","structural":"0","delivery_unit":"du",)"
         R"("du_vendor":"v","text_collection":"tc","text_status":"ts",)"
         R"("text_terminology_domain":"td","hints_for_translation":"h","texts":[],"inherit":"1"})"},
        {std::make_shared<DeleteChangeRequest>("7"), true,
         R"({"action":"delete","what":"change","changeID":"7"})"},
        {std::make_shared<DeleteDeliveryUnitRequest>("du", "v"), true,
         R"({"action":"delete","what":"deliveryUnit","name":"du","vendor":"v"})"},
        {std::make_shared<DeleteInactiveWorkSpaceRequest>(s2(), "DEV", "__empty__"), true,
         R"({"action":"delete","what":"inactiveWorkspace","session":)" + kS2 +
             R"(, "user":"DEV", "workspace":""})"},
        {std::make_shared<DeleteObjectRequest>(s2(), withMetaData(activeMetaData())), true,
         R"({"action":"delete","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":)" + kActiveMetaData + "}"},
        {std::make_shared<DeletePackageRequest>("a.b", true, false), true,
         R"({"action":"delete","what":"package","package":"a.b","ignoreInactiveObjects":"1",)"
         R"("recursively":"0"})"},
        {std::make_shared<EditChangeDescriptionRequest>("7", "new"), true,
         R"({"action":"edit","what":"changeDescription","changeID":"7","description":"new"})"},
        {std::make_shared<EditContributorCommentRequest>("7", "DEV", "ok"), true,
         R"({"action":"edit","what":"contributorComment","changeID":"7","contributor":"DEV",)"
         R"("comment":"ok"})"},
        {std::make_shared<ExistsDeliveryUnitRequest>("du", "v"), false,
         R"({"action":"exists","what":"deliveryUnit","name":"du","vendor":"v"})"},
        {std::make_shared<ExistsObjectRequest>(RepositorySession::active(), o1()), false,
         R"({"action":"exists","what":"object","session":{"sessionType":"1"},)"
         R"("object":{"package":"a.b","name":"c","suffix":"txt"}})"},
        {std::make_shared<ExistsPackageRequest>("a.b"), false,
         R"({"action":"exists","what":"package","package":"a.b"})"},
        {std::make_shared<ExportDeliveryUnitRequest>(fullExport("du", "1")), false,
         R"({"action":"export","what":"delivery_unit","delivery_unit":"du","du_vendor":"v",)"
         R"("alias":"al","file":"","provide_content":"1","export_summary":"1"})"},
        {std::make_shared<ExportLanguagesRequest>("du", "v", "al",
                                                  std::vector<std::string>{"de", "fr"}),
         false,
         "{\"action\":\"export\",\"what\":\"languages\",\"delivery_unit\":\"du\",\"du_vendor\":"
         "\"v\",\"alias\":\"al\",\"languages\":[\"de\",\n\"fr\"],\"file\":\"\","
         "\"provide_content\":\"1\"}"},
        {std::make_shared<FindChangesRequest>(ChangeFilter{}), false,
         R"({"action":"find","what":"changes","filter":{}})"},
        {std::make_shared<FindObjectsRequest>(RepositorySession::active(), "a.b", "c*"), false,
         R"({"action":"find","what":"objects","session":)" + kS1 +
             R"(,"package":"a.b","name":"c*"})"},
        {std::make_shared<GetAffectedChangesRequest>(std::vector{o1()}), false,
         R"({"action":"get","what":"affectedChanges","objects":[)" + kO1 + "]}"},
        {std::make_shared<GetChangeTrackingStatusRequest>(), false,
         R"({"action":"get","what":"changeTrackingStatus"})"},
        {std::make_shared<GetContentVendorRequest>(), false,
         R"({"action":"get","what":"contentVendor"})"},
        {std::make_shared<GetDBSchemaVersionRequest>(), false,
         R"({"action":"get","what":"dbSchemaVersion"})"},
        {std::make_shared<GetDeliveryUnitRequest>("du", "v"), false,
         R"({"action":"get","what":"deliveryUnit","name":"du","vendor":"v"})"},
        {std::make_shared<GetNumberOfLatestVersionRequest>(RepositorySession::active(), o1()),
         false,
         R"({"action":"get","what":"numberOfLatestVersion","session":)" + kS1 + R"(,"object":)" +
             kO1 + "}"},
        {std::make_shared<GetSupportedExportVersionsRequest>(), false,
         R"({"action":"get","what":"supportedExportVersions"})"},
        {std::make_shared<ImportFileRequest>(s2(), "du.tgz", bytes("x"), importOptions()), true,
         R"({"action":"import","what":"file","session":)" + kS2 + R"(,"filename":"du.tgz",)" +
             kImportOptions + "}"},
        {std::make_shared<ImportLanguagesRequest>(s2(), "de.tgz", bytes("x"), "0"), true,
         R"({"action":"import","what":"languages","session":)" + kS2 +
             R"(,"filename":"de.tgz","onlyTestImport":"0","contentProvided":"1"})"},
        {std::make_shared<ImportMultipleFilesRequest>(
             s2(), std::vector<std::string>{"a.tgz", "b.tgz"},
             std::vector<SharedString>{bytes("a"), bytes("b")}, importOptions()),
         true,
         R"({"action":"import","what":"fileList","session":)" + kS2 +
             ",\"fileList\":[\"a.tgz\",\n\"b.tgz\"]," + kImportOptions + "}"},
        {std::make_shared<ListAllObjectTypesRequest>("1"), false,
         R"({"action":"list","what":"allObjectTypes","restrict2DesignTimeOnly":"1"})"},
        {std::make_shared<ListDeliveryUnitsRequest>(), false,
         R"({"action":"get","what":"allDeliveryUnits"})"},
        {std::make_shared<ListHistoryRequest>(o1()), false,
         R"({"action":"get","what":"history","object":)" + kO1 + "}"},
        {std::make_shared<ListInactiveObjectsRequest>(
             s2(), "", "c", std::vector<std::string>{"txt"}, ObjectSearchList::suffixes),
         false,
         R"({"action":"list","what":"objects","session":)" + kS2 +
             R"(,"name":"c","suffixes":["txt"]})"},
        {std::make_shared<ListInactiveWorkSpacesRequest>(RepositorySession::active(), ""), false,
         R"({"action":"list","what":"inactiveWorkspaces","session":)" + kS1 + "}"},
        {std::make_shared<ListPackagesRequest>(packageAttributes()), false,
         R"({"action":"list","what":"packages",)" + kAllPackageMembers + "}"},
        {std::make_shared<ListRootPackagesRequest>(), false,
         R"({"action":"list","what":"rootPackages"})"},
        {std::make_shared<MergeChangesRequest>("7", "8"), true,
         R"({"action":"merge","what":"changes","sourceChangeID":"7","targetChangeID":"8"})"},
        {std::make_shared<MoveChangeEntriesRequest>("7", "8", std::vector{o1()}), true,
         R"({"action":"move","what":"changeEntries","sourceChangeID":"7","targetChangeID":"8",)"
         R"("objects":[)" +
             kO1 + "]}"},
        {std::make_shared<PullInactiveObjectsRequest>(s2(), std::vector{o1()}, "OTHER",
                                                      "__empty__"),
         true,
         R"({"action":"pull","what":"inactiveObjects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             R"(],"user":"OTHER","workspace":""})"},
        {std::make_shared<ReadChangesRequest>(std::vector<std::string>{"7", "8"}), false,
         "{\"action\":\"read\",\"what\":\"changes\",\"changeIDs\":[\"7\",\n\"8\"]}"},
        {std::make_shared<ReadObjectMetadataRequest>(RepositorySession::active(),
                                                     withVersion({1, "", "", 0})),
         false,
         R"({"action":"read","what":"objectMetadata","session":)" + kS1 + R"(,"object":)" + kO1 +
             R"(,"version":{"versionType":"1"}})"},
        {std::make_shared<ReadObjectRequest>(s2(), withVersion({2, "DEV", "__empty__", 0}), false),
         false,
         R"({"action":"read","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"version":{"versionType":"2","owner":"DEV","workspace":""},"winformat":"0"})"},
        {std::make_shared<ReadObjectsRequest>(RepositorySession::active(), std::vector{o1(), o2()},
                                              false),
         false,
         R"({"action":"read","what":"objects","session":)" + kS1 + R"(,"objects":[{"object":)" +
             kO1 + R"(},{"object":)" + kO2 + R"(}],"winformat":"0"})"},
        {std::make_shared<ReadPackageRequest>("a.b"), false,
         R"({"action":"read","what":"package","package":"a.b"})"},
        {std::make_shared<ReleaseChangeRequest>("7"), true,
         R"({"action":"release","what":"change","changeID":"7"})"},
        {std::make_shared<RemoveContributorRequest>("7", "DEV"), true,
         R"({"action":"remove","what":"changeContributor","changeID":"7","contributor":"DEV"})"},
        {std::make_shared<RevertObjectsRequest>(s2(), std::vector{o1(), o2()}), true,
         R"({"action":"delete","what":"revertObjects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             ",\n" + kO2 + "]}"},
        {std::make_shared<ToggleChangeTrackingRequest>("1", false), true,
         R"({"action":"set","what":"changeTracking","status":"1","ignoreOpenChanges":"0"})"},
        {std::make_shared<UnDeployDeliveryUnitRequest>(s2(), "du", "v"), true,
         R"({"action":"undeploy","what":"delivery_unit","session":)" + kS2 +
             R"(,"delivery_unit":"du","du_vendor":"v"})"},
        {std::make_shared<UpdateDeliveryUnitRequest>(deliveryUnitAttributes()), true,
         R"({"action":"update","what":"deliveryUnit","name":"du","vendor":"v","caption":"c",)"
         R"("responsible":"r","version":"1","version_sp":"2","version_patch":"3",)"
         R"("lastUpdate":"L","qrtsID":"q","sp_QRTS_ID":"s","ach":"a"})"},
        {std::make_shared<UpdatePackageRequest>(packageAttributes()), true,
         R"({"action":"update","what":"package",)" + kAllPackageMembers + "}"},
        {std::make_shared<ValidateContributionRequest>("7", "DEV", "ok"), false,
         R"({"action":"validate","what":"contribution","changeID":"7","user":"DEV",)"
         R"("comment":"ok"})"},
        {std::make_shared<WriteObjectRequest>(s2(), withMetaData(activeMetaData()), bytes("x")),
         true,
         R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":)" + kActiveMetaData +
             R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})"},
    };
}

// Every request class: whether simulation suppresses it, its exact body, and that only the
// writes of an object and the imports carry attachments (everything else sends the JSON alone).
TEST(RequestCatalogue, EveryRequestHasItsKindBodyAndAttachments) {
    for (const CatalogueRow& aRow : catalogue()) {
        SCOPED_TRACE(aRow.itsBody);
        EXPECT_EQ(aRow.itsRequest->isWrite(), aRow.itsIsWrite);
        EXPECT_EQ(dynamic_cast<RepositoryWriteRequest*>(aRow.itsRequest.get()) != nullptr,
                  aRow.itsIsWrite);
        EXPECT_EQ(body(*aRow.itsRequest), aRow.itsBody);
        const bool aHasAttachments = aRow.itsBody.starts_with(R"({"action":"write")") ||
                                     aRow.itsBody.starts_with(R"({"action":"import")");
        const std::size_t aCount = aRow.itsRequest->getCDataAttachments().size() +
                                   aRow.itsRequest->getBDataAttachments().size();
        EXPECT_EQ(aCount > 0, aHasAttachments);
    }
}

TEST(RequestAttachments, WriteObjectSendsTextAsCDataAndBinaryAsBData) {
    const SharedString aContent = bytes(std::string("a\0b", 3));
    const WriteObjectRequest aText(s2(), withMetaData(activeMetaData()), aContent);
    ASSERT_EQ(aText.getCDataAttachments().size(), 1u);
    EXPECT_EQ(aText.getCDataAttachments()[0], aContent);
    EXPECT_TRUE(aText.getBDataAttachments().empty());

    const WriteObjectRequest aBinary(s2(), withMetaData(activeMetaData()), aContent, true);
    EXPECT_TRUE(aBinary.getCDataAttachments().empty());
    ASSERT_EQ(aBinary.getBDataAttachments().size(), 1u);
    EXPECT_EQ(*aBinary.getBDataAttachments()[0], std::string("a\0b", 3));

    const WriteObjectRequest aNone(s2(), withMetaData(activeMetaData()), nullptr);
    EXPECT_TRUE(aNone.getCDataAttachments().empty());
    EXPECT_TRUE(aNone.getBDataAttachments().empty());
}

TEST(RequestAttachments, ImportsSendTheArchivesAsBDataInListOrder) {
    const std::vector<SharedString> aList{bytes("first"), bytes("second")};
    const ImportMultipleFilesRequest aMultiple(s2(), {"a.tgz", "b.tgz"}, aList, importOptions());
    EXPECT_EQ(aMultiple.getBDataAttachments(), aList);
    EXPECT_TRUE(aMultiple.getCDataAttachments().empty());
}

TEST(RequestBodies, VariableValuesAreEscapedAndRawValuesAreNot) {
    EXPECT_EQ(body(CreateChangeRequest("say \"hi\" to a/b")),
              R"({"action":"create","what":"change","description":"say \"hi\" to a\/b"})");
    EXPECT_EQ(body(ExistsObjectRequest(RepositorySession::inactive("D\\V", "w/s"),
                                       RepositoryObject("p.\"q.r\"", "n\tm", "txt"))),
              R"({"action":"exists","what":"object","session":{"sessionType":"2",)"
              R"("owner":"D\\V","workspace":"w\/s"},"object":{"package":"p.\"q.r\"",)"
              R"("name":"n\tm","suffix":"txt"}})");
    // Timestamps are raw: the slash of a date stays as it is.
    DeliveryUnitExport anExport = fullExport("d/u", "1");
    anExport.itsFromTimestamp = "2024/01/01";
    EXPECT_NE(body(ExportDeliveryUnitRequest(anExport)).find(R"("tst_FROM":"2024/01/01")"),
              std::string::npos);
    EXPECT_NE(body(ExportDeliveryUnitRequest(anExport)).find(R"("delivery_unit":"d\/u")"),
              std::string::npos);
}

TEST(RequestBodies, OptionalMembersAppearOnlyWhenSet) {
    const std::vector<RepositoryObject> anObjects = {o1()};
    EXPECT_EQ(body(ActivateObjectsRequest(s2(), anObjects, "3", "42")),
              R"({"action":"activate","what":"objects","session":)" + kS2 + R"(,"objList":[)" +
                  kO1 + R"(],"activationMode":"3","changeID":"42"})");
    EXPECT_EQ(body(ListInactiveWorkSpacesRequest(RepositorySession::active(), "DEV")),
              R"({"action":"list","what":"inactiveWorkspaces","session":)" + kS1 +
                  R"(,"user":"DEV"})");

    ChangeFilter aFilter;
    aFilter.itsChangeId = "7";
    aFilter.itsCreatedBy = "DEV";
    aFilter.itsReleasedTo = "2024";
    EXPECT_EQ(body(FindChangesRequest(aFilter)),
              R"({"action":"find","what":"changes","filter":{"changeID":"7","createdBy":"DEV",)"
              R"("releasedTo":"2024"}})");

    EXPECT_EQ(body(FindObjectsRequest(RepositorySession::active(), "", "c", {"txt", "xml"},
                                      ObjectSearchList::types)),
              R"({"action":"find","what":"objects","session":)" + kS1 + "," +
                  R"("name":"c","types":["txt",)" + "\n" + R"("xml"]})");
}

TEST(RequestBodies, ExportOfAPatchNamesItsTimeRange) {
    const DeliveryUnitExport anExport{
        "du", "v", "al", "0", "2024-01-01 00:00:00", "2024-02-01 00:00:00", "1", "1", "4"};
    EXPECT_EQ(body(ExportDeliveryUnitRequest(anExport)),
              R"({"action":"export","what":"delivery_unit_patch","delivery_unit":"du",)"
              R"("du_vendor":"v","alias":"al","file":"","provide_content":"1",)"
              R"("export_summary":"0","tst_FROM":"2024-01-01 00:00:00",)"
              R"("tst_TO":"2024-02-01 00:00:00","released_only":"1","du_check":"1",)"
              R"("version4Export":"4"})");
    EXPECT_EQ(body(ExportLanguagesRequest("du", "v", "al", {}, "1", "4")),
              R"({"action":"export","what":"languages","delivery_unit":"du","du_vendor":"v",)"
              R"("alias":"al","languages":[],"file":"","provide_content":"1","du_check":"1",)"
              R"("version4Export":"4"})");
}

TEST(RequestBodies, ObjectReadsFollowTheVersionAndLineEndFlag) {
    EXPECT_EQ(
        body(ReadObjectRequest(RepositorySession::active(), withVersion({3, "", "", 4}), true)),
        R"({"action":"read","what":"object","session":)" + kS1 + R"(,"object":)" + kO1 +
            R"(,"version":{"versionType":"3","versionNr":"4"},"winformat":"1"})");
    // A historical session selects the version by its timestamp: no version member.
    EXPECT_EQ(body(ReadObjectMetadataRequest(RepositorySession::historical("2024-01-01 00:00:00"),
                                             withVersion({3, "", "", 4}))),
              R"({"action":"read","what":"objectMetadata","session":{"sessionType":"4",)"
              R"("timestamp":"2024-01-01 00:00:00"},"object":)" +
                  kO1 + "}");
    EXPECT_EQ(body(ReadObjectsRequest(RepositorySession::active(), {o1()}, true, "1000")),
              R"({"action":"read","what":"objects","session":)" + kS1 +
                  R"(,"objects":[{"object":)" + kO1 +
                  R"(}],"winformat":"1","max-response-size:":"1000"})");
}

TEST(RequestBodies, ObjectMetaDataTravelsAsTheRepositoryExpectsIt) {
    ObjectMetaData anInactive;
    anInactive.itsType = 2;
    anInactive.itsLastChangedAt = "2024-01-01 00:00:00";
    EXPECT_EQ(body(DeleteObjectRequest(s2(), withMetaData(anInactive))),
              R"({"action":"delete","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
                  "}");
    EXPECT_EQ(body(WriteObjectRequest(s2(), withMetaData(anInactive), nullptr)),
              R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
                  R"(,"metadata":{"edit":"true","version_id":"0",)"
                  R"("last_changed_at":"2024-01-01 00:00:00","is_deletion":"false","type":"2"},)"
                  R"("determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})");
    // A write on top of a historical version is sent with the active form.
    ObjectMetaData aHistorical = activeMetaData();
    aHistorical.itsType = 3;
    EXPECT_EQ(body(WriteObjectRequest(s2(), withMetaData(aHistorical), nullptr)),
              body(WriteObjectRequest(s2(), withMetaData(activeMetaData()), nullptr)));
}

TEST(RequestFailures, InvalidSessionAndVersionTypesAreRefused) {
    RepositorySession aSession;
    aSession.itsType = 3;
    EXPECT_EQ(messageOf([&] { body(ExistsObjectRequest(aSession, o1())); }),
              "Invalid session type (must be active = 1, inactive = 2 or historical = 4): 3");
    EXPECT_EQ(messageOf([&] { body(ReadObjectRequest(RepositorySession::active(), o1(), false)); }),
              "Invalid version type (must be active = 1, inactive = 2 or historical = 3): 0");
}

TEST(RequestBodies, WriteOfANewObjectSendsEmptyMetadata) {
    EXPECT_EQ(body(WriteObjectRequest(s2(), o1(), bytes("x"))),
              R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
                  R"(,"metadata":{},"determineReferences":"1","xrefList":[],"texts":[],)"
                  R"("content_texts":[]})");
}

} // namespace
