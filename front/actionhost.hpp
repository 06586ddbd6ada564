#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace RepositoryAccess {

// The action classes the dispatcher can run, one per `action<Name>` class; the action table
// (actiontable.hpp) has a row for each, in this order.
enum class ActionKind {
    activate,
    checkOut,
    commit,
    create,
    deleteObjects,
    discard,
    exportDeliveryUnit,
    help,
    importFiles,
    list,
    merge,
    move,
    release,
    resolve,
    revert,
    set,
    show,
    status,
    takeOver,
    track,
    unDeploy,
    unTrack,
    update,
    validate,
    version,
    log,
    annotate,
    diff, // stays last: the action table has kActionKindCount rows
};
inline constexpr std::size_t kActionKindCount = static_cast<std::size_t>(ActionKind::diff) + 1;

// The class name of an action kind from its row, for example "actionCheckOut".
std::string_view actionClassName(ActionKind theKind);

// What the dispatcher and its sequences need from the rest of the program: running one action
// step, and the few workspace and connection services that the delete and transport sequences
// use between their steps. The program's own host is built from the action classes; tests use a
// double that records the steps.
class ActionHost {
public:
    virtual ~ActionHost() = default;

    // Constructs the action, prepares what it needs, runs it once and destroys it.
    virtual void runAction(ActionKind theKind) = 0;

    // Opens the workspace of the current directory without locking it when there is one;
    // returns whether a workspace is open afterwards.
    virtual bool openWorkspaceUnlocked() = 0;
    virtual void lockWorkspace() = 0;
    // Connects when needed and returns the repository API version of the connection.
    virtual int repositoryApiVersion() = 0;
    virtual void closeConnection() = 0;
    // Deletes the local files of the packages (sub-packages too when theRecursive).
    virtual void deletePackageFiles(const std::vector<std::string>& thePackages,
                                    bool theRecursive) = 0;
    // A new file name in the temporary directory: base, "_", millisecond ticks, ".", suffix.
    virtual std::string temporaryFileName(std::string_view theBase, std::string_view theSuffix) = 0;
    // Removes files that a sequence wrote into the temporary directory; reports a failure on
    // standard error with exit status 1 and never throws.
    virtual void removeTemporaryFiles(const std::vector<std::string>& theFileNames) = 0;

    // End of the run: exits the open workspace (unlock, settings files, logs); after a failure a
    // workspace that this run was creating is removed instead. Reports its own failures on
    // standard error with exit status 1 and never throws.
    virtual void finishWorkspace(bool theAfterFailure) = 0;
    // End of the run: closes the connection when one exists; reports like finishWorkspace().
    virtual void finishConnection() = 0;
};

} // namespace RepositoryAccess
