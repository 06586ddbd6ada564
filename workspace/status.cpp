#include "workspace/status.hpp"

#include <algorithm>

#include "front/error.hpp"
#include "front/parameters.hpp"
#include "front/perftrace.hpp"
#include "workspace/ignore.hpp"
#include "workspace/sys.hpp"
#include "workspace/treescan.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

const WorkSpaceStatusFile& statusFile() {
    auto aWorkSpace = workspace::get();
    if (!aWorkSpace || !aWorkSpace->hasStatus())
        throw Error("Failed to open workspace status file.");
    return aWorkSpace->status();
}

// The status-file paths inside a directory: below it with theRecursive, else directly in it.
// Equivalent to the file layer's file-in-directory test, answered by one range of the sorted map.
void addStatusFilesIn(const std::map<std::string, FileStatus>& theFiles, const std::string& theDir,
                      bool theRecursive, PathSet& theResult) {
    const std::string aPrefix = theDir + "/";
    for (auto anIt = theFiles.lower_bound(aPrefix);
         anIt != theFiles.end() && anIt->first.starts_with(aPrefix); ++anIt) {
        if (theRecursive || anIt->first.find('/', aPrefix.size()) == std::string::npos)
            theResult.push_back(anIt->first);
    }
}

// The ignored members of a sorted path set. Rules are looked up once per directory, and the
// files of a directory without rules (the common case) are passed without a further test.
PathSet ignoredOf(const PathSet& thePaths, const std::string& theWorkSpaceDirName) {
    PathSet anIgnored;
    Ignore& anIgnore = ignore::forWorkSpace(theWorkSpaceDirName);
    std::string_view aLastDir;
    bool aDirHasRules = false;
    for (const auto& aPath : thePaths) {
        const std::string_view aDir(aPath.data(), std::min(aPath.size(), aPath.rfind('/')));
        if (aDir != aLastDir) {
            const Ignore::Rules& aRules = anIgnore.collect(std::string(aDir));
            aDirHasRules = !aRules.itsExcludes.empty() || !aRules.itsIncludes.empty();
            aLastDir = aDir;
        }
        if (aDirHasRules && ignore::is_path_ignored(theWorkSpaceDirName, aPath))
            anIgnored.push_back(aPath);
    }
    return anIgnored;
}

} // namespace

Status::Status(const std::vector<std::string>& thePackages, bool theRecursive,
               bool theConflictsOnly, bool theWithObjects)
    : itsConflictsOnly(theConflictsOnly), itsWithObjects(theWithObjects) {
    KIVO_PERF_SCOPE("Status::Status() (package vector)");
    statusFile();
    initPackagesShared(thePackages, theRecursive);
    initShared();
    if (itsWithObjects)
        buildObjects();
}

Status::Status(const std::vector<RepositoryObject>& theObjects, bool theConflictsOnly,
               bool theWithObjects)
    : itsConflictsOnly(theConflictsOnly), itsWithObjects(theWithObjects) {
    KIVO_PERF_SCOPE("Status::Status() (object vector)");
    const WorkSpaceStatusFile& aStatusFile = statusFile();
    itsWorkSpaceDirName = workspace::get()->srcDirName();
    for (const auto& anObject : theObjects) {
        const std::string& aFile = anObject.workSpaceFileName();
        if (aStatusFile.hasFile(aFile))
            itsStatusFilesInScope.push_back(aFile);
        if (!itsConflictsOnly && sys::fileExists(aFile))
            itsDiskFilesInScope.push_back(aFile);
    }
    pathset::normalize(itsStatusFilesInScope);
    pathset::normalize(itsDiskFilesInScope);
    itsAllFiles = pathset::unite(itsStatusFilesInScope, itsDiskFilesInScope);
    initShared();
    if (itsWithObjects)
        for (const auto& anObject : theObjects)
            if (pathset::contains(itsConflictsOnly ? itsStatusFilesInScope : itsAllFiles,
                                  anObject.workSpaceFileName()))
                itsObjects.push_back(anObject);
}

void Status::initPackagesShared(const std::vector<std::string>& thePackages, bool theRecursive) {
    KIVO_PERF_SCOPE("Status::initPackagesShared()");
    auto aWorkSpace = workspace::get();
    itsWorkSpaceDirName = aWorkSpace->srcDirName();
    const auto& aFiles = aWorkSpace->status().files();
    std::vector<std::string> aRoots;
    for (const auto& aPackage : thePackages) {
        const std::string aRelative = workspace::packageToDirectory(aPackage);
        const std::string aDir = aRelative.empty()
                                     ? itsWorkSpaceDirName
                                     : sys::joinFileName(itsWorkSpaceDirName, aRelative);
        addStatusFilesIn(aFiles, aDir, theRecursive, itsStatusFilesInScope);
        if (!itsConflictsOnly && sys::dirExists(aDir))
            aRoots.push_back(aDir);
    }
    pathset::normalize(itsStatusFilesInScope);
    if (!aRoots.empty())
        listDirectories(aRoots, theRecursive, aWorkSpace->settingsDirName());
    itsAllFiles = pathset::unite(itsStatusFilesInScope, itsDiskFilesInScope);
}

// Lists the package directories of the scope (the settings folder is no package) and keeps the
// files in path order together with their last-write times.
void Status::listDirectories(const std::vector<std::string>& theRoots, bool theRecursive,
                             const std::string& theSettingsDirName) {
    KIVO_PERF_SCOPE("collect_ws_files::operator()");
    itsHaveDiskTimes = (isSet(params::fast) || isSet(params::veryFast)) && !isSet(params::simulate);
    treescan::TreeScan aScan =
        treescan::scan(theRoots, theRecursive, itsHaveDiskTimes, theSettingsDirName);
    std::sort(aScan.itsFiles.begin(), aScan.itsFiles.end(),
              [](const auto& theLeft, const auto& theRight) {
                  return theLeft.itsPath < theRight.itsPath;
              });
    itsDiskFilesInScope.reserve(aScan.itsFiles.size());
    itsDiskTimes.reserve(aScan.itsFiles.size());
    for (auto& aFile : aScan.itsFiles) {
        // A package named together with its own sub package lists those files twice.
        if (!itsDiskFilesInScope.empty() && itsDiskFilesInScope.back() == aFile.itsPath)
            continue;
        itsDiskFilesInScope.push_back(std::move(aFile.itsPath));
        itsDiskTimes.push_back(aFile.itsModified);
    }
    itsDiskDirectories = std::move(aScan.itsDirectories);
    pathset::normalize(itsDiskDirectories);
}

void Status::initShared() {
    KIVO_PERF_SCOPE("Status::initShared()");
    const WorkSpaceStatusFile& aStatusFile = statusFile();
    itsStatusFilesNotIgnored = pathset::subtract(
        itsStatusFilesInScope, ignoredOf(itsStatusFilesInScope, itsWorkSpaceDirName));
    {
        KIVO_PERF_SCOPE("is_file_conflicted::operator()");
        for (const auto& aFile : itsStatusFilesNotIgnored)
            if (aStatusFile.isConflicted(aFile))
                itsConflicted.push_back(aFile);
    }
    if (itsConflictsOnly)
        return;
    const PathSet aKnown = pathset::subtract(itsStatusFilesNotIgnored, itsConflicted);
    itsModified = modifiedOf(aKnown);
    const PathSet anUnknownOnDisk =
        pathset::subtract(itsDiskFilesInScope, itsStatusFilesNotIgnored);
    itsDiskFilesKept =
        pathset::subtract(itsDiskFilesInScope, ignoredOf(anUnknownOnDisk, itsWorkSpaceDirName));
    const PathSet aPresent = pathset::subtract(itsDiskFilesKept, itsConflicted);
    itsDeleted = pathset::subtract(aKnown, aPresent);
    itsNew = pathset::subtract(aPresent, aKnown);
    itsNewDirectories =
        pathset::subtract(pathset::directoriesOf(aPresent), pathset::directoriesOf(aKnown));
}

// The known files that count as modified in the chosen comparison mode. The known files, the
// disk files and the status entries are all in path order, so one walk pairs them up; files whose
// content must be compared are then hashed together, on every core.
PathSet Status::modifiedOf(const PathSet& theKnownFiles) const {
    KIVO_PERF_SCOPE("is_file_modified::operator()");
    const WorkSpaceStatusFile& aStatusFile = statusFile();
    const bool aNoCompare = isSet(params::noCompare);
    const bool aVeryFast = isSet(params::veryFast);
    const bool aFast = isSet(params::fast);
    auto anEntry = aStatusFile.files().begin();
    std::size_t aDisk = 0;
    PathSet aModified;
    PathSet aToHash;
    for (const auto& aFile : theKnownFiles) {
        while (aDisk < itsDiskFilesInScope.size() && itsDiskFilesInScope[aDisk] < aFile)
            ++aDisk;
        if (aDisk == itsDiskFilesInScope.size() || itsDiskFilesInScope[aDisk] != aFile)
            continue; // not on disk: deleted, not modified
        if (aNoCompare) {
            aModified.push_back(aFile);
            continue;
        }
        if (aFast || aVeryFast) {
            while (anEntry->first < aFile)
                ++anEntry;
            // No timestamp (simulation mode gives none) never matches, not even an empty one.
            const std::string aCurrent =
                itsHaveDiskTimes ? sys::formatTimestamp(itsDiskTimes[aDisk]) : sys::getts(aFile);
            if (!aCurrent.empty() && aCurrent == anEntry->second.timest)
                continue;
        }
        if (aVeryFast)
            aModified.push_back(aFile);
        else
            aToHash.push_back(aFile);
    }
    const std::vector<std::string> aHashes = hash::calcFiles(aToHash);
    for (std::size_t i = 0; i < aToHash.size(); ++i)
        if (aHashes[i] != aStatusFile.getHash(aToHash[i]))
            aModified.push_back(aToHash[i]);
    pathset::normalize(aModified);
    return aModified;
}

void Status::buildObjects() {
    for (const auto& aFile : itsConflictsOnly ? itsStatusFilesInScope : itsAllFiles)
        itsObjects.push_back(objects::fromWorkSpaceFile(aFile));
}

} // namespace RepositoryAccess
