#include "actions/checkoutengine.hpp"
#include "actions/checkoutdecision.hpp"
#include "actions/pushresolution.hpp"

#include <exception>
#include <future>
#include <optional>
#include <set>
#include <span>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/interrupt.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/progressline.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/reposession.hpp"
#include "workspace/hash.hpp"
#include "workspace/linkfinder.hpp"
#include "workspace/parallel.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

void LocalFiles::add(const Status& theStatus) {
    itsStatusFiles = pathset::unite(itsStatusFiles, theStatus.statusFilesInScope());
    itsDiskFiles = pathset::unite(itsDiskFiles, theStatus.diskFilesKept());
    itsNew = pathset::unite(itsNew, theStatus.newFiles());
    itsDeleted = pathset::unite(itsDeleted, theStatus.deleted());
    itsModified = pathset::unite(itsModified, theStatus.modified());
    itsConflicted = pathset::unite(itsConflicted, theStatus.conflicted());
}

PathSet LocalFiles::allFiles() const {
    return pathset::unite(itsStatusFiles, itsDiskFiles);
}

namespace checkoutengine {

namespace {

using checkoutversions::isDeletion;
using checkoutversions::versionNumber;

constexpr std::string_view kDeleted = "__deleted__";

// The counters that show that a run changed the workspace.
constexpr Statistic kChanges[] = {Statistic::createdFiles,  Statistic::deletedFiles,
                                  Statistic::updatedFiles,  Statistic::conflictedFiles,
                                  Statistic::resolvedFiles, Statistic::createdDirectories};

// One engine run: its maps, lists and local state.
class CheckOutRun {
public:
    CheckOutRun(CheckOutMaps& theMaps, const LocalFiles& theLocal)
        : itsMaps(theMaps), itsLocal(theLocal), itsStatus(workspace::get()->status()) {
        for (Statistic aStatistic : kChanges)
            itsCountsBefore.push_back(runstatistics::get(aStatistic));
    }

    void run();

private:
    void debugMap(const std::string& theHeading, const std::vector<std::string>& theNames) const;
    void debugMap(const std::string& theHeading, const ObjectMap& theMap) const;
    ObjectMap extendedActiveMap() const;
    // Takes the version over: a checkout of 100,000 objects copies none of them.
    void decide(RepositoryObject theRemote);
    void adopt(const std::vector<std::pair<RepositoryObject, LocalFileState>>& theFiles);
    void recordConflict(checkoutversions::Candidate theCandidate);
    // What writing a version with content produced, for its status entry and the statistics.
    struct WrittenFile {
        int itsCreatedDirectories = 0;
        sys::WriteStamp itsStamp;
        std::string itsHash;
    };
    // A version whose content is written (not a deletion).
    static bool isContentWrite(const RepositoryObject& theObject) {
        const ObjectMetaData& aMeta = theObject.metaData();
        return !(aMeta.itsIsDeletion && (aMeta.itsType == 2 || aMeta.itsType == 3));
    }
    // The files a part wrote, and the failure that stopped it.
    struct WrittenPart {
        std::vector<std::optional<WrittenFile>> itsFiles;
        std::exception_ptr itsFailure;
    };
    void writeAll(ProgressLine& theProgress);
    void writeInOrder(std::size_t theBegin, std::size_t theEnd, ProgressLine& theProgress);
    WrittenPart writeFiles(std::size_t theBegin, std::size_t theEnd,
                           ProgressLine& theProgress) const;
    void recordPart(std::size_t theBegin, const WrittenPart& thePart);
    // The contents of the versions among theObjects that have one, by workspace file.
    static std::map<std::string, std::string>
    contentsOf(std::span<const RepositoryObject> theObjects);
    void write(const RepositoryObject& theObject);
    WrittenFile writeContent(const RepositoryObject& theObject) const;
    void recordContent(const RepositoryObject& theObject, const WrittenFile& theWritten);
    // The status entry, output and count of a file that now holds the version.
    void recordVersion(const RepositoryObject& theObject, const LocalFileState& theFile);
    void resolveIfConflicted(const std::string& theFile);
    void writeConflict(const RepositoryObject& theRemote);

    const checkoutdecision::Options itsOptions = checkoutdecision::Options::fromParameters();
    CheckOutMaps& itsMaps;
    const LocalFiles& itsLocal;
    WorkSpaceStatusFile& itsStatus;
    ObjectMap itsLocalObjects;
    std::vector<RepositoryObject> itsToWrite;
    std::vector<checkoutversions::Candidate> itsCandidates;
    std::vector<RepositoryObject> itsConflicts;
    // The remote contents of the candidates, by workspace file.
    std::map<std::string, std::string> itsConflictContent;
    // The contents of the part being written, by workspace file.
    std::map<std::string, std::string> itsReadContent;
    std::map<std::string, ObjectMetaData> itsBaseMetaData;
    std::map<std::string, std::int32_t> itsBaseVersion;
    std::map<std::string, std::string> itsReadBaseContent;
    std::vector<std::int64_t> itsCountsBefore;
};

// "NAME" (suffix "SUFFIX") of package "PACKAGE", as a refusal names an object.
std::string shownObject(const RepositoryObject& theObject) {
    return "\"" + theObject.name() + "\" (suffix \"" + theObject.suffix() + "\") of package \"" +
           theObject.package() + "\"";
}

// The keys of the target objects that checkout must not write, each refused by name: two
// objects that map to one file (name "a.txt" without suffix and name "a" with suffix "txt"
// would overwrite each other), and an object whose file is, or lies behind, a symbolic link.
std::set<std::string> refusedTargets(const ObjectMap& theTarget) {
    LinkFinder aLinks(workspace::get()->srcDirName());
    std::map<std::string, const RepositoryObject*> aByFile;
    std::set<std::string> aRefused;
    for (const auto& [aKey, anObject] : theTarget) {
        const std::string& aFile = anObject.workSpaceFileName();
        const auto [anEntry, aFirst] = aByFile.emplace(aFile, &anObject);
        if (!aFirst) {
            console::refuse("The objects " + shownObject(*anEntry->second) + " and " +
                            shownObject(anObject) + " map to the same file \"" + aFile +
                            "\": neither is checked out.");
            aRefused.insert(anEntry->second->key());
            aRefused.insert(aKey);
            continue;
        }
        if (const std::string aLink = aLinks.linkOnTheWay(aFile); !aLink.empty()) {
            console::refuse("The object " + shownObject(anObject) + " is not checked out: \"" +
                            aLink +
                            "\" is a symbolic link, and checkout never writes through one.");
            aRefused.insert(aKey);
        }
    }
    return aRefused;
}

void CheckOutRun::debugMap(const std::string& theHeading,
                           const std::vector<std::string>& theNames) const {
    if (!isSet(params::debug) && !isSet(params::trace))
        return;
    std::string aText = theHeading + "\n";
    for (const std::string& aName : theNames)
        aText += aName + "\n";
    if (isSet(params::debug))
        console::out() << aText;
    console::traceOnly(aText);
}

void CheckOutRun::debugMap(const std::string& theHeading, const ObjectMap& theMap) const {
    std::vector<std::string> aNames;
    for (const auto& anEntry : theMap)
        aNames.push_back(anEntry.first);
    debugMap(theHeading, aNames);
}

ObjectMap CheckOutRun::extendedActiveMap() const {
    ObjectMap aMap = itsMaps.itsActive;
    auto anExtend = [&](const RepositoryObject& theObject) {
        if (aMap.count(theObject.key()) != 0)
            return;
        const auto aLatest = static_cast<std::int32_t>(
            repofunobjects::getNumberOfLatestVersion(RepositorySession::active(), theObject));
        aMap.emplace(theObject.key(), checkoutversions::historicalRecord(theObject, aLatest));
    };
    for (const auto& anEntry : itsLocalObjects)
        anExtend(anEntry.second);
    for (const auto& anEntry : itsMaps.itsInactive)
        anExtend(anEntry.second);
    return aMap;
}

void CheckOutRun::decide(RepositoryObject theRemote) {
    using checkoutdecision::Action;
    const std::string& aFile = theRemote.workSpaceFileName();
    const auto aLocal = itsLocalObjects.find(theRemote.key());
    const checkoutdecision::Decision aDecision = checkoutdecision::decide(
        aLocal == itsLocalObjects.end() ? nullptr : &aLocal->second.metaData(),
        checkoutdecision::stateOf(itsLocal, aFile), theRemote.metaData(), itsOptions);
    switch (aDecision.itsAction) {
    case Action::keep:
        return;
    case Action::refuse:
        throw Error(pushresolution::conflictMessage("Checkout", "checked out"));
    case Action::overwrite:
        console::progress("Updating file: \"" + aFile + "\"");
        [[fallthrough]];
    case Action::write:
        itsToWrite.push_back(std::move(theRemote));
        return;
    case Action::skip:
        console::progress("Skipping file: \"" + aFile + "\"");
        return;
    case Action::conflict:
        itsCandidates.push_back({std::move(theRemote), aDecision.itsReason});
        return;
    }
}

// A local file that holds the remote version's content already, however it came to (another
// user took over the committed version and activated it, or made the same change), is no
// conflict: it takes that version as it is. The user's inactive version that it leaves behind
// goes before the file's metadata, so that a failure leaves the file as it was.
void CheckOutRun::adopt(const std::vector<std::pair<RepositoryObject, LocalFileState>>& theFiles) {
    std::vector<JournalEntry> aJournal;
    for (const auto& [aRemote, aState] : theFiles)
        aJournal.push_back(
            {aRemote.package(), aRemote.name(), aRemote.suffix(), JournalEntry::Repair::checkout});
    workspace::get()->recordJournal(aJournal);
    for (const auto& [aRemote, aState] : theFiles) {
        const auto anInactive = itsMaps.itsInactive.find(aRemote.key());
        if (anInactive != itsMaps.itsInactive.end())
            pushresolution::revertLeftBehind(anInactive->second, aRemote.metaData());
        objects::writeMetaFile(aRemote);
        recordVersion(aRemote, aState);
    }
}

void CheckOutRun::recordConflict(checkoutversions::Candidate theCandidate) {
    RepositoryObject& aRemote = theCandidate.itsRemote;
    const std::string& aFile = aRemote.workSpaceFileName();
    console::progress("Creating conflict for file: \"" + aFile + "\" (" + theCandidate.itsReason +
                      ")");
    RepositoryObject aBase = aRemote;
    if (!itsOptions.itsBase) {
        const auto aLocal = itsLocalObjects.find(aRemote.key());
        aBase = checkoutversions::baseVersionOf(aLocal == itsLocalObjects.end()
                                                    ? checkoutversions::noVersionRecord(aRemote)
                                                    : aLocal->second,
                                                itsMaps.itsActive);
    }
    itsBaseMetaData[aFile] = aBase.metaData();
    itsBaseVersion[aFile] = versionNumber(aBase);
    itsConflicts.push_back(std::move(aRemote));
}

void CheckOutRun::resolveIfConflicted(const std::string& theFile) {
    if (!itsOptions.itsForce || !itsStatus.isConflicted(theFile))
        return;
    const RepositoryObject anObject = objects::fromWorkSpaceFile(theFile);
    itsStatus.removeConflict(theFile);
    sys::deleteFile(anObject.diffFileName());
    sys::deleteFile(anObject.baseFileName());
    console::progress("Resolved file: \"" + theFile + "\"");
    runstatistics::add(Statistic::resolvedFiles);
}

void CheckOutRun::write(const RepositoryObject& theObject) {
    const std::string& aFile = theObject.workSpaceFileName();
    const ObjectMetaData& aMeta = theObject.metaData();
    if (isContentWrite(theObject)) {
        recordContent(theObject, writeContent(theObject));
        return;
    }
    if (aMeta.itsType == 3) {
        objects::deleteMetaFile(theObject);
        if (versionNumber(theObject) != 0 && sys::deleteFile(aFile)) {
            console::progress("Deleted file: \"" + aFile + "\"");
            runstatistics::add(Statistic::deletedFiles);
        }
        itsStatus.removeFile(aFile);
    } else {
        const bool anExisted = sys::deleteFile(aFile);
        objects::writeMetaFile(theObject);
        itsStatus.removeFile(aFile);
        if (anExisted) {
            console::progress("Deleted file: \"" + aFile + "\"");
            runstatistics::add(Statistic::deletedFiles);
        }
    }
    resolveIfConflicted(aFile);
}

// Touches nothing but the object's file, its metadata file and their directories, so that two
// threads may write two objects at once.
CheckOutRun::WrittenFile CheckOutRun::writeContent(const RepositoryObject& theObject) const {
    const std::string& aFile = theObject.workSpaceFileName();
    const auto aContent = itsReadContent.find(aFile);
    if (aContent == itsReadContent.end())
        throw Error("Failed to access read content for file \"" + aFile + "\"");
    WrittenFile aWritten;
    aWritten.itsCreatedDirectories = sys::createDirectories(aFile);
    aWritten.itsStamp = sys::writeFileStamped(aFile, aContent->second);
    objects::writeMetaFile(theObject);
    aWritten.itsHash = hash::calc(aContent->second);
    return aWritten;
}

void CheckOutRun::recordContent(const RepositoryObject& theObject, const WrittenFile& theWritten) {
    if (theWritten.itsCreatedDirectories > 0)
        runstatistics::add(Statistic::createdDirectories, theWritten.itsCreatedDirectories);
    recordVersion(theObject, {theWritten.itsHash, theWritten.itsStamp.itsTimestamp,
                              theWritten.itsStamp.itsFileStat});
    resolveIfConflicted(theObject.workSpaceFileName());
}

void CheckOutRun::recordVersion(const RepositoryObject& theObject, const LocalFileState& theFile) {
    const std::string& aFile = theObject.workSpaceFileName();
    const bool aKnown = itsStatus.hasFile(aFile);
    const std::int32_t aBase =
        versionNumber(theObject) - (theObject.metaData().itsType == 2 ? 1 : 0);
    itsStatus.setFileStatus(aFile, theFile.itsHash, theFile.itsTimestamp, aBase,
                            theFile.itsFileStat);
    console::progress((aKnown ? "Updated file: \"" : "Created file: \"") + aFile + "\"");
    runstatistics::add(aKnown ? Statistic::updatedFiles : Statistic::createdFiles);
}

std::map<std::string, std::string>
CheckOutRun::contentsOf(std::span<const RepositoryObject> theObjects) {
    std::vector<const RepositoryObject*> aToRead;
    for (const RepositoryObject& anObject : theObjects)
        if (!isDeletion(anObject))
            aToRead.push_back(&anObject);
    return checkoutversions::readContents(aToRead);
}

// The versions are read and written a part at a time: a checkout of 100,000 objects never holds
// all their contents. The repository reads the next part while the files of this one are
// written on the other cores, and the disk takes each part while the next one is written. The
// parts grow from a small first one, so that the writing starts early: reading an object takes
// less time than writing it, and the reads of a part twice as large still keep up.
// Simulated and path-debugging runs print each step, so they do one thing after the other.
void CheckOutRun::writeAll(ProgressLine& theProgress) {
    constexpr std::size_t kFirstPart = 250;
    constexpr std::size_t kObjectsPerPart = 2000;
    auto aPart = [&](std::size_t theBegin) {
        const std::size_t aSize = std::min(
            kObjectsPerPart, std::max(kFirstPart, theBegin + kFirstPart)); // 250, 500, 1000...
        return std::span(itsToWrite)
            .subspan(theBegin, std::min(aSize, itsToWrite.size() - theBegin));
    };
    const bool anInOrder = isSet(params::simulate) || isSet(params::debugPaths);
    std::map<std::string, std::string> aNext;
    if (!itsToWrite.empty())
        aNext = contentsOf(aPart(0));
    for (std::size_t aBegin = 0, anEnd = 0; aBegin < itsToWrite.size(); aBegin = anEnd) {
        anEnd = aBegin + aPart(aBegin).size();
        itsReadContent = std::move(aNext);
        aNext.clear();
        if (anInOrder) {
            writeInOrder(aBegin, anEnd, theProgress);
            if (anEnd < itsToWrite.size())
                aNext = contentsOf(aPart(anEnd));
            continue;
        }
        auto aWriting = std::async(std::launch::async, [&, aBegin, anEnd] {
            perftrace::muteThisThread();
            return writeFiles(aBegin, anEnd, theProgress);
        });
        std::exception_ptr aReadFailure;
        try {
            if (anEnd < itsToWrite.size())
                aNext = contentsOf(aPart(anEnd));
        } catch (...) {
            // Raised once this part is recorded; a failed write of the part goes first.
            aReadFailure = std::current_exception();
        }
        recordPart(aBegin, aWriting.get());
        if (aReadFailure)
            std::rethrow_exception(aReadFailure);
        if (anEnd < itsToWrite.size())
            sys::startEarlySync(workspace::get()->srcDirName());
    }
    itsReadContent.clear();
}

void CheckOutRun::writeInOrder(std::size_t theBegin, std::size_t theEnd,
                               ProgressLine& theProgress) {
    for (std::size_t i = theBegin; i < theEnd; ++i) {
        interrupt::check();
        theProgress.advance();
        write(itsToWrite[i]);
    }
}

// The files and metadata of the versions with content go out on all cores, a directory per job.
// Touches nothing but those files, so that it runs beside the repository reads of the next part.
CheckOutRun::WrittenPart CheckOutRun::writeFiles(std::size_t theBegin, std::size_t theEnd,
                                                 ProgressLine& theProgress) const {
    WrittenPart aPart;
    aPart.itsFiles.resize(theEnd - theBegin);
    try {
        auto aSameDirectory = [&](std::size_t thePrevious, std::size_t theNext) {
            return sys::inOneDirectory(itsToWrite[theBegin + thePrevious].workSpaceFileName(),
                                       itsToWrite[theBegin + theNext].workSpaceFileName());
        };
        parallel::forEachRun(aPart.itsFiles.size(), aSameDirectory, [&](std::size_t i) {
            interrupt::check();
            theProgress.advance();
            if (isContentWrite(itsToWrite[theBegin + i]))
                aPart.itsFiles[i] = writeContent(itsToWrite[theBegin + i]);
        });
    } catch (...) {
        aPart.itsFailure = std::current_exception();
    }
    return aPart;
}

// The status, the statistics, the output and the deletions follow on this thread in the order
// of the objects. A failure or an interrupt still records every file written before it.
void CheckOutRun::recordPart(std::size_t theBegin, const WrittenPart& thePart) {
    for (std::size_t i = 0; i < thePart.itsFiles.size(); ++i) {
        if (thePart.itsFiles[i])
            recordContent(itsToWrite[theBegin + i], *thePart.itsFiles[i]);
        else if (!thePart.itsFailure)
            write(itsToWrite[theBegin + i]);
    }
    if (thePart.itsFailure)
        std::rethrow_exception(thePart.itsFailure);
}

void CheckOutRun::writeConflict(const RepositoryObject& theRemote) {
    const std::string& aFile = theRemote.workSpaceFileName();
    console::progress("Adding conflicted file: \"" + aFile + "\"");
    runstatistics::add(Statistic::conflictedFiles);
    itsStatus.addConflict(aFile);
    if (!sys::fileExists(aFile)) {
        sys::createDirectories(aFile);
        sys::writeFile(aFile, kDeleted);
    }
    std::string aRemoteContent(kDeleted);
    if (!isDeletion(theRemote)) {
        const auto aRead = itsReadContent.find(aFile);
        if (aRead == itsReadContent.end())
            throw Error("Failed to access read content for file \"" + aFile + "\"");
        aRemoteContent = aRead->second;
    }
    sys::createDirectories(theRemote.diffFileName());
    sys::writeFile(theRemote.diffFileName(), aRemoteContent);
    objects::writeMetaFile(theRemote);

    const auto aBaseMeta = itsBaseMetaData.find(aFile);
    if (aBaseMeta == itsBaseMetaData.end())
        throw Error("Failed to access base meta data for file \"" + aFile + "\"");
    const auto aBaseVersion = itsBaseVersion.find(aFile);
    if (aBaseVersion == itsBaseVersion.end())
        throw Error("Failed to access base version for file \"" + aFile + "\"");
    std::string aBaseContent(kDeleted);
    if (aBaseVersion->second > 0 && !aBaseMeta->second.itsIsDeletion) {
        const auto aRead = itsReadBaseContent.find(aFile);
        if (aRead == itsReadBaseContent.end())
            throw Error("Failed to access read base content for file \"" + aFile + "\"");
        aBaseContent = aRead->second;
    }
    sys::createDirectories(theRemote.baseFileName());
    sys::writeFile(theRemote.baseFileName(), aBaseContent);
    if (!itsStatus.hasFile(aFile))
        itsStatus.setBaseVersion(aFile, aBaseMeta->second.itsVersionId);
}

void CheckOutRun::run() {
    if (!itsLocal.itsConflicted.empty() && !itsOptions.itsForce)
        throw Error(pushresolution::conflictMessage("Checkout", "checked out"));

    const PathSet aLocalFiles = itsLocal.allFiles();
    itsLocalObjects = checkoutversions::localObjects(aLocalFiles);
    ObjectMap anInactivelyDeleted;
    for (const auto& anEntry : itsMaps.itsInactive)
        if (anEntry.second.metaData().itsIsDeletion)
            anInactivelyDeleted.emplace(anEntry);
    debugMap("aWSFiles:", itsLocal.itsStatusFiles);
    debugMap("aFSFiles:", itsLocal.itsDiskFiles);
    debugMap("theInactiveObjectMap:", itsMaps.itsInactive);
    debugMap("theActiveObjectMap 1:", itsMaps.itsActive);
    debugMap("aInactivelyDeletedObjectMap:", anInactivelyDeleted);
    debugMap("aLocalObjectMap:", itsLocalObjects);

    ObjectMap anExtended = extendedActiveMap();
    debugMap("theActiveObjectMap 2:", anExtended);
    debugMap("theHistoricalObjectMap:", itsMaps.itsHistorical);

    ObjectMap aTarget =
        checkoutdecision::targetVersions(itsOptions, std::move(anExtended), itsMaps);
    const std::set<std::string> aRefused = refusedTargets(aTarget);
    for (auto& anEntry : aTarget)
        if (!aRefused.contains(anEntry.first))
            decide(std::move(anEntry.second));
    adopt(checkoutversions::takeIdentical(itsCandidates, itsConflictContent));
    for (checkoutversions::Candidate& aCandidate : itsCandidates)
        recordConflict(std::move(aCandidate));

    std::vector<RepositoryObject> aBases;
    for (const RepositoryObject& aConflict : itsConflicts) {
        const std::string& aFile = aConflict.workSpaceFileName();
        const ObjectMetaData& aMeta = itsBaseMetaData[aFile];
        if (itsBaseVersion[aFile] <= 0 || aMeta.itsIsDeletion || aMeta.itsType == 0)
            continue;
        RepositoryObject aBase = aConflict;
        aBase.setMetaData(aMeta);
        aBase.setVersion(aMeta.itsType == 3 ? ObjectVersion{3, {}, {}, itsBaseVersion[aFile]}
                                            : ObjectVersion{aMeta.itsType, {}, {}, 0});
        aBases.push_back(std::move(aBase));
    }
    itsReadBaseContent = checkoutversions::readContents(aBases);

    std::vector<JournalEntry> aJournal;
    for (const auto* aList : {&itsToWrite, &itsConflicts})
        for (const RepositoryObject& anObject : *aList)
            aJournal.push_back({anObject.package(), anObject.name(), anObject.suffix(),
                                JournalEntry::Repair::checkout});
    workspace::get()->recordJournal(aJournal);
    ProgressLine aProgress(itsToWrite.size() + itsConflicts.size());
    writeAll(aProgress);
    itsReadContent = std::move(itsConflictContent);
    for (const RepositoryObject& aConflict : itsConflicts) {
        interrupt::check();
        aProgress.advance();
        writeConflict(aConflict);
    }

    const std::string anAction = getValue(params::action);
    const bool aQuietAction = textcase::equalsIgnoringCase(anAction, "revert") ||
                              textcase::equalsIgnoringCase(anAction, "takeOver");
    bool aChanged = false;
    for (std::size_t i = 0; i < std::size(kChanges); ++i)
        aChanged = aChanged || runstatistics::get(kChanges[i]) != itsCountsBefore[i];
    if (!aQuietAction && !aChanged)
        console::sayLine("Nothing to check out.");
    if (runstatistics::get(Statistic::conflictedFiles) != itsCountsBefore[3] &&
        !isSet(params::noTips))
        console::say(std::string(pushresolution::kResolutionCalls) + "\n");
}

} // namespace

void run(CheckOutMaps& theMaps, const LocalFiles& theLocal) {
    CheckOutRun(theMaps, theLocal).run();
}

} // namespace checkoutengine
} // namespace RepositoryAccess
