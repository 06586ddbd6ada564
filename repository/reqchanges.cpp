#include "repository/reqchanges.hpp"

#include <utility>

#include "repository/recordvalues.hpp"
#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

AddContributorRequest::AddContributorRequest(std::string theChangeId, std::string theContributor)
    : itsChangeId(std::move(theChangeId)), itsContributor(std::move(theContributor)) {}

void AddContributorRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "add", "changeContributor")
        .member("changeID", itsChangeId)
        .member("contributor", itsContributor)
        .end();
}

namespace {

// A change with only its description.
Change describedChange(std::string theChangeId, std::string theDescription) {
    Change aChange;
    aChange.itsChangeId = std::move(theChangeId);
    aChange.itsDescription = std::move(theDescription);
    return aChange;
}

// The attributes of theFields that a user sets, those sent on create.
void writeGivenAttributes(RequestWriter& theWriter, const Change& theChange,
                          RecordDescription theFields) {
    for (const RecordField& aField : theFields)
        if (aField.itsSentOnCreate)
            theWriter.member(aField.itsKey, recordvalues::valueText(theChange, aField.itsKey));
}

} // namespace

CreateChangeRequest::CreateChangeRequest(std::string theDescription)
    : CreateChangeRequest(describedChange("", std::move(theDescription))) {}

CreateChangeRequest::CreateChangeRequest(Change theChange, RecordDescription theFields)
    : itsChange(std::move(theChange)), itsFields(theFields) {}

void CreateChangeRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "create", "change");
    writeGivenAttributes(aWriter, itsChange, itsFields);
    aWriter.end();
}

DeleteChangeRequest::DeleteChangeRequest(std::string theChangeId)
    : itsChangeId(std::move(theChangeId)) {}

void DeleteChangeRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "delete", "change").member("changeID", itsChangeId).end();
}

EditChangeDescriptionRequest::EditChangeDescriptionRequest(std::string theChangeId,
                                                           std::string theDescription)
    : EditChangeDescriptionRequest(
          describedChange(std::move(theChangeId), std::move(theDescription))) {}

EditChangeDescriptionRequest::EditChangeDescriptionRequest(Change theChange,
                                                           RecordDescription theFields)
    : itsChange(std::move(theChange)), itsFields(theFields) {}

void EditChangeDescriptionRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "edit", "changeDescription");
    aWriter.member("changeID", itsChange.itsChangeId);
    writeGivenAttributes(aWriter, itsChange, itsFields);
    aWriter.end();
}

EditContributorCommentRequest::EditContributorCommentRequest(std::string theChangeId,
                                                             std::string theContributor,
                                                             std::string theComment)
    : itsChangeId(std::move(theChangeId)), itsContributor(std::move(theContributor)),
      itsComment(std::move(theComment)) {}

void EditContributorCommentRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "edit", "contributorComment")
        .member("changeID", itsChangeId)
        .member("contributor", itsContributor)
        .member("comment", itsComment)
        .end();
}

FindChangesRequest::FindChangesRequest(ChangeFilter theFilter) : itsFilter(std::move(theFilter)) {}

void FindChangesRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "find", "changes");
    aWriter.nested("filter")
        .memberIfSet("changeID", itsFilter.itsChangeId)
        .memberIfSet("srcSystem", itsFilter.itsSrcSystem)
        .memberIfSet("changeNumber", itsFilter.itsChangeNumber)
        .memberIfSet("changeStatus", itsFilter.itsChangeStatus)
        .memberIfSet("contributor", itsFilter.itsContributor)
        .memberIfSet("contributionStatus", itsFilter.itsContributionStatus)
        .memberIfSet("createdBy", itsFilter.itsCreatedBy)
        .memberIfSet("releasedFrom", itsFilter.itsReleasedFrom)
        .memberIfSet("releasedTo", itsFilter.itsReleasedTo)
        .end();
    aWriter.end();
}

GetAffectedChangesRequest::GetAffectedChangesRequest(std::vector<RepositoryObject> theObjects)
    : itsObjects(std::move(theObjects)) {}

void GetAffectedChangesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "affectedChanges").objectList("objects", itsObjects).end();
}

void GetChangeTrackingStatusRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "changeTrackingStatus").end();
}

MergeChangesRequest::MergeChangesRequest(std::string theSourceChangeId,
                                         std::string theTargetChangeId)
    : itsSourceChangeId(std::move(theSourceChangeId)),
      itsTargetChangeId(std::move(theTargetChangeId)) {}

void MergeChangesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "merge", "changes")
        .member("sourceChangeID", itsSourceChangeId)
        .member("targetChangeID", itsTargetChangeId)
        .end();
}

MoveChangeEntriesRequest::MoveChangeEntriesRequest(std::string theSourceChangeId,
                                                   std::string theTargetChangeId,
                                                   std::vector<RepositoryObject> theObjects)
    : itsSourceChangeId(std::move(theSourceChangeId)),
      itsTargetChangeId(std::move(theTargetChangeId)), itsObjects(std::move(theObjects)) {}

void MoveChangeEntriesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "move", "changeEntries")
        .member("sourceChangeID", itsSourceChangeId)
        .member("targetChangeID", itsTargetChangeId)
        .objectList("objects", itsObjects)
        .end();
}

ReadChangesRequest::ReadChangesRequest(std::vector<std::string> theChangeIds)
    : itsChangeIds(std::move(theChangeIds)) {}

void ReadChangesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "read", "changes").stringList("changeIDs", itsChangeIds).end();
}

ReleaseChangeRequest::ReleaseChangeRequest(std::string theChangeId)
    : itsChangeId(std::move(theChangeId)) {}

void ReleaseChangeRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "release", "change").member("changeID", itsChangeId).end();
}

RemoveContributorRequest::RemoveContributorRequest(std::string theChangeId,
                                                   std::string theContributor)
    : itsChangeId(std::move(theChangeId)), itsContributor(std::move(theContributor)) {}

void RemoveContributorRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "remove", "changeContributor")
        .member("changeID", itsChangeId)
        .member("contributor", itsContributor)
        .end();
}

ToggleChangeTrackingRequest::ToggleChangeTrackingRequest(std::string theStatus,
                                                         bool theIgnoreOpenChanges)
    : itsStatus(std::move(theStatus)), itsIgnoreOpenChanges(theIgnoreOpenChanges) {}

void ToggleChangeTrackingRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "set", "changeTracking")
        .raw("status", itsStatus)
        .flag("ignoreOpenChanges", itsIgnoreOpenChanges)
        .end();
}

ValidateContributionRequest::ValidateContributionRequest(std::string theChangeId,
                                                         std::string theUser,
                                                         std::string theComment)
    : itsChangeId(std::move(theChangeId)), itsUser(std::move(theUser)),
      itsComment(std::move(theComment)) {}

void ValidateContributionRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "validate", "contribution")
        .member("changeID", itsChangeId)
        .member("user", itsUser)
        .member("comment", itsComment)
        .end();
}

} // namespace RepositoryAccess
