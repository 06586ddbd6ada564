#pragma once

#include <string>
#include <vector>

#include "workspace/objects.hpp"

namespace RepositoryAccess {

// What an action works on, from its WHAT word and arguments: packages (dotted names, with their
// sub packages unless `noRecursive`), single objects, or the inactive objects of the user's
// repository workspace (which the action lists itself).
struct ActionScope {
    std::vector<std::string> itsPackages;
    std::vector<RepositoryObject> itsObjects;
    bool itsRecursive = true;
    bool itsInactiveObjects = false;
};

namespace actionscope {

// The scope of the workspace actions: `trackedPackages` (the tracked packages of the open
// workspace), `package`/`packages` (parameter `package`), `object` (parameter `object`),
// `objects` (parameter `object`, arguments ending with "/" are packages) and `inactiveObjects`.
// Throws "kivo: Insufficient commandline arguments. See \"kivo help\"." for an empty WHAT.
ActionScope fromParameters();

// Splits mixed arguments: those ending with "/" (after backslashes became slashes) are
// package directories, all others object files.
void splitArguments(const std::vector<std::string>& theArguments,
                    std::vector<std::string>& thePackages, std::vector<std::string>& theFiles);

} // namespace actionscope
} // namespace RepositoryAccess
