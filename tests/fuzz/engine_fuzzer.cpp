// The repository engine's request reader on any frame: every request is answered with a frame
// (error 40130 for one it cannot read), whatever its bytes; only a failing repository file may
// throw. The engine works on a fresh repository file of its own per process.
#include <memory>

#include "server/engine.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "tests/fuzz/fuzzing.hpp"

namespace {

server::Engine& engine() {
    static const fuzzing::ScratchDir theDir("kivo_engine_fuzz_");
    static const std::unique_ptr<server::Engine> theEngine = [] {
        const std::string aFile = (theDir.itsPath / "repo.db").string();
        server::createRepositoryFile(aFile, {});
        return std::make_unique<server::Engine>(server::openRepositoryFile(aFile));
    }();
    return *theEngine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    fuzzing::require(engine().call("ALICE", fuzzing::text(theData, theSize)).rfind("repoV2", 0) ==
                     0);
    return 0;
}
