#include "actions/repositorylistings.hpp"

#include "core/console.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "workspace/objects.hpp"

#include <map>
#include <sstream>

namespace RepositoryAccess::repositorylistings {

std::vector<std::string> rootPackages() {
    std::vector<std::string> aNames;
    for (const auto& aPackage : repofunpackages::listRootPackages())
        aNames.push_back(aPackage.itsPackage);
    return aNames;
}

// A package scope lists the package and everything below it: the package itself and the glob
// of its sub packages.
std::vector<RepositoryObject>
inactiveObjectsOfPackages(const std::vector<std::string>& thePackages) {
    const RepositorySession aSession = repofunbase::defaultInactiveSession();
    if (thePackages.empty())
        return repofunobjects::listInactiveObjects(aSession, "", "");
    std::vector<RepositoryObject> anObjects;
    for (const auto& aPackage : thePackages) {
        if (aPackage.empty())
            return repofunobjects::listInactiveObjects(aSession, "", "");
        for (const std::string& aPattern : {aPackage, aPackage + ".*"}) {
            auto aFound = repofunobjects::listInactiveObjects(aSession, aPattern, "");
            anObjects.insert(anObjects.end(), aFound.begin(), aFound.end());
        }
    }
    return anObjects;
}

std::vector<RepositoryObject> inactiveObjectsOf(const std::vector<RepositoryObject>& theObjects) {
    const RepositorySession aSession = repofunbase::defaultInactiveSession();
    std::vector<RepositoryObject> anInactive;
    for (const auto& anObject : theObjects) {
        auto aFound = repofunobjects::listInactiveObjects(aSession, anObject.package(),
                                                          anObject.name(), {anObject.suffix()});
        anInactive.insert(anInactive.end(), aFound.begin(), aFound.end());
    }
    return anInactive;
}

ObjectVersion inactiveVersionRecord() {
    const RepositorySession aSession = repofunbase::defaultInactiveSession();
    ObjectVersion aVersion;
    aVersion.itsVersionType = 2;
    aVersion.itsOwner = aSession.itsOwner;
    aVersion.itsWorkSpace = aSession.itsWorkSpace;
    return aVersion;
}

std::vector<RepositoryObject> inactiveObjectsOfScope(const ActionScope& theScope) {
    return inactiveObjectsOfScope(theScope, repofunbase::defaultInactiveSession());
}

std::vector<RepositoryObject> inactiveObjectsOfScope(const ActionScope& theScope,
                                                     const RepositorySession& theSession) {
    std::map<std::string, RepositoryObject> aByKey;
    auto addAll = [&](const std::vector<RepositoryObject>& theObjects) {
        for (const RepositoryObject& anObject : theObjects)
            aByKey.insert_or_assign(anObject.key(), anObject);
    };
    if (theScope.itsInactiveObjects)
        addAll(repofunobjects::listInactiveObjects(theSession, "", ""));
    for (const std::string& aPackage : theScope.itsPackages) {
        addAll(repofunobjects::listInactiveObjects(theSession, aPackage, ""));
        if (theScope.itsRecursive && !aPackage.empty())
            addAll(repofunobjects::listInactiveObjects(theSession, aPackage + ".*", ""));
    }
    for (const RepositoryObject& anObject : theScope.itsObjects)
        addAll(repofunobjects::listInactiveObjects(theSession, anObject.package(), anObject.name(),
                                                   {anObject.suffix()}));
    std::vector<RepositoryObject> anObjects;
    for (auto& anEntry : aByKey)
        anObjects.push_back(std::move(anEntry.second));
    return anObjects;
}

void printInactiveObjects(const std::vector<RepositoryObject>& theObjects) {
    std::ostringstream aText;
    for (const auto& anObject : theObjects)
        objects::printObject(anObject, aText);
    console::say(aText.str());
}

} // namespace RepositoryAccess::repositorylistings
