#pragma once

#include <string>

#include "repository/reporequest.hpp"
#include "repository/resprecords.hpp"

// The requests on repository packages: create, delete, test, list, read and update.
namespace RepositoryAccess {

// The attributes a package request sends are those of the package record the repository
// answers with.
using PackageAttributes = Package;

// Creates a package; with theInherit the repository fills unset attributes from the parent.
// Source system, transportable and content are not sent.
class CreatePackageRequest : public RepositoryWriteRequest {
public:
    CreatePackageRequest(PackageAttributes theAttributes, bool theInherit,
                         RecordDescription theFields = packageFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "CreatePackageRequest"; }

private:
    PackageAttributes itsAttributes;
    bool itsInherit;
    RecordDescription itsFields;
};

// Deletes a package, optionally with its sub packages and in spite of inactive objects.
class DeletePackageRequest : public RepositoryWriteRequest {
public:
    DeletePackageRequest(std::string thePackage, bool theIgnoreInactiveObjects,
                         bool theRecursively);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "DeletePackageRequest"; }

private:
    std::string itsPackage;
    bool itsIgnoreInactiveObjects;
    bool itsRecursively;
};

// Asks whether a package exists.
class ExistsPackageRequest : public RepositoryReadRequest {
public:
    explicit ExistsPackageRequest(std::string thePackage);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ExistsPackageRequest"; }

private:
    std::string itsPackage;
};

// Lists the packages whose attributes match the given ones (all fourteen are sent).
class ListPackagesRequest : public RepositoryReadRequest {
public:
    explicit ListPackagesRequest(PackageAttributes theAttributes,
                                 RecordDescription theFields = packageFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListPackagesRequest"; }

private:
    PackageAttributes itsAttributes;
    RecordDescription itsFields;
};

// Lists the packages at the top of the package tree.
class ListRootPackagesRequest : public RepositoryReadRequest {
public:
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListRootPackagesRequest"; }
};

// Reads the attributes of one package.
class ReadPackageRequest : public RepositoryReadRequest {
public:
    explicit ReadPackageRequest(std::string thePackage);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ReadPackageRequest"; }

private:
    std::string itsPackage;
};

// Replaces all fourteen attributes of a package.
class UpdatePackageRequest : public RepositoryWriteRequest {
public:
    explicit UpdatePackageRequest(PackageAttributes theAttributes,
                                  RecordDescription theFields = packageFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "UpdatePackageRequest"; }

private:
    PackageAttributes itsAttributes;
    RecordDescription itsFields;
};

} // namespace RepositoryAccess
