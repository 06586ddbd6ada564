#include "actions/pushresolution.hpp"

#include <string>

#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess::pushresolution {

bool resolvesConflicts() {
    if (!textcase::equalsIgnoringCase(getValue(params::action), "push"))
        return false;
    return !getValue(params::with).empty() || isSet(params::local) || isSet(params::base) ||
           isSet(params::remote) || isSet(params::mergeTool);
}

std::string conflictMessage(std::string_view theAction, std::string_view theParticiple) {
    return std::string(theAction) + " failed. At least one of the files to be " +
           std::string(theParticiple) + " is conflicted.\n\n" + std::string(kResolutionCalls);
}

bool leaveConflictsToPush(bool theHasConflicts, std::string_view theAction,
                          std::string_view theParticiple) {
    if (!theHasConflicts)
        return false;
    if (resolvesConflicts())
        return true;
    throw Error(conflictMessage(theAction, theParticiple));
}

namespace {

bool isActivated(const ObjectMetaData& theVersion) {
    return theVersion.itsType == 1 || theVersion.itsType == 3;
}

} // namespace

bool isLeftBehind(const ObjectMetaData& theInactive, const ObjectMetaData& theTaken) {
    return isActivated(theTaken) && theInactive.itsVersionId <= theTaken.itsVersionId;
}

void revertLeftBehind(const RepositoryObject& theInactive, const ObjectMetaData& theTaken) {
    if (!isLeftBehind(theInactive.metaData(), theTaken))
        return;
    workspace::get()->recordJournal({{theInactive.package(), theInactive.name(),
                                      theInactive.suffix(), JournalEntry::Repair::repository}});
    repofunobjects::revertObjects({theInactive});
    runstatistics::add(Statistic::revertedObjects);
    console::progress("Reverted file: \"" + theInactive.workSpaceFileName() + "\"");
}

void revertLeftBehind(const RepositoryObject& theObject) {
    if (!isActivated(theObject.metaData()))
        return;
    for (const RepositoryObject& anInactive : repositorylistings::inactiveObjectsOf({theObject}))
        revertLeftBehind(anInactive, theObject.metaData());
}

} // namespace RepositoryAccess::pushresolution
