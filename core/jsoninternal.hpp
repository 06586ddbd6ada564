#pragma once

#include <cstddef>

#include "core/json.hpp"

// Pieces shared by the parser and the allocator, not part of the JSON interface.
namespace RepositoryAccess::json {

// Stable sort by key (bytewise), then of every run of equal keys keep the last member. Returns
// the number of members left at the front of the range.
std::size_t sortMembers(JsonMember* theMembers, std::size_t theSize);

} // namespace RepositoryAccess::json
