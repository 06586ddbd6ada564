#include "sqlitefile/repositoryfile.hpp"

#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/fileschema.hpp"
#include "sqlitefile/sqlitedb.hpp"

namespace RepositoryAccess::server {

void createRepositoryFile(const std::string& thePath,
                          const std::vector<std::pair<std::string, std::string>>& theSettings) {
    SqliteDatabase aDatabase(thePath, true);
    Transaction aTransaction(aDatabase, true);
    fileschema::create(aDatabase);
    RepositoryStore::seed(aDatabase, theSettings);
    aTransaction.commit();
}

std::unique_ptr<SqlDatabase> openRepositoryFile(const std::string& thePath) {
    auto apDatabase = std::make_unique<SqliteDatabase>(thePath, false);
    fileschema::upgrade(*apDatabase);
    return apDatabase;
}

} // namespace RepositoryAccess::server
