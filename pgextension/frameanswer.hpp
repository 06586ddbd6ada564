#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::pgextension {

// Answers one repoV2 request frame for theCaller (the session's login role) with a repoV2 answer
// frame. A frame that cannot be read is answered with 40130 naming the fault; so is every
// request as long as this repository has no store. Throws only on exhausted memory.
std::string answerFrame(std::string_view theFrame, const std::string& theCaller);

} // namespace RepositoryAccess::pgextension
