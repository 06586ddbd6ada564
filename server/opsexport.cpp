// Export of a delivery unit, whole or as a patch of an activation window, and of its texts.
#include "server/archive.hpp"
#include "server/dumanifest.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

#include <charconv>
#include <set>

namespace RepositoryAccess::server::ops {

namespace {

// What an export of a delivery unit asks for, read and checked.
struct ExportRequest {
    DeliveryUnitRecord itsUnit;
    std::string itsFrom, itsTo;
    bool itsReleasedOnly = false;
};

// The archive format version to write: the one asked for, within the repository's range, else
// the newest one the repository writes.
std::string exportVersion(RepositoryStore& theStore, const std::string& theAsked) {
    if (theAsked.empty())
        return theStore.getSetting("export_version_max").value_or("1");
    if (!supportsExportVersion(theStore, theAsked))
        throw EngineError{code::kInvalidRequest,
                          "Export version " + theAsked +
                              " is not supported (supported: " + exportVersionRange(theStore) + ")",
                          theAsked};
    return std::to_string(numberText(theAsked, "version4Export"));
}

std::string timestampMember(const json::JsonObject& theBody, std::string_view theName) {
    std::string aText = optionalMember(theBody, theName);
    if (aText.empty())
        return aText;
    auto aTimestamp = text::normaliseTimestamp(aText);
    if (!aTimestamp)
        throw EngineError{code::kInvalidRequest,
                          "Invalid timestamp in \"" + std::string(theName) + "\": \"" + aText +
                              "\" (expected YYYY-MM-DD HH:MM:SS.mmm)",
                          aText};
    return *aTimestamp;
}

// The header every archive of a delivery unit starts with; the alias replaces the source system.
ExportHeader exportHeader(const Operation& theOperation, const DeliveryUnitRecord& theUnit,
                          const char* theType) {
    const json::JsonObject& aBody = theOperation.itsBody;
    ExportHeader aHeader;
    aHeader.itsExportType = theType;
    aHeader.itsExportVersion =
        exportVersion(theOperation.itsStore, optionalMember(aBody, "version4Export"));
    aHeader.itsExportTime = text::nowTimestamp();
    aHeader.itsSourceSystem = optionalMember(aBody, "alias");
    if (aHeader.itsSourceSystem.empty())
        aHeader.itsSourceSystem = theOperation.itsStore.getSetting("database_name").value_or("");
    aHeader.itsDuCheck = optionalMember(aBody, "du_check");
    aHeader.itsUnit = theUnit;
    return aHeader;
}

// The version of an object that an export carries: the newest one activated up to the end of
// the window (or the newest one), if it was activated within the window.
std::optional<HistoryRecord> exportedVersion(RepositoryStore& theStore, std::int64_t theObject,
                                             const ExportRequest& theRequest) {
    std::optional<HistoryRecord> anEntry;
    if (theRequest.itsTo.empty()) {
        std::int64_t aLatest = theStore.latest(theObject);
        if (aLatest > 0)
            anEntry = theStore.historyEntry(theObject, aLatest, true);
    } else {
        anEntry = theStore.historyAt(theObject, theRequest.itsTo, true);
    }
    if (anEntry && !theRequest.itsFrom.empty() && anEntry->itsActivatedAt < theRequest.itsFrom)
        return std::nullopt;
    return anEntry;
}

// Collects the packages and objects of the delivery unit into theManifest, and the contents of
// the objects, in manifest order, into theContents.
void collect(RepositoryStore& theStore, const ExportRequest& theRequest, Manifest& theManifest,
             std::vector<std::string>& theContents) {
    std::set<std::string> aChanges;
    for (PackageRecord& aPackage : theStore.packagesOfDeliveryUnit(theRequest.itsUnit.itsName,
                                                                   theRequest.itsUnit.itsVendor)) {
        aPackage.itsSrcSystem = theManifest.itsHeader.itsSourceSystem;
        for (std::int64_t anObject : theStore.objectsInPackage(aPackage.itsName)) {
            auto anEntry = exportedVersion(theStore, anObject, theRequest);
            if (!anEntry)
                continue;
            ObjectKey aKey = theStore.objectKey(anObject);
            if (anEntry->itsIsDeletion) {
                if (!theRequest.itsFrom.empty()) {
                    theManifest.itsDeletedObjects.push_back(aKey);
                    theManifest.itsDeletionEntries.push_back(*anEntry);
                }
                continue;
            }
            bool anUnreleased = !anEntry->itsChangeNumber.empty() && anEntry->itsReleasedAt.empty();
            if (theRequest.itsReleasedOnly && anUnreleased)
                continue;
            ManifestObject anExported;
            anExported.itsKey = aKey;
            anExported.itsMember = objectMemberName(theManifest.itsObjects.size());
            anExported.itsChecksum = sha256Hex(anEntry->itsContent);
            theContents.push_back(std::move(anEntry->itsContent));
            anExported.itsEntry = std::move(*anEntry);
            if (!anExported.itsEntry.itsChangeNumber.empty())
                aChanges.insert(anExported.itsEntry.itsChangeNumber);
            theManifest.itsObjects.push_back(std::move(anExported));
        }
        theManifest.itsPackages.push_back(std::move(aPackage));
    }
    theManifest.itsChanges.assign(aChanges.begin(), aChanges.end());
}

std::string exportSummaryJson(const Manifest& theManifest) {
    const ExportHeader& aHeader = theManifest.itsHeader;
    std::vector<std::string> aPackages, aChanges, anObjects, aDeletions;
    for (const PackageRecord& aPackage : theManifest.itsPackages)
        aPackages.push_back(packageJson(aPackage));
    // Exported objects carry the metadata of the exported active version, so that the client
    // prints them like every other object list.
    for (const ManifestObject& anObject : theManifest.itsObjects)
        anObjects.push_back(listElement(anObject.itsKey, activeVersionJson(),
                                        historyMetadataJson(anObject.itsEntry, false)));
    for (std::size_t i = 0; i < theManifest.itsDeletedObjects.size(); ++i)
        aDeletions.push_back(
            listElement(theManifest.itsDeletedObjects[i], activeVersionJson(),
                        historyMetadataJson(theManifest.itsDeletionEntries[i], false)));
    for (const std::string& aChange : theManifest.itsChanges)
        aChanges.push_back(quoted(aChange));
    return jsonObject({{"deliveryUnit", deliveryUnitJson(aHeader.itsUnit)},
                       {"export_version", quoted(aHeader.itsExportVersion)},
                       {"export_time", quoted(aHeader.itsExportTime)},
                       {"sourceSystem", quoted(aHeader.itsSourceSystem)},
                       {"packages", jsonList(aPackages)},
                       {"objects", jsonList(anObjects)},
                       {"deletedObjects", jsonList(aDeletions)},
                       {"changes", jsonList(aChanges)}});
}

// The manifest goes first, so that a reader learns what to expect before the contents.
std::string archiveOf(const Manifest& theManifest, const std::vector<std::string>& theContents) {
    ArchiveWriter anArchive;
    addManifest(anArchive, theManifest);
    for (std::size_t i = 0; i < theContents.size(); ++i)
        anArchive.add(theManifest.itsObjects[i].itsMember, theContents[i]);
    return anArchive.finish();
}

} // namespace

bool supportsExportVersion(RepositoryStore& theStore, std::string_view theVersion) {
    auto aNumber = [](std::string_view theText) {
        std::int64_t aValue = -1;
        auto [anEnd, anError] =
            std::from_chars(theText.data(), theText.data() + theText.size(), aValue);
        return anError == std::errc() && anEnd == theText.data() + theText.size() ? aValue : -1;
    };
    std::int64_t aVersion = aNumber(theVersion);
    return aVersion >= 0 &&
           aVersion >= aNumber(theStore.getSetting("export_version_min").value_or("1")) &&
           aVersion <= aNumber(theStore.getSetting("export_version_max").value_or("1"));
}

std::string exportVersionRange(RepositoryStore& theStore) {
    return theStore.getSetting("export_version_min").value_or("1") + " to " +
           theStore.getSetting("export_version_max").value_or("1");
}

void exportDeliveryUnit(Operation& theOperation) {
    const json::JsonObject& aBody = theOperation.itsBody;
    RepositoryStore& aStore = theOperation.itsStore;
    ExportRequest aRequest;
    aRequest.itsUnit =
        requireDeliveryUnit(aStore, member(aBody, "delivery_unit"), member(aBody, "du_vendor"));
    aRequest.itsFrom = timestampMember(aBody, "tst_FROM");
    aRequest.itsTo = timestampMember(aBody, "tst_TO");
    aRequest.itsReleasedOnly = flagMember(aBody, "released_only");

    Manifest aManifest;
    aManifest.itsHeader =
        exportHeader(theOperation, aRequest.itsUnit,
                     aRequest.itsFrom.empty() ? exporttype::kDeliveryUnit : exporttype::kPatch);
    aManifest.itsHeader.itsTstFrom = aRequest.itsFrom;
    aManifest.itsHeader.itsTstTo = aRequest.itsTo;
    std::vector<std::string> aContents;
    collect(aStore, aRequest, aManifest, aContents);
    std::string anArchive = archiveOf(aManifest, aContents);
    theOperation.itsAnswer.setRaw("exportSummary", exportSummaryJson(aManifest));
    theOperation.itsAnswer.addSlot({}, std::move(anArchive));
}

// The repository keeps no texts of its own, so a language archive holds the header alone.
void exportLanguages(Operation& theOperation) {
    const json::JsonObject& aBody = theOperation.itsBody;
    DeliveryUnitRecord aUnit = requireDeliveryUnit(
        theOperation.itsStore, member(aBody, "delivery_unit"), member(aBody, "du_vendor"));
    Manifest aManifest;
    aManifest.itsHeader = exportHeader(theOperation, aUnit, exporttype::kLanguages);
    std::string aLanguages;
    for (const json::JsonValue& aValue : json::getList(aBody, "languages"))
        aLanguages += (aLanguages.empty() ? "" : ",") + json::asString(aValue);
    aManifest.itsHeader.itsLanguages = aLanguages;
    theOperation.itsAnswer.addSlot({}, archiveOf(aManifest, {}));
}

} // namespace RepositoryAccess::server::ops
