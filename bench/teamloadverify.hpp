#pragma once

#include <vector>

#include "bench/teamloadreport.hpp"

namespace RepositoryAccess::teamload {

// Reads the history of every shared object and the content of each of its versions as the first
// user, and checks theActivations against them (see HistoryCheck). Throws when the repository
// cannot be read.
HistoryCheck checkActivations(const LoadOptions& theOptions,
                              const std::vector<Activation>& theActivations);

} // namespace RepositoryAccess::teamload
