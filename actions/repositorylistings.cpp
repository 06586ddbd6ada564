#include "actions/repositorylistings.hpp"

#include "core/console.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "repository/respprinters.hpp"
#include "workspace/objects.hpp"

#include <iterator>
#include <map>

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

std::vector<RepositoryObject> objectsOfPackage(const RepositorySession& theSession,
                                               const std::string& thePackage, bool theRecursive,
                                               const std::vector<std::string>& theSuffixes) {
    const bool anActive = theSession.itsType == 1;
    auto aList = [&](const std::string& thePattern) {
        return anActive
                   ? repofunobjects::findObjects(theSession, thePattern, "", theSuffixes)
                   : repofunobjects::listInactiveObjects(theSession, thePattern, "", theSuffixes);
    };
    std::map<std::string, RepositoryObject> aByKey;
    auto addAll = [&](const std::vector<RepositoryObject>& theObjects) {
        for (const RepositoryObject& anObject : theObjects)
            aByKey.insert_or_assign(anObject.key(), anObject);
    };
    addAll(aList(thePackage));
    if (theRecursive && !thePackage.empty())
        addAll(aList(thePackage + ".*"));
    std::vector<RepositoryObject> anObjects;
    for (auto& anEntry : aByKey)
        anObjects.push_back(std::move(anEntry.second));
    return anObjects;
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
