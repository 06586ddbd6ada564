#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `diff` action: the local changes of the changed, new and deleted files of a scope as
// unified differences against the versions they are based on (read from the repository in one
// bulk read), or with `active` against the active versions; a conflicted file against the
// repository version stored in the settings folder, without a connection. Reads only.
class actionDiff : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
