#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `delete` action: removes packages (with `force` whole package trees) and delivery units
// from the repository. The workspace part of a package-tree deletion on older repositories is
// the dispatcher's delete sequence around this action.
class actionDelete : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
