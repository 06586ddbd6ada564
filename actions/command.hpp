#pragma once

namespace RepositoryAccess {

// An action. The dispatcher constructs one per step, calls execute() once and destroys it; an
// action holds no state between runs. execute() reads the parameters, works, prints, and raises
// Error on failure.
class Command {
public:
    virtual ~Command() = default;
    virtual void execute() = 0;
};

} // namespace RepositoryAccess
