#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::helpbrowser {

// The temporary directory: "temp", "TEMP", "TMPDIR" (the first that is set), else "/tmp",
// joined with "/kivotmp"; created when missing.
std::string temporaryDirectory();

// Writes thePage to the file theFileName in the temporary directory and returns its path.
// Throws when the file cannot be written.
std::string writePage(std::string_view theFileName, std::string_view thePage);

// Opens theUrl with the command in "BROWSER", else with xdg-open, through /bin/sh -c. Throws
// when neither is available or the command fails.
void displayUrl(const std::string& theUrl);

// Milliseconds of the monotonic clock, for unique file names.
unsigned long long tickCount();

} // namespace RepositoryAccess::helpbrowser
