#pragma once

#include <functional>
#include <string>

#include "core/parameters.hpp"

// Steps that the change-tracking actions share: the loop over the values of one parameter and
// the change id that the contributor actions need.
namespace RepositoryAccess::changeactions {

// Runs theStep for every value of theParameter, in command-line order.
void forEachValue(const Parameter& theParameter,
                  const std::function<void(const std::string&)>& theStep);

// The value of `changeId`, which the contributor actions need.
std::string requiredChangeId();

} // namespace RepositoryAccess::changeactions
