#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "workspace/objects.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess::listedmetadata {

// The active metadata by object key of those of theObjects whose package is worth listing, each
// package listed once. Objects of other packages, and any that a listing lacks, are not in the
// answer: they are left to reads of their own, which report what is wrong with them.
std::unordered_map<std::string, ObjectMetaData>
activeMetaData(const std::vector<RepositoryObject>& theObjects,
               const WorkSpaceStatusFile& theStatus);

} // namespace RepositoryAccess::listedmetadata
