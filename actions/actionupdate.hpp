#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `update` action: changes the attributes of packages (also the delivery-unit assignment
// behind `kivo assign` and `kivo unassign`) and of delivery units.
class actionUpdate : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
