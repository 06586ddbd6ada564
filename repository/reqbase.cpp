#include "repository/reqbase.hpp"

#include <utility>

#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

void GetDBSchemaVersionRequest::writeBody(std::ostream& theStream) const {
    RequestWriter(theStream, "get", "dbSchemaVersion").end();
}

void GetContentVendorRequest::writeBody(std::ostream& theStream) const {
    RequestWriter(theStream, "get", "contentVendor").end();
}

void GetSupportedExportVersionsRequest::writeBody(std::ostream& theStream) const {
    RequestWriter(theStream, "get", "supportedExportVersions").end();
}

ListInactiveWorkSpacesRequest::ListInactiveWorkSpacesRequest(RepositorySession theSession,
                                                             std::string theUser)
    : itsSession(std::move(theSession)), itsUser(std::move(theUser)) {}

void ListInactiveWorkSpacesRequest::writeBody(std::ostream& theStream) const {
    RequestWriter(theStream, "list", "inactiveWorkspaces")
        .session("session", itsSession)
        .memberIfSet("user", itsUser)
        .end();
}

DeleteInactiveWorkSpaceRequest::DeleteInactiveWorkSpaceRequest(RepositorySession theSession,
                                                               std::string theUser,
                                                               std::string theWorkSpace)
    : itsSession(std::move(theSession)), itsUser(std::move(theUser)),
      itsWorkSpace(std::move(theWorkSpace)) {}

void DeleteInactiveWorkSpaceRequest::writeBody(std::ostream& theStream) const {
    RequestWriter(theStream, "delete", "inactiveWorkspace")
        .session("session", itsSession)
        .spacedMember("user", itsUser)
        .spacedMember("workspace", sentWorkSpace(itsWorkSpace))
        .end();
}

} // namespace RepositoryAccess
