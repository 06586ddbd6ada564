#pragma once

#include <string>
#include <string_view>

// Helpers shared by the sources of the file-system layer; not for use outside it.
namespace RepositoryAccess::sys::internal {

// Raises the error "<text>. System error code: <errno>".
[[noreturn]] void failWithErrno(std::string theText);

// The path in double quotes, as the messages show it.
std::string quoted(std::string_view thePath);

// True when `simulate` is set; then prints "Simulation: File system write operation: <what>"
// to standard output (and the trace buffer with `trace`).
bool simulated(std::string_view theWhat);

// With `debugPaths`: prints "<function> <step> (<what>): <value>".
void debugPath(std::string_view theFunction, int theStep, std::string_view theWhat,
               std::string_view theValue);

} // namespace RepositoryAccess::sys::internal
