#include <gtest/gtest.h>

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

const RepositoryObject o1("a.b", "c", "txt"), o2("a", "d.e", "");
const RepositorySession s2 = RepositorySession::inactive("DEV", "ws");
SharedString bytes(std::string theText) {
    return std::make_shared<const std::string>(std::move(theText));
}

RepositoryObject withMetaData(ObjectMetaData theMetaData) {
    RepositoryObject anObject = o1;
    anObject.setMetaData(std::move(theMetaData));
    return anObject;
}

RepositoryObject withVersion(ObjectVersion theVersion) {
    RepositoryObject anObject = o1;
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

ImportOptions importOptions() {
    return {"0", "1", "1", "0", "0"};
}

const std::string kImportOptions =
    R"("forceRemove":"0","autoActivate":"1","activationMode":"1","onlyTestImport":"0",)"
    R"("determineXrefs":"0","contentProvided":"1")";

template <class T, class... A> std::shared_ptr<RepositoryRequest> make(A&&... theArguments) {
    return std::make_shared<T>(std::forward<A>(theArguments)...);
}

// One request of the catalogue with the read/write mark and the body it must have.
struct CatalogueRow {
    std::shared_ptr<RepositoryRequest> itsRequest;
    bool itsIsWrite;
    std::string itsBody;
};

std::vector<CatalogueRow> catalogue() {
    // An activation request refers to the caller's objects: they must outlive it.
    static const std::vector<RepositoryObject> kActivated = {o1, o2}, kOne = {o1};
    const std::string kWriteEnd =
        R"("determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})";
    ChangeFilter aFilter;
    aFilter.itsChangeId = "7";
    aFilter.itsCreatedBy = "DEV";
    aFilter.itsReleasedTo = "2024";
    ObjectMetaData anInactive;
    anInactive.itsType = 2;
    anInactive.itsLastChangedAt = "2024-01-01 00:00:00";
    ObjectMetaData aHistorical = activeMetaData();
    aHistorical.itsType = 3;
    return {
        {make<ActivateObjectsRequest>(s2, kActivated, "1", ""), true,
         R"({"action":"activate","what":"objects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             ",\n" + kO2 + R"(],"activationMode":"1"})"},
        {make<AddContributorRequest>("7", "DEV"), true,
         R"({"action":"add","what":"changeContributor","changeID":"7","contributor":"DEV"})"},
        {make<CheckIsDeliveryUnitBrokenRequest>("du", "v"), false,
         R"({"action":"check","what":"isDeliveryUnitBroken","name":"du","vendor":"v"})"},
        {make<CreateDeliveryUnitRequest>(deliveryUnitAttributes()), true,
         R"({"action":"create","what":"deliveryUnit","name":"du","vendor":"v","caption":"c",)"
         R"("responsible":"r","version":"1","version_sp":"2","version_patch":"3","qrtsID":"q",)"
         R"("sp_QRTS_ID":"s","ach":"a"})"},
        {make<CreatePackageRequest>(packageAttributes(), true), true,
         R"({"action":"create","what":"package","package":"a.b","description":"d",)"
         R"("responsible":"r","orig_lang":"en","structural":"0","delivery_unit":"du",)"
         R"("du_vendor":"v","text_collection":"tc","text_status":"ts",)"
         R"("text_terminology_domain":"td","hints_for_translation":"h","texts":[],"inherit":"1"})"},
        {make<DeleteChangeRequest>("7"), true,
         R"({"action":"delete","what":"change","changeID":"7"})"},
        {make<DeleteDeliveryUnitRequest>("du", "v"), true,
         R"({"action":"delete","what":"deliveryUnit","name":"du","vendor":"v"})"},
        {make<DeleteInactiveWorkSpaceRequest>(s2, "DEV", "__empty__"), true,
         R"({"action":"delete","what":"inactiveWorkspace","session":)" + kS2 +
             R"(, "user":"DEV", "workspace":""})"},
        {make<DeleteObjectRequest>(s2, withMetaData(activeMetaData())), true,
         R"({"action":"delete","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":)" + kActiveMetaData + "}"},
        {make<DeletePackageRequest>("a.b", true, false), true,
         R"({"action":"delete","what":"package","package":"a.b","ignoreInactiveObjects":"1",)"
         R"("recursively":"0"})"},
        {make<EditChangeDescriptionRequest>("7", "new"), true,
         R"({"action":"edit","what":"changeDescription","changeID":"7","description":"new"})"},
        {make<EditContributorCommentRequest>("7", "DEV", "ok"), true,
         R"({"action":"edit","what":"contributorComment","changeID":"7","contributor":"DEV",)"
         R"("comment":"ok"})"},
        {make<ExistsDeliveryUnitRequest>("du", "v"), false,
         R"({"action":"exists","what":"deliveryUnit","name":"du","vendor":"v"})"},
        {make<ExistsPackageRequest>("a.b"), false,
         R"({"action":"exists","what":"package","package":"a.b"})"},
        {make<ExportDeliveryUnitRequest>(
             DeliveryUnitExport{"du", "v", "al", "1", "", "", "", "", ""}),
         false,
         R"({"action":"export","what":"delivery_unit","delivery_unit":"du","du_vendor":"v",)"
         R"("alias":"al","file":"","provide_content":"1","export_summary":"1"})"},
        {make<ExportLanguagesRequest>("du", "v", "al", std::vector<std::string>{"de", "fr"}), false,
         "{\"action\":\"export\",\"what\":\"languages\",\"delivery_unit\":\"du\",\"du_vendor\":"
         "\"v\",\"alias\":\"al\",\"languages\":[\"de\",\n\"fr\"],\"file\":\"\","
         "\"provide_content\":\"1\"}"},
        {make<FindChangesRequest>(ChangeFilter{}), false,
         R"({"action":"find","what":"changes","filter":{}})"},
        {make<FindObjectsRequest>(RepositorySession::active(), "a.b", "c*"), false,
         R"({"action":"find","what":"objects","session":)" + kS1 +
             R"(,"package":"a.b","name":"c*"})"},
        {make<GetAffectedChangesRequest>(std::vector{o1}), false,
         R"({"action":"get","what":"affectedChanges","objects":[)" + kO1 + "]}"},
        {make<GetChangeTrackingStatusRequest>(), false,
         R"({"action":"get","what":"changeTrackingStatus"})"},
        {make<GetContentVendorRequest>(), false, R"({"action":"get","what":"contentVendor"})"},
        {make<GetDBSchemaVersionRequest>(), false, R"({"action":"get","what":"dbSchemaVersion"})"},
        {make<GetDeliveryUnitRequest>("du", "v"), false,
         R"({"action":"get","what":"deliveryUnit","name":"du","vendor":"v"})"},
        {make<GetNumberOfLatestVersionRequest>(RepositorySession::active(), o1), false,
         R"({"action":"get","what":"numberOfLatestVersion","session":)" + kS1 + R"(,"object":)" +
             kO1 + "}"},
        {make<GetSupportedExportVersionsRequest>(), false,
         R"({"action":"get","what":"supportedExportVersions"})"},
        {make<ImportFileRequest>(s2, "du.tgz", bytes("x"), importOptions()), true,
         R"({"action":"import","what":"file","session":)" + kS2 + R"(,"filename":"du.tgz",)" +
             kImportOptions + "}"},
        {make<ImportLanguagesRequest>(s2, "de.tgz", bytes("x"), "0"), true,
         R"({"action":"import","what":"languages","session":)" + kS2 +
             R"(,"filename":"de.tgz","onlyTestImport":"0","contentProvided":"1"})"},
        {make<ImportMultipleFilesRequest>(s2, std::vector<std::string>{"a.tgz", "b.tgz"},
                                          std::vector<SharedString>{bytes("a"), bytes("b")},
                                          importOptions()),
         true,
         R"({"action":"import","what":"fileList","session":)" + kS2 +
             ",\"fileList\":[\"a.tgz\",\n\"b.tgz\"]," + kImportOptions + "}"},
        {make<ListAllObjectTypesRequest>("1"), false,
         R"({"action":"list","what":"allObjectTypes","restrict2DesignTimeOnly":"1"})"},
        {make<ListDeliveryUnitsRequest>(), false, R"({"action":"get","what":"allDeliveryUnits"})"},
        {make<ListHistoryRequest>(o1), false,
         R"({"action":"get","what":"history","object":)" + kO1 + "}"},
        {make<ListInactiveObjectsRequest>(s2, "", "c", std::vector<std::string>{"txt"},
                                          ObjectSearchList::suffixes),
         false,
         R"({"action":"list","what":"objects","session":)" + kS2 +
             R"(,"name":"c","suffixes":["txt"]})"},
        {make<ListInactiveWorkSpacesRequest>(RepositorySession::active(), ""), false,
         R"({"action":"list","what":"inactiveWorkspaces","session":)" + kS1 + "}"},
        {make<ListPackagesRequest>(packageAttributes()), false,
         R"({"action":"list","what":"packages",)" + kAllPackageMembers + "}"},
        {make<ListRootPackagesRequest>(), false, R"({"action":"list","what":"rootPackages"})"},
        {make<MergeChangesRequest>("7", "8"), true,
         R"({"action":"merge","what":"changes","sourceChangeID":"7","targetChangeID":"8"})"},
        {make<MoveChangeEntriesRequest>("7", "8", std::vector{o1}), true,
         R"({"action":"move","what":"changeEntries","sourceChangeID":"7","targetChangeID":"8",)"
         R"("objects":[)" +
             kO1 + "]}"},
        {make<PullInactiveObjectsRequest>(s2, std::vector{o1}, "OTHER", "__empty__"), true,
         R"({"action":"pull","what":"inactiveObjects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             R"(],"user":"OTHER","workspace":""})"},
        {make<ReadChangesRequest>(std::vector<std::string>{"7", "8"}), false,
         "{\"action\":\"read\",\"what\":\"changes\",\"changeIDs\":[\"7\",\n\"8\"]}"},
        {make<ReadObjectMetadataRequest>(RepositorySession::active(), withVersion({1, "", "", 0})),
         false,
         R"({"action":"read","what":"objectMetadata","session":)" + kS1 + R"(,"object":)" + kO1 +
             R"(,"version":{"versionType":"1"}})"},
        {make<ReadObjectRequest>(s2, withVersion({2, "DEV", "__empty__", 0}), false), false,
         R"({"action":"read","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"version":{"versionType":"2","owner":"DEV","workspace":""},"winformat":"0"})"},
        {make<ReadObjectsRequest>(RepositorySession::active(), std::vector{o1, o2}, false), false,
         R"({"action":"read","what":"objects","session":)" + kS1 + R"(,"objects":[{"object":)" +
             kO1 + R"(},{"object":)" + kO2 + R"(}],"winformat":"0"})"},
        {make<ReadPackageRequest>("a.b"), false,
         R"({"action":"read","what":"package","package":"a.b"})"},
        {make<ReleaseChangeRequest>("7"), true,
         R"({"action":"release","what":"change","changeID":"7"})"},
        {make<RemoveContributorRequest>("7", "DEV"), true,
         R"({"action":"remove","what":"changeContributor","changeID":"7","contributor":"DEV"})"},
        {make<RevertObjectsRequest>(s2, std::vector{o1, o2}), true,
         R"({"action":"delete","what":"revertObjects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             ",\n" + kO2 + "]}"},
        {make<ToggleChangeTrackingRequest>("1", false), true,
         R"({"action":"set","what":"changeTracking","status":"1","ignoreOpenChanges":"0"})"},
        {make<UnDeployDeliveryUnitRequest>(s2, "du", "v"), true,
         R"({"action":"undeploy","what":"delivery_unit","session":)" + kS2 +
             R"(,"delivery_unit":"du","du_vendor":"v"})"},
        {make<UpdateDeliveryUnitRequest>(deliveryUnitAttributes()), true,
         R"({"action":"update","what":"deliveryUnit","name":"du","vendor":"v","caption":"c",)"
         R"("responsible":"r","version":"1","version_sp":"2","version_patch":"3",)"
         R"("lastUpdate":"L","qrtsID":"q","sp_QRTS_ID":"s","ach":"a"})"},
        {make<UpdatePackageRequest>(packageAttributes()), true,
         R"({"action":"update","what":"package",)" + kAllPackageMembers + "}"},
        {make<ValidateContributionRequest>("7", "DEV", "ok"), false,
         R"({"action":"validate","what":"contribution","changeID":"7","user":"DEV",)"
         R"("comment":"ok"})"},
        {make<WriteObjectRequest>(s2, withMetaData(activeMetaData()), bytes("x")), true,
         R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":)" + kActiveMetaData + "," + kWriteEnd},
        // Variable values are escaped.
        {make<CreateChangeRequest>("say \"hi\" to a/b"), true,
         R"({"action":"create","what":"change","description":"say \"hi\" to a\/b"})"},
        {make<ExistsObjectRequest>(RepositorySession::inactive("D\\V", "w/s"),
                                   RepositoryObject("p.\"q.r\"", "n\tm", "txt")),
         false,
         R"({"action":"exists","what":"object","session":{"sessionType":"2",)"
         R"("owner":"D\\V","workspace":"w\/s"},"object":{"package":"p.\"q.r\"",)"
         R"("name":"n\tm","suffix":"txt"}})"},
        // Optional members appear only when set.
        {make<ActivateObjectsRequest>(s2, kOne, "3", "42"), true,
         R"({"action":"activate","what":"objects","session":)" + kS2 + R"(,"objList":[)" + kO1 +
             R"(],"activationMode":"3","changeID":"42"})"},
        {make<ListInactiveWorkSpacesRequest>(RepositorySession::active(), "DEV"), false,
         R"({"action":"list","what":"inactiveWorkspaces","session":)" + kS1 + R"(,"user":"DEV"})"},
        {make<FindChangesRequest>(aFilter), false,
         R"({"action":"find","what":"changes","filter":{"changeID":"7","createdBy":"DEV",)"
         R"("releasedTo":"2024"}})"},
        {make<FindObjectsRequest>(RepositorySession::active(), "", "c",
                                  std::vector<std::string>{"txt", "xml"}, ObjectSearchList::types),
         false,
         R"({"action":"find","what":"objects","session":)" + kS1 +
             R"(,"name":"c","types":["txt",)" + "\n" + R"("xml"]})"},
        // The export of a patch names its time range; timestamps are raw, names escaped.
        {make<ExportDeliveryUnitRequest>(DeliveryUnitExport{
             "d/u", "v", "al", "0", "2024/01/01 00:00:00", "2024-02-01 00:00:00", "1", "1", "4"}),
         false,
         R"({"action":"export","what":"delivery_unit_patch","delivery_unit":"d\/u",)"
         R"("du_vendor":"v","alias":"al","file":"","provide_content":"1",)"
         R"("export_summary":"0","tst_FROM":"2024/01/01 00:00:00",)"
         R"("tst_TO":"2024-02-01 00:00:00","released_only":"1","du_check":"1",)"
         R"("version4Export":"4"})"},
        {make<ExportLanguagesRequest>("du", "v", "al", std::vector<std::string>{}, "1", "4"), false,
         R"({"action":"export","what":"languages","delivery_unit":"du","du_vendor":"v",)"
         R"("alias":"al","languages":[],"file":"","provide_content":"1","du_check":"1",)"
         R"("version4Export":"4"})"},
        // Object reads follow the version and the line-end flag; a historical session selects
        // the version by its timestamp: no version member.
        {make<ReadObjectRequest>(RepositorySession::active(), withVersion({3, "", "", 4}), true),
         false,
         R"({"action":"read","what":"object","session":)" + kS1 + R"(,"object":)" + kO1 +
             R"(,"version":{"versionType":"3","versionNr":"4"},"winformat":"1"})"},
        {make<ReadObjectMetadataRequest>(RepositorySession::historical("2024-01-01 00:00:00"),
                                         withVersion({3, "", "", 4})),
         false,
         R"({"action":"read","what":"objectMetadata","session":{"sessionType":"4",)"
         R"("timestamp":"2024-01-01 00:00:00"},"object":)" +
             kO1 + "}"},
        {make<ReadObjectsRequest>(RepositorySession::active(), std::vector{o1}, true, "1000"),
         false,
         R"({"action":"read","what":"objects","session":)" + kS1 + R"(,"objects":[{"object":)" +
             kO1 + R"(}],"winformat":"1","max-response-size:":"1000"})"},
        // Metadata travels as the repository expects it: an inactive version's only on a write,
        // a historical version's in the active form, a new object's empty.
        {make<DeleteObjectRequest>(s2, withMetaData(anInactive)), true,
         R"({"action":"delete","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 + "}"},
        {make<WriteObjectRequest>(s2, withMetaData(anInactive), bytes("x")), true,
         R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":{"edit":"true","version_id":"0",)"
             R"("last_changed_at":"2024-01-01 00:00:00","is_deletion":"false","type":"2"},)" +
             kWriteEnd},
        {make<WriteObjectRequest>(s2, withMetaData(aHistorical), bytes("x")), true,
         R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":)" + kActiveMetaData + "," + kWriteEnd},
        {make<WriteObjectRequest>(s2, o1, bytes("x")), true,
         R"({"action":"write","what":"object","session":)" + kS2 + R"(,"object":)" + kO1 +
             R"(,"metadata":{},)" + kWriteEnd},
    };
}

// Every request class: whether simulation suppresses it, its exact body, and that only the
// writes of an object and the imports carry attachments (everything else sends the JSON alone).
TEST(RequestCatalogue, EveryRequestHasItsKindBodyAndAttachments) {
    for (const CatalogueRow& aRow : catalogue()) {
        SCOPED_TRACE(aRow.itsBody);
        EXPECT_EQ(aRow.itsRequest->isWrite(), aRow.itsIsWrite);
        EXPECT_EQ(aRow.itsRequest->json(), aRow.itsBody);
        const bool aHasAttachments = aRow.itsBody.starts_with(R"({"action":"write")") ||
                                     aRow.itsBody.starts_with(R"({"action":"import")");
        const std::size_t aCount = aRow.itsRequest->getCDataAttachments().size() +
                                   aRow.itsRequest->getBDataAttachments().size();
        EXPECT_EQ(aCount > 0, aHasAttachments);
    }
}

// Text goes as CDATA, binary content and import archives (in list order) as BDATA.
TEST(RequestAttachments, TextAsCDataBinaryAndArchivesAsBData) {
    const std::vector<SharedString> aContent{bytes(std::string("a\0b", 3))};
    const WriteObjectRequest aText(s2, withMetaData(activeMetaData()), aContent[0]);
    EXPECT_EQ(aText.getCDataAttachments(), aContent);
    EXPECT_TRUE(aText.getBDataAttachments().empty());
    const WriteObjectRequest aBinary(s2, withMetaData(activeMetaData()), aContent[0], true);
    EXPECT_TRUE(aBinary.getCDataAttachments().empty());
    EXPECT_EQ(aBinary.getBDataAttachments(), aContent);
    const WriteObjectRequest aNone(s2, withMetaData(activeMetaData()), nullptr);
    EXPECT_TRUE(aNone.getCDataAttachments().empty() && aNone.getBDataAttachments().empty());
    const std::vector<SharedString> aList{bytes("first"), bytes("second")};
    const ImportMultipleFilesRequest aMultiple(s2, {"a.tgz", "b.tgz"}, aList, importOptions());
    EXPECT_EQ(aMultiple.getBDataAttachments(), aList);
    EXPECT_TRUE(aMultiple.getCDataAttachments().empty());
}

TEST(RequestFailures, InvalidSessionAndVersionTypesAreRefused) {
    RepositorySession aSession;
    aSession.itsType = 3;
    EXPECT_EQ(messageOf([&] { ExistsObjectRequest(aSession, o1).json(); }),
              "Invalid session type (must be active = 1, inactive = 2 or historical = 4): 3");
    EXPECT_EQ(messageOf([&] { ReadObjectRequest(RepositorySession::active(), o1, false).json(); }),
              "Invalid version type (must be active = 1, inactive = 2 or historical = 3): 0");
}

} // namespace
