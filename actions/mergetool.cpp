#include "actions/mergetool.hpp"

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/utils.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess::mergetool {

namespace {

constexpr std::string_view kDefaultMergeTool = "p4merge %b %r %l %l";
// The characters kept of a file's suffix in the names of the copies.
constexpr std::string_view kSuffixCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "0123456789_-";
constexpr std::size_t kMaxSuffix = 16;

// A text the shell takes as one word as it is, inside quotes or not.
bool isPlain(std::string_view theText) {
    for (char aChar : theText)
        if (kSuffixCharacters.find(aChar) == std::string_view::npos && aChar != '.' &&
            aChar != '/' && aChar != '+')
            return false;
    return !theText.empty();
}

// A path in the command where the template put a placeholder; theQuote is the quote the template
// is inside there ('\'', '"', or 0 outside quotes).
std::string placed(const std::string& thePath, char theQuote) {
    if (theQuote == 0)
        return sys::shellQuoted(thePath);
    if (isPlain(thePath))
        return thePath;
    return theQuote + sys::shellQuoted(thePath) + theQuote;
}

// The program word of a command template: its leading word when it is a plain word the shell
// takes as it is, else empty (then only the shell's own answer tells whether it started).
std::string programWord(std::string_view theTemplate) {
    const std::size_t aStart = theTemplate.find_first_not_of(" \t");
    if (aStart == std::string_view::npos)
        return {};
    const std::size_t anEnd = theTemplate.find_first_of(" \t", aStart);
    const std::string_view aWord =
        theTemplate.substr(aStart, anEnd == std::string_view::npos ? anEnd : anEnd - aStart);
    return isPlain(aWord) ? std::string(aWord) : std::string();
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

// The suffix of the file's name with only plain characters kept, so that the tool still sees
// what kind of file it merges; empty when nothing is left.
std::string plainSuffix(const std::string& theFile) {
    const std::string aName = sys::getFilePart(theFile);
    const std::size_t aDot = aName.rfind('.');
    if (aDot == std::string::npos || aDot == 0)
        return {};
    std::string aSuffix;
    for (char aChar : aName.substr(aDot + 1))
        if (aSuffix.size() < kMaxSuffix && kSuffixCharacters.find(aChar) != std::string_view::npos)
            aSuffix += aChar;
    return aSuffix.empty() ? aSuffix : "." + aSuffix;
}

// The copies of one conflict's sides that the tool works on. They and whatever the tool left
// beside the local copy go when the run of the tool ends, also after a failure.
class ToolCopies {
public:
    explicit ToolCopies(const std::string& theFile) {
        static int theCount = 0;
        const std::string aPrefix =
            sys::joinFileName(sys::getTempDir(), "merge-" + std::to_string(::getpid()) + "-" +
                                                     std::to_string(++theCount) + "-");
        const std::string aSuffix = plainSuffix(theFile);
        itsCopies = {aPrefix + "base" + aSuffix, aPrefix + "remote" + aSuffix,
                     aPrefix + "local" + aSuffix};
    }
    ~ToolCopies() { removeAll(); }
    ToolCopies(const ToolCopies&) = delete;
    ToolCopies& operator=(const ToolCopies&) = delete;

    const Sides& paths() const { return itsCopies; }

    // Copies each side that exists; a process of the same id may have left copies of its own.
    void fill(const Sides& theSides) const {
        removeAll();
        copy(theSides.itsBase, itsCopies.itsBase);
        copy(theSides.itsRemote, itsCopies.itsRemote);
        copy(theSides.itsLocal, itsCopies.itsLocal);
    }

    // Moves each file the tool left beside the local copy beside theFile: "<local copy>.merged"
    // becomes "<theFile>.merged".
    void returnLeftovers(const std::string& theFile) const {
        for (const std::string& aLeftover :
             sys::listDir(sys::getDirPart(itsCopies.itsLocal)).itsFiles) {
            if (!isLeftover(aLeftover))
                continue;
            const std::string aTarget = theFile + aLeftover.substr(itsCopies.itsLocal.size());
            sys::createDirectories(aTarget);
            sys::writeFileAtomically(aTarget, *sys::readFile(aLeftover));
            sys::deleteFile(aLeftover);
        }
    }

private:
    static void copy(const std::string& theSide, const std::string& theCopy) {
        if (sys::fileExists(theSide))
            sys::writeFile(theCopy, *sys::readFile(theSide));
    }
    bool isLeftover(const std::string& thePath) const {
        return thePath.size() > itsCopies.itsLocal.size() &&
               thePath.starts_with(itsCopies.itsLocal);
    }
    // Removes the copies and the leftovers. A copy that cannot be removed stays in the user's
    // private temporary directory, where it harms nothing; the run's own outcome matters more.
    void removeAll() const noexcept {
        namespace fs = std::filesystem;
        std::error_code aRemoveError;
        for (const std::string* apCopy :
             {&itsCopies.itsBase, &itsCopies.itsRemote, &itsCopies.itsLocal})
            fs::remove(*apCopy, aRemoveError);
        std::error_code aListError;
        for (fs::directory_iterator anEntry(sys::getDirPart(itsCopies.itsLocal), aListError), anEnd;
             !aListError && anEntry != anEnd; anEntry.increment(aListError))
            if (isLeftover(anEntry->path().string()))
                fs::remove(anEntry->path(), aRemoveError);
    }

    Sides itsCopies;
};

// What the tool may change in the local copy: whether it exists, its time and its bytes. The
// time alone would miss a change within the clock's resolution after the copy was made.
struct CopyState {
    bool itsExists = false;
    std::string itsTimestamp;
    std::string itsContent;

    bool operator==(const CopyState&) const = default;
};

CopyState stateOf(const std::string& thePath) {
    if (!sys::fileExists(thePath))
        return {};
    sys::StampedContent aRead = sys::readFileStamped(thePath);
    return {true, std::move(aRead.itsTimestamp), *aRead.itsBytes};
}

bool confirmed(bool theChanged) {
    if (isSet(params::noConfirm))
        return theChanged;
    if (theChanged)
        return utils::confirm("The file has been updated. Resolve it?", true);
    return utils::confirm("The file has not been updated. Resolve it anyway?", false);
}

} // namespace

std::string command(std::string_view theTemplate, const Sides& theSides) {
    auto aPathOf = [&](char theLetter) -> const std::string* {
        return theLetter == 'b'   ? &theSides.itsBase
               : theLetter == 'r' ? &theSides.itsRemote
               : theLetter == 'l' ? &theSides.itsLocal
                                  : nullptr;
    };
    std::string aCommand;
    char aQuote = 0;
    for (std::size_t aPos = 0; aPos < theTemplate.size(); ++aPos) {
        const char aChar = theTemplate[aPos];
        const bool aHasNext = aPos + 1 < theTemplate.size();
        if (const std::string* apPath =
                aChar == '%' && aHasNext ? aPathOf(theTemplate[aPos + 1]) : nullptr) {
            aCommand += placed(*apPath, aQuote);
            ++aPos;
            continue;
        }
        aCommand += aChar;
        if (aChar == '\\' && aQuote != '\'' && aHasNext)
            aCommand += theTemplate[++aPos];
        else if (aQuote == 0 && (aChar == '\'' || aChar == '"'))
            aQuote = aChar;
        else if (aChar == aQuote)
            aQuote = 0;
    }
    return aCommand;
}

Outcome run(const std::string& theFile, const Sides& theSides) {
    std::string aTemplate = getValue(params::mergeToolConfig);
    if (aTemplate.empty())
        aTemplate = kDefaultMergeTool;
    const ToolCopies aCopies(theFile);
    aCopies.fill(theSides);
    const std::string aCommand = command(aTemplate, aCopies.paths());
    if (!shellFinds(programWord(aTemplate)))
        failNotStarted(aCommand);
    const CopyState aBefore = stateOf(aCopies.paths().itsLocal);
    console::say("Invoking merge tool: \n" + aCommand + "\n");
    console::out().flush();
    // The tool's own exit code does not matter (the question below decides), except the shell's
    // 127 for a command that it could not find or start.
    const int aResult = std::system(aCommand.c_str());
    if (aResult == -1 || (WIFEXITED(aResult) && WEXITSTATUS(aResult) == 127))
        failNotStarted(aCommand);
    CopyState anAfter = stateOf(aCopies.paths().itsLocal);
    aCopies.returnLeftovers(theFile);

    Outcome anOutcome;
    anOutcome.itsTaken = confirmed(anAfter != aBefore);
    if (anOutcome.itsTaken && anAfter.itsExists)
        anOutcome.itsLocal = std::move(anAfter.itsContent);
    return anOutcome;
}

} // namespace RepositoryAccess::mergetool
