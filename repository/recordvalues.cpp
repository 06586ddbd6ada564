#include "repository/recordvalues.hpp"

#include <array>

namespace RepositoryAccess::recordvalues {

namespace {

// The attributes that the client's code names; any other attribute of a record's description
// lives among the record's other attributes.
constexpr std::array<RecordMember<Package>, 14> thePackageMembers{{
    {"package", &Package::itsPackage},
    {"src_system", &Package::itsSrcSystem},
    {"description", &Package::itsDescription},
    {"responsible", &Package::itsResponsible},
    {"orig_lang", &Package::itsOrigLang},
    {"structural", &Package::itsStructural},
    {"delivery_unit", &Package::itsDeliveryUnit},
    {"du_vendor", &Package::itsDuVendor},
    {"transportable", &Package::itsTransportable},
    {"content", &Package::itsContent},
    {"text_collection", &Package::itsTextCollection},
    {"text_status", &Package::itsTextStatus},
    {"text_terminology_domain", &Package::itsTextTerminologyDomain},
    {"hints_for_translation", &Package::itsHintsForTranslation},
}};

constexpr std::array<RecordMember<DeliveryUnit>, 11> theDeliveryUnitMembers{{
    {"name", &DeliveryUnit::itsName},
    {"vendor", &DeliveryUnit::itsVendor},
    {"caption", &DeliveryUnit::itsCaption},
    {"responsible", &DeliveryUnit::itsResponsible},
    {"version", &DeliveryUnit::itsVersion},
    {"version_sp", &DeliveryUnit::itsVersionSp},
    {"version_patch", &DeliveryUnit::itsVersionPatch},
    {"lastUpdate", &DeliveryUnit::itsLastUpdate},
    {"qrtsID", &DeliveryUnit::itsQrtsId},
    {"sp_QRTS_ID", &DeliveryUnit::itsSpQrtsId},
    {"ach", &DeliveryUnit::itsAch},
}};

constexpr std::array<RecordMember<Change>, 7> theChangeMembers{{
    {"changeID", &Change::itsChangeId},
    {"status", &Change::itsStatus},
    {"description", &Change::itsDescription},
    {"createdAt", &Change::itsCreatedAt},
    {"createdBy", &Change::itsCreatedBy},
    {"releasedAt", &Change::itsReleasedAt},
    {"releasedBy", &Change::itsReleasedBy},
}};

constexpr std::array<RecordMember<Contributor>, 4> theContributorMembers{{
    {"user", &Contributor::itsUser},
    {"status", &Contributor::itsStatus},
    {"description", &Contributor::itsDescription},
    {"validatedAt", &Contributor::itsValidatedAt},
}};

} // namespace

std::string& value(Package& thePackage, std::string_view theKey) {
    return recordValue<Package>(thePackage, thePackageMembers, theKey);
}

std::string_view value(const Package& thePackage, std::string_view theKey) {
    return recordValue<Package>(thePackage, thePackageMembers, theKey);
}

std::string& value(DeliveryUnit& theUnit, std::string_view theKey) {
    return recordValue<DeliveryUnit>(theUnit, theDeliveryUnitMembers, theKey);
}

std::string_view value(const DeliveryUnit& theUnit, std::string_view theKey) {
    return recordValue<DeliveryUnit>(theUnit, theDeliveryUnitMembers, theKey);
}

std::string valueText(const Change& theChange, std::string_view theKey) {
    return recordText<Change>(theChange, theChangeMembers, theKey);
}

void setValue(Change& theChange, std::string_view theKey, std::string_view theText) {
    setRecordText<Change>(theChange, theChangeMembers, theKey, theText);
}

std::string valueText(const Contributor& theContributor, std::string_view theKey) {
    return recordText<Contributor>(theContributor, theContributorMembers, theKey);
}

void setValue(Contributor& theContributor, std::string_view theKey, std::string_view theText) {
    setRecordText<Contributor>(theContributor, theContributorMembers, theKey, theText);
}

} // namespace RepositoryAccess::recordvalues
