#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `create` action. `create workSpace` makes the local workspace (settings folder, config and
// status files) for a repository workspace name and checks the connection; `create change` opens
// a change per `--description`, `create contributor` adds contributors to `--changeId`.
class actionCreate : public Command {
public:
    void execute() override;

private:
    void createWorkSpace();
    void createChanges();
    void createContributors();
    void anchorRepositoryFile();
};

} // namespace RepositoryAccess
