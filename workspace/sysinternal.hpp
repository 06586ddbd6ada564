#pragma once

#include <string>
#include <string_view>

// Helpers shared by the sources of the file-system layer; not for use outside it.
namespace RepositoryAccess::sys::internal {

// Raises the error "<text>. System error code: <errno>".
[[noreturn]] void failWithErrno(std::string theText);

// The path in double quotes, as the messages show it.
std::string quoted(std::string_view thePath);

// Writes every byte to the open file of thePath; throws "Cannot write to file (append: <flag>)
// ..." with the system error code, or with "(not all bytes written)" when nothing was taken.
void writeAllOrFail(int theFd, std::string_view theBytes, bool theAppend, std::string_view thePath);

// True when `simulate` is set; then prints "Simulation: File system write operation: <what>"
// to standard output (and the trace buffer with `trace`).
bool simulated(std::string_view theWhat);

// Whether a read found the directory of thePath missing since the process last created a
// directory; noteMissingFile() is told of each file that a read found missing.
bool inMissingDirectory(std::string_view thePath);
void noteMissingFile(std::string_view thePath);
// Forgets the directories that reads found missing: called whenever the process creates one.
void forgetMissingDirectories();

// With `debugPaths`: prints "<function> <step> (<what>): <value>".
void debugPath(std::string_view theFunction, int theStep, std::string_view theWhat,
               std::string_view theValue);

} // namespace RepositoryAccess::sys::internal
