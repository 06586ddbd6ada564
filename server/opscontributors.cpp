// Change tracking: the contributors of a change and their validations.
#include "core/textcase.hpp"
#include "server/authority.hpp"
#include "server/changerules.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

namespace RepositoryAccess::server::ops {

namespace {

// The contributor theName of the change; 40106 when that user does not contribute to it.
ContributorRecord requireContributor(RepositoryStore& theStore, const ChangeRecord& theChange,
                                     const std::string& theName) {
    auto aContributor = theStore.findContributor(theChange.itsId, textcase::upper(theName));
    if (!aContributor)
        throw EngineError{"40106",
                          "User \"" + theName + "\" is not a contributor of change \"" +
                              theChange.itsId + "\"",
                          theName};
    return *aContributor;
}

// The attributes that a user sets, those sent on create, that the request names (the user and
// the comment come by their own members).
void takeGivenAttributes(const Operation& theOperation, ContributorRecord& theContributor) {
    for (const RecordField& aField : theOperation.itsStore.descriptions().itsContributor)
        if (aField.itsSentOnCreate && json::hasMember(theOperation.itsBody, aField.itsKey))
            setValue(theContributor, aField.itsKey,
                     json::getStringView(theOperation.itsBody, aField.itsKey));
}

} // namespace

void addContributor(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    ChangeRecord aChange = changes::requireOpen(aStore, member(theOperation.itsBody, "changeID"),
                                                "takes new contributors");
    authority::requireChangeOwner(theOperation, aChange, "add contributors to");
    std::string aUser = changes::requireUser(aStore, member(theOperation.itsBody, "contributor"));
    if (aStore.findContributor(aChange.itsId, aUser))
        throw EngineError{code::kInvalidRequest,
                          "User \"" + aUser + "\" is a contributor of change \"" + aChange.itsId +
                              "\" already",
                          aUser};
    ContributorRecord aContributor{aUser, changes::kOpen, "", ""};
    takeGivenAttributes(theOperation, aContributor);
    aStore.putContributor(aChange.itsId, aContributor);
}

void removeContributor(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    ChangeRecord aChange = changes::requireOpen(aStore, member(theOperation.itsBody, "changeID"),
                                                "can lose contributors");
    authority::requireChangeOwner(theOperation, aChange, "remove contributors from");
    ContributorRecord aContributor =
        requireContributor(aStore, aChange, member(theOperation.itsBody, "contributor"));
    aStore.removeContributor(aChange.itsId, aContributor.itsUser);
}

void editContributorComment(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    ChangeRecord aChange = changes::require(aStore, member(theOperation.itsBody, "changeID"));
    const std::string aName = member(theOperation.itsBody, "contributor");
    authority::requireOwnContribution(theOperation, aChange, aName, "describe");
    ContributorRecord aContributor = requireContributor(aStore, aChange, aName);
    aContributor.itsDescription = member(theOperation.itsBody, "comment");
    takeGivenAttributes(theOperation, aContributor);
    aStore.putContributor(aChange.itsId, aContributor);
}

// Only contributors themselves validate their contribution; not even an administrator validates
// for them.
void validateContribution(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    ChangeRecord aChange =
        changes::requireOpen(aStore, member(theOperation.itsBody, "changeID"), "can be validated");
    const std::string aName = member(theOperation.itsBody, "user");
    authority::requireOwnContribution(theOperation, aChange, aName, "validate");
    ContributorRecord aContributor = requireContributor(aStore, aChange, aName);
    aContributor.itsStatus = changes::kValidated;
    aContributor.itsDescription = member(theOperation.itsBody, "comment");
    aContributor.itsValidatedAt = text::nowTimestamp();
    aStore.putContributor(aChange.itsId, aContributor);
}

} // namespace RepositoryAccess::server::ops
