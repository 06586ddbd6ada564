#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace RepositoryAccess::statusfastread {

// One file entry as the status file writes it; the views point into the file's text.
struct Entry {
    std::string_view itsFileName;
    std::string_view itsHash;
    std::string_view itsTimestamp;
    std::string_view itsBaseVersion;
};

struct Content {
    std::string_view itsName;
    std::vector<Entry> itsEntries;
    std::vector<std::string_view> itsConflicts;
};

// Reads a status file that has exactly the layout the program writes (no escapes, no other
// members), without the general JSON parser: a large workspace's status is read several times
// faster. Returns false for anything else, and the caller then reads the file as JSON; both ways
// give the same result for a file of this layout.
bool read(std::string_view theText, Content& theContent);

} // namespace RepositoryAccess::statusfastread
