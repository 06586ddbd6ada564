#include "actions/actionshow.hpp"

#include <charconv>
#include <sstream>
#include <string_view>

#include "actions/adminoptions.hpp"
#include "actions/readonlyview.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunchangetracking.hpp"
#include "repository/repofundeliveryunits.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "repository/respprinters.hpp"
#include "workspace/objects.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// A line of the repository settings: the label padded with blanks to 25 characters, ": ", the
// value and a line end.
std::string settingLine(std::string_view theLabel, std::string_view theValue) {
    std::string aLine(theLabel);
    aLine.resize(25, ' ');
    return aLine + ": " + std::string(theValue) + "\n";
}

// The vendor of the delivery units named on the command line: `vendor`, else the repository's
// content vendor.
std::string deliveryUnitVendor() {
    const std::string aVendor = getValue(params::vendor);
    return aVendor.empty() ? repofunbase::getContentVendor() : aVendor;
}

void showChange() {
    std::ostringstream aText;
    for (const ChangeEntry& aChange :
         repofunchangetracking::readChanges(parameters().getValues(params::changeId)))
        respprinters::printChangeDetails(aChange, aText, true, true, false);
    console::say(aText.str());
}

void showChangeTrackingStatus() {
    console::say(
        settingLine("Change tracking status", repofunchangetracking::getChangeTrackingStatus()));
}

void showDeliveryUnit() {
    const std::string aVendor = deliveryUnitVendor();
    std::ostringstream aText;
    for (const std::string& aName : parameters().getValues(params::deliveryUnit)) {
        respprinters::printDeliveryUnit(repofundeliveryunits::getDeliveryUnit(aName, aVendor),
                                        aText);
        aText << '\n';
    }
    console::say(aText.str());
}

// Each active object of the delivery units' packages as its path and " (broken)" or " (ok)".
void showDeliveryUnitStatus() {
    const std::string aVendor = deliveryUnitVendor();
    std::string aText;
    for (const std::string& aName : parameters().getValues(params::deliveryUnit)) {
        const bool aBroken = repofundeliveryunits::checkIsDeliveryUnitBroken(aName, aVendor);
        PackageAttributes aFilter;
        aFilter.itsDeliveryUnit = aName;
        aFilter.itsDuVendor = aVendor;
        for (const Package& aPackage : repofunpackages::listPackages(aFilter))
            for (const RepositoryObject& anObject :
                 repofunobjects::findObjects(RepositorySession::active(), aPackage.itsPackage, ""))
                aText += respprinters::objectPath(anObject) +
                         (aBroken && anObject.metaData().itsObjectStatus == "1" ? " (broken)\n"
                                                                                : " (ok)\n");
    }
    console::say(aText);
}

void showExportVersions() {
    const ExportVersions aVersions = repofunbase::getSupportedExportVersions();
    console::say(settingLine("Minimum required version", aVersions.itsMinRequiredVersion) +
                 settingLine("Maximum version", aVersions.itsMaxVersion));
}

// The version that `version` names: "a" or "active", "i" or "inactive" (the user's own), or the
// number of a historical version.
ObjectVersion requestedVersion(const std::string& theValue) {
    if (theValue == "a" || theValue == "active")
        return {1, {}, {}, 0};
    if (theValue == "i" || theValue == "inactive") {
        const RepositorySession aSession = repofunbase::defaultInactiveSession();
        return {2, aSession.itsOwner,
                aSession.itsWorkSpace.empty() ? "__empty__" : aSession.itsWorkSpace, 0};
    }
    std::int32_t aNumber = 0;
    const char* anEnd = theValue.data() + theValue.size();
    const auto [aPos, anError] = std::from_chars(theValue.data(), anEnd, aNumber);
    if (theValue.empty() || anError != std::errc() || aPos != anEnd || aNumber <= 0)
        throw Error("Invalid version (must be a|active, i|inactive or a historical version "
                    "(positive integer)): " +
                    theValue);
    return {3, {}, {}, aNumber};
}

// The metadata of one version of one object, with the object's description.
void showObject() {
    const ObjectVersion aVersion = requestedVersion(getValue(params::version));
    const std::string anArgument = getValue(params::object);
    RepositoryObject anObject = objects::object_name_to_object_id(anArgument);
    ObjectMetaData aMeta;
    if (aVersion.itsVersionType == 1)
        aMeta = repofunobjects::readActiveObjectMetaData(anObject);
    else if (aVersion.itsVersionType == 2)
        aMeta = repofunobjects::readInactiveObjectMetaData(anObject);
    else
        aMeta = repofunobjects::readHistoricalObjectMetaData(anObject, aVersion.itsVersionNr);
    if (aMeta.itsType == 0)
        throw Error("Object \"" + anArgument + "\" has no historical version " +
                    std::to_string(aVersion.itsVersionNr) + ".");
    anObject.setMetaData(std::move(aMeta));
    anObject.setVersion(aVersion);
    std::ostringstream aText;
    objects::printObject(anObject, aText);
    console::say(aText.str());
}

void showPackage() {
    std::ostringstream aText;
    for (const std::string& anArgument : parameters().getValues(params::package)) {
        respprinters::printPackage(
            repofunpackages::readPackage(workspace::normalizePackage(anArgument)), aText);
        aText << '\n';
    }
    console::say(aText.str());
}

void showVendor() {
    console::say(settingLine("Content vendor", repofunbase::getContentVendor()));
}

constexpr readonlyview::Step kDetails[] = {
    {"change", showChange},
    {"changeTrackingStatus", showChangeTrackingStatus},
    {"deliveryUnit", showDeliveryUnit},
    {"deliveryUnitStatus", showDeliveryUnitStatus},
    {"exportVersions", showExportVersions},
    {"object", showObject},
    {"package", showPackage},
    {"vendor", showVendor},
};

} // namespace

void actionShow::checkArguments() const {
    adminoptions::requireWhat();
}

void actionShow::execute() {
    KIVO_PERF_SCOPE("actionShow::execute()");
    readonlyview::run(kDetails);
}

} // namespace RepositoryAccess
