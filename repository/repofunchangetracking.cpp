#include "repository/repofunchangetracking.hpp"

#include "repository/respchanges.hpp"

namespace RepositoryAccess::repofunchangetracking {

using repofunbase::judge;
using repofunbase::send;

namespace {

// ". Change id: <id>" as the messages about one change name it.
std::string changeId(const std::string& theChangeId) {
    return ". Change id: " + theChangeId;
}

} // namespace

void addContributor(const std::string& theChangeId, const std::string& theContributor) {
    auto aResponse =
        send<AddContributorResponse>(AddContributorRequest(theChangeId, theContributor));
    judge(aResponse,
          "Failed to add contributor" + changeId(theChangeId) + ", contributor: " + theContributor);
}

std::string createChange(const std::string& theDescription) {
    auto aResponse = send<CreateChangeResponse>(CreateChangeRequest(theDescription));
    judge(aResponse, "Failed to create change. Description: " + theDescription);
    return aResponse.getChangeId();
}

void deleteChange(const std::string& theChangeId) {
    auto aResponse = send<DeleteChangeResponse>(DeleteChangeRequest(theChangeId));
    judge(aResponse, "Failed to delete change" + changeId(theChangeId));
}

void editChangeDescription(const std::string& theChangeId, const std::string& theDescription) {
    auto aResponse = send<EditChangeDescriptionResponse>(
        EditChangeDescriptionRequest(theChangeId, theDescription));
    judge(aResponse, "Failed to edit change description" + changeId(theChangeId) +
                         ", description: " + theDescription);
}

void editContributorComment(const std::string& theChangeId, const std::string& theContributor,
                            const std::string& theComment) {
    auto aResponse = send<EditContributorCommentResponse>(
        EditContributorCommentRequest(theChangeId, theContributor, theComment));
    judge(aResponse, "Failed to edit contributor comment" + changeId(theChangeId) +
                         ", contributor: " + theContributor + ", comment: " + theComment);
}

std::vector<ChangeEntry> findChanges(const ChangeFilter& theFilter) {
    auto aResponse = send<FindChangesResponse>(FindChangesRequest(theFilter));
    judge(aResponse, "Failed to find changes (", {"0", "40101"});
    return aResponse.getChanges();
}

std::vector<ChangeEntry> getAffectedChanges(const std::vector<RepositoryObject>& theObjects) {
    auto aResponse = send<GetAffectedChangesResponse>(GetAffectedChangesRequest(theObjects));
    judge(aResponse, "Failed to get affected changes (");
    return aResponse.getChanges();
}

std::string getChangeTrackingStatus() {
    auto aResponse = send<GetChangeTrackingStatusResponse>(GetChangeTrackingStatusRequest());
    judge(aResponse, "Failed to get change tracking status (");
    return aResponse.getStatus();
}

void mergeChanges(const std::string& theSourceChangeId, const std::string& theTargetChangeId) {
    auto aResponse =
        send<MergeChangesResponse>(MergeChangesRequest(theSourceChangeId, theTargetChangeId));
    judge(aResponse, "Failed to merge changes. Source change Id: " + theSourceChangeId +
                         ", target change id: " + theTargetChangeId);
}

void moveChangeEntries(const std::string& theSourceChangeId, const std::string& theTargetChangeId,
                       const std::vector<RepositoryObject>& theObjects) {
    auto aResponse = send<MoveChangeEntriesResponse>(
        MoveChangeEntriesRequest(theSourceChangeId, theTargetChangeId, theObjects));
    judge(aResponse, "Failed to move change entries. Source change id: " + theSourceChangeId +
                         ", target change id: " + theTargetChangeId);
}

std::vector<ChangeEntry> readChanges(const std::vector<std::string>& theChangeIds) {
    auto aResponse = send<ReadChangesResponse>(ReadChangesRequest(theChangeIds));
    judge(aResponse, "Failed to read changes (");
    return aResponse.getChanges();
}

void releaseChange(const std::string& theChangeId) {
    auto aResponse = send<ReleaseChangeResponse>(ReleaseChangeRequest(theChangeId));
    judge(aResponse, "Failed to release change" + changeId(theChangeId));
}

void removeContributor(const std::string& theChangeId, const std::string& theContributor) {
    auto aResponse =
        send<RemoveContributorResponse>(RemoveContributorRequest(theChangeId, theContributor));
    judge(aResponse, "Failed to remove contributor" + changeId(theChangeId) +
                         ", contributor: " + theContributor);
}

void toggleChangeTracking(const std::string& theStatus, bool theIgnoreOpenChanges) {
    auto aResponse = send<ToggleChangeTrackingResponse>(
        ToggleChangeTrackingRequest(theStatus, theIgnoreOpenChanges));
    judge(aResponse, "Failed to toggle change tracking (");
}

void validateContribution(const std::string& theChangeId, const std::string& theUser,
                          const std::string& theComment) {
    auto aResponse = send<ValidateContributionResponse>(
        ValidateContributionRequest(theChangeId, theUser, theComment));
    judge(aResponse, "Failed to validate contributor" + changeId(theChangeId) +
                         ", user: " + theUser + ", comment: " + theComment);
}

} // namespace RepositoryAccess::repofunchangetracking
