#include "repository/respobjects.hpp"

namespace RepositoryAccess {

ActivateObjectsResponse::ActivateObjectsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ActivateObjectsResponse") {
    const ResponseReader aReader(jsonObject(), isSuccess());
    itsActivationId = aReader.string("activationID");
    itsCheckResults = aReader.records<CheckResult>("checkResults", resprecords::readCheckResult);
    itsChangeId = aReader.string("changeID");
}

DeleteObjectResponse::DeleteObjectResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "DeleteObjectResponse") {
    itsIsReverted = ResponseReader(jsonObject(), isSuccess()).optional("isReverted", "0");
}

ListObjectsResponse::ListObjectsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListObjectsResponse") {
    itsObjects = ResponseReader(jsonObject(), isSuccess()).objectList("objects");
}

GetObjectResponse::GetObjectResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetObjectResponse") {
    const ResponseReader aReader(jsonObject(), isSuccess());
    itsMetaData = aReader.metaData("metadata");
    itsVersion = aReader.version("version");
}

ReadObjectsResponse::ReadObjectsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ReadObjectsResponse") {
    const ResponseReader aReader(jsonObject(), isSuccess());
    itsSuccessfulObjects = aReader.objectList("successfulObjects");
    itsErrorObjects = aReader.objectList("errorObjects");
}

WriteObjectResponse::WriteObjectResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "WriteObjectResponse") {
    itsMetaData = ResponseReader(jsonObject(), isSuccess()).metaData("metadata");
}

ListHistoryResponse::ListHistoryResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListHistoryResponse") {
    itsHistory = ResponseReader(jsonObject(), isSuccess())
                     .records<HistoryEntry>("history", resprecords::readHistoryEntry);
}

} // namespace RepositoryAccess
