// The repository engine against the SQLite floor beneath it: 10,000 single-row transactions of
// a 1 KiB blob and one SELECT of them, beside 10,000 write-object calls through frame and
// engine and one read-objects call of 10,000 objects.
#include "repository/repomessage.hpp"
#include "server/engine.hpp"
#include "server/repositorystore.hpp"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <unistd.h>

using namespace RepositoryAccess;

namespace {

constexpr int kObjects = 10000;
const std::string kContent(1024, 'x');

std::string freshFile(const char* theName) {
    std::string aPath = (std::filesystem::temp_directory_path() /
                         (std::string("kivo-bench-") + theName + "-" + std::to_string(::getpid())))
                            .string();
    for (const char* aSuffix : {"", "-wal", "-shm"})
        std::filesystem::remove(aPath + aSuffix);
    return aPath;
}

void removeFile(const std::string& thePath) {
    for (const char* aSuffix : {"", "-wal", "-shm"})
        std::filesystem::remove(thePath + aSuffix);
}

std::string frame(const std::string& theJson, const std::string& theCData = {}) {
    std::vector<SharedString> aCData;
    if (!theCData.empty())
        aCData.push_back(std::make_shared<const std::string>(theCData));
    return RepositoryMessage(std::make_shared<const std::string>(theJson), aCData).serialize();
}

std::string objectJson(int theIndex) {
    return R"({"package":"bench","name":"o)" + std::to_string(theIndex) + R"(","suffix":"txt"})";
}

void sqliteFloor(benchmark::State& theState) {
    for (auto _ : theState) {
        std::string aPath = freshFile("floor");
        sqlite3* aDb = nullptr;
        sqlite3_open(aPath.c_str(), &aDb);
        sqlite3_exec(aDb,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE t (id "
                     "INTEGER PRIMARY KEY, content BLOB)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* anInsert = nullptr;
        sqlite3_prepare_v2(aDb, "INSERT INTO t (content) VALUES (?)", -1, &anInsert, nullptr);
        for (int i = 0; i < kObjects; ++i) {
            sqlite3_exec(aDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            sqlite3_bind_blob(anInsert, 1, kContent.data(), static_cast<int>(kContent.size()),
                              SQLITE_STATIC);
            sqlite3_step(anInsert);
            sqlite3_reset(anInsert);
            sqlite3_exec(aDb, "COMMIT", nullptr, nullptr, nullptr);
        }
        sqlite3_finalize(anInsert);
        sqlite3_stmt* aSelect = nullptr;
        sqlite3_prepare_v2(aDb, "SELECT id, content FROM t", -1, &aSelect, nullptr);
        std::size_t aBytes = 0;
        while (sqlite3_step(aSelect) == SQLITE_ROW)
            aBytes += static_cast<std::size_t>(sqlite3_column_bytes(aSelect, 1));
        sqlite3_finalize(aSelect);
        benchmark::DoNotOptimize(aBytes);
        sqlite3_close(aDb);
        removeFile(aPath);
    }
}

void engineWriteAndReadObjects(benchmark::State& theState) {
    for (auto _ : theState) {
        std::string aPath = freshFile("engine");
        server::RepositoryStore::create(aPath, {});
        server::Engine anEngine(aPath);
        anEngine.call("BENCH", frame(R"({"action":"create","what":"package","package":"bench"})"));
        const std::string aSession = R"({"sessionType":"2","owner":"BENCH","workspace":""})";
        std::string aReadList;
        for (int i = 0; i < kObjects; ++i) {
            anEngine.call(
                "BENCH",
                frame(
                    R"({"action":"write","what":"object","session":)" + aSession + R"(,"object":)" +
                        objectJson(i) +
                        R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})",
                    kContent));
            aReadList += (i ? "," : "") + std::string(R"({"object":)") + objectJson(i) + "}";
        }
        std::string anAnswer = anEngine.call(
            "BENCH", frame(R"({"action":"read","what":"objects","session":)" + aSession +
                           R"(,"objects":[)" + aReadList + R"(],"winformat":"0"})"));
        benchmark::DoNotOptimize(anAnswer);
        theState.counters["answer_bytes"] = static_cast<double>(anAnswer.size());
        removeFile(aPath);
    }
}

} // namespace

BENCHMARK(sqliteFloor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(engineWriteAndReadObjects)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
