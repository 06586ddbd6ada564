#pragma once

#include <map>
#include <string>

namespace RepositoryAccess {

// The first symbolic link on the way from a root directory to each of many files, as
// sys::linkOnTheWay finds it. The directories that the files share are examined once, and the
// files of a directory that does not exist (a checkout into a new workspace) not at all.
class LinkFinder {
public:
    explicit LinkFinder(std::string theRoot) : itsRoot(std::move(theRoot)) {}

    // The link, or an empty text when there is none.
    std::string linkOnTheWay(const std::string& theFile);

private:
    struct Directory {
        std::string itsLink; // the link on its way, if any
        bool itsExists = false;
    };

    std::string itsRoot;
    std::map<std::string, Directory> itsDirectories;
};

} // namespace RepositoryAccess
