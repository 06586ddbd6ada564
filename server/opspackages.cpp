// Package operations: create (with ancestors), exists, list, root packages, read, update, delete.
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

namespace RepositoryAccess::server::ops {

namespace {

// The members a parent hands down when a package is created with inherit "1".
std::string PackageRecord::*const kInherited[] = {
    &PackageRecord::itsResponsible,           &PackageRecord::itsOrigLang,
    &PackageRecord::itsDeliveryUnit,          &PackageRecord::itsDuVendor,
    &PackageRecord::itsTextCollection,        &PackageRecord::itsTextStatus,
    &PackageRecord::itsTextTerminologyDomain, &PackageRecord::itsHintsForTranslation};

void checkPackageName(const std::string& theName) {
    if (const std::string aProblem = packageNameProblem(theName); !aProblem.empty())
        throw EngineError{code::kInvalidRequest, aProblem, theName};
}

PackageRecord requirePackage(RepositoryStore& theStore, const std::string& theName) {
    auto aPackage = theStore.findPackage(theName);
    if (!aPackage)
        throw EngineError{code::kPackageMissing, "Package does not exist", theName};
    return *aPackage;
}

std::string databaseName(RepositoryStore& theStore) {
    return theStore.getSetting("database_name").value_or("");
}

} // namespace

void createAncestors(RepositoryStore& theStore, const std::string& thePackage) {
    // Missing ancestors first, from the root down, as plain structural "0" packages.
    std::vector<std::string> aMissing;
    for (std::string aParent = text::parentPackage(thePackage);
         !aParent.empty() && !theStore.packageExists(aParent);
         aParent = text::parentPackage(aParent))
        aMissing.push_back(aParent);
    for (auto anIt = aMissing.rbegin(); anIt != aMissing.rend(); ++anIt) {
        PackageRecord anAncestor;
        anAncestor.itsName = *anIt;
        anAncestor.itsSrcSystem = databaseName(theStore);
        anAncestor.itsStructural = "0";
        anAncestor.itsTransportable = "1";
        theStore.insertPackage(anAncestor);
    }
}

void createPackage(Operation& theOperation) {
    const json::JsonObject& aBody = theOperation.itsBody;
    RepositoryStore& aStore = theOperation.itsStore;
    std::string aName = member(aBody, "package");
    checkPackageName(aName);
    if (aStore.packageExists(aName))
        throw EngineError{code::kPackageExists, "Package exists already", aName};

    createAncestors(aStore, aName);

    PackageRecord aPackage;
    for (const RecordField& aField : aStore.descriptions().itsPackage)
        if (!aField.itsColumn.empty())
            value(aPackage, aField.itsKey) = optionalMember(aBody, aField.itsKey);
    aPackage.itsName = aName;
    aPackage.itsSrcSystem = databaseName(aStore);
    aPackage.itsTransportable = "1";
    if (aPackage.itsStructural.empty())
        aPackage.itsStructural = "0";
    std::string aParentName = text::parentPackage(aName);
    if (flagMember(aBody, "inherit") && !aParentName.empty()) {
        PackageRecord aParent = requirePackage(aStore, aParentName);
        for (auto aField : kInherited)
            if ((aPackage.*aField).empty())
                aPackage.*aField = aParent.*aField;
    }
    aStore.insertPackage(aPackage);
}

void existsPackage(Operation& theOperation) {
    std::string aName = member(theOperation.itsBody, "package");
    theOperation.itsAnswer.setString("exists",
                                     theOperation.itsStore.packageExists(aName) ? "true" : "false");
}

void listPackages(Operation& theOperation) {
    const RecordDescription aFields = theOperation.itsStore.descriptions().itsPackage;
    std::vector<std::string> aList;
    for (const PackageRecord& aPackage : theOperation.itsStore.listPackages()) {
        bool aMatch = true;
        for (const RecordField& aField : aFields) {
            std::string aFilter = optionalMember(theOperation.itsBody, aField.itsKey);
            const std::string aValue(value(aPackage, aField.itsKey));
            if (aFilter.empty())
                continue;
            // The name, the description's first attribute, is matched as a pattern.
            if (&aField == &aFields.front() ? !text::globMatch(aFilter, aValue) : aFilter != aValue)
                aMatch = false;
        }
        if (aMatch)
            aList.push_back(packageJson(aPackage, aFields));
    }
    theOperation.itsAnswer.setRaw("packages", jsonList(aList));
}

void listRootPackages(Operation& theOperation) {
    const RecordDescription aFields = theOperation.itsStore.descriptions().itsPackage;
    std::vector<std::string> aList;
    for (const PackageRecord& aPackage : theOperation.itsStore.listPackages())
        if (text::parentPackage(aPackage.itsName).empty())
            aList.push_back(packageJson(aPackage, aFields));
    theOperation.itsAnswer.setRaw("rootPackages", jsonList(aList));
}

void readPackage(Operation& theOperation) {
    PackageRecord aPackage =
        requirePackage(theOperation.itsStore, member(theOperation.itsBody, "package"));
    for (const RecordField& aField : theOperation.itsStore.descriptions().itsPackage)
        theOperation.itsAnswer.setString(std::string(aField.itsKey),
                                         value(aPackage, aField.itsKey));
}

void updatePackage(Operation& theOperation) {
    PackageRecord aPackage =
        requirePackage(theOperation.itsStore, member(theOperation.itsBody, "package"));
    const PackageRecord aBefore = aPackage;
    const RecordDescription aFields = theOperation.itsStore.descriptions().itsPackage;
    for (const RecordField& aField : aFields) {
        // The name is the key, the content derived, the source system the repository's own.
        const bool aDerived = &aField == &aFields.front() || aField.itsColumn.empty() ||
                              &value(aPackage, aField.itsKey) == &aPackage.itsSrcSystem;
        if (!aDerived && json::hasMember(theOperation.itsBody, aField.itsKey))
            value(aPackage, aField.itsKey) = member(theOperation.itsBody, aField.itsKey);
    }
    // A package can only be assigned to a delivery unit that exists.
    bool anAssigned = aPackage.itsDeliveryUnit != aBefore.itsDeliveryUnit ||
                      aPackage.itsDuVendor != aBefore.itsDuVendor;
    if (anAssigned && !aPackage.itsDeliveryUnit.empty())
        requireDeliveryUnit(theOperation.itsStore, aPackage.itsDeliveryUnit, aPackage.itsDuVendor);
    theOperation.itsStore.updatePackage(aPackage);
}

void deletePackage(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    std::string aName = member(theOperation.itsBody, "package");
    requirePackage(aStore, aName);
    bool aRecursive = flagMember(theOperation.itsBody, "recursively");
    bool anIgnoreInactive = flagMember(theOperation.itsBody, "ignoreInactiveObjects");
    std::vector<std::string> aSubPackages = aStore.subPackages(aName);

    if (!aRecursive) {
        if (!aSubPackages.empty())
            throw EngineError{code::kPackageNotEmpty, "Package has sub packages", aName};
        for (std::int64_t anObject : aStore.objectsInPackage(aName)) {
            std::int64_t aLatest = aStore.latest(anObject);
            auto anEntry = aLatest ? aStore.historyEntry(anObject, aLatest, false) : std::nullopt;
            bool anActive = anEntry && !anEntry->itsIsDeletion;
            if (anActive || (!anIgnoreInactive && aStore.countInactive(anObject) > 0))
                throw EngineError{code::kPackageNotEmpty, "Package holds objects", aName};
        }
    }
    aSubPackages.push_back(aName);
    for (const std::string& aPackage : aSubPackages) {
        aStore.dropInactiveOfPackage(aPackage);
        for (std::int64_t anObject : aStore.objectsInPackage(aPackage))
            aStore.deleteObject(anObject);
        aStore.deletePackage(aPackage);
    }
}

} // namespace RepositoryAccess::server::ops
