#pragma once

// A repository file for the tests of the layers that talk to the embedded repository. Header
// only: the including test binary links the repository engine through its own layer.

#include <filesystem>
#include <string>

#include "server/passwordhash.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"

namespace kivotest {

// Creates "repo.db" in theDir with one user and returns its path.
inline std::string makeRepositoryFile(const std::filesystem::path& theDir,
                                      const std::string& theUser, const std::string& thePassword) {
    const std::string aFile = (theDir / "repo.db").string();
    RepositoryAccess::server::createRepositoryFile(aFile, {});
    RepositoryAccess::server::RepositoryStore aStore(
        RepositoryAccess::server::openRepositoryFile(aFile));
    RepositoryAccess::server::Transaction aTransaction(aStore.database(), true);
    aStore.putUser({theUser, RepositoryAccess::server::hashPassword(thePassword)});
    aTransaction.commit();
    return aFile;
}

} // namespace kivotest
