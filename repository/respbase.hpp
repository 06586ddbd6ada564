#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "repository/reporesponse.hpp"
#include "repository/respreader.hpp"
#include "repository/resprecords.hpp"

// Responses about the repository itself (schema version, export versions, content vendor,
// object types, inactive workspaces), and the shapes that several subjects share.
namespace RepositoryAccess {

// A response whose one member "exists" tells yes ("true") or no (anything else, or missing).
class ExistsResponse : public RepositoryResponse {
public:
    ExistsResponse(RepositoryMessage theMessage, std::string theClassName);
    bool exists() const { return itsExists; }

private:
    bool itsExists = false;
};

// A response whose one member "version" is a number.
class VersionNumberResponse : public RepositoryResponse {
public:
    VersionNumberResponse(RepositoryMessage theMessage, std::string theClassName);
    std::int64_t getVersion() const { return itsVersion; }

private:
    std::int64_t itsVersion = 0;
};

// The repository's schema version.
class GetDBSchemaVersionResponse : public VersionNumberResponse {
public:
    explicit GetDBSchemaVersionResponse(RepositoryMessage theMessage)
        : VersionNumberResponse(std::move(theMessage), "GetDBSchemaVersionResponse") {}
};

// The range of archive versions an export can write; the maximum is "n/a" when not reported.
class GetSupportedExportVersionsResponse : public RepositoryResponse {
public:
    explicit GetSupportedExportVersionsResponse(RepositoryMessage theMessage);
    const std::string& getMinRequiredVersion() const { return itsMinRequiredVersion; }
    const std::string& getMaxVersion() const { return itsMaxVersion; }

private:
    std::string itsMinRequiredVersion;
    std::string itsMaxVersion;
};

// The vendor that new content is created for.
class GetContentVendorResponse : public RepositoryResponse {
public:
    explicit GetContentVendorResponse(RepositoryMessage theMessage);
    const std::string& getContentVendor() const { return itsContentVendor; }

private:
    std::string itsContentVendor;
};

// The inactive repository workspaces as user and workspace pairs.
class ListInactiveWorkSpacesResponse : public RepositoryResponse {
public:
    explicit ListInactiveWorkSpacesResponse(RepositoryMessage theMessage);
    const std::vector<InactiveWorkSpace>& getWorkSpaces() const { return itsWorkSpaces; }

private:
    std::vector<InactiveWorkSpace> itsWorkSpaces;
};

// The object types the repository knows.
class ListAllObjectTypesResponse : public RepositoryResponse {
public:
    explicit ListAllObjectTypesResponse(RepositoryMessage theMessage);
    const std::vector<ObjectType>& getObjectTypes() const { return itsObjectTypes; }

private:
    std::vector<ObjectType> itsObjectTypes;
};

KIVO_TRIPLE_RESPONSE(DeleteInactiveWorkSpaceResponse);

} // namespace RepositoryAccess
