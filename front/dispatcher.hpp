#pragma once

#include <string_view>
#include <vector>

#include "front/actionhost.hpp"

namespace RepositoryAccess {

// One row of the dispatch table: the action word and what runs for it, one of the composite
// sequences or, without one, the single action of the kind.
struct DispatchEntry {
    std::string_view itsAction;
    void (*itsRun)(ActionHost& theHost) = nullptr;
    ActionKind itsKind = ActionKind::help;
};

namespace dispatcher {

// The dispatch table in the order in which the action value is compared with it: the words of
// the action table (actiontable.hpp), then the sequences.
const std::vector<DispatchEntry>& table();

// Runs what the `action` parameter names (compared without regard to case); an unset or unknown
// action shows the help.
void dispatch(ActionHost& theHost);

} // namespace dispatcher

// The composite sequences. Each switches flags between its steps and announces every step with
// its marker ("-commit", ...) on standard output with `verbose` and in the trace with `trace`.
namespace sequences {

void activate(ActionHost& theHost);
void checkOut(ActionHost& theHost);
void discard(ActionHost& theHost);
void revert(ActionHost& theHost);
void takeOver(ActionHost& theHost);
void assign(ActionHost& theHost);
void unAssign(ActionHost& theHost);
void mergeTool(ActionHost& theHost);
void push(ActionHost& theHost);
void deleteObjects(ActionHost& theHost);
void transport(ActionHost& theHost);

} // namespace sequences
} // namespace RepositoryAccess
