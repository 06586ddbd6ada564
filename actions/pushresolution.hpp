#pragma once

#include <string_view>

namespace RepositoryAccess::pushresolution {

// True inside push when a resolution mode is given (`with` with a value, `local`, `base`,
// `remote` or `mergeTool`): push then resolves the conflicts itself after commit and activate.
bool resolvesConflicts();

// How commit and activate treat conflicted files in their scope. Without any it returns false.
// Inside a push with a resolution mode it returns true: the caller steps aside and does nothing.
// Otherwise it fails with "<theAction> failed. At least one of the files to be <theParticiple>
// is conflicted." followed by the ways out.
bool leaveConflictsToPush(bool theHasConflicts, std::string_view theAction,
                          std::string_view theParticiple);

} // namespace RepositoryAccess::pushresolution
