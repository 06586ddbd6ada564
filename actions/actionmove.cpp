#include "actions/actionmove.hpp"

#include <algorithm>

#include "actions/changeactions.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "repository/repofunchangetracking.hpp"

namespace RepositoryAccess {

namespace {

bool sameObject(const RepositoryObject& theOne, const RepositoryObject& theOther) {
    return theOne.package() == theOther.package() && theOne.name() == theOther.name() &&
           theOne.suffix() == theOther.suffix();
}

bool inPackage(const RepositoryObject& theObject, const std::string& thePackage, bool theDeep) {
    const std::string& aPackage = theObject.package();
    return aPackage == thePackage || (theDeep && aPackage.size() > thePackage.size() &&
                                      aPackage.compare(0, thePackage.size(), thePackage) == 0 &&
                                      aPackage[thePackage.size()] == '.');
}

bool inScope(const RepositoryObject& theEntry, const ActionScope& theScope,
             const std::vector<RepositoryObject>& theInactive) {
    auto isEntry = [&](const RepositoryObject& theObject) {
        return sameObject(theObject, theEntry);
    };
    if (theScope.itsInactiveObjects)
        return std::any_of(theInactive.begin(), theInactive.end(), isEntry);
    return std::any_of(theScope.itsObjects.begin(), theScope.itsObjects.end(), isEntry) ||
           std::any_of(theScope.itsPackages.begin(), theScope.itsPackages.end(),
                       [&](const std::string& thePackage) {
                           return inPackage(theEntry, thePackage, theScope.itsRecursive);
                       });
}

} // namespace

std::vector<RepositoryObject>
actionMove::entriesInScope(const std::vector<RepositoryObject>& theEntries,
                           const ActionScope& theScope,
                           const std::vector<RepositoryObject>& theInactive) {
    std::vector<RepositoryObject> aList;
    for (const RepositoryObject& anEntry : theEntries)
        if (inScope(anEntry, theScope, theInactive))
            aList.push_back(anEntry);
    return aList;
}

void actionMove::execute() {
    const ActionScope aScope = actionscope::fromParameters();
    const std::string aSource = getValue(params::sourceChangeId);
    const std::string aTarget = getValue(params::targetChangeId);
    if (aSource.empty() || aTarget.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");

    std::vector<RepositoryObject> anEntries;
    for (const ChangeEntry& aChange : repofunchangetracking::readChanges({aSource}))
        anEntries.insert(anEntries.end(), aChange.itsEntries.begin(), aChange.itsEntries.end());
    const std::vector<RepositoryObject> anInactive =
        aScope.itsInactiveObjects && !anEntries.empty()
            ? repositorylistings::inactiveObjectsOfPackages({})
            : std::vector<RepositoryObject>{};
    const std::vector<RepositoryObject> aMoving = entriesInScope(anEntries, aScope, anInactive);
    if (aMoving.empty()) {
        console::sayLine("Nothing to move.");
        return;
    }
    repofunchangetracking::moveChangeEntries(aSource, aTarget, aMoving);
    runstatistics::add(Statistic::movedObjects, static_cast<std::int64_t>(aMoving.size()));
    for (const RepositoryObject& anObject : aMoving)
        console::progress("Moved object: \"" + anObject.workSpaceFileName() + "\" from change \"" +
                          aSource + "\" to change \"" + aTarget + "\"");
}

} // namespace RepositoryAccess
