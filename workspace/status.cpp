#include "workspace/status.hpp"

#include <algorithm>

#include "front/error.hpp"
#include "front/parameters.hpp"
#include "front/perftrace.hpp"
#include "workspace/ignore.hpp"
#include "workspace/sys.hpp"
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

PathSet ignoredOf(const PathSet& thePaths, const std::string& theWorkSpaceDirName) {
    PathSet anIgnored;
    for (const auto& aPath : thePaths)
        if (ignore::is_path_ignored(theWorkSpaceDirName, aPath))
            anIgnored.push_back(aPath);
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
    itsSettingsDirName = aWorkSpace->settingsDirName();
    const auto& aFiles = aWorkSpace->status().files();
    std::vector<std::pair<std::string, timespec>> aListed;
    for (const auto& aPackage : thePackages) {
        const std::string aRelative = workspace::packageToDirectory(aPackage);
        const std::string aDir = aRelative.empty()
                                     ? itsWorkSpaceDirName
                                     : sys::joinFileName(itsWorkSpaceDirName, aRelative);
        addStatusFilesIn(aFiles, aDir, theRecursive, itsStatusFilesInScope);
        if (!itsConflictsOnly && sys::dirExists(aDir))
            listDirectory(aDir, theRecursive);
    }
    pathset::normalize(itsStatusFilesInScope);
    pathset::normalize(itsDiskDirectories);
    // Sort the listed files together with their times, dropping files listed twice (a package
    // and its sub package both named).
    std::vector<std::size_t> anOrder(itsDiskFilesInScope.size());
    for (std::size_t i = 0; i < anOrder.size(); ++i)
        anOrder[i] = i;
    std::sort(anOrder.begin(), anOrder.end(), [&](std::size_t theLeft, std::size_t theRight) {
        return itsDiskFilesInScope[theLeft] < itsDiskFilesInScope[theRight];
    });
    PathSet aFilesSorted;
    std::vector<std::string> aTimesSorted;
    for (std::size_t anIndex : anOrder) {
        if (!aFilesSorted.empty() && aFilesSorted.back() == itsDiskFilesInScope[anIndex])
            continue;
        aFilesSorted.push_back(std::move(itsDiskFilesInScope[anIndex]));
        aTimesSorted.push_back(std::move(itsDiskTimestamps[anIndex]));
    }
    itsDiskFilesInScope = std::move(aFilesSorted);
    itsDiskTimestamps = std::move(aTimesSorted);
    itsAllFiles = pathset::unite(itsStatusFilesInScope, itsDiskFilesInScope);
}

// Lists one directory of the scope, depth first with theRecursive; the settings folder is not
// part of any package.
void Status::listDirectory(const std::string& theDirName, bool theRecursive) {
    KIVO_PERF_SCOPE("collect_ws_files::operator()");
    const bool aWithTimes = isSet(params::fast) || isSet(params::veryFast);
    const bool aSimulated = isSet(params::simulate);
    std::vector<std::string> aSubDirectories;
    for (const auto& anEntry : sys::scanDir(theDirName)) {
        std::string aPath = sys::joinFileName(theDirName, anEntry.itsName);
        if (anEntry.itsIsDirectory) {
            if (aPath == itsSettingsDirName)
                continue;
            itsDiskDirectories.push_back(aPath);
            if (theRecursive)
                aSubDirectories.push_back(std::move(aPath));
            continue;
        }
        itsDiskTimestamps.push_back(
            aWithTimes && !aSimulated ? sys::formatTimestamp(anEntry.itsModified) : std::string());
        itsDiskFilesInScope.push_back(std::move(aPath));
    }
    for (const auto& aSubDirectory : aSubDirectories)
        listDirectory(aSubDirectory, true);
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

std::string Status::currentTimestamp(const std::string& theFile) const {
    if (itsDiskTimestamps.size() == itsDiskFilesInScope.size() && !itsDiskTimestamps.empty()) {
        auto anIt =
            std::lower_bound(itsDiskFilesInScope.begin(), itsDiskFilesInScope.end(), theFile);
        return itsDiskTimestamps[static_cast<std::size_t>(anIt - itsDiskFilesInScope.begin())];
    }
    return sys::getts(theFile);
}

// The known files that count as modified in the chosen comparison mode. Files whose content must
// be compared are hashed together, on every core.
PathSet Status::modifiedOf(const PathSet& theKnownFiles) const {
    KIVO_PERF_SCOPE("is_file_modified::operator()");
    const WorkSpaceStatusFile& aStatusFile = statusFile();
    const bool aNoCompare = isSet(params::noCompare);
    const bool aVeryFast = isSet(params::veryFast);
    const bool aFast = isSet(params::fast);
    PathSet aModified;
    PathSet aToHash;
    for (const auto& aFile : pathset::intersect(theKnownFiles, itsDiskFilesInScope)) {
        if (aNoCompare) {
            aModified.push_back(aFile);
            continue;
        }
        if (aFast || aVeryFast) {
            // No timestamp (simulation mode gives none) never matches, not even an empty one.
            const std::string aCurrent = currentTimestamp(aFile);
            if (!aCurrent.empty() && aCurrent == aStatusFile.getTimestamp(aFile))
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
