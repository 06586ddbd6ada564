#include "repository/respchanges.hpp"

namespace RepositoryAccess {

CreateChangeResponse::CreateChangeResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "CreateChangeResponse") {
    itsChangeId = ResponseReader(jsonObject(), isSuccess()).string("changeID");
}

ChangeListResponse::ChangeListResponse(RepositoryMessage theMessage, std::string theClassName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsChanges = ResponseReader(jsonObject(), isSuccess())
                     .records<ChangeEntry>("changes", resprecords::readChangeEntry);
}

GetChangeTrackingStatusResponse::GetChangeTrackingStatusResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetChangeTrackingStatusResponse") {
    itsStatus = ResponseReader(jsonObject(), isSuccess()).string("status");
}

} // namespace RepositoryAccess
