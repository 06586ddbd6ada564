#include "front/dispatcher.hpp"

#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "front/actiontable.hpp"

namespace RepositoryAccess::dispatcher {

// The words of the action table run their action alone; the others run a sequence of actions.
const std::vector<DispatchEntry>& table() {
    static const std::vector<DispatchEntry> theTable = [] {
        std::vector<DispatchEntry> aTable;
        for (const ActionRow& aRow : actiontable::rows())
            if (!aRow.itsWord.empty())
                aTable.push_back({aRow.itsWord, nullptr, aRow.itsKind});
        aTable.insert(aTable.end(), {{"activate", sequences::activate},
                                     {"checkOut", sequences::checkOut},
                                     {"delete", sequences::deleteObjects},
                                     {"discard", sequences::discard},
                                     {"revert", sequences::revert},
                                     {"takeOver", sequences::takeOver},
                                     {"assign", sequences::assign},
                                     {"mergeTool", sequences::mergeTool},
                                     {"push", sequences::push},
                                     {"transport", sequences::transport},
                                     {"unAssign", sequences::unAssign}});
        return aTable;
    }();
    return theTable;
}

void dispatch(ActionHost& theHost) {
    const std::string anAction = getValue(params::action);
    for (const auto& anEntry : table()) {
        if (textcase::equalsIgnoringCase(anEntry.itsAction, anAction)) {
            if (anEntry.itsRun)
                anEntry.itsRun(theHost);
            else
                theHost.runAction(anEntry.itsKind);
            return;
        }
    }
    theHost.runAction(ActionKind::help);
}

} // namespace RepositoryAccess::dispatcher
