#pragma once

#include <string>

namespace RepositoryAccess::perftrace {

// Begins a timed event under the current one and makes it current; the destructor ends it, on
// every way out. Events are recorded in every run; only writing the file depends on `perfTrace`.
class Scope {
public:
    explicit Scope(const char* theDescription);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// The XML text of the whole event tree, as written to "kivoPerfTrace.xml".
std::string toXml();

} // namespace RepositoryAccess::perftrace

#define KIVO_PERF_CONCAT2(a, b) a##b
#define KIVO_PERF_CONCAT(a, b) KIVO_PERF_CONCAT2(a, b)
// Times the rest of the enclosing block as an event with the given description.
#define KIVO_PERF_SCOPE(theDescription)                                                            \
    ::RepositoryAccess::perftrace::Scope KIVO_PERF_CONCAT(aPerfScope, __LINE__)(theDescription)
