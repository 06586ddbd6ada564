#include "actions/actiontakeover.hpp"
#include "actions/repositorylistings.hpp"

#include <map>

#include "actions/actionscope.hpp"
#include "core/console.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/runstatistics.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/reposession.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

void actionTakeOver::execute() {
    KIVO_PERF_SCOPE("actionTakeOver::execute()");
    const ActionScope aScope = actionscope::fromParameters();
    const std::string aUser = getValue(params::inactiveWorkSpaceUser);
    const std::string aWorkSpace = getValue(params::inactiveWorkSpace);
    const std::vector<RepositoryObject> anObjects = repositorylistings::inactiveObjectsOfScope(
        aScope, RepositorySession::inactive(aUser, aWorkSpace));
    if (anObjects.empty()) {
        console::sayLine("Nothing to take over.");
        return;
    }
    repofunobjects::pullInactiveObjects(anObjects, aUser, aWorkSpace);
    for (const RepositoryObject& anObject : anObjects) {
        runstatistics::add(Statistic::takenOverObjects);
        console::progress("Taken over file: \"" + anObject.workSpaceFileName() + "\"");
    }
}

} // namespace RepositoryAccess
