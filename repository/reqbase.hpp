#pragma once

#include <string>

#include "repository/reporequest.hpp"
#include "repository/reposession.hpp"

// The requests about the repository itself: versions, vendor and inactive workspaces.
namespace RepositoryAccess {

// Asks for the version of the repository's database schema.
class GetDBSchemaVersionRequest : public RepositoryReadRequest {
public:
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetDBSchemaVersionRequest"; }
};

// Asks for the content vendor configured in the system.
class GetContentVendorRequest : public RepositoryReadRequest {
public:
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetContentVendorRequest"; }
};

// Asks for the range of archive versions the system can export.
class GetSupportedExportVersionsRequest : public RepositoryReadRequest {
public:
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetSupportedExportVersionsRequest"; }
};

// Lists the inactive workspaces, of one user when theUser is not empty.
class ListInactiveWorkSpacesRequest : public RepositoryReadRequest {
public:
    ListInactiveWorkSpacesRequest(RepositorySession theSession, std::string theUser);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListInactiveWorkSpacesRequest"; }

private:
    RepositorySession itsSession;
    std::string itsUser;
};

// Deletes a user's inactive workspace with all its inactive objects.
class DeleteInactiveWorkSpaceRequest : public RepositoryWriteRequest {
public:
    DeleteInactiveWorkSpaceRequest(RepositorySession theSession, std::string theUser,
                                   std::string theWorkSpace);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "DeleteInactiveWorkSpaceRequest"; }

private:
    RepositorySession itsSession;
    std::string itsUser;
    std::string itsWorkSpace;
};

} // namespace RepositoryAccess
