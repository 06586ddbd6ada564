#pragma once

#include "front/actionhost.hpp"

namespace RepositoryAccess {

// The program's own host: runs the real action classes and the real workspace and connection
// services.
class ProgramHost : public ActionHost {
public:
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
    std::string itsLastTemporaryFile;
};

} // namespace RepositoryAccess
