#pragma once

#include <cstddef>

#include "core/json.hpp"

// Pieces of the parser kept out of the JSON interface: the member order of an object.
namespace RepositoryAccess::json {

// Stable sort by key (bytewise), then of every run of equal keys keep the last member. Returns
// the number of members left at the front of the range.
std::size_t sortMembers(JsonMember* theMembers, std::size_t theSize);

} // namespace RepositoryAccess::json
