#include "repository/respbase.hpp"

namespace RepositoryAccess {

ExistsResponse::ExistsResponse(RepositoryMessage theMessage, std::string theClassName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsExists = readExists(reader());
}

VersionNumberResponse::VersionNumberResponse(RepositoryMessage theMessage, std::string theClassName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsVersion = reader().integer("version");
}

GetSupportedExportVersionsResponse::GetSupportedExportVersionsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetSupportedExportVersionsResponse") {
    const ResponseReader aReader = reader();
    itsMinRequiredVersion = aReader.string("minRequiredVersion");
    itsMaxVersion = aReader.optional("maxVersion", "n/a");
}

GetContentVendorResponse::GetContentVendorResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetContentVendorResponse") {
    itsContentVendor = reader().string("contentVendor");
}

ListInactiveWorkSpacesResponse::ListInactiveWorkSpacesResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListInactiveWorkSpacesResponse") {
    itsWorkSpaces =
        reader().records<InactiveWorkSpace>("workspaces", resprecords::readInactiveWorkSpace);
}

ListAllObjectTypesResponse::ListAllObjectTypesResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListAllObjectTypesResponse") {
    itsObjectTypes = reader().records<ObjectType>("objectTypes", resprecords::readObjectType);
}

} // namespace RepositoryAccess
