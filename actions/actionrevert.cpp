#include "actions/actionrevert.hpp"

#include <map>

#include "actions/actionscope.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/perftrace.hpp"
#include "core/runstatistics.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/status.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

constexpr const char* kConflicted =
    "Revert failed. At least one of the files to be reverted is conflicted.\n\nCall:\n"
    "\t* \"kivo resolve --local|--base|--remote|--mergetool|-m\" for\n"
    "\t  (non-)interactive conflict resolution, or\n"
    "\t* \"kivo push --local|--base|--remote|--mergetool|-m\", or\n"
    "\t* \"kivo checkout --force|-f\" to overwrite your local changes.\n";

// The user's inactive objects of the scope, each once; `inactiveObjects` selects all of them.
std::vector<RepositoryObject> collectObjects(const ActionScope& theScope) {
    if (theScope.itsInactiveObjects)
        return repositorylistings::inactiveObjectsOfPackages({});
    return repositorylistings::inactiveObjectsOfScope(theScope);
}

} // namespace

void actionRevert::execute() {
    KIVO_PERF_SCOPE("actionRevert::execute()");
    const ActionScope aScope = actionscope::fromParameters();
    const std::vector<RepositoryObject> anObjects = collectObjects(aScope);
    if (!anObjects.empty() && !Status(anObjects, true, false).conflicted().empty())
        throw Error(kConflicted);
    if (anObjects.empty()) {
        console::sayLine("Nothing to revert.");
        return;
    }
    std::vector<JournalEntry> aJournal;
    for (const RepositoryObject& anObject : anObjects)
        aJournal.push_back({anObject.package(), anObject.name(), anObject.suffix(),
                            JournalEntry::Repair::repository});
    workspace::get()->recordJournal(aJournal);
    repofunobjects::revertObjects(anObjects);
    for (const RepositoryObject& anObject : anObjects) {
        runstatistics::add(Statistic::revertedObjects);
        console::progress("Reverted file: \"" + anObject.workSpaceFileName() + "\"");
    }
}

} // namespace RepositoryAccess
