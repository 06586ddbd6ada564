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

// The searches of a scope in theSession, each with the object it must answer (none for a
// package's, nor for an inactive object's): its packages, with their sub packages when the scope is
// recursive, and its named objects. An inactive session also lists all its objects for the WHAT
// `inactiveObjects`.
struct ScopeSearches {
    std::vector<repofunobjects::ObjectSearch> itsSearches;
    std::vector<const RepositoryObject*> itsObjects;

    void add(repofunobjects::ObjectSearch theSearch, const RepositoryObject* theObject = nullptr) {
        itsSearches.push_back(std::move(theSearch));
        itsObjects.push_back(theObject);
    }
};

ScopeSearches scopeSearches(const ActionScope& theScope, const RepositorySession& theSession) {
    ScopeSearches aSearches;
    if (!theSession.isActive() && theScope.itsInactiveObjects)
        aSearches.add({theSession, "", ""});
    for (const std::string& aPackage : theScope.itsPackages) {
        aSearches.add({theSession, aPackage, ""});
        if (theScope.itsRecursive && !aPackage.empty())
            aSearches.add({theSession, aPackage + ".*", ""});
    }
    // An active object's search answers only that object, since its name is a pattern.
    for (const RepositoryObject& anObject : theScope.itsObjects)
        aSearches.add({theSession, anObject.package(), anObject.name(), {anObject.suffix()}},
                      theSession.isActive() ? &anObject : nullptr);
    return aSearches;
}

// The answers theFirst to theEnd of the searches, one after the other, each kept to the
// object its search asks for, if any.
std::vector<RepositoryObject> joined(const ScopeSearches& theSearches,
                                     std::vector<std::vector<RepositoryObject>>& theAnswers,
                                     std::size_t theFirst, std::size_t theEnd) {
    std::vector<RepositoryObject> anObjects;
    for (std::size_t i = theFirst; i < theEnd; ++i) {
        const RepositoryObject* anAsked = theSearches.itsObjects[i - theFirst];
        for (RepositoryObject& aFound : theAnswers[i])
            if (anAsked == nullptr || aFound.key() == anAsked->key())
                anObjects.push_back(std::move(aFound));
    }
    return anObjects;
}

std::vector<RepositoryObject> objectsOfScope(const ActionScope& theScope,
                                             const RepositorySession& theSession) {
    const ScopeSearches aSearches = scopeSearches(theScope, theSession);
    auto anAnswers = repofunobjects::searchObjects(aSearches.itsSearches);
    return joined(aSearches, anAnswers, 0, anAnswers.size());
}

// The answers of theSearches, sent together, one after the other.
std::vector<RepositoryObject>
allFound(const std::vector<repofunobjects::ObjectSearch>& theSearches) {
    std::vector<RepositoryObject> anObjects;
    for (auto& aFound : repofunobjects::searchObjects(theSearches))
        std::move(aFound.begin(), aFound.end(), std::back_inserter(anObjects));
    return anObjects;
}

} // namespace

// A package scope lists the package and everything below it: the package itself and the glob
// of its sub packages.
std::vector<RepositoryObject>
inactiveObjectsOfPackages(const std::vector<std::string>& thePackages) {
    const RepositorySession aSession = repofunbase::defaultInactiveSession();
    if (thePackages.empty() ||
        std::find(thePackages.begin(), thePackages.end(), "") != thePackages.end())
        return repofunobjects::listInactiveObjects(aSession, "", "");
    std::vector<repofunobjects::ObjectSearch> aSearches;
    for (const auto& aPackage : thePackages)
        for (const std::string& aPattern : {aPackage, aPackage + ".*"})
            aSearches.push_back({aSession, aPattern, ""});
    return allFound(aSearches);
}

std::vector<RepositoryObject> inactiveObjectsOf(const std::vector<RepositoryObject>& theObjects) {
    const RepositorySession aSession = repofunbase::defaultInactiveSession();
    std::vector<repofunobjects::ObjectSearch> aSearches;
    for (const auto& anObject : theObjects)
        aSearches.push_back({aSession, anObject.package(), anObject.name(), {anObject.suffix()}});
    return allFound(aSearches);
}

std::vector<RepositoryObject> activeObjectsOfScope(const ActionScope& theScope) {
    return objectsOfScope(theScope, RepositorySession::active());
}

ScopeObjects activeAndInactiveObjectsOfScope(const ActionScope& theScope) {
    const ScopeSearches anActive = scopeSearches(theScope, RepositorySession::active());
    const ScopeSearches anInactive = scopeSearches(theScope, repofunbase::defaultInactiveSession());
    std::vector<repofunobjects::ObjectSearch> aBoth = anActive.itsSearches;
    aBoth.insert(aBoth.end(), anInactive.itsSearches.begin(), anInactive.itsSearches.end());
    auto anAnswers = repofunobjects::searchObjects(aBoth);
    const std::size_t aSplit = anActive.itsSearches.size();
    return {joined(anActive, anAnswers, 0, aSplit),
            uniqueByKey(joined(anInactive, anAnswers, aSplit, anAnswers.size()))};
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
    return uniqueByKey(objectsOfScope(theScope, theSession));
}

std::vector<RepositoryObject> objectsOfPackage(const RepositorySession& theSession,
                                               const std::string& thePackage, bool theRecursive,
                                               const std::vector<std::string>& theSuffixes) {
    std::vector<repofunobjects::ObjectSearch> aSearches{{theSession, thePackage, "", theSuffixes}};
    if (theRecursive && !thePackage.empty())
        aSearches.push_back({theSession, thePackage + ".*", "", theSuffixes});
    return uniqueByKey(allFound(aSearches));
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
