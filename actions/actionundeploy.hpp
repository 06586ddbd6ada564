#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `undeploy` action: removes delivery units with all objects of their packages from the
// repository; the counts of what went are added to the run statistics.
class actionUnDeploy : public Command {
public:
    WorkspaceNeed workspaceNeed() const override;
    void execute() override;
};

} // namespace RepositoryAccess
