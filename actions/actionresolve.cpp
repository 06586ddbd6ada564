#include "actions/actionresolve.hpp"

#include <cstdlib>
#include <ostream>
#include <sys/wait.h>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"
#include "workspace/hash.hpp"
#include "workspace/objects.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

constexpr std::string_view kDeleted = "__deleted__";
constexpr std::string_view kDefaultMergeTool = "p4merge %b %r %l %l";

// A side stands for a deleted object when its file is missing or begins with the marker.
bool standsForDeletion(const std::string& thePath) {
    if (!sys::fileExists(thePath))
        return true;
    if (sys::getFileSize(thePath) < kDeleted.size())
        return false;
    return *sys::readFile(thePath, kDeleted.size()) == kDeleted;
}

// The merge-tool command with %b, %r and %l replaced in one pass by the base, remote and local
// paths, each single-quoted for /bin/sh so that no byte of a file name is ever interpreted. A
// placeholder that the configuration already encloses in double quotes ("%l") loses them.
std::string mergeToolCommand(std::string_view theTemplate, const std::string& theBase,
                             const std::string& theRemote, const std::string& theLocal) {
    auto aPathOf = [&](char theLetter) -> const std::string* {
        return theLetter == 'b'   ? &theBase
               : theLetter == 'r' ? &theRemote
               : theLetter == 'l' ? &theLocal
                                  : nullptr;
    };
    std::string aCommand;
    for (std::size_t aPos = 0; aPos < theTemplate.size(); ++aPos) {
        const bool aQuoted =
            theTemplate.substr(aPos, 1) == "\"" && theTemplate.substr(aPos + 1, 1) == "%" &&
            theTemplate.substr(aPos + 3, 1) == "\"" && aPathOf(theTemplate[aPos + 2]);
        const std::size_t aLetter = aQuoted ? aPos + 2 : aPos + 1;
        const std::string* apPath =
            theTemplate[aPos] == '%' || aQuoted
                ? (aLetter < theTemplate.size() ? aPathOf(theTemplate[aLetter]) : nullptr)
                : nullptr;
        if (!apPath) {
            aCommand += theTemplate[aPos];
            continue;
        }
        aCommand += sys::shellQuoted(*apPath);
        aPos = aQuoted ? aPos + 3 : aPos + 1;
    }
    return aCommand;
}

// The program word of a command template: its leading word when it is a plain word the shell
// takes as it is, else empty (then only the shell's own answer tells whether it started).
std::string programWord(const std::string& theCommand) {
    const std::size_t aStart = theCommand.find_first_not_of(" \t");
    if (aStart == std::string::npos)
        return {};
    const std::size_t anEnd = theCommand.find_first_of(" \t", aStart);
    std::string aWord =
        theCommand.substr(aStart, anEnd == std::string::npos ? anEnd : anEnd - aStart);
    const bool aPlain =
        aWord.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                "0123456789_./+-") == std::string::npos;
    return aPlain ? aWord : std::string();
}

// True unless the shell knows no program, builtin or function of that name.
bool shellFinds(const std::string& theWord) {
    if (theWord.empty())
        return true;
    const std::string aQuery = "command -v -- '" + theWord + "' >/dev/null 2>&1";
    return std::system(aQuery.c_str()) == 0;
}

// The one line that tells a user whose merge tool cannot be started how to choose another.
[[noreturn]] void failNotStarted(const std::string& theCommand) {
    throw Error("The merge tool could not be started: " + theCommand +
                " (choose a merge tool with --mergeToolConfig=\"TOOL %b %r %l\" or the "
                "environment variable KIVO_MERGETOOL, for example KIVO_MERGETOOL=\"kivo-merge %b "
                "%r %l\")");
}

// The file's last-write time; empty while the file does not exist (a tool may delete it).
std::string timestampOf(const std::string& thePath) {
    return sys::fileExists(thePath) ? sys::getts(thePath) : std::string();
}

bool modeIs(const std::string& theMode, std::string_view theName) {
    return textcase::equalsIgnoringCase(theMode, theName);
}

} // namespace

void actionResolve::execute() {
    KIVO_PERF_SCOPE("actionResolve::execute()");
    workspace::open(true);
    const ActionScope aScope = actionscope::fromParameters();
    const PathSet aConflicted = conflictedFiles(aScope);
    if (aConflicted.empty()) {
        console::sayLine("Nothing to resolve.");
        return;
    }
    const std::string aMode = resolutionMode();
    bool aResolvedAny = false;
    for (const auto& aFile : aConflicted)
        aResolvedAny = resolveFile(aFile, aMode) || aResolvedAny;
    if (aResolvedAny && !isSet(params::noTips))
        console::say("\nCall:\n\t* \"kivo commit\" and then \"kivo activate\" to push the resolved "
                     "files to the Repository, or\n\t* \"kivo push\".\n\n");
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
    const std::string aDiff = anObject.diffFileName();
    const std::string aBase = anObject.baseFileName();
    std::string aSource;
    if (modeIs(theMode, "mergeTool")) {
        if (!runMergeTool(theFile, aDiff, aBase))
            return false;
        aSource = theFile;
    } else if (modeIs(theMode, "local")) {
        aSource = theFile;
    } else if (modeIs(theMode, "remote")) {
        aSource = aDiff;
    } else if (modeIs(theMode, "base")) {
        aSource = aBase;
    } else {
        console::err() << "The parameter \"--with\" must have one of the following values: "
                          "mergeTool, local, base or remote.\n"
                       << std::flush;
        exitstatus::fail();
        return false;
    }

    if (standsForDeletion(aSource))
        sys::deleteFile(theFile);
    else if (aSource != theFile)
        sys::writeFile(theFile, *sys::readFile(aSource));
    sys::deleteFile(aDiff);
    sys::deleteFile(aBase);

    // A resolved file whose content equals the stored hash (a committed local side) would leave
    // nothing to commit; it is marked changed so that the next commit builds on the remote one.
    WorkSpaceStatusFile& aStatus = workspace::get()->status();
    const std::int32_t aRemoteVersion = anObject.metaData().itsVersionId;
    aStatus.removeConflict(theFile);
    if (sys::fileExists(theFile) && aStatus.hasFile(theFile) &&
        hash::calcFile(theFile) == aStatus.getHash(theFile))
        aStatus.markAsDummyChange(theFile, aRemoteVersion);
    else
        aStatus.setBaseVersion(theFile, aRemoteVersion);

    runstatistics::add(Statistic::resolvedFiles);
    console::progress("Conflict for file \"" + theFile + "\" resolved.");
    return true;
}

bool actionResolve::runMergeTool(const std::string& theFile, const std::string& theDiff,
                                 const std::string& theBase) const {
    const std::string aBefore = timestampOf(theFile);
    std::string aCommand = getValue(params::mergeToolConfig);
    if (aCommand.empty())
        aCommand = kDefaultMergeTool;
    const std::string aProgram = programWord(aCommand);
    aCommand = mergeToolCommand(aCommand, theBase, theDiff, theFile);
    if (!shellFinds(aProgram))
        failNotStarted(aCommand);
    console::say("Invoking merge tool: \n" + aCommand + "\n");
    console::out().flush();
    // The tool's own exit code does not matter (the question below decides), except the shell's
    // 127 for a command that it could not find or start.
    const int aResult = std::system(aCommand.c_str());
    if (aResult == -1 || (WIFEXITED(aResult) && WEXITSTATUS(aResult) == 127))
        failNotStarted(aCommand);
    const bool aChanged = timestampOf(theFile) != aBefore;
    if (isSet(params::noConfirm))
        return aChanged;
    if (aChanged)
        return utils::confirm("The file has been updated. Resolve it?", true);
    return utils::confirm("The file has not been updated. Resolve it anyway?", false);
}

} // namespace RepositoryAccess
