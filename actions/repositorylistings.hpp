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

// The objects of theSession in thePackage (all of them for an empty package), with those of its
// sub packages when theRecursive, restricted to theSuffixes when any are given; each once, in
// key order. Active sessions ask the repository's object search, inactive ones its list of
// inactive objects.
std::vector<RepositoryObject> objectsOfPackage(const RepositorySession& theSession,
                                               const std::string& thePackage, bool theRecursive,
                                               const std::vector<std::string>& theSuffixes);

// The line of an active object in object lists: tab, path, " (version #<id>)", then
// " (change number #<n>, released <time>)" for a change other than "" and "0", " broken" for a
// broken object, and a line end.
std::string activeObjectLine(const RepositoryObject& theObject);

// The line of an inactive object in object lists: tab, path, " (base #<id - 1>)" or " (new)" for
// an object without a base, " deletion" for a deletion, and a line end.
std::string inactiveObjectLine(const RepositoryObject& theObject);

// Prints objects as object lines, on standard output and with `trace` into the trace.
void printActiveObjects(const std::vector<RepositoryObject>& theObjects);

// The active versions of a scope: every object of its packages (and of their sub packages when
// the scope is recursive) and its named objects that have one.
std::vector<RepositoryObject> activeObjectsOfScope(const ActionScope& theScope);

// The active and the user's inactive objects of a scope, as activeObjectsOfScope and
// inactiveObjectsOfScope give them, asked together: one round trip to a server.
struct ScopeObjects {
    std::vector<RepositoryObject> itsActive;
    std::vector<RepositoryObject> itsInactive;
};
ScopeObjects activeAndInactiveObjectsOfScope(const ActionScope& theScope);

// The version record of an object whose inactive version lies in the user's repository
// workspace, as its metadata file keeps it.
ObjectVersion inactiveVersionRecord();
// Prints inactive objects in the repository's list layout.
void printInactiveObjects(const std::vector<RepositoryObject>& theObjects);

} // namespace RepositoryAccess::repositorylistings
