#pragma once

#include <span>
#include <string_view>

// The common frame of the read-only views `list` and `show`: one step per WHAT word.
namespace RepositoryAccess::readonlyview {

// The step of a view that prints what one WHAT word asks for.
struct Step {
    std::string_view itsWhat;
    void (*itsRun)();
};

// Fails with "kivo: Insufficient commandline arguments. See \"kivo help\"." for an empty WHAT;
// opens the workspace of the current directory without the lock when there is one, so that
// the connection and the object paths are the workspace's; runs the step whose WHAT equals the
// parameter `what` without regard to case.
void run(std::span<const Step> theSteps);

} // namespace RepositoryAccess::readonlyview
