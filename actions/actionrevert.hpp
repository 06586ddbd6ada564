#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `revert` action: drops the user's inactive versions of the scope's objects in the
// repository. The revert sequence has already put the base versions back into the workspace.
class actionRevert : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
