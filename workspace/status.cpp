#include "workspace/status.hpp"

#include <algorithm>
#include <exception>
#include <mutex>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "workspace/ignore.hpp"
#include "workspace/parallel.hpp"
#include "workspace/sys.hpp"
#include "workspace/treescan.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

std::shared_ptr<const WorkSpaceStatusFile> statusFile() {
    auto aWorkSpace = workspace::get();
    if (!aWorkSpace || !aWorkSpace->hasStatus())
        throw Error("Failed to open workspace status file.");
    return aWorkSpace->sharedStatus();
}

using PathViews = std::vector<std::string_view>;

// The paths as a set of their own.
PathSet copied(const PathViews& thePaths) {
    return PathSet(thePaths.begin(), thePaths.end());
}

// The paths of theLeft that theRight does not hold, as a set of their own.
PathSet without(const PathViews& theLeft, const PathSet& theRight) {
    PathViews aKept;
    std::set_difference(theLeft.begin(), theLeft.end(), theRight.begin(), theRight.end(),
                        std::back_inserter(aKept));
    return copied(aKept);
}

// The status-file paths inside a directory: below it with theRecursive, else directly in it, with
// their entries. Equivalent to the file layer's file-in-directory test, answered by one range of
// the sorted map.
void addStatusFilesIn(const WorkSpaceStatusFile::Entries& theFiles, const std::string& theDir,
                      bool theRecursive, PathViews& theResult,
                      std::vector<const FileStatus*>& theEntries) {
    const std::string aPrefix = theDir + "/";
    for (auto anIt = theFiles.lower_bound(aPrefix);
         anIt != theFiles.end() && anIt->first.starts_with(aPrefix); ++anIt) {
        if (theRecursive || anIt->first.find('/', aPrefix.size()) == std::string::npos) {
            theResult.push_back(anIt->first);
            theEntries.push_back(&anIt->second);
        }
    }
}

// The ignore rules remember what they read and answered; stretches of a status classified on
// several threads ask them one at a time.
std::mutex theIgnoreLock;

// Asks the ignore rules about paths that come in path order: the rules are looked up once per
// directory, and the files of a directory without rules (the common case) pass untested.
class IgnoreCheck {
public:
    explicit IgnoreCheck(const std::string& theWorkSpaceDirName)
        : itsIgnore(ignoreOf(theWorkSpaceDirName)) {}

    bool isIgnored(std::string_view thePath) {
        const std::string_view aDir = thePath.substr(0, thePath.rfind('/'));
        if (aDir != itsLastDir) {
            std::lock_guard aLock(theIgnoreLock);
            const Ignore::Rules& aRules = itsIgnore.collect(std::string(aDir));
            itsDirHasRules = !aRules.itsExcludes.empty() || !aRules.itsIncludes.empty();
            itsLastDir = aDir;
        }
        if (!itsDirHasRules)
            return false;
        std::lock_guard aLock(theIgnoreLock);
        return itsIgnore.isIgnored(std::string(thePath));
    }

private:
    static Ignore& ignoreOf(const std::string& theWorkSpaceDirName) {
        std::lock_guard aLock(theIgnoreLock);
        return ignore::forWorkSpace(theWorkSpaceDirName);
    }

    Ignore& itsIgnore;
    std::string itsLastDir;
    bool itsDirHasRules = false;
};

PathSet ignoredOf(const PathViews& thePaths, const std::string& theWorkSpaceDirName) {
    PathSet anIgnored;
    IgnoreCheck aCheck(theWorkSpaceDirName);
    for (const auto aPath : thePaths)
        if (aCheck.isIgnored(aPath))
            anIgnored.emplace_back(aPath);
    return anIgnored;
}

} // namespace

Status::Status(const std::vector<std::string>& thePackages, bool theRecursive,
               bool theConflictsOnly, bool theWithObjects)
    : itsConflictsOnly(theConflictsOnly), itsWithObjects(theWithObjects) {
    KIVO_PERF_SCOPE("Status::Status() (package vector)");
    if (!workspace::isOpen())
        throw Error("Failed to open workspace status file.");
    initPackagesShared(thePackages, theRecursive);
    initShared();
    if (itsWithObjects)
        buildObjects();
}

Status::Status(const std::vector<RepositoryObject>& theObjects, bool theConflictsOnly,
               bool theWithObjects)
    : itsConflictsOnly(theConflictsOnly), itsWithObjects(theWithObjects) {
    KIVO_PERF_SCOPE("Status::Status() (object vector)");
    itsStatusFile = statusFile();
    itsWorkSpaceDirName = workspace::get()->srcDirName();
    Arena& aTexts = itsPathTexts.emplace_back();
    for (const auto& anObject : theObjects) {
        const std::string& aFile = anObject.workSpaceFileName();
        if (const auto anEntry = itsStatusFile->files().find(aFile);
            anEntry != itsStatusFile->files().end()) {
            itsKnownFiles.push_back(anEntry->first);
            itsKnownStatus.push_back(&anEntry->second);
        }
        // A symbolic link (or a file behind a linked directory) is no object of the workspace.
        if (!itsConflictsOnly && sys::fileExists(aFile) &&
            sys::linkOnTheWay(itsWorkSpaceDirName, aFile).empty())
            itsDiskFiles.push_back(aTexts.keep(aFile));
    }
    normalizeKnown();
    pathset::normalize(itsDiskFiles);
    initShared();
    if (itsWithObjects)
        for (const auto& anObject : theObjects)
            if (pathset::contains(itsConflictsOnly ? statusFilesInScope() : allFiles(),
                                  anObject.workSpaceFileName()))
                itsObjects.push_back(anObject);
}

void Status::initPackagesShared(const std::vector<std::string>& thePackages, bool theRecursive) {
    KIVO_PERF_SCOPE("Status::initPackagesShared()");
    auto aWorkSpace = workspace::get();
    itsWorkSpaceDirName = aWorkSpace->srcDirName();
    std::vector<std::string> aDirs;
    std::vector<std::string> aRoots;
    for (const auto& aPackage : thePackages) {
        const std::string aRelative = workspace::packageToDirectory(aPackage);
        aDirs.push_back(aRelative.empty() ? itsWorkSpaceDirName
                                          : sys::joinFileName(itsWorkSpaceDirName, aRelative));
        if (!itsConflictsOnly && sys::dirExists(aDirs.back()) &&
            sys::linkOnTheWay(itsWorkSpaceDirName, aDirs.back()).empty())
            aRoots.push_back(aDirs.back());
    }
    // The disk first: the status file may still be being read meanwhile.
    if (!aRoots.empty())
        listDirectories(aRoots, theRecursive, aWorkSpace->settingsDirName());
    itsStatusFile = statusFile();
    for (const auto& aDir : aDirs)
        addStatusFilesIn(itsStatusFile->files(), aDir, theRecursive, itsKnownFiles, itsKnownStatus);
    // One directory's range of the map is in path order already.
    if (aDirs.size() > 1)
        normalizeKnown();
}

// Sorts the known files together with their entries and drops repeats (a package named twice,
// or together with its own sub package).
void Status::normalizeKnown() {
    if (std::is_sorted(itsKnownFiles.begin(), itsKnownFiles.end()) &&
        std::adjacent_find(itsKnownFiles.begin(), itsKnownFiles.end()) == itsKnownFiles.end())
        return;
    std::vector<std::size_t> anOrder(itsKnownFiles.size());
    for (std::size_t i = 0; i < anOrder.size(); ++i)
        anOrder[i] = i;
    std::sort(anOrder.begin(), anOrder.end(), [this](std::size_t theLeft, std::size_t theRight) {
        return itsKnownFiles[theLeft] < itsKnownFiles[theRight];
    });
    PathViews aFiles;
    std::vector<const FileStatus*> anEntries;
    for (std::size_t anIndex : anOrder) {
        if (!aFiles.empty() && aFiles.back() == itsKnownFiles[anIndex])
            continue;
        aFiles.push_back(itsKnownFiles[anIndex]);
        anEntries.push_back(itsKnownStatus[anIndex]);
    }
    itsKnownFiles = std::move(aFiles);
    itsKnownStatus = std::move(anEntries);
}

// Lists the package directories of the scope (the settings folder is no package) and keeps the
// files in path order together with their last-write times.
void Status::listDirectories(const std::vector<std::string>& theRoots, bool theRecursive,
                             const std::string& theSettingsDirName) {
    KIVO_PERF_SCOPE("collect_ws_files::operator()");
    itsHaveDiskStats = !isSet(params::noCompare);
    treescan::TreeScan aScan =
        treescan::scan(theRoots, theRecursive, itsHaveDiskStats, theSettingsDirName);
    itsDiskFiles.reserve(aScan.itsFiles.size());
    if (itsHaveDiskStats)
        itsDiskStats.reserve(aScan.itsFiles.size());
    // A package named together with its own sub package lists those files twice.
    const bool aMayRepeat = theRoots.size() > 1;
    for (const auto& aFile : aScan.itsFiles) {
        if (aMayRepeat && !itsDiskFiles.empty() && itsDiskFiles.back() == aFile.itsPath)
            continue;
        itsDiskFiles.push_back(aFile.itsPath);
        if (itsHaveDiskStats)
            itsDiskStats.push_back(aFile.itsStat);
    }
    // The listing shows which directories hold ignore rules; the others need no probe later.
    std::vector<std::string> aListed = theRoots;
    if (theRecursive)
        aListed.insert(aListed.end(), aScan.itsDirectories.begin(), aScan.itsDirectories.end());
    ignore::forWorkSpace(itsWorkSpaceDirName).learnListing(aListed, itsDiskFiles);
    itsPathTexts = std::move(aScan.itsTexts);
    itsDiskDirectories = std::move(aScan.itsDirectories);
    pathset::normalize(itsDiskDirectories);
}

void Status::initShared() {
    KIVO_PERF_SCOPE("Status::initShared()");
    {
        KIVO_PERF_SCOPE("is_file_conflicted::operator()");
        IgnoreCheck aCheck(itsWorkSpaceDirName);
        for (const auto& aFile : itsStatusFile->conflictedFiles())
            if (pathset::contains(itsKnownFiles, aFile) && !aCheck.isIgnored(aFile))
                itsConflicted.push_back(aFile);
    }
    if (itsConflictsOnly) {
        itsIgnoredKnown = ignoredOf(itsKnownFiles, itsWorkSpaceDirName);
        return;
    }
    classify();
}

// What one walk over a stretch of the known and the disk files found, each set in path order.
struct Status::Classified {
    PathSet itsIgnoredKnown;
    PathSet itsIgnoredUnknown;
    PathSet itsNew;
    PathSet itsDeleted;
    PathSet itsModified;
    std::vector<Present> itsToHash;
    PathSet itsKnownDirectories;
    PathSet itsPresentDirectories;
    std::exception_ptr itsFailure;
};

namespace {

template <class Path> void append(std::vector<Path>& theTo, std::vector<Path>& theFrom) {
    theTo.insert(theTo.end(), std::make_move_iterator(theFrom.begin()),
                 std::make_move_iterator(theFrom.end()));
}

// Below this many paths a stretch is not worth a thread of its own.
constexpr std::size_t kPathsPerStretch = 4096;

} // namespace

// The known files (S) and the disk files (D) are classified in stretches of the path order, one
// per core for a large tree, and the stretches' sets are joined in order. Each stretch is one
// walk over its S and D files: a known file missing on disk is deleted, one present is judged, a
// disk file that the status file does not know (or knows but ignores) is new unless an ignore
// rule takes it. Conflicted files take no part. The content of files that must be compared is
// hashed afterwards, all together.
void Status::classify() {
    itsComparison = isSet(params::noCompare)  ? Comparison::none
                    : isSet(params::veryFast) ? Comparison::timestamp
                    : isSet(params::fast)     ? Comparison::timestampThenContent
                                              : Comparison::proof;
    itsSimulated = isSet(params::simulate);
    const std::vector<Stretch> aStretches = stretches();
    std::vector<Classified> aParts(aStretches.size());
    parallel::forEachIndex(aParts.size(), 2, [&](std::size_t i) {
        try {
            classifyStretch(aStretches[i], aParts[i]);
        } catch (...) {
            aParts[i].itsFailure = std::current_exception();
        }
    });
    // The failure of the earliest stretch is the one a single walk would have met first.
    for (const Classified& aPart : aParts)
        if (aPart.itsFailure)
            std::rethrow_exception(aPart.itsFailure);
    PathSet aModified;
    std::vector<Present> aToHash;
    PathSet aKnownDirectories;
    PathSet aPresentDirectories;
    for (Classified& aPart : aParts) {
        append(itsIgnoredKnown, aPart.itsIgnoredKnown);
        append(itsIgnoredUnknown, aPart.itsIgnoredUnknown);
        append(itsNew, aPart.itsNew);
        append(itsDeleted, aPart.itsDeleted);
        append(aModified, aPart.itsModified);
        append(aToHash, aPart.itsToHash);
        append(aKnownDirectories, aPart.itsKnownDirectories);
        append(aPresentDirectories, aPart.itsPresentDirectories);
    }
    itsModified = modifiedOf(std::move(aModified), aToHash);
    pathset::normalize(aKnownDirectories);
    pathset::normalize(aPresentDirectories);
    itsNewDirectories = pathset::subtract(aPresentDirectories, aKnownDirectories);
}

// Cuts the path order where the larger of the two lists has its stretch boundaries. With the
// ignore rules' debugging output on, one stretch keeps the output in path order.
std::vector<Status::Stretch> Status::stretches() const {
    const PathViews& aLonger =
        itsKnownFiles.size() >= itsDiskFiles.size() ? itsKnownFiles : itsDiskFiles;
    const std::size_t aCount =
        isSet(params::debugKivoignore)
            ? 1
            : std::clamp<std::size_t>(aLonger.size() / kPathsPerStretch, 1, parallel::cores());
    std::vector<Place> aPlaces{{0, 0, 0}};
    for (std::size_t i = 1; i < aCount; ++i) {
        const std::string_view aStart = aLonger[aLonger.size() * i / aCount];
        const auto aFirstAtOrAfter = [&](const auto& theList) {
            return static_cast<std::size_t>(
                std::lower_bound(theList.begin(), theList.end(), aStart) - theList.begin());
        };
        aPlaces.push_back({aFirstAtOrAfter(itsKnownFiles), aFirstAtOrAfter(itsDiskFiles),
                           aFirstAtOrAfter(itsConflicted)});
    }
    aPlaces.push_back({itsKnownFiles.size(), itsDiskFiles.size(), itsConflicted.size()});
    std::vector<Stretch> aStretches;
    for (std::size_t i = 0; i + 1 < aPlaces.size(); ++i)
        aStretches.push_back({aPlaces[i], aPlaces[i + 1]});
    return aStretches;
}

void Status::classifyStretch(const Stretch& theStretch, Classified& theResult) const {
    const PathViews& aKnown = itsKnownFiles;
    const PathViews& aDisk = itsDiskFiles;
    IgnoreCheck aKnownIgnoreCheck(itsWorkSpaceDirName);
    IgnoreCheck aDiskIgnoreCheck(itsWorkSpaceDirName);
    sys::TimestampTexts aDiskTimes;
    auto addDirectoryOf = [](PathSet& theSet, std::string_view thePath) {
        const std::string_view aDir = thePath.substr(0, thePath.rfind('/'));
        if (theSet.empty() || theSet.back() != aDir)
            theSet.emplace_back(aDir);
    };
    std::size_t k = theStretch.itsBegin.itsKnown, d = theStretch.itsBegin.itsDisk,
                c = theStretch.itsBegin.itsConflicted;
    const std::size_t kEnd = theStretch.itsEnd.itsKnown, dEnd = theStretch.itsEnd.itsDisk;
    // An ignored known file counts as unknown: it is on disk only, or nowhere.
    auto skipIgnoredKnown = [&] {
        while (k < kEnd && aKnownIgnoreCheck.isIgnored(aKnown[k]))
            theResult.itsIgnoredKnown.emplace_back(aKnown[k++]);
    };
    skipIgnoredKnown();
    while (k < kEnd || d < dEnd) {
        const int anOrder = k == kEnd ? 1 : d == dEnd ? -1 : aKnown[k].compare(aDisk[d]);
        const std::string_view aFile = anOrder <= 0 ? aKnown[k] : aDisk[d];
        const bool aConflicted = c < itsConflicted.size() && itsConflicted[c] == aFile;
        if (aConflicted)
            ++c;
        if (anOrder > 0) { // on disk only: new, unless an ignore rule takes it
            if (aDiskIgnoreCheck.isIgnored(aFile)) {
                theResult.itsIgnoredUnknown.emplace_back(aFile);
            } else {
                theResult.itsNew.emplace_back(aFile);
                addDirectoryOf(theResult.itsPresentDirectories, aFile);
            }
            ++d;
            continue;
        }
        if (!aConflicted) {
            addDirectoryOf(theResult.itsKnownDirectories, aFile);
            if (anOrder < 0) { // known, not on disk
                theResult.itsDeleted.emplace_back(aFile);
            } else {
                judgePresent({d, k}, aDiskTimes, theResult);
                addDirectoryOf(theResult.itsPresentDirectories, aFile);
            }
        }
        if (anOrder == 0)
            ++d;
        ++k;
        skipIgnoredKnown();
    }
}

// Decides for a known file present on disk, in the chosen comparison mode, whether it is
// modified, unchanged, or to be told by its content hash.
void Status::judgePresent(const Present& thePresent, sys::TimestampTexts& theDiskTimes,
                          Classified& theResult) const {
    const std::string_view aFile = itsDiskFiles[thePresent.itsDisk];
    if (itsComparison == Comparison::none) {
        theResult.itsModified.emplace_back(aFile);
        return;
    }
    const FileStatus& anEntry = *itsKnownStatus[thePresent.itsKnown];
    if (itsComparison == Comparison::proof) {
        if (!provenUnchanged(anEntry, thePresent))
            theResult.itsToHash.push_back(thePresent);
        return;
    }
    // No timestamp (simulation mode gives none) never matches, not even an empty one.
    if (itsHaveDiskStats && !itsSimulated) {
        const filestat::FileStat& aStat = itsDiskStats[thePresent.itsDisk];
        if (theDiskTimes.of({aStat.itsModifiedSeconds, aStat.itsModifiedNanoseconds}) ==
            anEntry.timest)
            return;
    } else {
        const std::string aCurrent = sys::getts(aFile);
        if (!aCurrent.empty() && aCurrent == anEntry.timest)
            return;
    }
    if (itsComparison == Comparison::timestamp)
        theResult.itsModified.emplace_back(aFile);
    else
        theResult.itsToHash.push_back(thePresent);
}

// The modified files: those judged so already and those of theToHash whose content differs from
// their entry's. Their hashes are computed together, on every core; an unchanged one gives its
// entry a proof.
PathSet Status::modifiedOf(PathSet theModified, const std::vector<Present>& theToHash) const {
    KIVO_PERF_SCOPE("is_file_modified::operator()");
    std::vector<std::string> aPaths;
    aPaths.reserve(theToHash.size());
    for (const Present& aPresent : theToHash)
        aPaths.emplace_back(itsDiskFiles[aPresent.itsDisk]);
    const std::vector<hash::HashedFile> aHashes = hash::calcFiles(aPaths);
    WorkSpaceStatusFile& aStatusFile = workspace::get()->status();
    for (std::size_t i = 0; i < aPaths.size(); ++i) {
        if (aHashes[i].itsHash != itsKnownStatus[theToHash[i].itsKnown]->sha1value)
            theModified.push_back(std::move(aPaths[i]));
        else
            aStatusFile.noteProof(aPaths[i], aHashes[i].itsHash, aHashes[i].itsFileStat);
    }
    pathset::normalize(theModified);
    return theModified;
}

// Whether the entry's proof shows the file unchanged: its stat data, as listed (or looked up when
// the scope was not listed), equal the recorded ones in every field. An entry without a proof, or
// with a damaged one, proves nothing, and a dummy change (whose proof another program may have
// left) is never unchanged.
bool Status::provenUnchanged(const FileStatus& theEntry, const Present& thePresent) const {
    if (theEntry.filestat.empty() || theEntry.sha1value == workspacefile::dummyChangeHash())
        return false;
    const auto aRecorded = filestat::fromText(theEntry.filestat);
    if (!aRecorded)
        return false;
    if (itsHaveDiskStats)
        return *aRecorded == itsDiskStats[thePresent.itsDisk];
    return aRecorded == filestat::ofPath(std::string(itsDiskFiles[thePresent.itsDisk]));
}

const PathSet& Status::statusFilesInScope() const {
    if (!itsStatusFilesInScope)
        itsStatusFilesInScope = copied(itsKnownFiles);
    return *itsStatusFilesInScope;
}

const PathSet& Status::diskFilesInScope() const {
    if (!itsDiskFilesInScope)
        itsDiskFilesInScope = copied(itsDiskFiles);
    return *itsDiskFilesInScope;
}

const PathSet& Status::statusFilesNotIgnored() const {
    if (!itsStatusFilesNotIgnored)
        itsStatusFilesNotIgnored = without(itsKnownFiles, itsIgnoredKnown);
    return *itsStatusFilesNotIgnored;
}

const PathSet& Status::diskFilesKept() const {
    if (!itsDiskFilesKept)
        itsDiskFilesKept = without(itsDiskFiles, itsIgnoredUnknown);
    return *itsDiskFilesKept;
}

const PathSet& Status::allFiles() const {
    if (!itsAllFiles) {
        PathViews aUnion;
        aUnion.reserve(itsKnownFiles.size() + itsDiskFiles.size());
        std::set_union(itsKnownFiles.begin(), itsKnownFiles.end(), itsDiskFiles.begin(),
                       itsDiskFiles.end(), std::back_inserter(aUnion));
        itsAllFiles = copied(aUnion);
    }
    return *itsAllFiles;
}

void Status::buildObjects() {
    for (const auto& aFile : itsConflictsOnly ? statusFilesInScope() : allFiles())
        itsObjects.push_back(objects::fromWorkSpaceFile(aFile));
}

} // namespace RepositoryAccess
