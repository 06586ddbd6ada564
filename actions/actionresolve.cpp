#include "actions/actionresolve.hpp"

#include <ostream>

#include "actions/pushresolution.hpp"
#include "actions/resolvesides.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "workspace/hash.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

using resolvesides::sideContent;

// The local side may be a committed version: the file is as the status file last recorded it
// (a locally changed file differs from that record), or the conflict found no record, as after
// a committed deletion (for a new file the repository then has nothing to revert).
bool mayBeCommittedSide(const std::string& theFile) {
    const WorkSpaceStatusFile& aStatus = workspace::get()->status();
    if (!aStatus.hasFile(theFile))
        return false;
    const std::string_view aHash = aStatus.getHash(theFile);
    return aHash == workspacefile::dummyChangeHash() ||
           (sys::fileExists(theFile) && hash::calcFile(theFile) == aHash);
}

bool modeIs(const std::string& theMode, std::string_view theName) {
    return textcase::equalsIgnoringCase(theMode, theName);
}

} // namespace

void actionResolve::execute() {
    KIVO_PERF_SCOPE("actionResolve::execute()");
    const ActionScope aScope = actionscope::fromParameters();
    const PathSet aConflicted = conflictedFiles(aScope);
    if (aConflicted.empty()) {
        console::sayLine("Nothing to resolve.");
        return;
    }
    const std::string aMode = resolutionMode();
    std::size_t aResolved = 0;
    for (const auto& aFile : aConflicted)
        aResolved += resolveFile(aFile, aMode) ? 1 : 0;
    if (aResolved > 0 && !isSet(params::noTips))
        console::say("\nCall:\n\t* \"kivo commit\" and then \"kivo activate\" to push the resolved "
                     "files to the Repository, or\n\t* \"kivo push\".\n\n");
    // A conflict left in place makes the run fail, so that a script can tell.
    if (aResolved < aConflicted.size())
        exitstatus::fail();
}

PathSet actionResolve::conflictedFiles(const ActionScope& theScope) const {
    PathSet aConflicted;
    if (!theScope.itsPackages.empty())
        aConflicted = pathset::unite(
            aConflicted,
            Status(theScope.itsPackages, theScope.itsRecursive, true, false).conflicted());
    if (!theScope.itsObjects.empty())
        aConflicted =
            pathset::unite(aConflicted, Status(theScope.itsObjects, true, false).conflicted());
    // The status file's conflict set gives the order.
    PathSet anOrdered;
    for (const auto& aFile : workspace::get()->status().conflictedFiles())
        if (pathset::contains(aConflicted, aFile))
            anOrdered.push_back(aFile);
    return anOrdered;
}

std::string actionResolve::resolutionMode() {
    const std::string aWith = getValue(params::with);
    const int aCount = (aWith.empty() ? 0 : 1) + (isSet(params::local) ? 1 : 0) +
                       (isSet(params::base) ? 1 : 0) + (isSet(params::remote) ? 1 : 0) +
                       (isSet(params::mergeTool) ? 1 : 0);
    if (aCount != 1)
        throw Error("Specify exactly one conflict resolution mode (specified: " +
                    std::to_string(aCount) + ")");
    if (!aWith.empty())
        return aWith;
    if (isSet(params::local))
        return "local";
    if (isSet(params::base))
        return "base";
    if (isSet(params::remote))
        return "remote";
    return "mergetool";
}

bool actionResolve::resolveFile(const std::string& theFile, const std::string& theMode) {
    KIVO_PERF_SCOPE("actionResolve::resolveFile()");
    const RepositoryObject anObject = objects::fromWorkSpaceFile(theFile);
    const mergetool::Sides aSides{anObject.baseFileName(), anObject.diffFileName(), theFile};
    const std::optional<Side> aChosen = chosenSide(theMode, aSides);
    if (!aChosen)
        return false;

    // A file that ends with the remote content has given up a committed version of its own:
    // that one goes before anything local changes, so that a failure leaves the conflict.
    const Side aRemote = sideContent(aSides.itsRemote);
    const bool anAdopted = aChosen->has_value() && *aChosen == aRemote;
    if (anAdopted && mayBeCommittedSide(theFile))
        pushresolution::revertLeftBehind(anObject);
    resolvesides::writeLocal(theFile, *aChosen);
    sys::deleteFile(aSides.itsRemote);
    sys::deleteFile(aSides.itsBase);
    settleStatus(theFile, anObject.metaData(), anAdopted);

    runstatistics::add(Statistic::resolvedFiles);
    console::progress("Conflict for file \"" + theFile + "\" resolved.");
    return true;
}

std::optional<actionResolve::Side> actionResolve::chosenSide(const std::string& theMode,
                                                             const mergetool::Sides& theSides) {
    if (modeIs(theMode, "mergeTool")) {
        const mergetool::Outcome anOutcome = mergetool::run(theSides.itsLocal, theSides);
        if (!anOutcome.itsTaken)
            return std::nullopt;
        if (anOutcome.itsLocal && anOutcome.itsLocal->starts_with(resolvesides::kDeleted))
            return Side();
        return anOutcome.itsLocal;
    }
    if (auto aSide = resolvesides::fileSide(theMode, theSides))
        return aSide;
    console::err() << "The parameter \"--with\" must have one of the following values: "
                      "mergeTool, local, base or remote.\n"
                   << std::flush;
    exitstatus::fail();
    return std::nullopt;
}

void actionResolve::settleStatus(const std::string& theFile, const ObjectMetaData& theRemote,
                                 bool theAdopted) {
    WorkSpaceStatusFile& aStatus = workspace::get()->status();
    aStatus.removeConflict(theFile);
    if (theAdopted) {
        // As a checkout of the remote version would have left it.
        const sys::StampedContent aRead = sys::readFileStamped(theFile);
        aStatus.setFileStatus(theFile, hash::calc(*aRead.itsBytes), aRead.itsTimestamp,
                              theRemote.itsVersionId - (theRemote.itsType == 2 ? 1 : 0),
                              aRead.itsFileStat);
        return;
    }
    // A resolved file whose content equals the stored hash (a committed local side) would leave
    // nothing to commit; it is marked changed so that the next commit builds on the remote one.
    if (sys::fileExists(theFile) && aStatus.hasFile(theFile) &&
        hash::calcFile(theFile) == aStatus.getHash(theFile))
        aStatus.markAsDummyChange(theFile, theRemote.itsVersionId);
    else
        aStatus.setBaseVersion(theFile, theRemote.itsVersionId);
}

} // namespace RepositoryAccess
