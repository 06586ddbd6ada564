#include "actions/actioncheckout.hpp"

#include <charconv>

#include "actions/actionscope.hpp"
#include "actions/checkoutengine.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/reposession.hpp"
#include "workspace/status.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

void addAll(ObjectMap& theMap, std::vector<RepositoryObject> theObjects) {
    for (RepositoryObject& anObject : theObjects) {
        std::string aKey = anObject.key();
        theMap.insert_or_assign(std::move(aKey), std::move(anObject));
    }
}

// The local state of the scope's packages and objects.
LocalFiles localFiles(const ActionScope& theScope) {
    LocalFiles aLocal;
    if (!theScope.itsPackages.empty())
        aLocal.add(Status(theScope.itsPackages, theScope.itsRecursive, false, false));
    if (!theScope.itsObjects.empty())
        aLocal.add(Status(theScope.itsObjects, false, false));
    return aLocal;
}

// The version number of `historicalVersion`; fails unless it is a positive integer.
std::int32_t historicalVersionNumber() {
    const std::string aText = getValue(params::historicalVersion);
    std::int32_t aNumber = 0;
    const auto [anEnd, anError] =
        std::from_chars(aText.data(), aText.data() + aText.size(), aNumber);
    if (aText.empty() || anError != std::errc() || anEnd != aText.data() + aText.size() ||
        aNumber <= 0)
        throw Error("Historical version must be a positive integer");
    return aNumber;
}

// The timestamp of the historical version named by `historicalVersion`, of the single selected
// object or of `historicalObject`.
std::string historicalVersionTimestamp(const ActionScope& theScope) {
    const std::int32_t aNumber = historicalVersionNumber();
    std::vector<RepositoryObject> anObjects;
    if (theScope.itsPackages.empty() && !theScope.itsInactiveObjects &&
        theScope.itsObjects.size() == 1)
        anObjects.push_back(theScope.itsObjects.front());
    else if (!getValue(params::historicalObject).empty())
        anObjects.push_back(objects::object_name_to_object_id(getValue(params::historicalObject)));
    else
        throw Error("Supply a historical object (--historicalObject|--histObj|--hO=).");
    const RepositoryObject& anObject = anObjects.front();
    const ObjectMetaData aMeta = repofunobjects::readHistoricalObjectMetaData(anObject, aNumber);
    if (aMeta.itsActivatedAt.empty())
        throw Error("Could not find historical timestamp for version #" + std::to_string(aNumber) +
                    " of object \"" + anObject.key() + "\"");
    console::progress("Historical timestamp for version #" + std::to_string(aNumber) +
                      " of object \"" + anObject.key() + "\": " + aMeta.itsActivatedAt);
    return aMeta.itsActivatedAt;
}

// The versions of every selected object at the timestamp.
ObjectMap historicalObjects(const std::string& theTimestamp, const ObjectMap& theActive,
                            const ObjectMap& theInactive, const ObjectMap& theLocal,
                            const ActionScope& theScope) {
    ObjectMap aSelected = theActive;
    for (const ObjectMap* aMap : {&theInactive, &theLocal})
        for (const auto& anEntry : *aMap)
            aSelected.emplace(anEntry);
    addAll(aSelected, theScope.itsObjects);
    ObjectMap aMap;
    for (const auto& anEntry : aSelected)
        aMap.emplace(anEntry.first, checkoutversions::versionAt(theTimestamp, anEntry.second));
    return aMap;
}

// The base versions of the local objects and of the user's inactive objects of the scope. An
// object whose committed deletion removed its file and its status entry is known only by its
// inactive version; its base brings the file back.
ObjectMap baseObjects(const ObjectMap& theLocal, const CheckOutMaps& theMaps) {
    ObjectMap aMap;
    for (const auto& anEntry : theLocal)
        aMap.emplace(anEntry.first,
                     checkoutversions::baseVersionOf(anEntry.second, theMaps.itsActive));
    for (const auto& anEntry : theMaps.itsInactive)
        if (aMap.count(anEntry.first) == 0)
            aMap.emplace(anEntry.first,
                         checkoutversions::baseVersionOf(anEntry.second, theMaps.itsActive));
    return aMap;
}

} // namespace

void actionCheckOut::execute() {
    ActionScope aScope = actionscope::fromParameters();
    if (aScope.itsInactiveObjects)
        for (const RepositoryObject& anObject : repositorylistings::inactiveObjectsOfPackages({}))
            aScope.itsObjects.emplace_back(anObject.package(), anObject.name(), anObject.suffix());
    const LocalFiles aLocal = localFiles(aScope);

    CheckOutMaps aMaps;
    // The user's inactive versions of the scope come with its active ones.
    repositorylistings::ScopeObjects aFound =
        repositorylistings::activeAndInactiveObjectsOfScope(aScope);
    addAll(aMaps.itsActive, std::move(aFound.itsActive));
    addAll(aMaps.itsInactive, std::move(aFound.itsInactive));
    const ObjectMap aLocalObjects = checkoutversions::localObjects(aLocal.allFiles());
    if (isSet(params::historical) || isSet(params::historicalVersion)) {
        const std::string aTimestamp = isSet(params::historicalVersion)
                                           ? historicalVersionTimestamp(aScope)
                                           : getValue(params::historical);
        aMaps.itsHistorical = historicalObjects(aTimestamp, aMaps.itsActive, aMaps.itsInactive,
                                                aLocalObjects, aScope);
    } else if (isSet(params::base)) {
        aMaps.itsBase = baseObjects(aLocalObjects, aMaps);
    }
    checkoutengine::run(aMaps, aLocal);
}

} // namespace RepositoryAccess
