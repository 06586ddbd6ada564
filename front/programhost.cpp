#include "front/programhost.hpp"

#include <iterator>
#include <memory>
#include <ostream>

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
#include "actions/command.hpp"
#include "actions/journalrepair.hpp"
#include "actions/packageactions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "repository/connection.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

using Factory = std::unique_ptr<Command> (*)();

template <class theAction> std::unique_ptr<Command> make() {
    return std::make_unique<theAction>();
}

// The action classes this build contains; a kind without a factory fails with a message that
// names the action.
Factory factoryOf(ActionKind theKind) {
    switch (theKind) {
    case ActionKind::version:
        return make<actionVersion>;
    case ActionKind::activate:
        return make<actionActivate>;
    case ActionKind::checkOut:
        return make<actionCheckOut>;
    case ActionKind::commit:
        return make<actionCommit>;
    case ActionKind::create:
        return make<actionCreate>;
    case ActionKind::deleteObjects:
        return make<actionDelete>;
    case ActionKind::diff:
        return make<actionDiff>;
    case ActionKind::log:
        return make<actionLog>;
    case ActionKind::annotate:
        return make<actionAnnotate>;
    case ActionKind::discard:
        return make<actionDiscard>;
    case ActionKind::exportDeliveryUnit:
        return make<actionExport>;
    case ActionKind::importFiles:
        return make<actionImport>;
    case ActionKind::help:
        return make<actionHelp>;
    case ActionKind::list:
        return make<actionList>;
    case ActionKind::merge:
        return make<actionMerge>;
    case ActionKind::move:
        return make<actionMove>;
    case ActionKind::release:
        return make<actionRelease>;
    case ActionKind::resolve:
        return make<actionResolve>;
    case ActionKind::revert:
        return make<actionRevert>;
    case ActionKind::set:
        return make<actionSet>;
    case ActionKind::show:
        return make<actionShow>;
    case ActionKind::status:
        return make<actionStatus>;
    case ActionKind::takeOver:
        return make<actionTakeOver>;
    case ActionKind::track:
        return make<actionTrack>;
    case ActionKind::unTrack:
        return make<actionUnTrack>;
    case ActionKind::unDeploy:
        return make<actionUnDeploy>;
    case ActionKind::update:
        return make<actionUpdate>;
    case ActionKind::validate:
        return make<actionValidate>;
    default:
        return nullptr;
    }
}

[[noreturn]] void notAvailable(std::string_view theWhat) {
    throw Error("kivo: " + std::string(theWhat) + " is not available in this version of kivo.");
}

} // namespace

std::string_view actionClassName(ActionKind theKind) {
    static constexpr std::string_view theNames[] = {
        "actionActivate", "actionCheckOut", "actionCommit",  "actionCreate",   "actionDelete",
        "actionDiscard",  "actionExport",   "actionHelp",    "actionImport",   "actionList",
        "actionMerge",    "actionMove",     "actionRelease", "actionResolve",  "actionRevert",
        "actionSet",      "actionShow",     "actionStatus",  "actionTakeOver", "actionTrack",
        "actionUnDeploy", "actionUnTrack",  "actionUpdate",  "actionValidate", "actionVersion",
        "actionLog",      "actionAnnotate", "actionDiff",
    };
    static_assert(std::size(theNames) == kActionKindCount, "one class name per action kind");
    return theNames[static_cast<std::size_t>(theKind)];
}

void ProgramHost::runAction(ActionKind theKind) {
    Factory aFactory = factoryOf(theKind);
    if (!aFactory)
        notAvailable("The action " + std::string(actionClassName(theKind)));
    // The actions that change objects with the repository first finish an interrupted run's
    // work, when they take the lock; the others leave its journal for them.
    const bool aConnecting = theKind == ActionKind::commit || theKind == ActionKind::activate ||
                             theKind == ActionKind::checkOut || theKind == ActionKind::revert ||
                             theKind == ActionKind::takeOver;
    WorkSpace::setJournalRepair(aConnecting ? &journalrepair::repair : nullptr);
    aFactory()->execute();
    if (workspace::isOpen())
        workspace::get()->settleJournal();
}

bool ProgramHost::openWorkspaceUnlocked() {
    return workspace::open(false);
}
void ProgramHost::lockWorkspace() {
    workspace::lock();
}
int ProgramHost::repositoryApiVersion() {
    return static_cast<int>(connection::open().getApiVersion());
}
void ProgramHost::closeConnection() {
    connection::close();
}
void ProgramHost::deletePackageFiles(const std::vector<std::string>& thePackages,
                                     bool theRecursive) {
    packageactions::deleteLocalFiles(thePackages, theRecursive);
}
// Two names asked for within one millisecond would be equal: a number after the ticks tells the
// later ones apart from files that exist already.
std::string ProgramHost::temporaryFileName(std::string_view theBase, std::string_view theSuffix) {
    std::string aName = sys::tempFileName(theBase, theSuffix, true);
    const std::string aStem = aName.substr(0, aName.size() - theSuffix.size() - 1);
    for (int aNumber = 2; sys::fileExists(aName) || aName == itsLastTemporaryFile; ++aNumber)
        aName = aStem + "_" + std::to_string(aNumber) + "." + std::string(theSuffix);
    itsLastTemporaryFile = aName;
    return aName;
}
void ProgramHost::removeTemporaryFiles(const std::vector<std::string>& theFileNames) {
    for (const std::string& aFileName : theFileNames) {
        try {
            sys::deleteFile(aFileName);
        } catch (const std::exception& anError) {
            console::err() << anError.what() << '\n' << std::flush;
            exitstatus::fail();
        }
    }
}
void ProgramHost::finishWorkspace(bool theAfterFailure) {
    // The workspace's last writes need no repository: its closing goes on meanwhile, and
    // finishConnection reports how it ended, after the workspace's own reports.
    connection::closeInBackground();
    // workspace::finish() reports the failures of its own steps; this is the last guard, so that
    // the end of the run never throws.
    try {
        workspace::finish(theAfterFailure);
    } catch (const std::exception& anError) {
        console::err() << "Error exiting workspace: " << anError.what() << '\n' << std::flush;
        exitstatus::fail();
    }
}
void ProgramHost::finishConnection() {
    connection::finish();
}

} // namespace RepositoryAccess
