#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace RepositoryAccess {

// A three-part version number: the program version or the client format version of the
// workspace settings files.
struct Version {
    std::int32_t itsMajor = 0;
    std::int32_t itsMinor = 0;
    std::int32_t itsMicro = 0;

    bool operator==(const Version& theOther) const = default;
};

namespace version {

// The program version as shown by `kivo version`; the number itself is the project's version in
// the top CMakeLists.txt.
constexpr std::string_view programVersion() {
    return KIVO_PROGRAM_VERSION;
}

// The layout version of the workspace settings files, written into and checked against the
// workspace config file.
constexpr std::string_view clientFormatVersion() {
    return "0001.0001.0000";
}

// Parses "major.minor.micro": exactly three dot-separated parts, each converted from its leading
// digits (leading blanks and a sign allowed, no digits give 0). Throws "Bad version: ..." for any
// other number of parts.
Version parseVersion(std::string_view theText);

// The three numbers in plain decimal joined by dots, such as "1.1.3".
std::string formatVersion(const Version& theVersion);

} // namespace version

} // namespace RepositoryAccess
