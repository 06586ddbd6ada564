#include "workspace/linkfinder.hpp"

#include "workspace/sys.hpp"

namespace RepositoryAccess {

std::string LinkFinder::linkOnTheWay(const std::string& theFile) {
    const std::string aDirName = sys::getDirPart(theFile);
    auto anIt = itsDirectories.find(aDirName);
    if (anIt == itsDirectories.end()) {
        Directory aDirectory{sys::linkOnTheWay(itsRoot, aDirName)};
        // No link on the way: a file there would end the way as surely as a missing part.
        aDirectory.itsExists = aDirectory.itsLink.empty() && sys::dirExists(aDirName);
        anIt = itsDirectories.emplace(aDirName, std::move(aDirectory)).first;
    }
    const Directory& aDirectory = anIt->second;
    if (!aDirectory.itsLink.empty() || !aDirectory.itsExists)
        return aDirectory.itsLink;
    return sys::linkOnTheWay(aDirName, theFile);
}

} // namespace RepositoryAccess
