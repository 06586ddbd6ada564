#pragma once

#include "workspace/objects.hpp"

// What commit does with an object before it writes to the repository, decided from what the
// object's metadata and the repository's answers say.
namespace RepositoryAccess::commitdecision {

// An active or historical local version: the object has been activated at least once.
bool hasActivatedVersion(const ObjectMetaData& theLocal);

// The steps of committing a deleted file, from the local metadata and (for an activated object)
// whether the repository holds an inactive and an active version of it.
struct DeletionPlan {
    bool itsRevertFirst = false;     // an inactive version beside an active one goes first
    bool itsActivelyDeleted = false; // no version left: only the metadata goes
};
DeletionPlan planDeletion(const ObjectMetaData& theLocal, bool theHasInactive, bool theHasActive);

// The inactive version that a simulated write stands for: the next version, or the committed one
// again, as the repository would create it.
ObjectMetaData simulatedInactive(const ObjectMetaData& theLocal, bool theIsDeletion);

} // namespace RepositoryAccess::commitdecision
