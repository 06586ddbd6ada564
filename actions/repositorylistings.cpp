#include "actions/repositorylistings.hpp"

#include "core/console.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "repository/respprinters.hpp"
#include "workspace/objects.hpp"

#include <algorithm>
#include <iterator>

namespace RepositoryAccess::repositorylistings {

std::vector<std::string> rootPackages() {
    std::vector<std::string> aNames;
    for (const auto& aPackage : repofunpackages::listRootPackages())
        aNames.push_back(aPackage.itsPackage);
    return aNames;
}

namespace {

// The objects in the order of their keys, each key once: of the listings of one object the last
// one counts. A single listing (the common case) comes sorted and passes untouched, and no
// listing is ever copied: 100,000 objects fill hundreds of megabytes.
std::vector<RepositoryObject> uniqueByKey(std::vector<RepositoryObject> theObjects) {
    auto aLess = [](const RepositoryObject& theLeft, const RepositoryObject& theRight) {
        return theLeft.key() < theRight.key();
    };
    if (std::adjacent_find(theObjects.begin(), theObjects.end(),
                           [&](const RepositoryObject& theLeft, const RepositoryObject& theRight) {
                               return !aLess(theLeft, theRight);
                           }) == theObjects.end())
        return theObjects;
    std::stable_sort(theObjects.begin(), theObjects.end(), aLess);
    std::size_t aKept = 0;
    for (std::size_t i = 0; i < theObjects.size(); ++i) {
        if (aKept > 0 && theObjects[aKept - 1].key() == theObjects[i].key())
            --aKept; // the later listing takes the place
        if (aKept != i)
            theObjects[aKept] = std::move(theObjects[i]);
        ++aKept;
    }
    theObjects.erase(theObjects.begin() + static_cast<std::ptrdiff_t>(aKept), theObjects.end());
    return theObjects;
}

} // namespace

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

std::vector<RepositoryObject> activeObjectsOfScope(const ActionScope& theScope) {
    std::vector<RepositoryObject> anObjects;
    auto anAdd = [&](std::vector<RepositoryObject> theFound) {
        std::move(theFound.begin(), theFound.end(), std::back_inserter(anObjects));
    };
    const RepositorySession anActive = RepositorySession::active();
    for (const std::string& aPackage : theScope.itsPackages) {
        anAdd(repofunobjects::findObjects(anActive, aPackage, ""));
        if (theScope.itsRecursive && !aPackage.empty())
            anAdd(repofunobjects::findObjects(anActive, aPackage + ".*", ""));
    }
    for (const RepositoryObject& anObject : theScope.itsObjects)
        for (RepositoryObject& aFound : repofunobjects::findObjects(
                 anActive, anObject.package(), anObject.name(), {anObject.suffix()}))
            if (aFound.key() == anObject.key())
                anObjects.push_back(std::move(aFound));
    return anObjects;
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
    std::vector<RepositoryObject> anObjects;
    auto anAdd = [&](std::vector<RepositoryObject> theFound) {
        std::move(theFound.begin(), theFound.end(), std::back_inserter(anObjects));
    };
    if (theScope.itsInactiveObjects)
        anAdd(repofunobjects::listInactiveObjects(theSession, "", ""));
    for (const std::string& aPackage : theScope.itsPackages) {
        anAdd(repofunobjects::listInactiveObjects(theSession, aPackage, ""));
        if (theScope.itsRecursive && !aPackage.empty())
            anAdd(repofunobjects::listInactiveObjects(theSession, aPackage + ".*", ""));
    }
    for (const RepositoryObject& anObject : theScope.itsObjects)
        anAdd(repofunobjects::listInactiveObjects(theSession, anObject.package(), anObject.name(),
                                                  {anObject.suffix()}));
    return uniqueByKey(std::move(anObjects));
}

std::vector<RepositoryObject> objectsOfPackage(const RepositorySession& theSession,
                                               const std::string& thePackage, bool theRecursive,
                                               const std::vector<std::string>& theSuffixes) {
    const bool anActive = theSession.itsType == 1;
    auto aList = [&](const std::string& thePattern) {
        return anActive
                   ? repofunobjects::findObjects(theSession, thePattern, "", theSuffixes)
                   : repofunobjects::listInactiveObjects(theSession, thePattern, "", theSuffixes);
    };
    std::vector<RepositoryObject> anObjects = aList(thePackage);
    if (theRecursive && !thePackage.empty()) {
        std::vector<RepositoryObject> aBelow = aList(thePackage + ".*");
        std::move(aBelow.begin(), aBelow.end(), std::back_inserter(anObjects));
    }
    return uniqueByKey(std::move(anObjects));
}

std::string activeObjectLine(const RepositoryObject& theObject) {
    const ObjectMetaData& aMeta = theObject.metaData();
    std::string aLine = "\t" + respprinters::objectPath(theObject) + " (version #" +
                        std::to_string(aMeta.itsVersionId) + ")";
    if (!aMeta.itsChangeNumber.empty() && aMeta.itsChangeNumber != "0")
        aLine +=
            " (change number #" + aMeta.itsChangeNumber + ", released " + aMeta.itsReleasedAt + ")";
    if (aMeta.itsObjectStatus == "1")
        aLine += " broken";
    return aLine + "\n";
}

std::string inactiveObjectLine(const RepositoryObject& theObject) {
    const ObjectMetaData& aMeta = theObject.metaData();
    const std::int32_t aBase = aMeta.itsVersionId - 1;
    std::string aLine = "\t" + respprinters::objectPath(theObject) + " (" +
                        (aBase > 0 ? "base #" + std::to_string(aBase) : std::string("new")) + ")";
    if (aMeta.itsIsDeletion)
        aLine += " deletion";
    return aLine + "\n";
}

namespace {

void printLines(const std::vector<RepositoryObject>& theObjects,
                std::string (*theLine)(const RepositoryObject&)) {
    std::string aText;
    for (const auto& anObject : theObjects)
        aText += theLine(anObject);
    console::say(aText);
}

} // namespace

void printActiveObjects(const std::vector<RepositoryObject>& theObjects) {
    printLines(theObjects, activeObjectLine);
}

void printInactiveObjects(const std::vector<RepositoryObject>& theObjects) {
    printLines(theObjects, inactiveObjectLine);
}

} // namespace RepositoryAccess::repositorylistings
