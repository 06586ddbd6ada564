#pragma once

#include <string>

#include "actions/actionscope.hpp"
#include "actions/command.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess {

// The `resolve` action: ends the conflicted state of the conflicted files of a scope by taking
// the local file, the base copy or the remote (diff) copy, or the result of a three-way merge
// tool, then drops the conflict mark and copies and moves the base version to the remote one.
// Works without a connection to the repository.
class actionResolve : public Command {
public:
    void execute() override;

private:
    // The conflicted files of every part of the scope.
    PathSet conflictedFiles(const ActionScope& theScope) const;
    // The one resolution mode of the options; fails unless exactly one is given.
    static std::string resolutionMode();
    // Resolves one file by the mode; true when the file is no longer conflicted.
    bool resolveFile(const std::string& theFile, const std::string& theMode);
    // Runs the merge tool on the three sides of the file and asks whether to take its result.
    bool runMergeTool(const std::string& theFile, const std::string& theDiff,
                      const std::string& theBase) const;
};

} // namespace RepositoryAccess
