#include "front/programhost.hpp"

#include <memory>

#include "actions/actionhelp.hpp"
#include "actions/actionversion.hpp"
#include "actions/command.hpp"
#include "front/error.hpp"

namespace RepositoryAccess {

namespace {

using Factory = std::unique_ptr<Command> (*)();

// The action classes this build contains; a kind without a factory fails with a message that
// names the action.
template <class theAction> std::unique_ptr<Command> make() {
    return std::make_unique<theAction>();
}

Factory factoryOf(ActionKind theKind) {
    switch (theKind) {
    case ActionKind::version:
        return make<actionVersion>;
    case ActionKind::help:
        return make<actionHelp>;
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
    };
    return theNames[static_cast<std::size_t>(theKind)];
}

void ProgramHost::runAction(ActionKind theKind) {
    Factory aFactory = factoryOf(theKind);
    if (!aFactory)
        notAvailable("The action " + std::string(actionClassName(theKind)));
    aFactory()->execute();
}

bool ProgramHost::openWorkspaceUnlocked() {
    return false;
}
void ProgramHost::lockWorkspace() {
    notAvailable("Locking the workspace");
}
int ProgramHost::repositoryApiVersion() {
    notAvailable("The repository connection");
}
void ProgramHost::closeConnection() {}
void ProgramHost::deletePackageFiles(const std::vector<std::string>&, bool) {
    notAvailable("Deleting package files");
}
std::string ProgramHost::temporaryFileName(std::string_view, std::string_view) {
    notAvailable("The temporary directory");
}
void ProgramHost::finishWorkspace(bool) {}
void ProgramHost::finishConnection() {}

} // namespace RepositoryAccess
