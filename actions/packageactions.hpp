#pragma once

#include <string>
#include <vector>

#include "actions/command.hpp"

// The package administration behind `kivo create`, `kivo delete` and `kivo update` with WHAT
// `package` or `packages`, and the local part of the package-tree deletion of the delete
// sequence. Each function reads its options from the parameters.
namespace RepositoryAccess::packageactions {

// Creates each package argument with the attribute options, after its missing ancestors, each
// inheriting from its parent unless `noInherit`; with theInWorkSpace its directories are made in
// the open workspace as well.
void createPackages(bool theInWorkSpace);

// Deletes the package arguments: only the packages themselves, or with `force` and without
// `noRecursive` the whole trees, natively on repositories of API version 16 and above (unless
// `noDeletePackageRecursively`), otherwise one package after the other, deepest first, each with
// its local directories, for which the workspace is locked once the packages are known.
void deletePackages(ActionContext& theContext);

// Updates each package argument (and its sub packages unless `noRecursive`) with the attribute
// options that are given; the others keep their values. An unknown package fails.
void updatePackages();

// Deletes the workspace files of the packages (of their sub packages too with theRecursive), so
// that the next push deletes the objects in the repository.
void deleteLocalFiles(const std::vector<std::string>& thePackages, bool theRecursive);

} // namespace RepositoryAccess::packageactions
