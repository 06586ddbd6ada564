#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "actions/command.hpp"
#include "front/actionhost.hpp"

namespace RepositoryAccess {

// Whether an action talks to the repository. The connection is made at the action's first
// repository call, never before: something may end the run first (an argument error, "Nothing
// to commit.", a refused lock), and a connection opened earlier would put its failure or its
// password prompt in front of that.
enum class ConnectionNeed {
    none,     // never connects
    whenUsed, // connects at its first repository call
};

// One row of the action table: an action class and what the host prepares for it.
struct ActionRow {
    ActionKind itsKind;
    // The word that runs this action alone; empty when only a sequence runs it.
    std::string_view itsWord;
    // The class name, for messages: "actionCheckOut".
    std::string_view itsClassName;
    std::unique_ptr<Command> (*itsMake)();
    WorkspaceNeed itsWorkspace;
    // Whether the lock first repairs what an interrupted run left in the journal: only the
    // actions that change objects together with the repository do, the others leave the
    // journal to them.
    bool itsRepairsJournal;
    ConnectionNeed itsConnection;
};

namespace actiontable {

// The program's actions, one row per action kind, in the order of the kinds.
std::span<const ActionRow> rows();

// The row of an action kind in the given table; the program's table by default.
const ActionRow& rowOf(ActionKind theKind, std::span<const ActionRow> theRows = rows());

} // namespace actiontable
} // namespace RepositoryAccess
