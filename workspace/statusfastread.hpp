#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace RepositoryAccess::statusfastread {

// One file entry as the status file writes it; the views point into the file's text.
struct Entry {
    std::string_view itsFileName;
    std::string_view itsHash;
    std::string_view itsTimestamp;
    std::string_view itsBaseVersion;
    std::string_view itsFileStat; // empty when the entry has none
};

struct Content {
    std::string_view itsName;
    std::vector<std::string_view> itsConflicts;
};

// Reads a status file that has exactly the layout the program writes (no escapes, no other
// members; an entry's "filestat" is optional), without the general JSON parser: a large workspace's
// status is read several times faster. Each entry goes to theOnEntry as soon as it is read, so that
// no list of them is built. Returns false for anything else (some entries may have been passed on
// by then), and the caller then reads the file as JSON; both ways give the same result for a file
// of this layout.
bool read(std::string_view theText, Content& theContent,
          const std::function<void(const Entry&)>& theOnEntry);

} // namespace RepositoryAccess::statusfastread
