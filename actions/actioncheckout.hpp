#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `checkout` action: selects the objects of the WHAT word, reads the versions the workspace
// is to receive (active, inactive, base or historical) and hands them to the checkout engine.
class actionCheckOut : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
