// Change tracking: the switch and the life of a change (create, describe, release, merge, move,
// delete).
#include "server/authority.hpp"
#include "server/changerules.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

#include <algorithm>

namespace RepositoryAccess::server::ops {

namespace {

// Joins names with ", " for messages.
std::string joined(const std::vector<std::string>& theNames) {
    std::string aText;
    for (const std::string& aName : theNames)
        aText += (aText.empty() ? "" : ", ") + aName;
    return aText;
}

// The two open changes that a merge or a move names: the source gives, the target takes.
struct ChangePair {
    ChangeRecord itsSource, itsTarget;
};

ChangePair readPair(const Operation& theOperation, const std::string& theSourceDeed,
                    const std::string& theTargetDeed) {
    RepositoryStore& aStore = theOperation.itsStore;
    return {
        changes::requireOpen(aStore, member(theOperation.itsBody, "sourceChangeID"), theSourceDeed),
        changes::requireOpen(aStore, member(theOperation.itsBody, "targetChangeID"),
                             theTargetDeed)};
}

// The change that the request names, which the connected user created or administers.
ChangeRecord requireOwnedChange(const Operation& theOperation, const std::string& theDeed) {
    ChangeRecord aChange =
        changes::require(theOperation.itsStore, member(theOperation.itsBody, "changeID"));
    authority::requireChangeOwner(theOperation, aChange, theDeed);
    return aChange;
}

// The change's description from the request (which must name it), and the other attributes that
// a user sets, those sent on create, that the request names.
void takeGivenAttributes(const Operation& theOperation, ChangeRecord& theChange) {
    theChange.itsDescription = member(theOperation.itsBody, "description");
    for (const RecordField& aField : theOperation.itsStore.descriptions().itsChange)
        if (aField.itsSentOnCreate && json::hasMember(theOperation.itsBody, aField.itsKey))
            setValue(theChange, aField.itsKey,
                     json::getStringView(theOperation.itsBody, aField.itsKey));
}

// The object, with the versions it has in change theFrom, belongs to change theTo instead.
void moveEntry(RepositoryStore& theStore, const std::string& theFrom, const std::string& theTo,
               std::int64_t theObject) {
    theStore.addChangeEntry(theTo, theObject);
    theStore.removeChangeEntry(theFrom, theObject);
    theStore.reassignVersions(theObject, theFrom, theTo);
}

} // namespace

void toggleChangeTracking(Operation& theOperation) {
    std::string aStatus = member(theOperation.itsBody, "status");
    if (aStatus != "on" && aStatus != "off")
        throw EngineError{code::kInvalidRequest,
                          "Invalid change tracking status \"" + aStatus + "\" (expected on or off)",
                          aStatus};
    authority::requireAdministrator(theOperation, "switch change tracking");
    RepositoryStore& aStore = theOperation.itsStore;
    if (aStatus == "off" && !flagMember(theOperation.itsBody, "ignoreOpenChanges") &&
        aStore.hasOpenChanges())
        throw EngineError{"40103",
                          "Change tracking cannot be switched off while open changes exist; "
                          "release or delete them, or force the switch",
                          ""};
    aStore.setSetting("change_tracking", aStatus);
}

void createChange(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    changes::requireTrackingOn(aStore);
    ChangeRecord aChange;
    takeGivenAttributes(theOperation, aChange);
    aChange = changes::create(aStore, std::move(aChange), theOperation.itsUser);
    theOperation.itsAnswer.setString("changeID", aChange.itsId);
}

void deleteChange(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    ChangeRecord aChange = requireOwnedChange(theOperation, "delete");
    std::size_t anEntries = aStore.changeEntries(aChange.itsId).size();
    if (anEntries > 0)
        throw EngineError{"40105",
                          "Change \"" + aChange.itsId + "\" holds " + std::to_string(anEntries) +
                              " object(s) and cannot be deleted; move them to another change "
                              "first",
                          aChange.itsId};
    aStore.deleteChange(aChange.itsId);
}

void editChangeDescription(Operation& theOperation) {
    ChangeRecord aChange = requireOwnedChange(theOperation, "describe");
    takeGivenAttributes(theOperation, aChange);
    theOperation.itsStore.updateChange(aChange);
}

// Every contributor must have validated; the change and the versions of its entries are
// stamped with the release.
void releaseChange(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    ChangeRecord aChange =
        changes::requireOpen(aStore, member(theOperation.itsBody, "changeID"), "can be released");
    authority::requireChangeOwner(theOperation, aChange, "release");
    std::vector<std::string> anOpen;
    for (const ContributorRecord& aContributor : aStore.contributors(aChange.itsId))
        if (aContributor.itsStatus != changes::kValidated)
            anOpen.push_back(aContributor.itsUser);
    if (!anOpen.empty())
        throw EngineError{"40107",
                          "Change \"" + aChange.itsId +
                              "\" cannot be released: not every contribution is validated (" +
                              joined(anOpen) + ")",
                          aChange.itsId};
    aChange.itsStatus = changes::kReleased;
    aChange.itsReleasedAt = text::nowTimestamp();
    aChange.itsReleasedBy = theOperation.itsUser;
    aStore.updateChange(aChange);
    aStore.releaseVersions(aChange.itsId, aChange.itsReleasedAt);
}

// The source's entries and contributors join the target and the source is abandoned. A user who
// contributes to both stays validated only when validated in both: the merged work is theirs
// too.
void mergeChanges(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    auto [aSource, aTarget] = readPair(theOperation, "can be merged", "can take a merge");
    authority::requireChangeOwner(theOperation, aSource, "merge");
    authority::requireChangeOwner(theOperation, aTarget, "merge into");
    if (aSource.itsId == aTarget.itsId)
        throw EngineError{code::kInvalidRequest,
                          "Change \"" + aSource.itsId + "\" cannot be merged into itself",
                          aSource.itsId};
    for (std::int64_t anObject : aStore.changeEntries(aSource.itsId))
        moveEntry(aStore, aSource.itsId, aTarget.itsId, anObject);
    for (const ContributorRecord& aContributor : aStore.contributors(aSource.itsId)) {
        auto anExisting = aStore.findContributor(aTarget.itsId, aContributor.itsUser);
        if (!anExisting) {
            aStore.putContributor(aTarget.itsId, aContributor);
        } else if (aContributor.itsStatus != changes::kValidated) {
            ContributorRecord aReopened = *anExisting;
            aReopened.itsStatus = changes::kOpen;
            aReopened.itsValidatedAt.clear();
            aStore.putContributor(aTarget.itsId, aReopened);
        }
    }
    aSource.itsStatus = changes::kAbandoned;
    aStore.updateChange(aSource);
}

// Every listed object must be an entry of the source; all of them move or none.
void moveChangeEntries(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    const auto [aSource, aTarget] =
        readPair(theOperation, "can give away objects", "can take objects");
    authority::requireChangeOwner(theOperation, aSource, "move entries out of");
    const std::vector<std::int64_t> anEntries = aStore.changeEntries(aSource.itsId);
    for (const ObjectKey& aKey : readObjectKeyList(theOperation.itsBody, "objects")) {
        auto anObject = aStore.findObject(aKey);
        if (!anObject ||
            std::find(anEntries.begin(), anEntries.end(), *anObject) == anEntries.end())
            throw EngineError{"40108",
                              "Object " + describe(aKey) + " is not an entry of change \"" +
                                  aSource.itsId + "\"",
                              describe(aKey)};
        if (aSource.itsId != aTarget.itsId)
            moveEntry(aStore, aSource.itsId, aTarget.itsId, *anObject);
    }
}

} // namespace RepositoryAccess::server::ops
