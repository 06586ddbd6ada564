#pragma once

#include <vector>

#include "repository/respbase.hpp"
#include "repository/resprecords.hpp"

// Responses of the requests on packages.
namespace RepositoryAccess {

// Whether a package exists.
class ExistsPackageResponse : public ExistsResponse {
public:
    explicit ExistsPackageResponse(RepositoryMessage theMessage)
        : ExistsResponse(std::move(theMessage), "ExistsPackageResponse") {}
};

// A list of packages under the member theListName ("packages" or "rootPackages").
class PackageListResponse : public RepositoryResponse {
public:
    PackageListResponse(RepositoryMessage theMessage, std::string theClassName,
                        std::string_view theListName);
    const std::vector<Package>& getPackages() const { return itsPackages; }

private:
    std::vector<Package> itsPackages;
};

// The packages that match a filter.
class ListPackagesResponse : public PackageListResponse {
public:
    explicit ListPackagesResponse(RepositoryMessage theMessage)
        : PackageListResponse(std::move(theMessage), "ListPackagesResponse", "packages") {}
};

// The packages without a parent.
class ListRootPackagesResponse : public PackageListResponse {
public:
    explicit ListRootPackagesResponse(RepositoryMessage theMessage)
        : PackageListResponse(std::move(theMessage), "ListRootPackagesResponse", "rootPackages") {}
};

// One package, whose members stand directly in the answer.
class ReadPackageResponse : public RepositoryResponse {
public:
    explicit ReadPackageResponse(RepositoryMessage theMessage);
    const Package& getPackage() const { return itsPackage; }

private:
    Package itsPackage;
};

KIVO_TRIPLE_RESPONSE(CreatePackageResponse);
KIVO_TRIPLE_RESPONSE(DeletePackageResponse);
KIVO_TRIPLE_RESPONSE(UpdatePackageResponse);

} // namespace RepositoryAccess
