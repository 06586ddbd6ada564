// What the fuzz targets share: the input as text, the refusal that is the expected answer to most
// inputs, an abort for a broken property, and a scratch directory per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

#include "core/error.hpp"

using namespace RepositoryAccess;

namespace fuzzing {

inline std::string_view text(const std::uint8_t* theData, std::size_t theSize) {
    return {reinterpret_cast<const char*>(theData), theSize};
}

// A broken property is a finding: the fuzzer reports the abort with its input.
inline void require(bool theCondition) {
    if (!theCondition)
        std::abort();
}

// Runs theRead; a refusal (the program's error unless named) is an answer, whatever else it
// throws is a finding.
template <class Refusal = Error, class F> void refusedOrRead(F theRead) {
    try {
        theRead();
    } catch (const Refusal&) {
        // refused: the expected answer to most inputs
    }
}

// A directory of this process's own, removed when the process ends.
struct ScratchDir {
    std::filesystem::path itsPath;

    explicit ScratchDir(const std::string& theName)
        : itsPath(std::filesystem::temp_directory_path() / (theName + std::to_string(::getpid()))) {
        std::filesystem::remove_all(itsPath);
        std::filesystem::create_directories(itsPath);
    }
    ~ScratchDir() {
        std::error_code anIgnored;
        std::filesystem::remove_all(itsPath, anIgnored);
    }
};

} // namespace fuzzing
