#include "repository/respbase.hpp"

namespace RepositoryAccess {

ExistsResponse::ExistsResponse(RepositoryMessage theMessage, std::string theClassName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsExists = readExists(ResponseReader(jsonObject(), isSuccess()));
}

VersionNumberResponse::VersionNumberResponse(RepositoryMessage theMessage, std::string theClassName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsVersion = ResponseReader(jsonObject(), isSuccess()).integer("version");
}

GetSupportedExportVersionsResponse::GetSupportedExportVersionsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetSupportedExportVersionsResponse") {
    const ResponseReader aReader(jsonObject(), isSuccess());
    itsMinRequiredVersion = aReader.string("minRequiredVersion");
    itsMaxVersion = aReader.optional("maxVersion", "n/a");
}

GetContentVendorResponse::GetContentVendorResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetContentVendorResponse") {
    itsContentVendor = ResponseReader(jsonObject(), isSuccess()).string("contentVendor");
}

ListInactiveWorkSpacesResponse::ListInactiveWorkSpacesResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListInactiveWorkSpacesResponse") {
    itsWorkSpaces =
        ResponseReader(jsonObject(), isSuccess())
            .records<InactiveWorkSpace>("workspaces", resprecords::readInactiveWorkSpace);
}

ListAllObjectTypesResponse::ListAllObjectTypesResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListAllObjectTypesResponse") {
    itsObjectTypes = ResponseReader(jsonObject(), isSuccess())
                         .records<ObjectType>("objectTypes", resprecords::readObjectType);
}

} // namespace RepositoryAccess
