#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `track` action: adds packages to the tracked set of the workspace, which stays minimal (a
// package replaces its tracked sub packages; a package below a tracked one is already tracked).
class actionTrack : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

// The `untrack` action: removes exactly the named packages, or every tracked package.
class actionUnTrack : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

} // namespace RepositoryAccess
