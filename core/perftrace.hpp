#pragma once

#include <string>

namespace RepositoryAccess::perftrace {

// Begins a timed event under the current one and makes it current; the destructor ends it, on
// every way out. Events are recorded in every run; only writing the file depends on `perfTrace`.
// The description must live as long as the process (the macro below passes a string literal).
class Scope {
public:
    explicit Scope(const char* theDescription);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// Begins an event with the given description (a text that lives as long as the process) as the
// last child of the current event and makes it current. The root event "Root" is created on the
// first use of the trace.
void begin(const char* theDescription);

// Ends the current event and makes its parent current; the root stays current.
void end() noexcept;

// Makes the calling thread record no events from now on: for the helper threads of a parallel
// loop, whose events would interleave with the main thread's.
void muteThisThread();

// The XML text of the event tree from the current event down, as written to "kivoPerfTrace.xml":
// the declaration line, then one element per event whose duration is not zero, with the count and
// summed seconds of its direct children per description as attributes.
std::string toXml();

// Makes the trace read its milliseconds from theTestClock instead of the monotonic system clock;
// nullptr restores the system clock. For tests.
void setClockForTests(double (*theTestClock)());

// Forgets every event, so that the next use starts a new root. For tests.
void resetForTests();

} // namespace RepositoryAccess::perftrace

#define KIVO_PERF_CONCAT2(a, b) a##b
#define KIVO_PERF_CONCAT(a, b) KIVO_PERF_CONCAT2(a, b)
// Times the rest of the enclosing block as an event with the given description.
#define KIVO_PERF_SCOPE(theDescription)                                                            \
    ::RepositoryAccess::perftrace::Scope KIVO_PERF_CONCAT(aPerfScope, __LINE__)(theDescription)
