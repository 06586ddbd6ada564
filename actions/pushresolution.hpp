#pragma once

#include <string>
#include <string_view>

#include "workspace/objects.hpp"

namespace RepositoryAccess::pushresolution {

// The ways out of a conflict, as every action that meets one names them.
inline constexpr std::string_view kResolutionCalls =
    "Call:\n\t* \"kivo resolve --local|--base|--remote|--mergetool|-m\" for\n\t  "
    "(non-)interactive conflict resolution, or\n\t* \"kivo push "
    "--local|--base|--remote|--mergetool|-m\", or\n\t* \"kivo checkout --force|-f\" to overwrite "
    "your local changes.\n";

// True inside push when a resolution mode is given (`with` with a value, `local`, `base`,
// `remote` or `mergeTool`): push then resolves the conflicts itself after commit and activate.
bool resolvesConflicts();

// "<theAction> failed. At least one of the files to be <theParticiple> is conflicted." and the
// ways out.
std::string conflictMessage(std::string_view theAction, std::string_view theParticiple);

// How commit and activate treat conflicted files in their scope. Without any it returns false.
// Inside a push with a resolution mode it returns true: the caller steps aside and does nothing.
// Otherwise it fails with "<theAction> failed. At least one of the files to be <theParticiple>
// is conflicted." followed by the ways out.
bool leaveConflictsToPush(bool theHasConflicts, std::string_view theAction,
                          std::string_view theParticiple);

// An inactive version numbered theInactive's is left behind by a file that took theTaken: that
// is an active or historical version at or above it, so the inactive one builds on an older one.
bool isLeftBehind(const ObjectMetaData& theInactive, const ObjectMetaData& theTaken);

// A file that took theTaken, an active or historical version, leaves behind the user's inactive
// version theInactive of the same object when that is based on an older version: it can never
// be activated, and nothing of it may be. Such a version is reverted, counted as a reverted
// object and named with "Reverted file: ".
void revertLeftBehind(const RepositoryObject& theInactive, const ObjectMetaData& theTaken);
// The same for the user's inactive version of theObject, asked of the repository; theObject's
// metadata is the version its file took.
void revertLeftBehind(const RepositoryObject& theObject);

} // namespace RepositoryAccess::pushresolution
