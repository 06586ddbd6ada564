#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "workspace/objects.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess::listedmetadata {

// Whether the metadata of theToRead objects of a package is better taken from one listing of
// the package than read object by object: enough of them to be worth a call, and the package
// (theWorkspaceFiles, its files in the workspace, as far as the run knows its size) not so much
// larger that the listing costs more than the reads it saves.
bool worthListing(std::size_t theToRead, std::size_t theWorkspaceFiles);

// The active metadata by object key of those of theObjects whose package is worth listing, each
// package listed once. Objects of other packages, and any that a listing lacks, are not in the
// answer: they are left to reads of their own, which report what is wrong with them.
std::unordered_map<std::string, ObjectMetaData>
activeMetaData(const std::vector<RepositoryObject>& theObjects,
               const WorkSpaceStatusFile& theStatus);

} // namespace RepositoryAccess::listedmetadata
