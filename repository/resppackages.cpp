#include "repository/resppackages.hpp"

namespace RepositoryAccess {

PackageListResponse::PackageListResponse(RepositoryMessage theMessage, std::string theClassName,
                                         std::string_view theListName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsPackages = reader().records<Package>(theListName, [](const ResponseReader& aReader) {
        return resprecords::readPackage(aReader);
    });
}

ReadPackageResponse::ReadPackageResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ReadPackageResponse") {
    itsPackage = resprecords::readPackage(reader());
}

} // namespace RepositoryAccess
