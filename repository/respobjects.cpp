#include "repository/respobjects.hpp"

namespace RepositoryAccess {

ActivateObjectsResponse::ActivateObjectsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ActivateObjectsResponse") {
    const ResponseReader aReader = reader();
    itsActivationId = aReader.string("activationID");
    itsCheckResults = aReader.records<CheckResult>("checkResults", resprecords::readCheckResult);
    itsChangeId = aReader.string("changeID");
}

DeleteObjectResponse::DeleteObjectResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "DeleteObjectResponse") {
    itsIsReverted = reader().optional("isReverted", "0");
}

ListObjectsResponse::ListObjectsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListObjectsResponse") {
    itsObjects = reader().objectList("objects", itsRefusals);
}

GetObjectResponse::GetObjectResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetObjectResponse") {
    const ResponseReader aReader = reader();
    itsMetaData = aReader.metaData("metadata");
    itsVersion = aReader.version("version");
}

ReadObjectsResponse::ReadObjectsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ReadObjectsResponse") {
    const ResponseReader aReader = reader();
    itsSuccessfulObjects = aReader.objectList("successfulObjects");
    itsErrorObjects = aReader.objectList("errorObjects");
}

WriteObjectResponse::WriteObjectResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "WriteObjectResponse") {
    itsMetaData = reader().metaData("metadata");
}

ListHistoryResponse::ListHistoryResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListHistoryResponse") {
    itsHistory = reader().records<HistoryEntry>("history", resprecords::readHistoryEntry);
}

} // namespace RepositoryAccess
