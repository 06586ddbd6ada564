#include "actions/command.hpp"

#include "core/error.hpp"

namespace RepositoryAccess {

void Command::run(ActionContext& theContext) {
    itsContext = &theContext;
    execute();
}

ActionContext& Command::context() const {
    if (itsContext == nullptr)
        throw Error("kivo: The action was run without the workspace and connection of a host.");
    return *itsContext;
}

} // namespace RepositoryAccess
