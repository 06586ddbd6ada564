#include "actions/actiontakeover.hpp"

#include <map>

#include "actions/actionscope.hpp"
#include "front/console.hpp"
#include "front/parameters.hpp"
#include "front/perftrace.hpp"
#include "front/runstatistics.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/reposession.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// The inactive objects of the scope in the foreign session, each once: all of them for
// `inactiveObjects`, those of the packages (and of their sub packages when recursive) and the
// named objects otherwise.
std::vector<RepositoryObject> foreignObjects(const RepositorySession& theSession,
                                             const ActionScope& theScope) {
    std::map<std::string, RepositoryObject> aByKey;
    auto addAll = [&](const std::vector<RepositoryObject>& theObjects) {
        for (const RepositoryObject& anObject : theObjects)
            aByKey.insert_or_assign(anObject.key(), anObject);
    };
    if (theScope.itsInactiveObjects)
        addAll(repofunobjects::listInactiveObjects(theSession, "", ""));
    for (const std::string& aPackage : theScope.itsPackages) {
        addAll(repofunobjects::listInactiveObjects(theSession, aPackage, ""));
        if (theScope.itsRecursive && !aPackage.empty())
            addAll(repofunobjects::listInactiveObjects(theSession, aPackage + ".*", ""));
    }
    for (const RepositoryObject& anObject : theScope.itsObjects)
        addAll(repofunobjects::listInactiveObjects(theSession, anObject.package(), anObject.name(),
                                                   {anObject.suffix()}));
    std::vector<RepositoryObject> anObjects;
    for (auto& anEntry : aByKey)
        anObjects.push_back(std::move(anEntry.second));
    return anObjects;
}

} // namespace

void actionTakeOver::execute() {
    KIVO_PERF_SCOPE("actionTakeOver::execute()");
    workspace::open(true);
    const ActionScope aScope = actionscope::fromParameters();
    const std::string aUser = getValue(params::inactiveWorkSpaceUser);
    const std::string aWorkSpace = getValue(params::inactiveWorkSpace);
    const std::vector<RepositoryObject> anObjects =
        foreignObjects(RepositorySession::inactive(aUser, aWorkSpace), aScope);
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
