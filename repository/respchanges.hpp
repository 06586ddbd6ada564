#pragma once

#include <string>
#include <vector>

#include "repository/respbase.hpp"
#include "repository/resprecords.hpp"

// Responses of the change-tracking requests.
namespace RepositoryAccess {

// The id of a new change.
class CreateChangeResponse : public RepositoryResponse {
public:
    explicit CreateChangeResponse(RepositoryMessage theMessage);
    const std::string& getChangeId() const { return itsChangeId; }

private:
    std::string itsChangeId;
};

// A list of changes with their entries and contributors.
class ChangeListResponse : public RepositoryResponse {
public:
    ChangeListResponse(RepositoryMessage theMessage, std::string theClassName);
    const std::vector<ChangeEntry>& getChanges() const { return itsChanges; }

private:
    std::vector<ChangeEntry> itsChanges;
};

// The changes that match a filter.
class FindChangesResponse : public ChangeListResponse {
public:
    explicit FindChangesResponse(RepositoryMessage theMessage)
        : ChangeListResponse(std::move(theMessage), "FindChangesResponse") {}
};

// The open changes that hold any of the given objects.
class GetAffectedChangesResponse : public ChangeListResponse {
public:
    explicit GetAffectedChangesResponse(RepositoryMessage theMessage)
        : ChangeListResponse(std::move(theMessage), "GetAffectedChangesResponse") {}
};

// The changes read by their ids.
class ReadChangesResponse : public ChangeListResponse {
public:
    explicit ReadChangesResponse(RepositoryMessage theMessage)
        : ChangeListResponse(std::move(theMessage), "ReadChangesResponse") {}
};

// Whether change tracking is on ("enabled") or off ("disabled").
class GetChangeTrackingStatusResponse : public RepositoryResponse {
public:
    explicit GetChangeTrackingStatusResponse(RepositoryMessage theMessage);
    const std::string& getStatus() const { return itsStatus; }

private:
    std::string itsStatus;
};

KIVO_TRIPLE_RESPONSE(AddContributorResponse);
KIVO_TRIPLE_RESPONSE(DeleteChangeResponse);
KIVO_TRIPLE_RESPONSE(EditChangeDescriptionResponse);
KIVO_TRIPLE_RESPONSE(EditContributorCommentResponse);
KIVO_TRIPLE_RESPONSE(MergeChangesResponse);
KIVO_TRIPLE_RESPONSE(MoveChangeEntriesResponse);
KIVO_TRIPLE_RESPONSE(ReleaseChangeResponse);
KIVO_TRIPLE_RESPONSE(RemoveContributorResponse);
KIVO_TRIPLE_RESPONSE(ToggleChangeTrackingResponse);
KIVO_TRIPLE_RESPONSE(ValidateContributionResponse);

} // namespace RepositoryAccess
