#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// `kivo help`: the overview, an action entry, a topic or a search result, as plain text, as an
// HTML page or opened in the web browser. Needs neither workspace nor connection.
class actionHelp : public Command {
public:
    void execute() override;
};

} // namespace RepositoryAccess
