// Delivery-unit operations: create, read, update, delete, list, the broken check and undeploy.
#include "server/authority.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

#include <algorithm>

namespace RepositoryAccess::server::ops {

namespace {

// The delivery unit a create or update request describes; name and vendor must be there.
DeliveryUnitRecord unitOfRequest(const Operation& theOperation) {
    const json::JsonObject& aBody = theOperation.itsBody;
    DeliveryUnitRecord aUnit =
        deliveryUnitFromJson(aBody, theOperation.itsStore.descriptions().itsDeliveryUnit);
    aUnit.itsName = member(aBody, "name");
    aUnit.itsVendor = member(aBody, "vendor");
    if (aUnit.itsName.empty())
        throw EngineError{code::kInvalidRequest, "A delivery unit needs a name", {}};
    return aUnit;
}

std::string nameOf(const std::string& theName, const std::string& theVendor) {
    return theName + " (" + theVendor + ")";
}

// Clears the assignment of a package to its delivery unit.
void unassign(RepositoryStore& theStore, PackageRecord thePackage) {
    thePackage.itsDeliveryUnit.clear();
    thePackage.itsDuVendor.clear();
    theStore.updatePackage(thePackage);
}

} // namespace

DeliveryUnitRecord requireDeliveryUnit(RepositoryStore& theStore, const std::string& theName,
                                       const std::string& theVendor) {
    auto aUnit = theStore.findDeliveryUnit(theName, theVendor);
    if (!aUnit)
        throw EngineError{code::kDeliveryUnitMissing, "Delivery unit does not exist",
                          nameOf(theName, theVendor)};
    return *aUnit;
}

void createDeliveryUnit(Operation& theOperation) {
    DeliveryUnitRecord aUnit = unitOfRequest(theOperation);
    RepositoryStore& aStore = theOperation.itsStore;
    if (aStore.findDeliveryUnit(aUnit.itsName, aUnit.itsVendor))
        throw EngineError{code::kDeliveryUnitExists, "Delivery unit exists already",
                          nameOf(aUnit.itsName, aUnit.itsVendor)};
    aUnit.itsLastUpdate = text::nowTimestamp();
    aStore.putDeliveryUnit(aUnit);
}

void getDeliveryUnit(Operation& theOperation) {
    DeliveryUnitRecord aUnit =
        requireDeliveryUnit(theOperation.itsStore, member(theOperation.itsBody, "name"),
                            member(theOperation.itsBody, "vendor"));
    theOperation.itsAnswer.setRaw(
        "deliveryUnit",
        deliveryUnitJson(aUnit, theOperation.itsStore.descriptions().itsDeliveryUnit));
}

// An update replaces every attribute; a last update sent empty becomes the time of the update.
void updateDeliveryUnit(Operation& theOperation) {
    DeliveryUnitRecord aUnit = unitOfRequest(theOperation);
    requireDeliveryUnit(theOperation.itsStore, aUnit.itsName, aUnit.itsVendor);
    if (aUnit.itsLastUpdate.empty())
        aUnit.itsLastUpdate = text::nowTimestamp();
    theOperation.itsStore.putDeliveryUnit(aUnit);
}

// Deleting a delivery unit leaves its packages in place, no longer assigned.
void deleteDeliveryUnit(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    std::string aName = member(theOperation.itsBody, "name");
    std::string aVendor = member(theOperation.itsBody, "vendor");
    requireDeliveryUnit(aStore, aName, aVendor);
    for (const PackageRecord& aPackage : aStore.packagesOfDeliveryUnit(aName, aVendor))
        unassign(aStore, aPackage);
    aStore.deleteDeliveryUnit(aName, aVendor);
}

void existsDeliveryUnit(Operation& theOperation) {
    bool anExists = theOperation.itsStore
                        .findDeliveryUnit(member(theOperation.itsBody, "name"),
                                          member(theOperation.itsBody, "vendor"))
                        .has_value();
    theOperation.itsAnswer.setString("exists", anExists ? "true" : "false");
}

void listDeliveryUnits(Operation& theOperation) {
    std::vector<std::string> aList;
    for (const DeliveryUnitRecord& aUnit : theOperation.itsStore.listDeliveryUnits())
        aList.push_back(
            jsonObject({{"name", quoted(aUnit.itsName)}, {"vendor", quoted(aUnit.itsVendor)}}));
    theOperation.itsAnswer.setRaw("deliveryUnits", jsonList(aList));
}

// Broken: an active version of an object in one of the unit's packages failed its checks.
void checkDeliveryUnitBroken(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    std::string aName = member(theOperation.itsBody, "name");
    std::string aVendor = member(theOperation.itsBody, "vendor");
    requireDeliveryUnit(aStore, aName, aVendor);
    bool aBroken = false;
    for (const PackageRecord& aPackage : aStore.packagesOfDeliveryUnit(aName, aVendor))
        for (std::int64_t anObject : aStore.objectsInPackage(aPackage.itsName)) {
            std::int64_t aLatest = aStore.latest(anObject);
            auto anEntry = aLatest ? aStore.historyEntry(anObject, aLatest, false) : std::nullopt;
            aBroken =
                aBroken || (anEntry && !anEntry->itsIsDeletion && anEntry->itsObjectStatus == "1");
        }
    theOperation.itsAnswer.setString("exists", aBroken ? "true" : "false");
}

// Removes the unit's objects with all their versions, then its packages from the deepest up: a
// package that still holds sub packages (of another unit) is only unassigned. Only an
// administrator undeploys, since every user's work in the unit goes.
void undeployDeliveryUnit(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    RepositoryStore& aStore = theOperation.itsStore;
    std::string aName = member(theOperation.itsBody, "delivery_unit");
    std::string aVendor = member(theOperation.itsBody, "du_vendor");
    authority::requireAdministrator(theOperation,
                                    "undeploy delivery unit " + nameOf(aName, aVendor));
    requireDeliveryUnit(aStore, aName, aVendor);
    std::vector<PackageRecord> aPackages = aStore.packagesOfDeliveryUnit(aName, aVendor);
    std::sort(aPackages.begin(), aPackages.end(),
              [](const PackageRecord& theLeft, const PackageRecord& theRight) {
                  return theLeft.itsName > theRight.itsName;
              });
    std::int64_t anObjects = 0, aDeleted = 0, anUnassigned = 0;
    for (const PackageRecord& aPackage : aPackages) {
        for (std::int64_t anObject : aStore.objectsInPackage(aPackage.itsName)) {
            aStore.deleteObject(anObject);
            ++anObjects;
        }
        if (aStore.subPackages(aPackage.itsName).empty()) {
            aStore.deletePackage(aPackage.itsName);
            ++aDeleted;
        } else {
            unassign(aStore, aPackage);
            ++anUnassigned;
        }
    }
    aStore.deleteDeliveryUnit(aName, aVendor);
    theOperation.itsAnswer.setRaw(
        "undeploySummary",
        jsonObject({{"deletedObjectsCount", quoted(std::to_string(anObjects))},
                    {"deletedPackagesCount", quoted(std::to_string(aDeleted))},
                    {"reassignedPackagesCount", quoted(std::to_string(anUnassigned))}}));
}

} // namespace RepositoryAccess::server::ops
