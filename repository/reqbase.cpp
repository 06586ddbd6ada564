#include "repository/reqbase.hpp"

#include <utility>

#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

void GetDBSchemaVersionRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "dbSchemaVersion").end();
}

void GetContentVendorRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "contentVendor").end();
}

void GetSupportedExportVersionsRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "supportedExportVersions").end();
}

ListInactiveWorkSpacesRequest::ListInactiveWorkSpacesRequest(RepositorySession theSession,
                                                             std::string theUser)
    : itsSession(std::move(theSession)), itsUser(std::move(theUser)) {}

void ListInactiveWorkSpacesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "list", "inactiveWorkspaces")
        .session("session", itsSession)
        .memberIfSet("user", itsUser)
        .end();
}

DeleteInactiveWorkSpaceRequest::DeleteInactiveWorkSpaceRequest(RepositorySession theSession,
                                                               std::string theUser,
                                                               std::string theWorkSpace)
    : itsSession(std::move(theSession)), itsUser(std::move(theUser)),
      itsWorkSpace(std::move(theWorkSpace)) {}

void DeleteInactiveWorkSpaceRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "delete", "inactiveWorkspace")
        .session("session", itsSession)
        .spacedMember("user", itsUser)
        .spacedMember("workspace", sentWorkSpace(itsWorkSpace))
        .end();
}

} // namespace RepositoryAccess
