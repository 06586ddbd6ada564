#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `log` action: the activated versions of objects, or of every active object of a package
// (an argument ending in "/"), newest first, with number, time, user, change and release state;
// with `patch` each version's difference to its predecessor. `since`, `until`, `createdBy` and
// `changeNumber` narrow the list. Reads only, inside or outside a workspace.
class actionLog : public Command {
public:
    void execute() override;
};

// The `annotate` action: each line of an object's newest (or `version`) version with the number
// and user of the version that last changed it. Reads only, inside or outside a workspace.
class actionAnnotate : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
