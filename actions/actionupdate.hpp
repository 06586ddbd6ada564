#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `update` action: changes the attributes of packages (also the delivery-unit assignment
// behind `kivo assign` and `kivo unassign`) and of delivery units, the description of changes
// and the comment of contributors of the change `--changeId` (both from `--description`).
class actionUpdate : public Command {
public:
    void checkArguments() const override;
    void execute() override;

private:
    void updateChanges();
    void updateContributors();
};

} // namespace RepositoryAccess
