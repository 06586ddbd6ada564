#include "actions/actionupdate.hpp"

#include "actions/changeactions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/repofunchangetracking.hpp"

namespace RepositoryAccess {

void actionUpdate::execute() {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    changeactions::openWorkspaceIfAny();
    if (textcase::equalsIgnoringCase(aWhat, "change"))
        updateChanges();
    else if (textcase::equalsIgnoringCase(aWhat, "contributor"))
        updateContributors();
    else
        throw Error("kivo: Updating a " + aWhat + " is not available in this version of kivo.");
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
