#pragma once

#include <string>
#include <vector>

#include "repository/repofunbase.hpp"
#include "repository/reqpackages.hpp"

// The repository functions on packages: create, delete, test, list, read and update.
namespace RepositoryAccess::repofunpackages {

// Creates a package with the given attributes; with theInherit the repository fills the unset
// ones from the parent package.
void createPackage(const PackageAttributes& theAttributes, bool theInherit);

// Creates a package with only its name given.
void createPackage(const std::string& thePackage, bool theInherit);
// Creates thePackages, with only their names given, in their order (a parent before its
// children), sent together; throws at the first refused one.
void createPackages(const std::vector<std::string>& thePackages, bool theInherit);

// Deletes a package, optionally in spite of inactive objects and with its sub packages.
void deletePackage(const std::string& thePackage, bool theIgnoreInactiveObjects,
                   bool theRecursively);

// Whether the package exists.
bool existsPackage(const std::string& thePackage);
// Whether each of thePackages exists, asked together.
std::vector<bool> existPackages(const std::vector<std::string>& thePackages);

// The packages whose attributes match theFilter (empty attributes match any).
std::vector<Package> listPackages(const PackageAttributes& theFilter);

// The packages whose name matches thePackage (a name or a glob pattern).
std::vector<Package> listPackages(const std::string& thePackage);

// The packages at the top of the package tree.
std::vector<Package> listRootPackages();

// The attributes of one package.
Package readPackage(const std::string& thePackage);

// Updates a package: every attribute passed as "__unset__" keeps its current value (the package
// is read first), every other one takes the value passed.
void updatePackage(const PackageAttributes& theAttributes);

} // namespace RepositoryAccess::repofunpackages
