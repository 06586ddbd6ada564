#pragma once

#include <string>
#include <vector>

#include "actions/actionscope.hpp"
#include "repository/reposession.hpp"
#include "workspace/objects.hpp"

namespace RepositoryAccess::repositorylistings {

// The root packages of the repository, in the order the repository returns them.
std::vector<std::string> rootPackages();

// The user's inactive objects below the packages (all of them for no package), and the inactive
// versions of the given objects.
std::vector<RepositoryObject>
inactiveObjectsOfPackages(const std::vector<std::string>& thePackages);
std::vector<RepositoryObject> inactiveObjectsOf(const std::vector<RepositoryObject>& theObjects);

// The inactive objects of a scope in a repository workspace (the user's own by default), each
// once: all of them for the WHAT `inactiveObjects`, those of its packages (with their sub
// packages when the scope is recursive) and the inactive versions of its objects.
std::vector<RepositoryObject> inactiveObjectsOfScope(const ActionScope& theScope);
std::vector<RepositoryObject> inactiveObjectsOfScope(const ActionScope& theScope,
                                                     const RepositorySession& theSession);

// The version record of an object whose inactive version lies in the user's repository
// workspace, as its metadata file keeps it.
ObjectVersion inactiveVersionRecord();
// Prints inactive objects in the repository's list layout.
void printInactiveObjects(const std::vector<RepositoryObject>& theObjects);

} // namespace RepositoryAccess::repositorylistings
