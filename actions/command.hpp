#pragma once

namespace RepositoryAccess {

class Connection;

// What an action needs of the workspace before it runs; the host opens it accordingly.
enum class WorkspaceNeed {
    none,        // runs without a workspace, or makes its own
    read,        // the workspace of the current directory when there is one, unlocked
    readAhead,   // the same, with its status file read on a helper thread while the action starts
    locked,      // the workspace when there is one, locked, with the leftovers of a dead run gone
    byArguments, // one of the above, which the action tells from its arguments (workspaceNeed())
};

// What the host opened for an action, and what the action may ask of it while it runs.
class ActionContext {
public:
    virtual ~ActionContext() = default;
    // True when the current directory lies in a workspace, which the host has opened.
    virtual bool hasWorkspace() const = 0;
    // Takes the workspace's lock in the middle of the run, for an action that learns only from
    // the repository whether it changes local files; returns hasWorkspace().
    virtual bool lockWorkspace() = 0;
    // The run's connection to the repository, connected at the first call, so that nothing
    // connects (or asks for a password) before the action has something to ask.
    virtual Connection& connection() = 0;
};

// An action. The host constructs one per step, runs it once and destroys it; an action holds no
// state between runs. The host first lets it refuse its arguments, then opens what the action's
// row in the host's table (or workspaceNeed()) asks for, then calls run(), whose execute() reads
// the parameters, works, prints, and raises Error on failure.
class Command {
public:
    virtual ~Command() = default;
    // Fails for arguments that leave the action nothing to do, before anything is opened: such
    // errors come before those of the workspace and of the repository.
    virtual void checkArguments() const {}
    // The workspace these arguments need, for an action whose row says byArguments.
    virtual WorkspaceNeed workspaceNeed() const { return WorkspaceNeed::none; }
    // Executes the action in what the host opened for it.
    void run(ActionContext& theContext);
    virtual void execute() = 0;

protected:
    // The context of run(); fails for an action executed without one.
    ActionContext& context() const;

private:
    ActionContext* itsContext = nullptr;
};

} // namespace RepositoryAccess
