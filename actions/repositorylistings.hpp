#pragma once

#include <string>
#include <vector>

#include "actions/actionscope.hpp"
#include "workspace/objects.hpp"

namespace RepositoryAccess::repositorylistings {

// The root packages of the repository, in the order the repository returns them.
std::vector<std::string> rootPackages();

// The user's inactive objects below the packages (all of them for no package), and the inactive
// versions of the given objects.
std::vector<RepositoryObject>
inactiveObjectsOfPackages(const std::vector<std::string>& thePackages);
std::vector<RepositoryObject> inactiveObjectsOf(const std::vector<RepositoryObject>& theObjects);

// The user's inactive objects of a scope: those of its packages (with their sub packages when
// the scope is recursive) and the inactive versions of its objects, each once.
std::vector<RepositoryObject> inactiveObjectsOfScope(const ActionScope& theScope);

// Prints inactive objects in the repository's list layout.
void printInactiveObjects(const std::vector<RepositoryObject>& theObjects);

} // namespace RepositoryAccess::repositorylistings
