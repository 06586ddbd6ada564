#pragma once

#include <optional>
#include <string>

#include "actions/actionscope.hpp"
#include "actions/command.hpp"
#include "actions/mergetool.hpp"
#include "actions/resolvesides.hpp"
#include "workspace/objects.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess {

// The `resolve` action: ends the conflicted state of the conflicted files of a scope by taking
// the local file, the base copy or the remote (diff) copy, or the result of a three-way merge
// tool, then drops the conflict mark and copies and moves the base version to the remote one.
// A file that ends with the remote version's content is that version, unchanged. Works without
// a connection to the repository, except to revert a committed version given up for the remote
// one. Fails (exit status 1) when a file of the scope stays conflicted.
class actionResolve : public Command {
public:
    void execute() override;

private:
    using Side = resolvesides::Side;

    // The conflicted files of every part of the scope.
    PathSet conflictedFiles(const ActionScope& theScope) const;
    // The one resolution mode of the options; fails unless exactly one is given.
    static std::string resolutionMode();
    // Resolves one file by the mode; true when the file is no longer conflicted.
    bool resolveFile(const std::string& theFile, const std::string& theMode);
    // The side the mode chooses; none when the file stays conflicted.
    static std::optional<Side> chosenSide(const std::string& theMode,
                                          const mergetool::Sides& theSides);
    // Drops the conflict mark and bases the file on the remote version theRemote: unchanged when
    // theAdopted (its content is the remote one), else changed against it.
    static void settleStatus(const std::string& theFile, const ObjectMetaData& theRemote,
                             bool theAdopted);
};

} // namespace RepositoryAccess
