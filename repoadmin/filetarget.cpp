#include "repoadmin/filetarget.hpp"

#include "server/engine.hpp"
#include "server/passwordhash.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/fileschema.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "sqlitefile/sqlitedb.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace RepositoryAccess::server {

namespace {

// Removes a repository file with the companions SQLite keeps beside it; a missing one is fine.
void removeFiles(const std::string& thePath) {
    for (const char* aSuffix : {"", "-wal", "-shm", "-journal"})
        if (std::remove((thePath + aSuffix).c_str()) != 0 && errno != ENOENT)
            throw StorageError("Cannot remove \"" + thePath + aSuffix +
                               "\": " + std::strerror(errno));
}

bool exists(const std::string& thePath) {
    struct stat aStat;
    return ::stat(thePath.c_str(), &aStat) == 0;
}

} // namespace

void FileTarget::create(const SettingList& theSettings) {
    createRepositoryFile(itsPath, theSettings);
}

std::unique_ptr<RepositoryStore> FileTarget::open() {
    return std::make_unique<RepositoryStore>(openRepositoryFile(itsPath));
}

std::unique_ptr<Engine> FileTarget::openReadOnly() {
    auto apDatabase = std::make_unique<SqliteDatabase>(itsPath, false);
    fileschema::upgrade(*apDatabase);
    apDatabase->execute("PRAGMA query_only = ON");
    return std::make_unique<Engine>(std::move(apDatabase));
}

UserChange FileTarget::putUser(const std::string& theName, const std::string& thePassword) {
    RepositoryStore aStore(openRepositoryFile(itsPath));
    return {storeUser(aStore, {theName, hashPassword(thePassword)}, {}), {}};
}

std::vector<std::string> FileTarget::removeUser(const std::string& theName) {
    RepositoryStore aStore(openRepositoryFile(itsPath));
    unstoreUser(aStore, theName, {}, name());
    return {};
}

std::vector<std::string> FileTarget::tables(SqliteDatabase& theDatabase) {
    std::vector<std::string> aTables;
    auto aQuery = theDatabase.query("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                    "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
    while (aQuery.step())
        aTables.push_back(aQuery.text(0));
    return aTables;
}

void FileTarget::drop() {
    {
        SqliteDatabase aDatabase(itsPath, false);
        const std::vector<std::string> aTables = tables(aDatabase);
        if (std::find(aTables.begin(), aTables.end(), "settings") == aTables.end())
            throw Error("\"" + itsPath + "\" holds no repository");
    }
    removeFiles(itsPath);
}

RepositorySnapshot FileTarget::openSnapshot() {
    auto apDatabase = std::make_unique<SqliteDatabase>(itsPath, false);
    fileschema::upgrade(*apDatabase);
    apDatabase->begin(false);
    RepositorySnapshot aSnapshot;
    aSnapshot.itsTables = tables(*apDatabase);
    aSnapshot.itsDatabase = std::move(apDatabase);
    return aSnapshot;
}

void FileTarget::refuseExisting() const {
    if (exists(itsPath))
        throw StorageError("Repository file \"" + itsPath + "\" exists already");
}

std::vector<std::string> FileTarget::createWith(const std::function<void(SqlDatabase&)>& theFill) {
    refuseExisting();
    const std::string aTemporary = itsPath + ".copy-" + std::to_string(::getpid());
    std::unique_ptr<SqliteDatabase> apDatabase = std::make_unique<SqliteDatabase>(aTemporary, true);
    try {
        {
            Transaction aTransaction(*apDatabase, true);
            fileschema::create(*apDatabase);
            theFill(*apDatabase);
            aTransaction.commit();
        }
        apDatabase.reset();
        // The complete file takes its name only if no other file has taken it meanwhile.
        if (::link(aTemporary.c_str(), itsPath.c_str()) != 0) {
            const int anError = errno;
            refuseExisting();
            throw StorageError("Cannot create \"" + itsPath + "\": " + std::strerror(anError));
        }
    } catch (...) {
        apDatabase.reset();
        removeFiles(aTemporary);
        throw;
    }
    removeFiles(aTemporary);
    return {};
}

} // namespace RepositoryAccess::server
