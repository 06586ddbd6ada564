#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `list` action: the read-only lists of the repository (packages, active and inactive
// objects, inactive workspaces, changes and their entries, delivery units, object histories) and
// the tracked packages of the workspace. It needs the workspace without the lock when it runs
// inside one, and changes nothing.
class actionList : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

} // namespace RepositoryAccess
