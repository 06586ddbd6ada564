#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `delete` action for the repository's change-tracking objects and inactive workspaces:
// changes, contributors of a change (`--changeId`), the named inactive workspaces of
// `--inactiveWorkSpaceUser` (the connected user by default) or all of their inactive
// workspaces.
class actionDelete : public Command {
public:
    void execute() override;

private:
    void deleteChanges();
    void deleteContributors();
    void deleteInactiveWorkSpaces(bool theAll);
};

} // namespace RepositoryAccess
