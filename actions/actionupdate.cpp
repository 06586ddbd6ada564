#include "actions/actionupdate.hpp"

#include "actions/adminoptions.hpp"
#include "actions/changeactions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/repofunchangetracking.hpp"

namespace RepositoryAccess {

void actionUpdate::checkArguments() const {
    adminoptions::requireWhat();
}

void actionUpdate::execute() {
    adminoptions::runByWhat({{"package", packageactions::updatePackages},
                             {"packages", packageactions::updatePackages},
                             {"deliveryUnit", deliveryunitactions::updateDeliveryUnits},
                             {"change", [this] { updateChanges(); }},
                             {"contributor", [this] { updateContributors(); }}},
                            "Updating");
}

void actionUpdate::updateChanges() {
    const std::string aDescription = getValue(params::description);
    changeactions::forEachValue(params::changeId, [&](const std::string& theId) {
        repofunchangetracking::editChangeDescription(theId, aDescription);
        runstatistics::add(Statistic::updatedChanges);
        console::progress("Updated change: \"" + theId + "\"");
    });
}

void actionUpdate::updateContributors() {
    const std::string anId = changeactions::requiredChangeId();
    const std::string aComment = getValue(params::description);
    changeactions::forEachValue(params::contributor, [&](const std::string& theName) {
        repofunchangetracking::editContributorComment(anId, theName, aComment);
        runstatistics::add(Statistic::updatedContributors);
        console::progress("Updated contributor: \"" + theName + "\" of change: \"" + anId + "\"");
    });
}

} // namespace RepositoryAccess
