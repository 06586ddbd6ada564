// The repository function layer against the SQLite floor beneath it, in one run: 10,000
// write-object calls (one repository call each, through request, frame, connection and engine)
// beside 10,000 single-row transactions of a 1 KiB blob, and one bulk read of the 10,000 objects
// beside one SELECT of the same rows. Prints a table of the times and their ratios.
#include "core/parameters.hpp"
#include "repository/connection.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "server/passwordhash.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

using namespace RepositoryAccess;

namespace {

constexpr int kObjects = 10000;
const std::string kContent(1024, 'x');

std::string freshFile(const char* theName) {
    std::string aPath =
        (std::filesystem::temp_directory_path() /
         (std::string("kivo-repofun-") + theName + "-" + std::to_string(::getpid())))
            .string();
    for (const char* aSuffix : {"", "-wal", "-shm"})
        std::filesystem::remove(aPath + aSuffix);
    return aPath;
}

void removeFile(const std::string& thePath) {
    for (const char* aSuffix : {"", "-wal", "-shm"})
        std::filesystem::remove(thePath + aSuffix);
}

double seconds(const std::function<void()>& theWork) {
    const auto aStart = std::chrono::steady_clock::now();
    theWork();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - aStart).count();
}

void check(int theResult, int theExpected, const char* theWhat) {
    if (theResult != theExpected) {
        std::fprintf(stderr, "SQLite failed: %s (%d)\n", theWhat, theResult);
        std::exit(1);
    }
}

// The floor: the same file settings as the engine (WAL, synchronous=NORMAL), one transaction
// per insert, then one SELECT of all rows. Returns {insert seconds, select seconds}.
std::pair<double, double> sqliteFloor() {
    const std::string aPath = freshFile("floor");
    sqlite3* aDb = nullptr;
    check(sqlite3_open(aPath.c_str(), &aDb), SQLITE_OK, "open");
    check(sqlite3_exec(aDb,
                       "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE t (id "
                       "INTEGER PRIMARY KEY, content BLOB)",
                       nullptr, nullptr, nullptr),
          SQLITE_OK, "schema");
    sqlite3_stmt* anInsert = nullptr;
    check(sqlite3_prepare_v2(aDb, "INSERT INTO t (content) VALUES (?)", -1, &anInsert, nullptr),
          SQLITE_OK, "prepare");
    const double anInserts = seconds([&] {
        for (int i = 0; i < kObjects; ++i) {
            check(sqlite3_exec(aDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK,
                  "begin");
            sqlite3_bind_blob(anInsert, 1, kContent.data(), static_cast<int>(kContent.size()),
                              SQLITE_STATIC);
            check(sqlite3_step(anInsert), SQLITE_DONE, "insert");
            sqlite3_reset(anInsert);
            check(sqlite3_exec(aDb, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, "commit");
        }
    });
    sqlite3_finalize(anInsert);
    std::size_t aBytes = 0;
    const double aSelect = seconds([&] {
        sqlite3_stmt* aQuery = nullptr;
        sqlite3_prepare_v2(aDb, "SELECT id, content FROM t", -1, &aQuery, nullptr);
        while (sqlite3_step(aQuery) == SQLITE_ROW)
            aBytes += static_cast<std::size_t>(sqlite3_column_bytes(aQuery, 1));
        sqlite3_finalize(aQuery);
    });
    sqlite3_close(aDb);
    removeFile(aPath);
    if (aBytes != kObjects * kContent.size())
        std::exit(1);
    return {anInserts, aSelect};
}

// The function layer on a fresh repository file. Returns {write seconds, bulk read seconds}.
std::pair<double, double> functionLayer() {
    const std::string aPath = freshFile("repo");
    server::createRepositoryFile(aPath, {});
    {
        server::RepositoryStore aStore(server::openRepositoryFile(aPath));
        server::Transaction aTransaction(aStore.database(), true);
        aStore.putUser({"BENCH", server::hashPassword("bench")});
        aTransaction.commit();
    }
    ParameterValues aValues;
    aValues.setValue(params::hostName, "file:" + aPath);
    aValues.setValue(params::userName, "BENCH");
    aValues.setValue(params::passWord, "bench");
    installParameters(aValues);
    repofunpackages::createPackage("bench", false);

    const SharedString aContent = std::make_shared<const std::string>(kContent);
    std::vector<RepositoryObject> anObjects;
    anObjects.reserve(kObjects);
    for (int i = 0; i < kObjects; ++i)
        anObjects.emplace_back("bench", "o" + std::to_string(i), "txt");
    const double aWrites = seconds([&] {
        for (RepositoryObject& anObject : anObjects)
            anObject.setMetaData(repofunobjects::writeObject(anObject, aContent));
    });
    std::size_t aBytes = 0;
    const double aRead = seconds([&] {
        for (const ObjectContent& aRead : repofunobjects::readObjects(anObjects))
            aBytes += aRead.itsContent.size();
    });
    connection::close();
    removeFile(aPath);
    if (aBytes != kObjects * kContent.size()) {
        std::fprintf(stderr, "bulk read returned %zu bytes\n", aBytes);
        std::exit(1);
    }
    return {aWrites, aRead};
}

} // namespace

int main() {
    try {
        const auto [aFloorInserts, aFloorSelect] = sqliteFloor();
        const auto [aWrites, aRead] = functionLayer();
        std::printf("%-44s %10s %10s\n", "operation (10,000 objects of 1 KiB)", "seconds",
                    "vs floor");
        std::printf("%-44s %10.3f %10s\n", "SQLite floor: inserts, one transaction each",
                    aFloorInserts, "1.00x");
        std::printf("%-44s %10.3f %9.2fx\n", "function layer: write object calls", aWrites,
                    aWrites / aFloorInserts);
        std::printf("%-44s %10.3f %10s\n", "SQLite floor: one SELECT of all rows", aFloorSelect,
                    "1.00x");
        std::printf("%-44s %10.3f %9.2fx\n", "function layer: one bulk read", aRead,
                    aRead / aFloorSelect);
        std::printf("targets: writes <= 3x floor (%s), bulk read <= 0.3 s (%s)\n",
                    aWrites <= 3 * aFloorInserts ? "met" : "MISSED",
                    aRead <= 0.3 ? "met" : "MISSED");
    } catch (const Error& anError) {
        for (const std::string& aMessage : anError.messages())
            std::fprintf(stderr, "%s\n", aMessage.c_str());
        return 1;
    }
    return 0;
}
