#include "server/records.hpp"

#include "server/answer.hpp"

#include <array>

namespace RepositoryAccess::server {

namespace {

// The attributes that the engine's code names; any other attribute of a description lives
// among the record's other attributes.
constexpr std::array<RecordMember<PackageRecord>, 14> thePackageMembers{{
    {"package", &PackageRecord::itsName},
    {"src_system", &PackageRecord::itsSrcSystem},
    {"description", &PackageRecord::itsDescription},
    {"responsible", &PackageRecord::itsResponsible},
    {"orig_lang", &PackageRecord::itsOrigLang},
    {"structural", &PackageRecord::itsStructural},
    {"delivery_unit", &PackageRecord::itsDeliveryUnit},
    {"du_vendor", &PackageRecord::itsDuVendor},
    {"transportable", &PackageRecord::itsTransportable},
    {"content", &PackageRecord::itsContent},
    {"text_collection", &PackageRecord::itsTextCollection},
    {"text_status", &PackageRecord::itsTextStatus},
    {"text_terminology_domain", &PackageRecord::itsTextTerminologyDomain},
    {"hints_for_translation", &PackageRecord::itsHintsForTranslation},
}};

constexpr std::array<RecordMember<DeliveryUnitRecord>, 11> theDeliveryUnitMembers{{
    {"name", &DeliveryUnitRecord::itsName},
    {"vendor", &DeliveryUnitRecord::itsVendor},
    {"caption", &DeliveryUnitRecord::itsCaption},
    {"responsible", &DeliveryUnitRecord::itsResponsible},
    {"version", &DeliveryUnitRecord::itsVersion},
    {"version_sp", &DeliveryUnitRecord::itsVersionSp},
    {"version_patch", &DeliveryUnitRecord::itsVersionPatch},
    {"lastUpdate", &DeliveryUnitRecord::itsLastUpdate},
    {"qrtsID", &DeliveryUnitRecord::itsQrtsId},
    {"sp_QRTS_ID", &DeliveryUnitRecord::itsSpQrtsId},
    {"ach", &DeliveryUnitRecord::itsAch},
}};

constexpr std::array<RecordMember<ChangeRecord>, 8> theChangeMembers{{
    {"changeID", &ChangeRecord::itsId},
    {"number", &ChangeRecord::itsNumber},
    {"status", &ChangeRecord::itsStatus},
    {"description", &ChangeRecord::itsDescription},
    {"createdAt", &ChangeRecord::itsCreatedAt},
    {"createdBy", &ChangeRecord::itsCreatedBy},
    {"releasedAt", &ChangeRecord::itsReleasedAt},
    {"releasedBy", &ChangeRecord::itsReleasedBy},
}};

constexpr std::array<RecordMember<ContributorRecord>, 4> theContributorMembers{{
    {"user", &ContributorRecord::itsUser},
    {"status", &ContributorRecord::itsStatus},
    {"description", &ContributorRecord::itsDescription},
    {"validatedAt", &ContributorRecord::itsValidatedAt},
}};

template <class Record>
std::string recordJson(const Record& theRecord, RecordDescription theFields,
                       std::string_view theMore = {}) {
    std::string aText = "{";
    for (const RecordField& aField : theFields) {
        if (aField.itsStoredOnly)
            continue;
        if (aText.size() > 1)
            aText += ',';
        aText += '"';
        aText += aField.itsKey;
        aText += "\":" + quoted(valueText(theRecord, aField.itsKey));
    }
    if (!theMore.empty()) {
        if (aText.size() > 1)
            aText += ',';
        aText += theMore;
    }
    return aText + "}";
}

template <class Record>
Record recordFromJson(const json::JsonObject& theObject, RecordDescription theFields) {
    Record aRecord;
    for (const RecordField& aField : theFields)
        if (json::hasMember(theObject, aField.itsKey))
            setValue(aRecord, aField.itsKey, json::getStringView(theObject, aField.itsKey));
    return aRecord;
}

} // namespace

std::string& value(PackageRecord& thePackage, std::string_view theKey) {
    return recordValue<PackageRecord>(thePackage, thePackageMembers, theKey);
}

std::string_view value(const PackageRecord& thePackage, std::string_view theKey) {
    return recordValue<PackageRecord>(thePackage, thePackageMembers, theKey);
}

std::string& value(DeliveryUnitRecord& theUnit, std::string_view theKey) {
    return recordValue<DeliveryUnitRecord>(theUnit, theDeliveryUnitMembers, theKey);
}

std::string_view value(const DeliveryUnitRecord& theUnit, std::string_view theKey) {
    return recordValue<DeliveryUnitRecord>(theUnit, theDeliveryUnitMembers, theKey);
}

std::string valueText(const PackageRecord& thePackage, std::string_view theKey) {
    return recordText<PackageRecord>(thePackage, thePackageMembers, theKey);
}

std::string valueText(const DeliveryUnitRecord& theUnit, std::string_view theKey) {
    return recordText<DeliveryUnitRecord>(theUnit, theDeliveryUnitMembers, theKey);
}

std::string valueText(const ChangeRecord& theChange, std::string_view theKey) {
    return recordText<ChangeRecord>(theChange, theChangeMembers, theKey);
}

std::string valueText(const ContributorRecord& theContributor, std::string_view theKey) {
    return recordText<ContributorRecord>(theContributor, theContributorMembers, theKey);
}

void setValue(PackageRecord& thePackage, std::string_view theKey, std::string_view theText) {
    setRecordText<PackageRecord>(thePackage, thePackageMembers, theKey, theText);
}

void setValue(DeliveryUnitRecord& theUnit, std::string_view theKey, std::string_view theText) {
    setRecordText<DeliveryUnitRecord>(theUnit, theDeliveryUnitMembers, theKey, theText);
}

void setValue(ChangeRecord& theChange, std::string_view theKey, std::string_view theText) {
    setRecordText<ChangeRecord>(theChange, theChangeMembers, theKey, theText);
}

void setValue(ContributorRecord& theContributor, std::string_view theKey,
              std::string_view theText) {
    setRecordText<ContributorRecord>(theContributor, theContributorMembers, theKey, theText);
}

std::string packageJson(const PackageRecord& thePackage, RecordDescription theFields) {
    return recordJson(thePackage, theFields);
}

std::string deliveryUnitJson(const DeliveryUnitRecord& theUnit, RecordDescription theFields) {
    return recordJson(theUnit, theFields);
}

std::string changeJson(const ChangeRecord& theChange, RecordDescription theFields,
                       std::string_view theMore) {
    return recordJson(theChange, theFields, theMore);
}

std::string contributorJson(const ContributorRecord& theContributor, RecordDescription theFields) {
    return recordJson(theContributor, theFields);
}

PackageRecord packageFromJson(const json::JsonObject& theObject, RecordDescription theFields) {
    return recordFromJson<PackageRecord>(theObject, theFields);
}

DeliveryUnitRecord deliveryUnitFromJson(const json::JsonObject& theObject,
                                        RecordDescription theFields) {
    return recordFromJson<DeliveryUnitRecord>(theObject, theFields);
}

} // namespace RepositoryAccess::server
