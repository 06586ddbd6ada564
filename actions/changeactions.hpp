#pragma once

#include <functional>
#include <string>

#include "core/parameters.hpp"

// Steps that the change-tracking actions share: the start of every such action and the loop
// over the values of one parameter.
namespace RepositoryAccess::changeactions {

// Opens the workspace, when the current directory lies in one, without its lock: the
// connection then uses its settings. Change tracking lives in the repository only.
void openWorkspaceIfAny();

// Runs theStep for every value of theParameter, in command-line order.
void forEachValue(const Parameter& theParameter,
                  const std::function<void(const std::string&)>& theStep);

// The value of `changeId`, which the contributor actions need.
std::string requiredChangeId();

} // namespace RepositoryAccess::changeactions
