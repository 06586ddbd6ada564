#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace RepositoryAccess::treescan {

struct ScannedFile {
    std::string itsPath;
    timespec itsModified{};
};

// The files of a few directory trees in path order, and their sub-directories in no particular
// order.
struct TreeScan {
    std::vector<ScannedFile> itsFiles;
    std::vector<std::string> itsDirectories;
};

// Lists the directories (their whole trees with theRecursive) on every core, with last-write
// times when theWithTimes. The directory theSkippedDir and everything below it are left out.
// Throws the file layer's "Invalid Directory: ..." for a directory that cannot be read.
TreeScan scan(const std::vector<std::string>& theRoots, bool theRecursive, bool theWithTimes,
              const std::string& theSkippedDir);

} // namespace RepositoryAccess::treescan
