#include "repository/reqpackages.hpp"

#include <string_view>
#include <utility>

#include "repository/recordvalues.hpp"
#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

namespace {

// Writes a body whose members are all the package's attributes, in the repository's order.
void writeAllAttributes(std::string& theText, std::string_view theAction, std::string_view theWhat,
                        const PackageAttributes& theAttributes, RecordDescription theFields) {
    RequestWriter aWriter(theText, theAction, theWhat);
    for (const RecordField& aField : theFields)
        aWriter.member(aField.itsKey, recordvalues::value(theAttributes, aField.itsKey));
    aWriter.end();
}

} // namespace

CreatePackageRequest::CreatePackageRequest(PackageAttributes theAttributes, bool theInherit,
                                           RecordDescription theFields)
    : itsAttributes(std::move(theAttributes)), itsInherit(theInherit), itsFields(theFields) {}

void CreatePackageRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "create", "package");
    for (const RecordField& aField : itsFields)
        if (aField.itsSentOnCreate)
            aWriter.member(aField.itsKey, recordvalues::value(itsAttributes, aField.itsKey));
    aWriter.emptyList("texts").flag("inherit", itsInherit).end();
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

ListPackagesRequest::ListPackagesRequest(PackageAttributes theAttributes,
                                         RecordDescription theFields)
    : itsAttributes(std::move(theAttributes)), itsFields(theFields) {}

void ListPackagesRequest::writeBody(std::string& theText) const {
    writeAllAttributes(theText, "list", "packages", itsAttributes, itsFields);
}

void ListRootPackagesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "list", "rootPackages").end();
}

ReadPackageRequest::ReadPackageRequest(std::string thePackage)
    : itsPackage(std::move(thePackage)) {}

void ReadPackageRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "read", "package").member("package", itsPackage).end();
}

UpdatePackageRequest::UpdatePackageRequest(PackageAttributes theAttributes,
                                           RecordDescription theFields)
    : itsAttributes(std::move(theAttributes)), itsFields(theFields) {}

void UpdatePackageRequest::writeBody(std::string& theText) const {
    writeAllAttributes(theText, "update", "package", itsAttributes, itsFields);
}

} // namespace RepositoryAccess
