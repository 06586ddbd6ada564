#pragma once

#include "repoadmin/repositorytarget.hpp"

namespace RepositoryAccess::server {

class SqliteDatabase;

// A repository file. A new file made by a copy is written under a temporary name beside it and
// takes its own name only when complete, so that a failed or killed copy never leaves a file
// that looks like a repository.
class FileTarget final : public RepositoryTarget {
public:
    explicit FileTarget(std::string thePath) : itsPath(std::move(thePath)) {}

    std::string name() const override { return itsPath; }
    void create(const SettingList& theSettings) override;
    std::unique_ptr<RepositoryStore> open() override;
    std::unique_ptr<Engine> openReadOnly() override;
    UserChange putUser(const std::string& theName, const std::string& thePassword) override;
    std::vector<std::string> removeUser(const std::string& theName) override;
    void drop() override;
    RepositorySnapshot openSnapshot() override;
    std::vector<std::string> createWith(const std::function<void(SqlDatabase&)>& theFill) override;

private:
    // The tables of an open repository file.
    static std::vector<std::string> tables(SqliteDatabase& theDatabase);
    void refuseExisting() const;

    std::string itsPath;
};

} // namespace RepositoryAccess::server
