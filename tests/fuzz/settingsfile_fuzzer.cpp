// The readers of the settings files on any content: the configuration, the status file (by the
// JSON parser and by the reader of the program's own layout) and an object's metadata file each
// read the file or refuse it with the program's error; a status file that both readers take
// gives the same text back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "core/error.hpp"
#include "workspace/objects.hpp"
#include "workspace/workspacefile.hpp"

using namespace RepositoryAccess;

namespace {

// One private directory per process, holding the file that each input is written to; removed
// when the process ends.
struct Scratch {
    std::filesystem::path itsDir = std::filesystem::temp_directory_path() /
                                   ("kivo_settings_fuzz_" + std::to_string(::getpid()));
    std::string itsFile = (itsDir / "settings").string();

    Scratch() { std::filesystem::create_directories(itsDir); }
    ~Scratch() {
        std::error_code anIgnored;
        std::filesystem::remove_all(itsDir, anIgnored);
    }
};

const std::string& scratchFile() {
    static const Scratch theScratch;
    return theScratch.itsFile;
}

template <class F> void refusedOrRead(F theRead) {
    try {
        theRead();
    } catch (const Error&) {
        // A refused file is the expected answer to most inputs.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    const std::string& aFile = scratchFile();
    std::ofstream(aFile, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(theData), static_cast<std::streamsize>(theSize));
    refusedOrRead([&] { WorkSpaceConfigFile::load(aFile); });
    std::shared_ptr<WorkSpaceStatusFile> aParsed;
    refusedOrRead([&] { aParsed = WorkSpaceStatusFile::load(aFile, "/ws/"); });
    std::shared_ptr<WorkSpaceStatusFile> aFast;
    refusedOrRead([&] { aFast = WorkSpaceStatusFile::loadOwnLayout(aFile, "/ws/"); });
    if (aParsed && aFast && aParsed->toText() != aFast->toText())
        std::abort();
    refusedOrRead([&] { objects::readMetaFile(aFile); });
    return 0;
}
