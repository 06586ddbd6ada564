#include "server/changerules.hpp"

#include "core/textcase.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

#include <algorithm>

namespace RepositoryAccess::server::changes {

namespace {

const char* statusWord(int theStatus) {
    switch (theStatus) {
    case kOpen:
        return "open";
    case kReleased:
        return "released";
    case kAbandoned:
        return "abandoned";
    default:
        return "in an unknown state";
    }
}

} // namespace

bool trackingOn(RepositoryStore& theStore) {
    return theStore.getSetting("change_tracking").value_or("off") == "on";
}

void requireTrackingOn(RepositoryStore& theStore) {
    if (!trackingOn(theStore))
        throw EngineError{"40104",
                          "Change tracking is disabled in this repository; switch it on first", ""};
}

ChangeRecord require(RepositoryStore& theStore, const std::string& theId) {
    auto aChange = theStore.findChange(theId);
    if (!aChange)
        throw EngineError{"40102", "Change \"" + theId + "\" does not exist", theId};
    return *aChange;
}

ChangeRecord requireOpen(RepositoryStore& theStore, const std::string& theId,
                         const std::string& theWhat) {
    ChangeRecord aChange = require(theStore, theId);
    if (aChange.itsStatus != kOpen)
        throw EngineError{code::kInvalidRequest,
                          "Change \"" + theId + "\" is " + statusWord(aChange.itsStatus) +
                              "; only an open change " + theWhat,
                          theId};
    return aChange;
}

std::string requireUser(RepositoryStore& theStore, const std::string& theName) {
    std::string aUser = textcase::upper(theName);
    if (aUser.empty() || !theStore.findUser(aUser))
        throw EngineError{"40106", "User \"" + theName + "\" is not a user of this repository",
                          theName};
    return aUser;
}

ChangeRecord create(RepositoryStore& theStore, ChangeRecord theChange, const std::string& theUser) {
    ChangeRecord aChange = std::move(theChange);
    aChange.itsNumber = theStore.nextNumber("change");
    aChange.itsId = theStore.getSetting("database_name").value_or("ZEV") + "//" +
                    std::to_string(aChange.itsNumber);
    aChange.itsStatus = kOpen;
    aChange.itsCreatedAt = text::nowTimestamp();
    aChange.itsCreatedBy = theUser;
    theStore.insertChange(aChange);
    theStore.putContributor(aChange.itsId, {theUser, kOpen, "", ""});
    return aChange;
}

std::string json(RepositoryStore& theStore, const ChangeRecord& theChange) {
    std::vector<std::string> anEntries;
    for (std::int64_t anObject : theStore.changeEntries(theChange.itsId))
        anEntries.push_back(objectJson(theStore.objectKey(anObject)));
    std::vector<std::string> aContributors;
    for (const ContributorRecord& aContributor : theStore.contributors(theChange.itsId))
        aContributors.push_back(
            contributorJson(aContributor, theStore.descriptions().itsContributor));
    return changeJson(theChange, theStore.descriptions().itsChange,
                      "\"entries\":" + jsonList(anEntries) +
                          ",\"contributors\":" + jsonList(aContributors));
}

std::string forActivation(RepositoryStore& theStore, const std::string& theUser,
                          const std::string& theGivenId,
                          const std::vector<std::int64_t>& theObjects) {
    if (!trackingOn(theStore))
        return {};
    ChangeRecord aChange;
    if (theGivenId.empty()) {
        aChange = create(theStore, {}, theUser);
    } else {
        aChange = requireOpen(theStore, theGivenId, "takes activated objects");
        if (!theStore.findContributor(aChange.itsId, theUser))
            throw EngineError{code::kNotAuthorized, "Not authorized",
                              "User " + theUser + " is not a contributor of change \"" +
                                  aChange.itsId + "\""};
    }
    for (std::int64_t anObject : theObjects)
        theStore.addChangeEntry(aChange.itsId, anObject);
    return aChange.itsId;
}

} // namespace RepositoryAccess::server::changes
