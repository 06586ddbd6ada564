#pragma once

#include <string>
#include <vector>

#include "workspace/objects.hpp"

namespace RepositoryAccess::repositorylistings {

// The root packages of the repository, in the order the repository returns them.
std::vector<std::string> rootPackages();

// The user's inactive objects below the packages (all of them for no package), and the inactive
// versions of the given objects.
std::vector<RepositoryObject>
inactiveObjectsOfPackages(const std::vector<std::string>& thePackages);
std::vector<RepositoryObject> inactiveObjectsOf(const std::vector<RepositoryObject>& theObjects);

// Prints inactive objects in the repository's list layout.
void printInactiveObjects(const std::vector<RepositoryObject>& theObjects);

} // namespace RepositoryAccess::repositorylistings
