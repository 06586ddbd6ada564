#include "actions/checkoutdecision.hpp"

#include "core/parameters.hpp"

namespace RepositoryAccess::checkoutdecision {

namespace {

// Active and historical versions count alike.
int comparableType(int theType) {
    return theType == 3 ? 1 : theType;
}

bool isLocallyChanged(LocalState theState) {
    return theState == LocalState::created || theState == LocalState::deleted ||
           theState == LocalState::modified;
}

std::string conflictReason(LocalState theState) {
    switch (theState) {
    case LocalState::created:
        return "file locally created";
    case LocalState::deleted:
        return "file locally deleted";
    case LocalState::modified:
        return "file locally modified";
    default:
        return "file committed";
    }
}

} // namespace

Options Options::fromParameters() {
    Options anOptions;
    anOptions.itsForce = isSet(params::force);
    anOptions.itsOverwrite = isSet(params::overwrite);
    anOptions.itsSkip = isSet(params::skip);
    anOptions.itsActive = isSet(params::active);
    anOptions.itsInactive = isSet(params::inactive);
    anOptions.itsBase = isSet(params::base);
    anOptions.itsHistorical = isSet(params::historical) || isSet(params::historicalVersion);
    return anOptions;
}

ObjectMap targetVersions(const Options& theOptions, ObjectMap theActive,
                         const CheckOutMaps& theMaps) {
    if (theOptions.itsHistorical)
        return theMaps.itsHistorical;
    if (theOptions.itsBase)
        return theMaps.itsBase;
    if (theOptions.itsActive)
        return theActive;
    for (const auto& [aKey, anInactive] : theMaps.itsInactive) {
        const auto aCurrent = theActive.find(aKey);
        if (theOptions.itsInactive || aCurrent == theActive.end() ||
            anInactive.metaData().itsVersionId == aCurrent->second.metaData().itsVersionId + 1)
            theActive.insert_or_assign(aKey, anInactive);
    }
    return theActive;
}

LocalState stateOf(const LocalFiles& theLocal, const std::string& theFile) {
    if (pathset::contains(theLocal.itsNew, theFile))
        return LocalState::created;
    if (pathset::contains(theLocal.itsDeleted, theFile))
        return LocalState::deleted;
    if (pathset::contains(theLocal.itsModified, theFile))
        return LocalState::modified;
    if (pathset::contains(theLocal.itsConflicted, theFile))
        return LocalState::conflicted;
    return LocalState::unchanged;
}

Decision decide(const ObjectMetaData* theLocal, LocalState theState,
                const ObjectMetaData& theRemote, const Options& theOptions) {
    if (theOptions.itsForce || theLocal == nullptr || theLocal->itsType == 0)
        return {Action::write, {}};
    if (theState == LocalState::conflicted)
        return {Action::refuse, {}};
    const int aRemoteType = comparableType(theRemote.itsType);
    const int aLocalType = comparableType(theLocal->itsType);
    const std::int32_t aRemoteNr = theRemote.itsVersionId;
    // A committed version stands on the one below it: that one is its active version.
    const std::int32_t aLocalNr =
        theLocal->itsVersionId - (aLocalType == 2 && aRemoteType == 1 ? 1 : 0);
    const bool aChanged = isLocallyChanged(theState);
    if (aRemoteNr == aLocalNr && aRemoteType == aLocalType && !aChanged)
        return {Action::keep, {}};
    if (aRemoteNr <= aLocalNr && !theOptions.namesVersions())
        return {Action::keep, {}};
    if (!aChanged && aLocalType != 2)
        return {Action::write, {}};
    // An object that never had a version has nothing to put against local changes.
    if (theRemote.itsType == 3 && theRemote.itsIsDeletion && aRemoteNr == 0)
        return {Action::keep, {}};
    if (theOptions.itsOverwrite)
        return {Action::overwrite, {}};
    if (theOptions.itsSkip)
        return {Action::skip, {}};
    return {Action::conflict, conflictReason(theState)};
}

} // namespace RepositoryAccess::checkoutdecision
