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

// Runs the step whose WHAT equals the parameter `what` without regard to case. The view's action
// refuses an empty WHAT (adminoptions::requireWhat) before the host opens the workspace of the
// current directory without the lock, so that the connection and the object paths are the
// workspace's.
void run(std::span<const Step> theSteps);

} // namespace RepositoryAccess::readonlyview
