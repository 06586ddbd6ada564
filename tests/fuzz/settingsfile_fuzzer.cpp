// The readers of the settings files on any content: the configuration, the status file (by the
// JSON parser and by the reader of the program's own layout) and an object's metadata file each
// read the file or refuse it with the program's error; a status file that both readers take
// gives the same text back.
#include <fstream>
#include <memory>

#include "tests/fuzz/fuzzing.hpp"
#include "workspace/objects.hpp"
#include "workspace/workspacefile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    static const fuzzing::ScratchDir theDir("kivo_settings_fuzz_");
    const std::string aFile = (theDir.itsPath / "settings").string();
    std::ofstream(aFile, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(theData), static_cast<std::streamsize>(theSize));
    fuzzing::refusedOrRead([&] { WorkSpaceConfigFile::load(aFile); });
    std::shared_ptr<WorkSpaceStatusFile> aParsed;
    fuzzing::refusedOrRead([&] { aParsed = WorkSpaceStatusFile::load(aFile, "/ws/"); });
    std::shared_ptr<WorkSpaceStatusFile> aFast;
    fuzzing::refusedOrRead([&] { aFast = WorkSpaceStatusFile::loadOwnLayout(aFile, "/ws/"); });
    fuzzing::require(!aParsed || !aFast || aParsed->toText() == aFast->toText());
    fuzzing::refusedOrRead([&] { objects::readMetaFile(aFile); });
    return 0;
}
