#include "repository/reqpackages.hpp"

#include <string_view>
#include <utility>

#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

namespace {

// Writes a body whose members are all fourteen package attributes, in the repository's order.
void writeAllAttributes(std::string& theText, std::string_view theAction, std::string_view theWhat,
                        const PackageAttributes& theAttributes) {
    RequestWriter(theText, theAction, theWhat)
        .member("package", theAttributes.itsPackage)
        .member("src_system", theAttributes.itsSrcSystem)
        .member("description", theAttributes.itsDescription)
        .member("responsible", theAttributes.itsResponsible)
        .member("orig_lang", theAttributes.itsOrigLang)
        .member("structural", theAttributes.itsStructural)
        .member("delivery_unit", theAttributes.itsDeliveryUnit)
        .member("du_vendor", theAttributes.itsDuVendor)
        .member("transportable", theAttributes.itsTransportable)
        .member("content", theAttributes.itsContent)
        .member("text_collection", theAttributes.itsTextCollection)
        .member("text_status", theAttributes.itsTextStatus)
        .member("text_terminology_domain", theAttributes.itsTextTerminologyDomain)
        .member("hints_for_translation", theAttributes.itsHintsForTranslation)
        .end();
}

} // namespace

CreatePackageRequest::CreatePackageRequest(PackageAttributes theAttributes, bool theInherit)
    : itsAttributes(std::move(theAttributes)), itsInherit(theInherit) {}

void CreatePackageRequest::writeBody(std::string& theText) const {
    const PackageAttributes& aPackage = itsAttributes;
    RequestWriter(theText, "create", "package")
        .member("package", aPackage.itsPackage)
        .member("description", aPackage.itsDescription)
        .member("responsible", aPackage.itsResponsible)
        .member("orig_lang", aPackage.itsOrigLang)
        .member("structural", aPackage.itsStructural)
        .member("delivery_unit", aPackage.itsDeliveryUnit)
        .member("du_vendor", aPackage.itsDuVendor)
        .member("text_collection", aPackage.itsTextCollection)
        .member("text_status", aPackage.itsTextStatus)
        .member("text_terminology_domain", aPackage.itsTextTerminologyDomain)
        .member("hints_for_translation", aPackage.itsHintsForTranslation)
        .emptyList("texts")
        .flag("inherit", itsInherit)
        .end();
}

DeletePackageRequest::DeletePackageRequest(std::string thePackage, bool theIgnoreInactiveObjects,
                                           bool theRecursively)
    : itsPackage(std::move(thePackage)), itsIgnoreInactiveObjects(theIgnoreInactiveObjects),
      itsRecursively(theRecursively) {}

void DeletePackageRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "delete", "package")
        .member("package", itsPackage)
        .flag("ignoreInactiveObjects", itsIgnoreInactiveObjects)
        .flag("recursively", itsRecursively)
        .end();
}

ExistsPackageRequest::ExistsPackageRequest(std::string thePackage)
    : itsPackage(std::move(thePackage)) {}

void ExistsPackageRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "exists", "package").member("package", itsPackage).end();
}

ListPackagesRequest::ListPackagesRequest(PackageAttributes theAttributes)
    : itsAttributes(std::move(theAttributes)) {}

void ListPackagesRequest::writeBody(std::string& theText) const {
    writeAllAttributes(theText, "list", "packages", itsAttributes);
}

void ListRootPackagesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "list", "rootPackages").end();
}

ReadPackageRequest::ReadPackageRequest(std::string thePackage)
    : itsPackage(std::move(thePackage)) {}

void ReadPackageRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "read", "package").member("package", itsPackage).end();
}

UpdatePackageRequest::UpdatePackageRequest(PackageAttributes theAttributes)
    : itsAttributes(std::move(theAttributes)) {}

void UpdatePackageRequest::writeBody(std::string& theText) const {
    writeAllAttributes(theText, "update", "package", itsAttributes);
}

} // namespace RepositoryAccess
