#include "repository/recordvalues.hpp"

#include <array>
#include <utility>

namespace RepositoryAccess::recordvalues {

namespace {

// The attributes that the client's code names; any other attribute of the package description
// lives among the package's other attributes.
constexpr std::array<std::pair<std::string_view, std::string Package::*>, 14> thePackageMembers{{
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

std::string Package::*member(std::string_view theKey) {
    for (const auto& [aKey, aMember] : thePackageMembers)
        if (aKey == theKey)
            return aMember;
    return nullptr;
}

} // namespace

std::string& value(Package& thePackage, std::string_view theKey) {
    if (std::string Package::*aMember = member(theKey))
        return thePackage.*aMember;
    auto aFound = thePackage.itsOtherAttributes.find(theKey);
    if (aFound == thePackage.itsOtherAttributes.end())
        aFound = thePackage.itsOtherAttributes.emplace(std::string(theKey), std::string()).first;
    return aFound->second;
}

std::string_view value(const Package& thePackage, std::string_view theKey) {
    if (std::string Package::*aMember = member(theKey))
        return thePackage.*aMember;
    const auto aFound = thePackage.itsOtherAttributes.find(theKey);
    return aFound == thePackage.itsOtherAttributes.end() ? std::string_view() : aFound->second;
}

} // namespace RepositoryAccess::recordvalues
