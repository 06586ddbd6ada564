#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace RepositoryAccess {

// The run's text outputs: standard output and error, and the two in-memory buffers that the
// workspace exit appends to "commands.log" and "commands.trace".
namespace console {

std::ostream& out();
std::ostream& err();
std::ostream& commandLog();
std::ostream& trace();

// The texts collected so far.
std::string commandLogText();
std::string traceText();

// Writes text to standard output and, when `trace` is set, to the trace buffer: the rule for
// everything a user sees on the console.
void say(std::string_view theText);
// Same as say() followed by a line end.
void sayLine(std::string_view theText);
// Writes text to the trace buffer when `trace` is set (trace-only detail).
void traceOnly(std::string_view theText);
// Verbose progress: standard output with `verbose`, trace buffer with `trace`.
void progress(std::string_view theLine);
// A refusal that does not stop the run (one file of many): the line on standard error and in the
// trace, and the exit status becomes 1.
void refuse(std::string_view theLine);

} // namespace console

// The process exit status: 0 at start, 1 after any reported failure.
namespace exitstatus {
int get();
void fail();
void reset();
} // namespace exitstatus

} // namespace RepositoryAccess
