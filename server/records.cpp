#include "server/records.hpp"

#include "server/answer.hpp"

namespace RepositoryAccess::server {

namespace {

template <class Record>
std::string recordJson(const Record& theRecord, const std::vector<RecordField<Record>>& theFields) {
    std::string aText = "{";
    for (const auto& aField : theFields) {
        if (aText.size() > 1)
            aText += ',';
        aText += "\"" + std::string(aField.itsName) + "\":" + quoted(theRecord.*aField.itsField);
    }
    return aText + "}";
}

template <class Record>
Record recordFromJson(const json::JsonObject& theObject,
                      const std::vector<RecordField<Record>>& theFields) {
    Record aRecord;
    for (const auto& aField : theFields)
        if (json::hasMember(theObject, aField.itsName))
            aRecord.*aField.itsField = json::getString(theObject, aField.itsName);
    return aRecord;
}

} // namespace

const std::vector<RecordField<PackageRecord>>& packageFields() {
    static const std::vector<RecordField<PackageRecord>> kFields = {
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
    };
    return kFields;
}

const std::vector<RecordField<DeliveryUnitRecord>>& deliveryUnitFields() {
    static const std::vector<RecordField<DeliveryUnitRecord>> kFields = {
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
    };
    return kFields;
}

std::string packageJson(const PackageRecord& thePackage) {
    return recordJson(thePackage, packageFields());
}

std::string deliveryUnitJson(const DeliveryUnitRecord& theUnit) {
    return recordJson(theUnit, deliveryUnitFields());
}

PackageRecord packageFromJson(const json::JsonObject& theObject) {
    return recordFromJson(theObject, packageFields());
}

DeliveryUnitRecord deliveryUnitFromJson(const json::JsonObject& theObject) {
    return recordFromJson(theObject, deliveryUnitFields());
}

} // namespace RepositoryAccess::server
