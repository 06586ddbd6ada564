#pragma once

#include <span>

#include "front/actionhost.hpp"
#include "front/actiontable.hpp"

namespace RepositoryAccess {

// The program's own host: runs the action classes of a table (the program's own by default) and
// the real workspace and connection services. Before an action runs, the host lets it refuse its
// arguments, installs or removes the journal repair and opens the workspace as the action's row
// says; the action gets the connection from the host at its first repository call.
class ProgramHost : public ActionHost {
public:
    explicit ProgramHost(std::span<const ActionRow> theRows = actiontable::rows())
        : itsRows(theRows) {}
    void runAction(ActionKind theKind) override;
    bool openWorkspaceUnlocked() override;
    void lockWorkspace() override;
    int repositoryApiVersion() override;
    void closeConnection() override;
    void deletePackageFiles(const std::vector<std::string>& thePackages,
                            bool theRecursive) override;
    std::string temporaryFileName(std::string_view theBase, std::string_view theSuffix) override;
    void removeTemporaryFiles(const std::vector<std::string>& theFileNames) override;
    void finishWorkspace(bool theAfterFailure) override;
    void finishConnection() override;

private:
    std::span<const ActionRow> itsRows;
    std::string itsLastTemporaryFile;
};

} // namespace RepositoryAccess
