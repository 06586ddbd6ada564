#pragma once

#include <vector>

#include "actions/command.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess {

// The `status` action: the workspace configuration and the local changes of a scope (changed,
// deleted, conflicted and new files), optionally with the user's inactive objects. It needs the
// workspace without the lock and never changes a file.
class actionStatus : public Command {
public:
    void checkArguments() const override;
    void execute() override;

private:
    void statusTrackedPackages();
    void statusWorkSpace() const;
    void statusPackages(const std::vector<std::string>& thePackages);
    void statusObjects(const std::vector<std::string>& theFiles);
    void statusInactiveObjects();
    void merge(const Status& theStatus);
    void statusShared() const;
    void printSection(const char* theHeading, const PathSet& theFiles, bool theConflicts) const;

    bool itsAdvanced = false;
    PathSet itsModified;
    PathSet itsDeleted;
    PathSet itsConflicted;
    PathSet itsNew;
    std::vector<RepositoryObject> itsInactive;
};

} // namespace RepositoryAccess
