#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `delete` action: removes packages (with `force` whole package trees) and delivery units
// from the repository, changes, contributors of a change (`--changeId`), and the named inactive
// workspaces of `--inactiveWorkSpaceUser` (the connected user by default) or all of their
// inactive workspaces. The workspace part of a package-tree deletion on older repositories is
// the dispatcher's delete sequence around this action.
class actionDelete : public Command {
public:
    void checkArguments() const override;
    void execute() override;

private:
    void deleteChanges();
    void deleteContributors();
    void deleteInactiveWorkSpaces(bool theAll);
};

} // namespace RepositoryAccess
