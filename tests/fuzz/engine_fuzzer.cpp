// The repository engine's request reader on any frame: every request is answered with a frame
// (error 40130 for one it cannot read), whatever its bytes; only a failing repository file may
// throw. The engine works on a fresh repository file of its own per process.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <unistd.h>

#include "server/engine.hpp"
#include "sqlitefile/repositoryfile.hpp"

using namespace RepositoryAccess;

namespace {

// A repository file in a directory of its own, removed when the process ends.
struct Scratch {
    std::filesystem::path itsDir =
        std::filesystem::temp_directory_path() / ("kivo_engine_fuzz_" + std::to_string(::getpid()));
    std::unique_ptr<server::Engine> itsEngine;

    Scratch() {
        std::filesystem::remove_all(itsDir);
        std::filesystem::create_directories(itsDir);
        const std::string aFile = (itsDir / "repo.db").string();
        server::createRepositoryFile(aFile, {});
        itsEngine = std::make_unique<server::Engine>(server::openRepositoryFile(aFile));
    }
    ~Scratch() {
        itsEngine.reset();
        std::error_code anIgnored;
        std::filesystem::remove_all(itsDir, anIgnored);
    }
};

server::Engine& engine() {
    static Scratch theScratch;
    return *theScratch.itsEngine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    const std::string_view aFrame(reinterpret_cast<const char*>(theData), theSize);
    if (engine().call("ALICE", aFrame).rfind("repoV2", 0) != 0)
        std::abort(); // every answer is a frame
    return 0;
}
