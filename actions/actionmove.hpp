#pragma once

#include <string>
#include <vector>

#include "actions/actionscope.hpp"
#include "actions/command.hpp"

namespace RepositoryAccess {

// `kivo move [WHAT] SOURCECHANGEID TARGETCHANGEID ...`: moves the objects of the source change
// that lie in the scope (tracked packages, packages, objects or the user's inactive objects)
// to the target change, all in one repository call.
class actionMove : public Command {
public:
    void execute() override;

    // The entries that lie in theScope: an object matches itself, a package its objects and,
    // when the scope is recursive, those of its sub packages; theInactive stands for the
    // scope `inactiveObjects`.
    static std::vector<RepositoryObject>
    entriesInScope(const std::vector<RepositoryObject>& theEntries, const ActionScope& theScope,
                   const std::vector<RepositoryObject>& theInactive);
};

} // namespace RepositoryAccess
