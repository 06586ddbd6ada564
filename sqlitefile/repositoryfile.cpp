#include "sqlitefile/repositoryfile.hpp"

#include "server/repositorystore.hpp"
#include "sqlitefile/fileschema.hpp"

namespace RepositoryAccess::server {

void createRepositoryFile(const std::string& thePath,
                          const std::vector<std::pair<std::string, std::string>>& theSettings) {
    SqliteDatabase aDatabase(thePath, true);
    aDatabase.begin(true);
    fileschema::create(aDatabase);
    RepositoryStore::seed(aDatabase, theSettings);
    aDatabase.commit();
}

std::unique_ptr<SqlDatabase> openRepositoryFile(const std::string& thePath) {
    auto apDatabase = std::make_unique<SqliteDatabase>(thePath, false);
    fileschema::upgrade(*apDatabase);
    return apDatabase;
}

} // namespace RepositoryAccess::server
