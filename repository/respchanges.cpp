#include "repository/respchanges.hpp"

namespace RepositoryAccess {

CreateChangeResponse::CreateChangeResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "CreateChangeResponse") {
    itsChangeId = reader().string("changeID");
}

ChangeListResponse::ChangeListResponse(RepositoryMessage theMessage, std::string theClassName)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    itsChanges = reader().records<ChangeEntry>("changes", resprecords::readChangeEntry);
}

GetChangeTrackingStatusResponse::GetChangeTrackingStatusResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetChangeTrackingStatusResponse") {
    itsStatus = reader().string("status");
}

} // namespace RepositoryAccess
