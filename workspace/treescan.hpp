#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/arena.hpp"
#include "workspace/filestat.hpp"

namespace RepositoryAccess::treescan {

// A listed file; its path belongs to the texts of the scan. Its stat data are read only when the
// scan is asked for details.
struct ScannedFile {
    std::string_view itsPath;
    filestat::FileStat itsStat{};
};

// The files of a few directory trees in path order, and their sub-directories in no particular
// order. The files' paths live in itsTexts, one arena per worker: a tree of a hundred thousand
// files costs a few dozen allocations for them, not one each.
struct TreeScan {
    std::vector<ScannedFile> itsFiles;
    std::vector<std::string> itsDirectories;
    std::vector<Arena> itsTexts;
};

// Lists the directories (their whole trees with theRecursive) on every core, with the files'
// stat data when theWithDetails. The directory theSkippedDir and everything below it are left out.
// Throws the file layer's "Invalid Directory: ..." for a directory that cannot be read.
TreeScan scan(const std::vector<std::string>& theRoots, bool theRecursive, bool theWithDetails,
              const std::string& theSkippedDir);

} // namespace RepositoryAccess::treescan
