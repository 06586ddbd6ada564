#pragma once

#include <string>
#include <utility>
#include <vector>

#include "repository/respbase.hpp"
#include "repository/resprecords.hpp"
#include "workspace/objects.hpp"

// Responses of the requests on objects: activation, reads, writes, deletion, lists, history.
namespace RepositoryAccess {

// The outcome of an activation: its id, the check results and the change it belongs to.
class ActivateObjectsResponse : public RepositoryResponse {
public:
    explicit ActivateObjectsResponse(RepositoryMessage theMessage);
    const std::string& getActivationId() const { return itsActivationId; }
    const std::vector<CheckResult>& getCheckResults() const { return itsCheckResults; }
    std::vector<CheckResult> takeCheckResults() { return std::move(itsCheckResults); }
    const std::string& getChangeId() const { return itsChangeId; }

private:
    std::string itsActivationId;
    std::vector<CheckResult> itsCheckResults;
    std::string itsChangeId;
};

// The deletion of an object; "isReverted" ("0" when missing) tells that only an inactive
// version was dropped.
class DeleteObjectResponse : public RepositoryResponse {
public:
    explicit DeleteObjectResponse(RepositoryMessage theMessage);
    const std::string& getIsReverted() const { return itsIsReverted; }

private:
    std::string itsIsReverted;
};

// Whether an object exists.
class ExistsObjectResponse : public ExistsResponse {
public:
    explicit ExistsObjectResponse(RepositoryMessage theMessage)
        : ExistsResponse(std::move(theMessage), "ExistsObjectResponse") {}
};

// The objects found by a search or listed from an inactive workspace.
class ListObjectsResponse : public RepositoryResponse {
public:
    explicit ListObjectsResponse(RepositoryMessage theMessage);
    const std::vector<RepositoryObject>& getObjects() const { return itsObjects; }
    // Hands the objects over: a listing of 100,000 objects is not copied.
    std::vector<RepositoryObject> takeObjects() { return std::move(itsObjects); }
    // One line for each object left out because its names cannot be a workspace file.
    const std::vector<std::string>& getRefusals() const { return itsRefusals; }

private:
    std::vector<RepositoryObject> itsObjects;
    std::vector<std::string> itsRefusals;
};

// One object's metadata and version; its content (after a read) is in the first attachment slot.
class GetObjectResponse : public RepositoryResponse {
public:
    explicit GetObjectResponse(RepositoryMessage theMessage);
    const ObjectMetaData& getMetaData() const { return itsMetaData; }
    const ObjectVersion& getVersion() const { return itsVersion; }

private:
    ObjectMetaData itsMetaData;
    ObjectVersion itsVersion;
};

// Several objects read at once: those read (one attachment slot each, in order) and those that
// failed, each with its own error triple.
class ReadObjectsResponse : public RepositoryResponse {
public:
    explicit ReadObjectsResponse(RepositoryMessage theMessage);
    const std::vector<RepositoryObject>& getSuccessfulObjects() const {
        return itsSuccessfulObjects;
    }
    const std::vector<RepositoryObject>& getErrorObjects() const { return itsErrorObjects; }

private:
    std::vector<RepositoryObject> itsSuccessfulObjects;
    std::vector<RepositoryObject> itsErrorObjects;
};

// The metadata of the inactive version that a write created.
class WriteObjectResponse : public RepositoryResponse {
public:
    explicit WriteObjectResponse(RepositoryMessage theMessage);
    const ObjectMetaData& getMetaData() const { return itsMetaData; }

private:
    ObjectMetaData itsMetaData;
};

// The activated versions of an object.
class ListHistoryResponse : public RepositoryResponse {
public:
    explicit ListHistoryResponse(RepositoryMessage theMessage);
    const std::vector<HistoryEntry>& getHistory() const { return itsHistory; }

private:
    std::vector<HistoryEntry> itsHistory;
};

// The number of an object's latest activated version (0 when never activated).
class GetNumberOfLatestVersionResponse : public VersionNumberResponse {
public:
    explicit GetNumberOfLatestVersionResponse(RepositoryMessage theMessage)
        : VersionNumberResponse(std::move(theMessage), "GetNumberOfLatestVersionResponse") {}
};

KIVO_TRIPLE_RESPONSE(PullInactiveObjectsResponse);
KIVO_TRIPLE_RESPONSE(RevertObjectsResponse);

} // namespace RepositoryAccess
