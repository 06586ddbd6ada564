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

void actionSet::execute() {
    requireWhat("changeTrackingStatus");
    const std::string aValue = getValue(params::changeTrackingStatus);
    const bool anOn = textcase::equalsIgnoringCase(aValue, "enabled");
    if (!anOn && !textcase::equalsIgnoringCase(aValue, "disabled"))
        throw Error("kivo: Invalid change tracking status \"" + aValue +
                    "\" (expected \"enabled\" or \"disabled\"). See \"kivo help\".");
    changeactions::openWorkspaceIfAny();
    repofunchangetracking::toggleChangeTracking(anOn ? "on" : "off", isSet(params::force));
    console::sayLine(std::string("Change tracking is now ") + (anOn ? "on" : "off") + ".");
}

void actionMerge::execute() {
    requireWhat("changes");
    const std::string aSource = getValue(params::sourceChangeId);
    const std::string aTarget = getValue(params::targetChangeId);
    if (aSource.empty() || aTarget.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    changeactions::openWorkspaceIfAny();
    repofunchangetracking::mergeChanges(aSource, aTarget);
    runstatistics::add(Statistic::mergedChanges);
    console::progress("Merged changes: \"" + aSource + "\" and \"" + aTarget + "\"");
}

void actionRelease::execute() {
    requireWhat("change");
    changeactions::openWorkspaceIfAny();
    changeactions::forEachValue(params::changeId, [](const std::string& theId) {
        repofunchangetracking::releaseChange(theId);
        runstatistics::add(Statistic::releasedChanges);
        console::progress("Released change: \"" + theId + "\"");
    });
}

void actionValidate::execute() {
    requireWhat("contributor");
    const std::string anId = changeactions::requiredChangeId();
    const std::string aComment = getValue(params::description);
    changeactions::openWorkspaceIfAny();
    // Without names the connected user validates their own contribution.
    std::vector<std::string> aNames = parameters().getValues(params::contributor);
    if (aNames.empty())
        aNames.push_back(connection::open().getUserName());
    for (const std::string& aName : aNames) {
        repofunchangetracking::validateContribution(anId, aName, aComment);
        runstatistics::add(Statistic::validatedContributors);
        console::progress("Validated contributor: \"" + aName + "\" of change \"" + anId + "\"");
    }
}

} // namespace RepositoryAccess
