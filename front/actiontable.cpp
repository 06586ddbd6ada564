#include "front/actiontable.hpp"

#include <algorithm>
#include <iterator>

#include "actions/actionactivate.hpp"
#include "actions/actionchanges.hpp"
#include "actions/actioncheckout.hpp"
#include "actions/actioncommit.hpp"
#include "actions/actioncreate.hpp"
#include "actions/actiondelete.hpp"
#include "actions/actiondiff.hpp"
#include "actions/actiondiscard.hpp"
#include "actions/actionexport.hpp"
#include "actions/actionhelp.hpp"
#include "actions/actionhistory.hpp"
#include "actions/actionimport.hpp"
#include "actions/actionlist.hpp"
#include "actions/actionmove.hpp"
#include "actions/actionresolve.hpp"
#include "actions/actionrevert.hpp"
#include "actions/actionshow.hpp"
#include "actions/actionstatus.hpp"
#include "actions/actiontakeover.hpp"
#include "actions/actiontrack.hpp"
#include "actions/actionundeploy.hpp"
#include "actions/actionupdate.hpp"
#include "actions/actionversion.hpp"
#include "core/error.hpp"

namespace RepositoryAccess {

namespace {

template <class theAction> std::unique_ptr<Command> make() {
    return std::make_unique<theAction>();
}

using K = ActionKind;
using W = WorkspaceNeed;
constexpr bool kRepair = true;
constexpr bool kNoRepair = false;
constexpr ConnectionNeed kConnects = ConnectionNeed::whenUsed;
constexpr ConnectionNeed kOffline = ConnectionNeed::none;

// Actions without a word of their own run only inside their sequence (checkOut, discard, ...).
constexpr ActionRow theRows[] = {
    {K::activate, "", "actionActivate", make<actionActivate>, W::locked, kRepair, kConnects},
    {K::checkOut, "", "actionCheckOut", make<actionCheckOut>, W::locked, kRepair, kConnects},
    {K::commit, "commit", "actionCommit", make<actionCommit>, W::locked, kRepair, kConnects},
    // A new workspace is made by the action itself.
    {K::create, "create", "actionCreate", make<actionCreate>, W::byArguments, kNoRepair, kConnects},
    // The deletion of packages takes the lock itself once it knows it removes local files.
    {K::deleteObjects, "", "actionDelete", make<actionDelete>, W::read, kNoRepair, kConnects},
    {K::discard, "", "actionDiscard", make<actionDiscard>, W::locked, kNoRepair, kConnects},
    {K::exportDeliveryUnit, "export", "actionExport", make<actionExport>, W::read, kNoRepair,
     kConnects},
    {K::help, "help", "actionHelp", make<actionHelp>, W::none, kNoRepair, kOffline},
    {K::importFiles, "import", "actionImport", make<actionImport>, W::read, kNoRepair, kConnects},
    {K::list, "list", "actionList", make<actionList>, W::read, kNoRepair, kConnects},
    {K::merge, "merge", "actionMerge", make<actionMerge>, W::read, kNoRepair, kConnects},
    {K::move, "move", "actionMove", make<actionMove>, W::read, kNoRepair, kConnects},
    {K::release, "release", "actionRelease", make<actionRelease>, W::read, kNoRepair, kConnects},
    {K::resolve, "resolve", "actionResolve", make<actionResolve>, W::locked, kNoRepair, kConnects},
    {K::revert, "", "actionRevert", make<actionRevert>, W::locked, kRepair, kConnects},
    {K::set, "set", "actionSet", make<actionSet>, W::read, kNoRepair, kConnects},
    {K::show, "show", "actionShow", make<actionShow>, W::read, kNoRepair, kConnects},
    // The status file is read while the directories are listed: both take long in a large tree.
    {K::status, "status", "actionStatus", make<actionStatus>, W::readAhead, kNoRepair, kConnects},
    {K::takeOver, "", "actionTakeOver", make<actionTakeOver>, W::locked, kRepair, kConnects},
    {K::track, "track", "actionTrack", make<actionTrack>, W::locked, kNoRepair, kConnects},
    // Only the undeployment of delivery units does anything.
    {K::unDeploy, "unDeploy", "actionUnDeploy", make<actionUnDeploy>, W::byArguments, kNoRepair,
     kConnects},
    {K::unTrack, "unTrack", "actionUnTrack", make<actionUnTrack>, W::locked, kNoRepair, kConnects},
    {K::update, "update", "actionUpdate", make<actionUpdate>, W::read, kNoRepair, kConnects},
    {K::validate, "validate", "actionValidate", make<actionValidate>, W::read, kNoRepair,
     kConnects},
    {K::version, "version", "actionVersion", make<actionVersion>, W::none, kNoRepair, kOffline},
    {K::log, "log", "actionLog", make<actionLog>, W::read, kNoRepair, kConnects},
    {K::annotate, "annotate", "actionAnnotate", make<actionAnnotate>, W::read, kNoRepair,
     kConnects},
    {K::diff, "diff", "actionDiff", make<actionDiff>, W::read, kNoRepair, kConnects},
};

constexpr bool inKindOrder() {
    for (std::size_t i = 0; i < std::size(theRows); ++i)
        if (theRows[i].itsKind != static_cast<ActionKind>(i))
            return false;
    return std::size(theRows) == kActionKindCount;
}
static_assert(inKindOrder(), "one row per action kind, in the order of the kinds");

} // namespace

std::span<const ActionRow> actiontable::rows() {
    return theRows;
}

const ActionRow& actiontable::rowOf(ActionKind theKind, std::span<const ActionRow> theRows) {
    const auto aRow =
        std::find_if(theRows.begin(), theRows.end(),
                     [theKind](const ActionRow& theRow) { return theRow.itsKind == theKind; });
    if (aRow == theRows.end())
        throw Error("kivo: The action " + std::string(actionClassName(theKind)) +
                    " is not available in this version of kivo.");
    return *aRow;
}

std::string_view actionClassName(ActionKind theKind) {
    return theRows[static_cast<std::size_t>(theKind)].itsClassName;
}

} // namespace RepositoryAccess
