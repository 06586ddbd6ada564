// Change tracking: the questions about changes (find with a filter, read by id, the changes
// that hold given objects).
#include "core/textcase.hpp"
#include "server/changerules.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"

#include <algorithm>

namespace RepositoryAccess::server::ops {

namespace {

// The filter of a change search; empty members do not restrict it. The change attributes that
// the engine's code does not name are filtered by their keys in itsJson.
struct ChangeFilter {
    std::string itsChangeId, itsSrcSystem, itsChangeNumber, itsContributor, itsCreatedBy,
        itsReleasedFrom, itsReleasedTo;
    int itsStatus = 0;
    int itsContributionStatus = 0;
    const json::JsonObject* itsJson = nullptr;
};

// A status given as its number or its word ("open", "released", "abandoned", "validated").
int statusOf(const std::string& theText, std::string_view theMember) {
    if (theText.empty())
        return 0;
    const std::string aWord = textcase::lower(theText);
    if (aWord == "open")
        return changes::kOpen;
    if (aWord == "released" || aWord == "validated")
        return 2;
    if (aWord == "abandoned")
        return changes::kAbandoned;
    return static_cast<int>(numberText(theText, theMember));
}

std::string timestampOf(const json::JsonObject& theFilter, std::string_view theMember) {
    std::string aText = optionalMember(theFilter, theMember);
    if (aText.empty())
        return aText;
    auto aTimestamp = text::normaliseTimestamp(aText);
    if (!aTimestamp)
        throw EngineError{code::kInvalidRequest,
                          "Invalid timestamp in \"" + std::string(theMember) + "\": \"" + aText +
                              "\" (expected YYYY-MM-DD or YYYY-MM-DD HH:MM:SS.mmm)",
                          aText};
    return *aTimestamp;
}

ChangeFilter readFilter(const json::JsonObject& theBody) {
    static const json::JsonObject kNone;
    const json::JsonValue* aValue = theBody.find("filter");
    const json::JsonObject& aJson =
        aValue != nullptr && aValue->t == json::JT_OBJECT ? *aValue->u.objectValue : kNone;
    ChangeFilter aFilter;
    aFilter.itsJson = &aJson;
    aFilter.itsChangeId = optionalMember(aJson, "changeID");
    aFilter.itsSrcSystem = optionalMember(aJson, "srcSystem");
    aFilter.itsChangeNumber = optionalMember(aJson, "changeNumber");
    aFilter.itsStatus = statusOf(optionalMember(aJson, "changeStatus"), "changeStatus");
    aFilter.itsContributor = textcase::upper(optionalMember(aJson, "contributor"));
    aFilter.itsContributionStatus =
        statusOf(optionalMember(aJson, "contributionStatus"), "contributionStatus");
    aFilter.itsCreatedBy = textcase::upper(optionalMember(aJson, "createdBy"));
    aFilter.itsReleasedFrom = timestampOf(aJson, "releasedFrom");
    aFilter.itsReleasedTo = timestampOf(aJson, "releasedTo");
    return aFilter;
}

// With a contributor, that contributor must have the contribution status (when one is asked
// for); without, any contributor with that status will do.
bool contributorsMatch(RepositoryStore& theStore, const ChangeRecord& theChange,
                       const ChangeFilter& theFilter) {
    if (theFilter.itsContributor.empty() && theFilter.itsContributionStatus == 0)
        return true;
    const std::vector<ContributorRecord> aList = theStore.contributors(theChange.itsId);
    return std::any_of(aList.begin(), aList.end(), [&](const ContributorRecord& theOne) {
        return (theFilter.itsContributor.empty() || theOne.itsUser == theFilter.itsContributor) &&
               (theFilter.itsContributionStatus == 0 ||
                theOne.itsStatus == theFilter.itsContributionStatus);
    });
}

bool matches(RepositoryStore& theStore, const ChangeRecord& theChange,
             const ChangeFilter& theFilter) {
    const std::string aNumber = std::to_string(theChange.itsNumber);
    const std::string aSystem = theChange.itsId.substr(0, theChange.itsId.find("//"));
    if (!theFilter.itsChangeId.empty() && !text::globMatch(theFilter.itsChangeId, theChange.itsId))
        return false;
    if (!theFilter.itsSrcSystem.empty() && theFilter.itsSrcSystem != aSystem)
        return false;
    if (!theFilter.itsChangeNumber.empty() && theFilter.itsChangeNumber != aNumber &&
        theFilter.itsChangeNumber != theChange.itsId)
        return false;
    if (theFilter.itsStatus != 0 && theFilter.itsStatus != theChange.itsStatus)
        return false;
    if (!theFilter.itsCreatedBy.empty() && theFilter.itsCreatedBy != theChange.itsCreatedBy)
        return false;
    const bool aWindow = !theFilter.itsReleasedFrom.empty() || !theFilter.itsReleasedTo.empty();
    if (aWindow && theChange.itsReleasedAt.empty())
        return false;
    if (!theFilter.itsReleasedFrom.empty() && theChange.itsReleasedAt < theFilter.itsReleasedFrom)
        return false;
    if (!theFilter.itsReleasedTo.empty() && theChange.itsReleasedAt > theFilter.itsReleasedTo)
        return false;
    for (const auto& [aKey, aValue] : theChange.itsOtherAttributes) {
        const std::string aWanted = optionalMember(*theFilter.itsJson, aKey);
        if (!aWanted.empty() && aWanted != aValue)
            return false;
    }
    return contributorsMatch(theStore, theChange, theFilter);
}

} // namespace

void findChanges(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    const ChangeFilter aFilter = readFilter(theOperation.itsBody);
    std::vector<std::string> aList;
    for (const ChangeRecord& aChange : aStore.listChanges())
        if (matches(aStore, aChange, aFilter))
            aList.push_back(changes::json(aStore, aChange));
    theOperation.itsAnswer.setRaw("changes", jsonList(aList));
    if (aList.empty())
        theOperation.itsAnswer.setError("40101", "No change matches the filter");
}

void readChanges(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    std::vector<std::string> aList;
    for (const json::JsonValue& anId : json::getList(theOperation.itsBody, "changeIDs"))
        aList.push_back(changes::json(aStore, changes::require(aStore, json::asString(anId))));
    theOperation.itsAnswer.setRaw("changes", jsonList(aList));
}

void affectedChanges(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    std::vector<std::string> anIds;
    for (const ObjectKey& aKey : readObjectKeyList(theOperation.itsBody, "objects")) {
        auto anObject = aStore.findObject(aKey);
        if (!anObject)
            continue;
        for (const std::string& anId : aStore.openChangesOf(*anObject))
            if (std::find(anIds.begin(), anIds.end(), anId) == anIds.end())
                anIds.push_back(anId);
    }
    std::vector<std::string> aList;
    for (const std::string& anId : anIds)
        aList.push_back(changes::json(aStore, changes::require(aStore, anId)));
    theOperation.itsAnswer.setRaw("changes", jsonList(aList));
}

} // namespace RepositoryAccess::server::ops
