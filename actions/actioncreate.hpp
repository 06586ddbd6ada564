#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `create` action. `create workSpace` makes the local workspace (settings folder, config and
// status files) for a repository workspace name and checks the connection; `create package` and
// `create deliveryUnit` make repository packages and delivery units; `create change` opens a
// change per `--description`, `create contributor` adds contributors to `--changeId`.
class actionCreate : public Command {
public:
    void checkArguments() const override;
    WorkspaceNeed workspaceNeed() const override;
    void execute() override;

private:
    void createWorkSpace();
    void createChanges();
    void createContributors();
    void anchorRepositoryFile();
};

} // namespace RepositoryAccess
