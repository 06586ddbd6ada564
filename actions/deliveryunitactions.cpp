#include "actions/deliveryunitactions.hpp"

#include <charconv>

#include "actions/adminoptions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "repository/repofundeliveryunits.hpp"

namespace RepositoryAccess::deliveryunitactions {

namespace {

std::string nameAndVendor(const std::string& theName, const std::string& theVendor) {
    return "\"" + theName + "\" (vendor: \"" + theVendor + "\")";
}

void requireExisting(const std::string& theName, const std::string& theVendor) {
    if (!repofundeliveryunits::existsDeliveryUnit(theName, theVendor))
        throw Error("Delivery unit " + theName + " " + theVendor + " does not exist.");
}

// A count of an undeploy answer; an answer that is no number fails with the text it holds.
std::int64_t count(const std::string& theText) {
    std::int64_t aValue = 0;
    const char* anEnd = theText.data() + theText.size();
    const auto [aPtr, anError] = std::from_chars(theText.data(), anEnd, aValue);
    if (theText.empty() || anError != std::errc() || aPtr != anEnd)
        throw Error("Invalid count in the undeploy answer: \"" + theText + "\"");
    return aValue;
}

// Calls theAction for each delivery-unit argument with the vendor of the run.
template <class TAction> void forEachDeliveryUnit(TAction theAction) {
    const std::vector<std::string> aNames = adminoptions::deliveryUnitArguments();
    const std::string aVendor = adminoptions::vendorOrContentVendor();
    for (const std::string& aName : aNames)
        theAction(aName, aVendor);
}

} // namespace

void createDeliveryUnits() {
    forEachDeliveryUnit([](const std::string& theName, const std::string& theVendor) {
        repofundeliveryunits::createDeliveryUnit(
            adminoptions::deliveryUnitAttributes(theName, theVendor, adminoptions::Missing::empty));
        runstatistics::add(Statistic::createdDeliveryUnits);
        console::progress("Created delivery unit: " + nameAndVendor(theName, theVendor));
    });
}

void deleteDeliveryUnits() {
    forEachDeliveryUnit([](const std::string& theName, const std::string& theVendor) {
        requireExisting(theName, theVendor);
        repofundeliveryunits::deleteDeliveryUnit(theName, theVendor);
        runstatistics::add(Statistic::deletedDeliveryUnits);
        console::progress("Deleted delivery unit: " + nameAndVendor(theName, theVendor));
    });
}

void updateDeliveryUnits() {
    forEachDeliveryUnit([](const std::string& theName, const std::string& theVendor) {
        requireExisting(theName, theVendor);
        repofundeliveryunits::updateDeliveryUnit(
            adminoptions::deliveryUnitAttributes(theName, theVendor, adminoptions::Missing::keep));
        runstatistics::add(Statistic::updatedDeliveryUnits);
        console::progress("Updated delivery unit: " + nameAndVendor(theName, theVendor));
    });
}

void undeployDeliveryUnits() {
    forEachDeliveryUnit([](const std::string& theName, const std::string& theVendor) {
        const UndeploySummary aSummary =
            repofundeliveryunits::undeployDeliveryUnit(theName, theVendor);
        runstatistics::add(Statistic::deletedObjects, count(aSummary.itsDeletedObjectsCount));
        runstatistics::add(Statistic::deletedPackages, count(aSummary.itsDeletedPackagesCount));
        runstatistics::add(Statistic::updatedPackages, count(aSummary.itsReassignedPackagesCount));
        runstatistics::add(Statistic::deletedDeliveryUnits);
    });
}

} // namespace RepositoryAccess::deliveryunitactions
