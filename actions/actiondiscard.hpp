#pragma once

#include "actions/command.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess {

struct ActionScope;

// The `discard` action: removes the scope's checked-out objects from the workspace only (files
// unless `noContent`, metadata copies, status entries, conflict marks and copies, package
// directories); the repository is not touched. Local changes are refused unless `force` or
// `noContent` is given.
class actionDiscard : public Command {
public:
    void execute() override;

private:
    // Collects the local status of every part of the scope into the member sets.
    void computeStatus(const ActionScope& theScope);
    // Fails with the message of the first kind of local change found (created, deleted, modified).
    void refuseLocalChanges() const;
    // Removes one file's content (unless `noContent`), metadata, conflict copies and status entry.
    void discardFile(const std::string& theFile, bool theWithContent) const;
    // Removes the package directories of the scope in the settings folder and, with
    // theWithContent, in the workspace; deepest first.
    void removeDirectories(const ActionScope& theScope, bool theWithContent) const;

    PathSet itsNew;
    PathSet itsDeleted;
    PathSet itsModified;
    PathSet itsStatusFiles;
    PathSet itsDiskFiles;
    PathSet itsDiskDirectories;
};

} // namespace RepositoryAccess
