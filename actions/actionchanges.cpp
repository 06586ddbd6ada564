#include "actions/actionchanges.hpp"

#include "actions/changeactions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/connection.hpp"
#include "repository/repofunchangetracking.hpp"

namespace RepositoryAccess {

namespace {

// Refuses an empty WHAT and any WHAT but theWhat.
void requireWhat(std::string_view theWhat) {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    if (!textcase::equalsIgnoringCase(aWhat, theWhat))
        throw Error("kivo: Unknown object type \"" + aWhat + "\". See \"kivo help\".");
}

} // namespace

void actionSet::checkArguments() const {
    requireWhat("changeTrackingStatus");
    const std::string aValue = getValue(params::changeTrackingStatus);
    if (!textcase::equalsIgnoringCase(aValue, "enabled") &&
        !textcase::equalsIgnoringCase(aValue, "disabled"))
        throw Error("kivo: Invalid change tracking status \"" + aValue +
                    "\" (expected \"enabled\" or \"disabled\"). See \"kivo help\".");
}

void actionSet::execute() {
    const bool anOn =
        textcase::equalsIgnoringCase(getValue(params::changeTrackingStatus), "enabled");
    repofunchangetracking::toggleChangeTracking(anOn ? "on" : "off", isSet(params::force));
    console::sayLine(std::string("Change tracking is now ") + (anOn ? "on" : "off") + ".");
}

void actionMerge::checkArguments() const {
    requireWhat("changes");
    if (getValue(params::sourceChangeId).empty() || getValue(params::targetChangeId).empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
}

void actionMerge::execute() {
    const std::string aSource = getValue(params::sourceChangeId);
    const std::string aTarget = getValue(params::targetChangeId);
    repofunchangetracking::mergeChanges(aSource, aTarget);
    runstatistics::add(Statistic::mergedChanges);
    console::progress("Merged changes: \"" + aSource + "\" and \"" + aTarget + "\"");
}

void actionRelease::checkArguments() const {
    requireWhat("change");
}

void actionRelease::execute() {
    changeactions::forEachValue(params::changeId, [](const std::string& theId) {
        repofunchangetracking::releaseChange(theId);
        runstatistics::add(Statistic::releasedChanges);
        console::progress("Released change: \"" + theId + "\"");
    });
}

void actionValidate::checkArguments() const {
    requireWhat("contributor");
    changeactions::requiredChangeId();
}

void actionValidate::execute() {
    const std::string anId = changeactions::requiredChangeId();
    const std::string aComment = getValue(params::description);
    // Without names the connected user validates their own contribution.
    std::vector<std::string> aNames = parameters().getValues(params::contributor);
    if (aNames.empty())
        aNames.push_back(context().connection().getUserName());
    for (const std::string& aName : aNames) {
        repofunchangetracking::validateContribution(anId, aName, aComment);
        runstatistics::add(Statistic::validatedContributors);
        console::progress("Validated contributor: \"" + aName + "\" of change \"" + anId + "\"");
    }
}

} // namespace RepositoryAccess
