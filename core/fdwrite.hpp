#pragma once

#include <string_view>

namespace RepositoryAccess::fdwrite {

// Writes every byte of theBytes to the open file theFd, going on after interrupted calls.
// Returns 0 when all bytes are written, the errno of a failing write, or -1 when the system
// accepted no byte without reporting an error (a full device on some file systems).
int writeAll(int theFd, std::string_view theBytes);

} // namespace RepositoryAccess::fdwrite
