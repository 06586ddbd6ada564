#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/recordfields.hpp"
#include "repository/respreader.hpp"
#include "workspace/objects.hpp"

// The records nested in repository responses, and how each is read from its JSON object.
namespace RepositoryAccess {

// One result of an activation or import check. The object is absent for results that name no
// object (the summary); package, name and suffix are kept as received in any case.
struct CheckResult {
    // The object's file in the workspace; empty for the summary, which names no object, and for
    // an object whose names cannot be a workspace file (objects::nameProblem). Only
    // the path is kept: an activation of 100,000 objects answers with as many results.
    std::string itsWorkSpaceFileName;
    std::string itsPackage;
    std::string itsName;
    std::string itsSuffix;
    std::string itsErrorCode;
    std::string itsErrorMsg;
    std::string itsLocation;
    std::string itsSeverity; // "1" debug, "2" warning, "3" error, "4" summary
    std::string itsTimestamp;
};

// A change of change tracking. Status: 0 undefined, 1 open, 2 released, 3 abandoned, 4 eoct.
struct Change {
    std::string itsChangeId;
    std::int64_t itsStatus = 0;
    std::string itsDescription;
    std::string itsCreatedAt;
    std::string itsCreatedBy;
    std::string itsReleasedAt;
    std::string itsReleasedBy;
    // The attributes of the change description that the code above does not name, by key.
    OtherAttributes itsOtherAttributes = {};
};

// A user who contributes to a change. Status: 0 undefined, 1 open, 2 validated.
struct Contributor {
    std::string itsUser;
    std::int64_t itsStatus = 0;
    std::string itsDescription;
    std::string itsValidatedAt;
    // The attributes of the contributor description that the code above does not name, by key.
    OtherAttributes itsOtherAttributes = {};
};

// A change with its objects and its contributors.
struct ChangeEntry : Change {
    std::vector<RepositoryObject> itsEntries;
    std::vector<Contributor> itsContributors;
};

// A delivery unit with its attributes.
struct DeliveryUnit {
    std::string itsName;
    std::string itsVendor;
    std::string itsCaption;
    std::string itsResponsible;
    std::string itsVersion;
    std::string itsVersionSp;
    std::string itsVersionPatch;
    std::string itsLastUpdate;
    std::string itsQrtsId;
    std::string itsSpQrtsId;
    std::string itsAch;
    // The attributes of the delivery-unit description that the code above does not name, by key.
    OtherAttributes itsOtherAttributes = {};
};

// The key of a delivery unit in lists: name and vendor.
struct DeliveryUnitName {
    std::string itsName;
    std::string itsVendor;
};

// A package with its attributes.
struct Package {
    std::string itsPackage;
    std::string itsSrcSystem;
    std::string itsDescription;
    std::string itsResponsible;
    std::string itsOrigLang;
    std::string itsStructural;
    std::string itsDeliveryUnit;
    std::string itsDuVendor;
    std::string itsTransportable;
    std::string itsContent;
    std::string itsTextCollection;
    std::string itsTextStatus;
    std::string itsTextTerminologyDomain;
    std::string itsHintsForTranslation;
    // The attributes of the package description that the code above does not name, by key.
    OtherAttributes itsOtherAttributes = {};
};

// An object type the repository knows.
struct ObjectType {
    std::string itsObjectType;
    std::string itsDescription;
    std::string itsFileExtension;
    std::string itsMimeType;
    std::string itsIsFileType;
    std::string itsUseCData;
    std::string itsUseBData;
};

// One activated version of an object.
struct HistoryEntry {
    std::string itsActivateAt;
    std::string itsActivatedBy;
    std::int64_t itsVersionId = 0;
    bool itsIsDeletion = false;
};

// An inactive repository workspace: its owner and name.
struct InactiveWorkSpace {
    std::string itsUser;
    std::string itsWorkSpace;
};

// What an export wrote into its archive.
struct ExportSummary {
    DeliveryUnit itsDeliveryUnit;
    std::string itsExportVersion;
    std::string itsExportTime;
    std::string itsSourceSystem;
    std::vector<Package> itsPackages;
    std::vector<RepositoryObject> itsObjects;
    std::vector<RepositoryObject> itsDeletedObjects;
    std::vector<std::string> itsChanges;
};

// The header of an export archive. Export type: "1" delivery unit, "2" object list, "3" delivery
// unit patch, "4" language transport.
struct ExportHeader {
    std::string itsExportType;
    std::string itsExportVersion;
    std::string itsExportTime;
    std::string itsSourceSystem;
    std::string itsDuCheck;
    std::string itsLanguages;
    DeliveryUnit itsDeliveryUnit;
    std::string itsTstFrom;
    std::string itsTstTo;
};

// A package that an import took from another delivery unit, with that unit.
struct TakenPackage {
    std::string itsPackage;
    std::string itsDeliveryUnit;
    std::string itsVendor;
};

// What an import did, with the header of each imported archive, the objects whose active
// versions it deleted and the packages it took from other delivery units (both empty when the
// repository does not name them).
struct ImportSummary {
    std::string itsRevertCount;
    std::string itsImportCount;
    std::string itsActivateCount;
    std::string itsDeleteCount;
    std::string itsChangeId;
    std::vector<ExportHeader> itsHeaders;
    std::vector<RepositoryObject> itsDeletedObjects;
    std::vector<TakenPackage> itsTakenPackages;
};

// What a language import did.
struct LanguageImportSummary {
    std::string itsTextCount;
    std::string itsImportCount;
    std::string itsPackageTextCount;
    ExportHeader itsHeader;
};

// What an undeployment removed.
struct UndeploySummary {
    std::string itsDeletedObjectsCount;
    std::string itsDeletedPackagesCount;
    std::string itsReassignedPackagesCount;
};

// Readers of the records, one per record, from the record's JSON object.
namespace resprecords {

CheckResult readCheckResult(const ResponseReader& theReader);
// The change read after the given description (a copy of changeFields() with more attributes).
Change readChange(const ResponseReader& theReader, RecordDescription theFields = changeFields());
// The contributor read after the given description (a copy of contributorFields() with more
// attributes).
Contributor readContributor(const ResponseReader& theReader,
                            RecordDescription theFields = contributorFields());
ChangeEntry readChangeEntry(const ResponseReader& theReader);
// The delivery unit read after the given description (a copy of deliveryUnitFields() with more
// attributes).
DeliveryUnit readDeliveryUnit(const ResponseReader& theReader,
                              RecordDescription theFields = deliveryUnitFields());
DeliveryUnitName readDeliveryUnitName(const ResponseReader& theReader);
Package readPackage(const ResponseReader& theReader);
// The package read after the given description (a copy of packageFields() with more attributes).
Package readPackage(const ResponseReader& theReader, RecordDescription theFields);
ObjectType readObjectType(const ResponseReader& theReader);
HistoryEntry readHistoryEntry(const ResponseReader& theReader);
InactiveWorkSpace readInactiveWorkSpace(const ResponseReader& theReader);
ExportSummary readExportSummary(const ResponseReader& theReader);
ExportHeader readExportHeader(const ResponseReader& theReader);
// The summary of a one-file import has the member "header", that of a several-file import the
// list "headers".
ImportSummary readImportSummary(const ResponseReader& theReader, bool theSeveralFiles);
LanguageImportSummary readLanguageImportSummary(const ResponseReader& theReader);
UndeploySummary readUndeploySummary(const ResponseReader& theReader);

} // namespace resprecords
} // namespace RepositoryAccess
