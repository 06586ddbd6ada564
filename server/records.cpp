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

template <class Record>
std::string recordJson(const Record& theRecord, RecordDescription theFields) {
    std::string aText = "{";
    for (const RecordField& aField : theFields) {
        if (aText.size() > 1)
            aText += ',';
        aText += '"';
        aText += aField.itsKey;
        aText += "\":" + quoted(value(theRecord, aField.itsKey));
    }
    return aText + "}";
}

template <class Record>
Record recordFromJson(const json::JsonObject& theObject, RecordDescription theFields) {
    Record aRecord;
    for (const RecordField& aField : theFields)
        if (json::hasMember(theObject, aField.itsKey))
            value(aRecord, aField.itsKey) = json::getString(theObject, aField.itsKey);
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

std::string packageJson(const PackageRecord& thePackage, RecordDescription theFields) {
    return recordJson(thePackage, theFields);
}

std::string deliveryUnitJson(const DeliveryUnitRecord& theUnit, RecordDescription theFields) {
    return recordJson(theUnit, theFields);
}

PackageRecord packageFromJson(const json::JsonObject& theObject, RecordDescription theFields) {
    return recordFromJson<PackageRecord>(theObject, theFields);
}

DeliveryUnitRecord deliveryUnitFromJson(const json::JsonObject& theObject,
                                        RecordDescription theFields) {
    return recordFromJson<DeliveryUnitRecord>(theObject, theFields);
}

} // namespace RepositoryAccess::server
