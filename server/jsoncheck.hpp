#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// Checks that theText is one strict JSON value (any type) with nothing but white space around
// it. Returns nullopt when it is, otherwise a message of the form
// "Invalid JSON (line N, column C): <what was expected>" about the first error.
std::optional<std::string> checkJsonText(std::string_view theText);

} // namespace RepositoryAccess::server
