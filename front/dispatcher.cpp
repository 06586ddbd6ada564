#include "front/dispatcher.hpp"

#include "core/parameters.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess::dispatcher {

namespace {

template <ActionKind theKind> void single(ActionHost& theHost) {
    theHost.runAction(theKind);
}

} // namespace

const std::vector<DispatchEntry>& table() {
    static const std::vector<DispatchEntry> theTable = {
        {"activate", sequences::activate},
        {"annotate", single<ActionKind::annotate>},
        {"checkOut", sequences::checkOut},
        {"commit", single<ActionKind::commit>},
        {"create", single<ActionKind::create>},
        {"delete", sequences::deleteObjects},
        {"diff", single<ActionKind::diff>},
        {"discard", sequences::discard},
        {"export", single<ActionKind::exportDeliveryUnit>},
        {"help", single<ActionKind::help>},
        {"import", single<ActionKind::importFiles>},
        {"list", single<ActionKind::list>},
        {"log", single<ActionKind::log>},
        {"merge", single<ActionKind::merge>},
        {"move", single<ActionKind::move>},
        {"release", single<ActionKind::release>},
        {"resolve", single<ActionKind::resolve>},
        {"revert", sequences::revert},
        {"set", single<ActionKind::set>},
        {"show", single<ActionKind::show>},
        {"status", single<ActionKind::status>},
        {"track", single<ActionKind::track>},
        {"takeOver", sequences::takeOver},
        {"unDeploy", single<ActionKind::unDeploy>},
        {"unTrack", single<ActionKind::unTrack>},
        {"update", single<ActionKind::update>},
        {"validate", single<ActionKind::validate>},
        {"version", single<ActionKind::version>},
        {"assign", sequences::assign},
        {"mergeTool", sequences::mergeTool},
        {"push", sequences::push},
        {"transport", sequences::transport},
        {"unAssign", sequences::unAssign},
    };
    return theTable;
}

void dispatch(ActionHost& theHost) {
    const std::string anAction = getValue(params::action);
    for (const auto& anEntry : table()) {
        if (textcase::equalsIgnoringCase(anEntry.itsAction, anAction)) {
            anEntry.itsRun(theHost);
            return;
        }
    }
    theHost.runAction(ActionKind::help);
}

} // namespace RepositoryAccess::dispatcher
