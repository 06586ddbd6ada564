#pragma once

#include <string>
#include <vector>

#include "core/recordfields.hpp"
#include "repository/reporequest.hpp"
#include "repository/resprecords.hpp"
#include "workspace/objects.hpp"

// The change-tracking requests: changes, their contributors and the tracking switch.
namespace RepositoryAccess {

// Adds a contributor to a change.
class AddContributorRequest : public RepositoryWriteRequest {
public:
    AddContributorRequest(std::string theChangeId, std::string theContributor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "AddContributorRequest"; }

private:
    std::string itsChangeId;
    std::string itsContributor;
};

// Opens a new change with the attributes of theFields that a user sets, those sent on create (the
// description).
class CreateChangeRequest : public RepositoryWriteRequest {
public:
    explicit CreateChangeRequest(std::string theDescription);
    explicit CreateChangeRequest(Change theChange, RecordDescription theFields = changeFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "CreateChangeRequest"; }

private:
    Change itsChange;
    RecordDescription itsFields;
};

// Deletes a change.
class DeleteChangeRequest : public RepositoryWriteRequest {
public:
    explicit DeleteChangeRequest(std::string theChangeId);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "DeleteChangeRequest"; }

private:
    std::string itsChangeId;
};

// Replaces the description of a change, and the other attributes of theFields that a user sets.
class EditChangeDescriptionRequest : public RepositoryWriteRequest {
public:
    EditChangeDescriptionRequest(std::string theChangeId, std::string theDescription);
    explicit EditChangeDescriptionRequest(Change theChange,
                                          RecordDescription theFields = changeFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "EditChangeDescriptionRequest"; }

private:
    Change itsChange;
    RecordDescription itsFields;
};

// Replaces a contributor's comment on a change.
class EditContributorCommentRequest : public RepositoryWriteRequest {
public:
    EditContributorCommentRequest(std::string theChangeId, std::string theContributor,
                                  std::string theComment);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "EditContributorCommentRequest"; }

private:
    std::string itsChangeId;
    std::string itsContributor;
    std::string itsComment;
};

// The filter of a change search; empty fields do not restrict it.
struct ChangeFilter {
    std::string itsChangeId;
    std::string itsSrcSystem;
    std::string itsChangeNumber;
    std::string itsChangeStatus;
    std::string itsContributor;
    std::string itsContributionStatus;
    std::string itsCreatedBy;
    std::string itsReleasedFrom;
    std::string itsReleasedTo;
};

// Finds the changes that match a filter.
class FindChangesRequest : public RepositoryReadRequest {
public:
    explicit FindChangesRequest(ChangeFilter theFilter);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "FindChangesRequest"; }

private:
    ChangeFilter itsFilter;
};

// Asks which changes the given objects belong to.
class GetAffectedChangesRequest : public RepositoryReadRequest {
public:
    explicit GetAffectedChangesRequest(std::vector<RepositoryObject> theObjects);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetAffectedChangesRequest"; }

private:
    std::vector<RepositoryObject> itsObjects;
};

// Asks whether change tracking is switched on.
class GetChangeTrackingStatusRequest : public RepositoryReadRequest {
public:
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetChangeTrackingStatusRequest"; }
};

// Merges the source change into the target change.
class MergeChangesRequest : public RepositoryWriteRequest {
public:
    MergeChangesRequest(std::string theSourceChangeId, std::string theTargetChangeId);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "MergeChangesRequest"; }

private:
    std::string itsSourceChangeId;
    std::string itsTargetChangeId;
};

// Moves the entries of the given objects from the source change to the target change.
class MoveChangeEntriesRequest : public RepositoryWriteRequest {
public:
    MoveChangeEntriesRequest(std::string theSourceChangeId, std::string theTargetChangeId,
                             std::vector<RepositoryObject> theObjects);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "MoveChangeEntriesRequest"; }

private:
    std::string itsSourceChangeId;
    std::string itsTargetChangeId;
    std::vector<RepositoryObject> itsObjects;
};

// Reads the given changes with their entries and contributors.
class ReadChangesRequest : public RepositoryReadRequest {
public:
    explicit ReadChangesRequest(std::vector<std::string> theChangeIds);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ReadChangesRequest"; }

private:
    std::vector<std::string> itsChangeIds;
};

// Releases a change.
class ReleaseChangeRequest : public RepositoryWriteRequest {
public:
    explicit ReleaseChangeRequest(std::string theChangeId);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ReleaseChangeRequest"; }

private:
    std::string itsChangeId;
};

// Removes a contributor from a change.
class RemoveContributorRequest : public RepositoryWriteRequest {
public:
    RemoveContributorRequest(std::string theChangeId, std::string theContributor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "RemoveContributorRequest"; }

private:
    std::string itsChangeId;
    std::string itsContributor;
};

// Switches change tracking to theStatus, optionally in spite of open changes.
class ToggleChangeTrackingRequest : public RepositoryWriteRequest {
public:
    ToggleChangeTrackingRequest(std::string theStatus, bool theIgnoreOpenChanges);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ToggleChangeTrackingRequest"; }

private:
    std::string itsStatus;
    bool itsIgnoreOpenChanges;
};

// Marks a user's contribution to a change as validated, with a comment.
class ValidateContributionRequest : public RepositoryReadRequest {
public:
    ValidateContributionRequest(std::string theChangeId, std::string theUser,
                                std::string theComment);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ValidateContributionRequest"; }

private:
    std::string itsChangeId;
    std::string itsUser;
    std::string itsComment;
};

} // namespace RepositoryAccess
