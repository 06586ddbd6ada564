#include "actions/actionlist.hpp"

#include <sstream>

#include "actions/adminoptions.hpp"
#include "actions/readonlyview.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
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
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

// The package argument of a listing, normalised; empty when none is given.
std::string packageArgument() {
    const std::string anArgument = getValue(params::package);
    return anArgument.empty() ? anArgument : workspace::normalizePackage(anArgument);
}

void listTrackedPackages() {
    std::string aText;
    for (const auto& aPackage : workspace::config().trackedPackages())
        aText += aPackage + "\n";
    console::say(aText);
}

void printPackages(const std::vector<Package>& thePackages) {
    std::ostringstream aText;
    for (const Package& aPackage : thePackages) {
        respprinters::printPackage(aPackage, aText);
        aText << '\n';
    }
    console::say(aText.str());
}

void listRootPackages() {
    printPackages(repofunpackages::listRootPackages());
}

// The packages whose name matches the package argument and whose attributes match the filter
// options; the parameter `deliveryUnit` restricts them to one delivery unit.
void listPackages() {
    printPackages(repofunpackages::listPackages(adminoptions::packageFilter(packageArgument())));
}

// One package listing per delivery unit, in argument order.
void listDeliveryUnit() {
    for (const std::string& aName : parameters().getValues(params::deliveryUnit)) {
        parameters().unset(params::deliveryUnit);
        parameters().setValue(params::deliveryUnit, aName);
        listPackages();
    }
}

void listActiveObjects() {
    repositorylistings::printActiveObjects(repositorylistings::objectsOfPackage(
        RepositorySession::active(), packageArgument(), !isSet(params::noRecursive),
        parameters().getValues(params::suffix)));
}

// The user's own repository workspace unless `inactiveWorkSpace` or `inactiveWorkSpaceUser`
// names another one ("__empty__" is the default workspace).
void listInactiveObjects() {
    RepositorySession aSession = repofunbase::defaultInactiveSession();
    if (isSet(params::inactiveWorkSpace))
        aSession.itsWorkSpace = getValue(params::inactiveWorkSpace);
    if (isSet(params::inactiveWorkSpaceUser))
        aSession.itsOwner = getValue(params::inactiveWorkSpaceUser);
    repositorylistings::printInactiveObjects(repositorylistings::objectsOfPackage(
        aSession, packageArgument(), !isSet(params::noRecursive),
        parameters().getValues(params::suffix)));
}

// One line per workspace: the owner, a tab and the workspace name ("__empty__" for the default
// one).
void listInactiveWorkSpaces() {
    std::string aText;
    for (const InactiveWorkSpace& aWorkSpace : repofunbase::listInactiveWorkSpaces(
             repofunbase::defaultInactiveSession(), getValue(params::inactiveWorkSpaceUser)))
        aText += aWorkSpace.itsUser + "\t" +
                 (aWorkSpace.itsWorkSpace.empty() ? "__empty__" : aWorkSpace.itsWorkSpace) + "\n";
    console::say(aText);
}

// The status filter: `changeStatus` as given, else the shorthands open (1), released (2) and
// abandoned (3).
std::string changeStatusFilter() {
    if (isSet(params::changeStatus))
        return getValue(params::changeStatus);
    if (isSet(params::open))
        return "1";
    if (isSet(params::released))
        return "2";
    if (isSet(params::abandoned))
        return "3";
    return {};
}

void listChanges() {
    ChangeFilter aFilter;
    aFilter.itsSrcSystem = getValue(params::srcSystem);
    aFilter.itsChangeNumber = getValue(params::changeNumber);
    aFilter.itsChangeStatus = changeStatusFilter();
    aFilter.itsContributionStatus = getValue(params::contributorStatus);
    aFilter.itsCreatedBy = getValue(params::createdBy);
    std::ostringstream aText;
    for (const ChangeEntry& aChange : repofunchangetracking::findChanges(aFilter)) {
        respprinters::printChange(aChange, aText);
        aText << '\n';
    }
    console::say(aText.str());
}

// The entries of each change; with several changes each list follows a line with its ID.
void listChange() {
    const auto aChanges =
        repofunchangetracking::readChanges(parameters().getValues(params::changeId));
    std::ostringstream aText;
    for (const ChangeEntry& aChange : aChanges) {
        if (aChanges.size() > 1)
            aText << aChange.itsChangeId << ":\n";
        respprinters::printChangeDetails(aChange, aText, false, false, true);
    }
    console::say(aText.str());
}

// One line per delivery unit: its name, a tab and its vendor; `vendor` keeps only that vendor's.
void listDeliveryUnits() {
    const std::string aVendor = getValue(params::vendor);
    std::string aText;
    for (const DeliveryUnitName& aUnit : repofundeliveryunits::listDeliveryUnits())
        if (aVendor.empty() || aUnit.itsVendor == aVendor)
            aText += aUnit.itsName + "\t" + aUnit.itsVendor + "\n";
    console::say(aText);
}

void listHistory() {
    std::ostringstream aText;
    for (const std::string& anArgument : parameters().getValues(params::object)) {
        const auto anEntries =
            repofunobjects::listHistory(objects::object_name_to_object_id(anArgument));
        if (anEntries.empty()) {
            aText << "No historic versions for \"" << anArgument << "\"\n";
            continue;
        }
        aText << "Historic versions:\n";
        for (const HistoryEntry& anEntry : anEntries)
            respprinters::printHistoryEntry(anEntry, aText);
    }
    console::say(aText.str());
}

constexpr readonlyview::Step kListings[] = {
    {"trackedPackages", listTrackedPackages},
    {"rootPackages", listRootPackages},
    {"packages", listPackages},
    {"deliveryUnit", listDeliveryUnit},
    {"activeObjects", listActiveObjects},
    {"inactiveObjects", listInactiveObjects},
    {"inactiveWorkSpaces", listInactiveWorkSpaces},
    {"changes", listChanges},
    {"change", listChange},
    {"deliveryUnits", listDeliveryUnits},
    {"history", listHistory},
};

} // namespace

void actionList::checkArguments() const {
    adminoptions::requireWhat();
}

void actionList::execute() {
    KIVO_PERF_SCOPE("actionList::execute()");
    readonlyview::run(kListings);
}

} // namespace RepositoryAccess
