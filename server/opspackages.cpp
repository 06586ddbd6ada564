// Package operations: create (with ancestors), exists, list, root packages, read, update, delete.
#include "server/enginetext.hpp"
#include "server/operation.hpp"

namespace RepositoryAccess::server::ops {

namespace {

// The fourteen package members with their record fields, in answer order.
struct PackageField {
    const char* itsName;
    std::string PackageRecord::*itsField;
};

const PackageField kFields[] = {
    {"package", &PackageRecord::itsName},
    {"src_system", &PackageRecord::itsSrcSystem},
    {"description", &PackageRecord::itsDescription},
    {"responsible", &PackageRecord::itsResponsible},
    {"orig_lang", &PackageRecord::itsOrigLang},
    {"structural", &PackageRecord::itsStructural},
    {"delivery_unit", &PackageRecord::itsDeliveryUnit},
    {"du_vendor", &PackageRecord::itsDuVendor},
    {"transportable", &PackageRecord::itsTransportable},
    {"content", &PackageRecord::itsContent},
    {"text_collection", &PackageRecord::itsTextCollection},
    {"text_status", &PackageRecord::itsTextStatus},
    {"text_terminology_domain", &PackageRecord::itsTextTerminologyDomain},
    {"hints_for_translation", &PackageRecord::itsHintsForTranslation},
};

// The members a parent hands down when a package is created with inherit "1".
std::string PackageRecord::*const kInherited[] = {
    &PackageRecord::itsResponsible,           &PackageRecord::itsOrigLang,
    &PackageRecord::itsDeliveryUnit,          &PackageRecord::itsDuVendor,
    &PackageRecord::itsTextCollection,        &PackageRecord::itsTextStatus,
    &PackageRecord::itsTextTerminologyDomain, &PackageRecord::itsHintsForTranslation};

std::string packageJson(const PackageRecord& thePackage) {
    std::string aText = "{";
    for (const PackageField& aField : kFields) {
        if (aText.size() > 1)
            aText += ',';
        aText += "\"" + std::string(aField.itsName) + "\":" + quoted(thePackage.*aField.itsField);
    }
    return aText + "}";
}

// Refuses names with empty parts, unbalanced quotes, slashes or NUL bytes.
void checkPackageName(const std::string& theName) {
    bool aValid = !theName.empty() && theName.front() != '.' && theName.back() != '.' &&
                  theName.find("..") == std::string::npos &&
                  theName.find('/') == std::string::npos && theName.find('\0') == std::string::npos;
    std::size_t aQuotes = 0;
    for (char aChar : theName)
        aQuotes += aChar == '"';
    if (!aValid || aQuotes % 2 != 0)
        throw EngineError{code::kInvalidRequest, "Invalid package name", theName};
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

void createPackage(Operation& theOperation) {
    const json::JsonObject& aBody = theOperation.itsBody;
    RepositoryStore& aStore = theOperation.itsStore;
    std::string aName = member(aBody, "package");
    checkPackageName(aName);
    if (aStore.packageExists(aName))
        throw EngineError{code::kPackageExists, "Package exists already", aName};

    // Missing ancestors first, from the root down, as plain structural "0" packages.
    std::vector<std::string> aMissing;
    for (std::string aParent = text::parentPackage(aName);
         !aParent.empty() && !aStore.packageExists(aParent); aParent = text::parentPackage(aParent))
        aMissing.push_back(aParent);
    for (auto anIt = aMissing.rbegin(); anIt != aMissing.rend(); ++anIt) {
        PackageRecord anAncestor;
        anAncestor.itsName = *anIt;
        anAncestor.itsSrcSystem = databaseName(aStore);
        anAncestor.itsStructural = "0";
        anAncestor.itsTransportable = "1";
        aStore.insertPackage(anAncestor);
    }

    PackageRecord aPackage;
    for (const PackageField& aField : kFields)
        if (aField.itsField != &PackageRecord::itsContent)
            aPackage.*aField.itsField = optionalMember(aBody, aField.itsName);
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
    std::vector<std::string> aList;
    for (const PackageRecord& aPackage : theOperation.itsStore.listPackages()) {
        bool aMatch = true;
        for (const PackageField& aField : kFields) {
            std::string aFilter = optionalMember(theOperation.itsBody, aField.itsName);
            const std::string& aValue = aPackage.*aField.itsField;
            if (aFilter.empty())
                continue;
            if (aField.itsField == &PackageRecord::itsName ? !text::globMatch(aFilter, aValue)
                                                           : aFilter != aValue)
                aMatch = false;
        }
        if (aMatch)
            aList.push_back(packageJson(aPackage));
    }
    theOperation.itsAnswer.setRaw("packages", jsonList(aList));
}

void listRootPackages(Operation& theOperation) {
    std::vector<std::string> aList;
    for (const PackageRecord& aPackage : theOperation.itsStore.listPackages())
        if (text::parentPackage(aPackage.itsName).empty())
            aList.push_back(packageJson(aPackage));
    theOperation.itsAnswer.setRaw("rootPackages", jsonList(aList));
}

void readPackage(Operation& theOperation) {
    PackageRecord aPackage =
        requirePackage(theOperation.itsStore, member(theOperation.itsBody, "package"));
    for (const PackageField& aField : kFields)
        theOperation.itsAnswer.setString(aField.itsName, aPackage.*aField.itsField);
}

void updatePackage(Operation& theOperation) {
    PackageRecord aPackage =
        requirePackage(theOperation.itsStore, member(theOperation.itsBody, "package"));
    for (const PackageField& aField : kFields) {
        bool aDerived = aField.itsField == &PackageRecord::itsName ||
                        aField.itsField == &PackageRecord::itsContent ||
                        aField.itsField == &PackageRecord::itsSrcSystem;
        if (!aDerived && json::hasMember(theOperation.itsBody, aField.itsName))
            aPackage.*aField.itsField = member(theOperation.itsBody, aField.itsName);
    }
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
