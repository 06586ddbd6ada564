#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// The `version` action: prints the program version (default "<version> Opt"), or with
// `clientFormat` the client format version; `plain`, `major`, `minor` and `micro` each print one
// line instead. Needs neither a workspace nor a connection.
class actionVersion : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
