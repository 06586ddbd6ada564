#include "workspace/linkfinder.hpp"

#include <sys/stat.h>

#include "workspace/sys.hpp"

namespace RepositoryAccess {

std::string LinkFinder::linkOnTheWay(const std::string& theFile) {
    const std::string aDirName = sys::getDirPart(theFile);
    auto anIt = itsDirectories.find(aDirName);
    if (anIt == itsDirectories.end()) {
        Directory aDirectory{sys::linkOnTheWay(itsRoot, aDirName)};
        struct stat aStat;
        aDirectory.itsExists = aDirectory.itsLink.empty() && ::lstat(aDirName.c_str(), &aStat) == 0;
        anIt = itsDirectories.emplace(aDirName, std::move(aDirectory)).first;
    }
    const Directory& aDirectory = anIt->second;
    if (!aDirectory.itsLink.empty() || !aDirectory.itsExists)
        return aDirectory.itsLink;
    return sys::linkOnTheWay(aDirName, theFile);
}

} // namespace RepositoryAccess
