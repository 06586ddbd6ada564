#pragma once

#include <cstdint>
#include <string>

#include "workspace/objects.hpp"

// The differences between versions in the repository: `kivo diff --version N` (the workspace
// file against version N), `--version N..M` (two versions) and `--changeId ID` (each activated
// version of the change's objects that belongs to the change, against the version before it), and
// the version reads that `log` and `annotate` share with them.
namespace RepositoryAccess::versiondiff {

// The historical version theNumber of theObject with its metadata.
RepositoryObject versionRecord(const RepositoryObject& theObject, std::int64_t theNumber);

// The content of a version that versionRecord or a change entry gave: empty for a deletion.
std::string contentOf(const RepositoryObject& theRecord);

// True when the run asks for differences between versions (`version` or `changeId` given).
bool requested();

// Prints them; "No differences." when there are none. Fails with a clear message for a version
// value that is neither N nor N..M with positive numbers, and for `version` without objects.
void print();

} // namespace RepositoryAccess::versiondiff
