#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `create` action. `create workSpace` makes the local workspace (settings folder, config and
// status files) for a repository workspace name and checks the connection; the repository's
// administration objects (packages, delivery units, changes, contributors) come with their own
// actions.
class actionCreate : public Command {
public:
    void execute() override;

private:
    void createWorkSpace();
    void anchorRepositoryFile();
};

} // namespace RepositoryAccess
