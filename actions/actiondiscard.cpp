#include "actions/actiondiscard.hpp"

#include <algorithm>

#include "actions/actionscope.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/runstatistics.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

std::string refusal(const std::string& theKind) {
    return "Discard failed. There are " + theKind +
           " in the workspace.\nUse \"kivo discard -f\" to discard them anyway, or \"kivo "
           "discard --noContent\" to discard only the meta data.";
}

// Deletes the files directly in the directory and then the directory itself, where it exists; a
// directory that still holds sub directories stays.
void removeDirectory(const std::string& theDirName) {
    if (!sys::dirExists(theDirName))
        return;
    const sys::DirListing aListing = sys::listDir(theDirName);
    for (const std::string& aFile : aListing.itsFiles)
        sys::deleteFile(aFile);
    if (aListing.itsDirs.empty())
        sys::deleteDirectory(theDirName);
}

} // namespace

void actionDiscard::execute() {
    KIVO_PERF_SCOPE("actionDiscard::execute()");
    const ActionScope aScope = actionscope::fromParameters();
    computeStatus(aScope);
    const bool aWithContent = !isSet(params::noContent);
    if (aWithContent && !isSet(params::force))
        refuseLocalChanges();
    if (itsStatusFiles.empty() && itsDiskFiles.empty() && itsDiskDirectories.empty()) {
        console::sayLine("Nothing to discard.");
        return;
    }
    const PathSet aFiles =
        aWithContent ? pathset::unite(itsStatusFiles, itsDiskFiles) : itsStatusFiles;
    for (const std::string& aFile : aFiles)
        discardFile(aFile, aWithContent);
    removeDirectories(aScope, aWithContent);
    runstatistics::add(Statistic::discardedFiles, static_cast<std::int64_t>(aFiles.size()));
}

void actionDiscard::computeStatus(const ActionScope& theScope) {
    std::vector<Status> aParts;
    if (theScope.itsInactiveObjects)
        aParts.emplace_back(repositorylistings::inactiveObjectsOfPackages({}), false, false);
    if (!theScope.itsPackages.empty())
        aParts.emplace_back(theScope.itsPackages, theScope.itsRecursive, false, false);
    if (!theScope.itsObjects.empty())
        aParts.emplace_back(theScope.itsObjects, false, false);
    for (const Status& aPart : aParts) {
        itsNew = pathset::unite(itsNew, aPart.newFiles());
        itsDeleted = pathset::unite(itsDeleted, aPart.deleted());
        itsModified = pathset::unite(itsModified, aPart.modified());
        itsStatusFiles = pathset::unite(itsStatusFiles, aPart.statusFilesInScope());
        itsDiskFiles = pathset::unite(itsDiskFiles, aPart.diskFilesInScope());
        itsDiskDirectories = pathset::unite(itsDiskDirectories, aPart.diskDirectories());
    }
}

void actionDiscard::refuseLocalChanges() const {
    if (!itsNew.empty())
        throw Error(refusal("locally created files"));
    if (!itsDeleted.empty())
        throw Error(refusal("locally deleted files"));
    if (!itsModified.empty())
        throw Error(refusal("locally modified files"));
}

// The conflict copies under `diff` and `base` are conflict data of the file and go with it.
void actionDiscard::discardFile(const std::string& theFile, bool theWithContent) const {
    const RepositoryObject anObject = objects::fromWorkSpaceFile(theFile);
    if (theWithContent)
        sys::deleteFile(theFile);
    objects::deleteMetaFile(anObject);
    sys::deleteFile(anObject.diffFileName());
    sys::deleteFile(anObject.baseFileName());
    WorkSpaceStatusFile& aStatusFile = workspace::get()->status();
    aStatusFile.removeFile(theFile);
    aStatusFile.removeConflict(theFile);
    console::progress("Discarded file: \"" + theFile + "\" from local workspace.");
}

void actionDiscard::removeDirectories(const ActionScope& theScope, bool theWithContent) const {
    const auto& aWorkSpace = *workspace::get();
    PathSet aRelative;
    for (const std::string& aPackage : theScope.itsPackages)
        aRelative.push_back(workspace::packageToDirectory(aPackage));
    for (const std::string& aDirectory : itsDiskDirectories)
        aRelative.push_back(aWorkSpace.relativeFileName(aDirectory));
    pathset::normalize(aRelative);
    // Longer paths first, so that a sub package's directory is gone before its parent's.
    std::sort(aRelative.begin(), aRelative.end(),
              [](const std::string& theLeft, const std::string& theRight) {
                  return theLeft.size() > theRight.size();
              });
    for (const std::string& aDirectory : aRelative) {
        if (aDirectory.empty())
            continue;
        for (const std::string* aRoot :
             {&aWorkSpace.metaDataDirName(), &aWorkSpace.diffDirName(), &aWorkSpace.baseDirName()})
            removeDirectory(sys::joinFileName(*aRoot, aDirectory));
        if (theWithContent)
            removeDirectory(sys::joinFileName(aWorkSpace.srcDirName(), aDirectory));
    }
}

} // namespace RepositoryAccess
