#pragma once

#include "server/operation.hpp"

#include <string>

// Who may administer what. A user is an administrator when marked as one; a repository in which
// nobody is marked lets every user administer, so that one person's repository needs no roles.
// A change belongs to its creator, and a contribution to its contributor. Every refusal is 40120
// "Not authorized" with an argument that says who may do the deed.
namespace RepositoryAccess::server::authority {

// Whether theUser (upper case) administers the repository.
bool isAdministrator(RepositoryStore& theStore, const std::string& theUser);

// Refuses unless the connected user administers the repository. theDeed completes "User X may
// not ...", for example "switch change tracking".
void requireAdministrator(const Operation& theOperation, const std::string& theDeed);

// Refuses unless the connected user created theChange or administers the repository. theDeed
// completes "User X may not ... change "ID"", for example "release" or "add contributors to".
void requireChangeOwner(const Operation& theOperation, const ChangeRecord& theChange,
                        const std::string& theDeed);

// Refuses unless theContributor (as the request names it) is the connected user: a contributor
// validates and describes only their own contribution. theDeed is "validate" or "describe".
void requireOwnContribution(const Operation& theOperation, const ChangeRecord& theChange,
                            const std::string& theContributor, const std::string& theDeed);

} // namespace RepositoryAccess::server::authority
