#pragma once

#include <exception>
#include <source_location>
#include <string>
#include <vector>

namespace RepositoryAccess {

// The program's one error type. It carries one or more message texts, outermost first, each with
// the place that raised it. Only the run sequence catches it: it prints the texts, one per line,
// on standard error and sets the exit status to 1. The places appear only in the trace.
class Error : public std::exception {
public:
    explicit Error(std::string theMessage,
                   std::source_location theWhere = std::source_location::current());

    // Raised by a failed consistency check: the expression is kept for the trace, never shown.
    static Error internal(const char* theExpression, std::string theMessage,
                          std::source_location theWhere = std::source_location::current());

    // Puts an outer message in front of the existing ones ("Could not commit" around a file error).
    Error& addOuter(std::string theMessage,
                    std::source_location theWhere = std::source_location::current());

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
