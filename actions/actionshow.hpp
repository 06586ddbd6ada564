#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `show` action: the details of changes, delivery units, packages and object versions, and
// the repository's settings (change tracking, export versions, content vendor). It needs the
// workspace without the lock when it runs inside one, and changes nothing.
class actionShow : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

} // namespace RepositoryAccess
