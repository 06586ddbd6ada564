#pragma once

#include <exception>
#include <string>
#include <vector>
#include <version>

#if defined(__cpp_lib_source_location)
#include <source_location>
namespace RepositoryAccess {
using SourcePlace = std::source_location;
}
#else
namespace RepositoryAccess {
// The place of a call, for compilers whose library has no std::source_location yet (clang 14
// with libstdc++, used by the fuzz build): the same facts from the compiler's builtins.
class SourcePlace {
public:
    static constexpr SourcePlace current(const char* theFile = __builtin_FILE(),
                                         unsigned theLine = __builtin_LINE(),
                                         const char* theFunction = __builtin_FUNCTION()) noexcept {
        SourcePlace aPlace;
        aPlace.itsFile = theFile;
        aPlace.itsLine = theLine;
        aPlace.itsFunction = theFunction;
        return aPlace;
    }
    constexpr const char* file_name() const noexcept { return itsFile; }
    constexpr unsigned line() const noexcept { return itsLine; }
    constexpr unsigned column() const noexcept { return 0; }
    constexpr const char* function_name() const noexcept { return itsFunction; }

private:
    const char* itsFile = "";
    unsigned itsLine = 0;
    const char* itsFunction = "";
};
} // namespace RepositoryAccess
#endif

namespace RepositoryAccess {

// The program's one error type. It carries one or more message texts, outermost first, each with
// the place that raised it. A layer that can add context catches it, adds its own text and throws
// it on; a step that may fail without ending the run (one object of many, a settings file that
// falls back) catches it and reports it. What reaches the run sequence ends the run: it prints the
// texts, one per line, on standard error and sets the exit status to 1. The places appear only in
// the trace.
class Error : public std::exception {
public:
    explicit Error(std::string theMessage, SourcePlace theWhere = SourcePlace::current());

    // Raised by a failed consistency check: the expression is kept for the trace, never shown.
    static Error internal(const char* theExpression, std::string theMessage,
                          SourcePlace theWhere = SourcePlace::current());

    // Puts an outer message in front of the existing ones ("Could not commit" around a file error).
    Error& addOuter(std::string theMessage, SourcePlace theWhere = SourcePlace::current());

    // The message texts, outermost first.
    std::vector<std::string> messages() const;

    // Every message with the place where it was raised, one per line, for the trace.
    std::string description() const;

    const char* what() const noexcept override;

private:
    struct Entry {
        std::string itsText;
        std::string itsPlace;
    };
    std::vector<Entry> itsEntries;
};

} // namespace RepositoryAccess

// Consistency check: raises Error with theMessage when theCondition is false.
#define KIVO_CHECK(theCondition, theMessage)                                                       \
    do {                                                                                           \
        if (!(theCondition))                                                                       \
            throw ::RepositoryAccess::Error::internal(#theCondition, (theMessage));                \
    } while (0)
