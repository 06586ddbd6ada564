#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `takeOver` action: moves the inactive objects of the scope from the repository workspace
// named by `inactiveWorkSpace` of the user `inactiveWorkSpaceUser` into the current user's
// workspace. The take-over sequence then checks out their inactive versions.
class actionTakeOver : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
