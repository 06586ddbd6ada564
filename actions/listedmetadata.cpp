// After a large activation the client needs the active metadata of every object it activated.
// Read one by one, each is a call to the repository; a team server answers a listing of a
// package's active objects with one, so a package whose objects were activated in bulk is
// listed instead.

#include "actions/listedmetadata.hpp"

#include <map>

#include "repository/repofunobjects.hpp"

namespace RepositoryAccess::listedmetadata {

namespace {

// Fewer objects of a package are read one by one.
constexpr std::size_t kListedFrom = 8;
// A package with more workspace files than this many times the objects to read is not listed.
constexpr std::size_t kMostFilesPerRead = 8;

// The workspace files below the folder of theObject's package: its own and those of its sub
// packages, enough to tell a package's size.
std::size_t workspaceFilesOfPackage(const RepositoryObject& theObject,
                                    const WorkSpaceStatusFile& theStatus) {
    const std::string& aFile = theObject.workSpaceFileName();
    const std::string_view aFolder = std::string_view(aFile).substr(0, aFile.find_last_of('/') + 1);
    std::size_t aCount = 0;
    for (auto anEntry = theStatus.files().lower_bound(aFolder);
         anEntry != theStatus.files().end() && anEntry->first.starts_with(aFolder); ++anEntry)
        ++aCount;
    return aCount;
}

// Whether the metadata of theToRead objects of a package is better taken from one listing of
// the package than read object by object: enough of them to be worth a call, and the package
// (theWorkspaceFiles, its files in the workspace, as far as the run knows its size) not so much
// larger that the listing costs more than the reads it saves.
bool worthListing(std::size_t theToRead, std::size_t theWorkspaceFiles) {
    return theToRead >= kListedFrom && theWorkspaceFiles <= theToRead * kMostFilesPerRead;
}

} // namespace

std::unordered_map<std::string, ObjectMetaData>
activeMetaData(const std::vector<RepositoryObject>& theObjects,
               const WorkSpaceStatusFile& theStatus) {
    // One object of each package stands for it: its folder counts the package's files.
    std::map<std::string, std::pair<const RepositoryObject*, std::size_t>> aPackages;
    for (const RepositoryObject& anObject : theObjects) {
        auto& [aSample, aCount] = aPackages[anObject.package()];
        aSample = &anObject;
        ++aCount;
    }
    std::vector<std::string> aWorthListing;
    for (const auto& [aPackage, aSampled] : aPackages) {
        const auto& [aSample, aCount] = aSampled;
        // A star would make the package's name a pattern.
        if (aPackage.find('*') == std::string::npos &&
            worthListing(aCount, workspaceFilesOfPackage(*aSample, theStatus)))
            aWorthListing.push_back(aPackage);
    }
    std::unordered_map<std::string, ObjectMetaData> aListed;
    if (aWorthListing.empty())
        return aListed;
    for (const auto& aPackage : repofunobjects::activeObjectsOfPackages(aWorthListing))
        for (const RepositoryObject& anObject : aPackage)
            aListed.emplace(anObject.key(), anObject.metaData());
    return aListed;
}

} // namespace RepositoryAccess::listedmetadata
