#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `update` action for change tracking: the description of changes, and the comment of
// contributors of the change `--changeId`; both take the text of `--description`.
class actionUpdate : public Command {
public:
    void execute() override;

private:
    void updateChanges();
    void updateContributors();
};

} // namespace RepositoryAccess
