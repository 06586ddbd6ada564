#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace RepositoryAccess::server::text {

// True when theText matches thePattern, in which `*` stands for any text (dots included) and
// every other byte stands for itself.
bool globMatch(std::string_view thePattern, std::string_view theText);

// Latin-1 bytes as UTF-8.
std::string latin1ToUtf8(std::string_view theText);

// Every line feed that has no carriage return before it becomes CR LF.
std::string toWindowsLineEnds(std::string_view theText);

// The current UTC time as "YYYY-MM-DD HH:MM:SS.mmm".
std::string nowTimestamp();

// A timestamp in the stored form: "YYYY-MM-DD" gains " 00:00:00.000", "YYYY-MM-DD HH:MM:SS"
// gains ".000"; a "T" between date and time is read as a blank. nullopt for any other text.
std::optional<std::string> normaliseTimestamp(std::string_view theText);

// The parent of a dotted package name (split at the last dot outside double quotes); empty for
// a root package.
std::string parentPackage(std::string_view thePackage);

} // namespace RepositoryAccess::server::text
