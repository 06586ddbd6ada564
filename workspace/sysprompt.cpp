#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "core/console.hpp"
#include "core/error.hpp"
#include "workspace/sys.hpp"
#include "workspace/sysinternal.hpp"

// The parts of the layer that face the user and the process: the password prompt, the browser,
// and the identity written into the workspace lock.
namespace RepositoryAccess::sys {

using internal::debugPath;

namespace {

// Switches terminal echo off on standard input for its lifetime, when standard input is a
// terminal; restores the previous mode on every way out.
class EchoOff {
public:
    EchoOff() {
        if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &itsSaved) != 0)
            return;
        termios aQuiet = itsSaved;
        aQuiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        itsActive = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &aQuiet) == 0;
    }
    ~EchoOff() {
        if (itsActive)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &itsSaved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios itsSaved{};
    bool itsActive = false;
};

// The command split into words; double quotes group blanks and stay part of the word.
std::vector<std::string> splitCommand(std::string_view theCommand) {
    std::vector<std::string> aWords;
    std::string aWord;
    bool anInQuotes = false;
    bool anInWord = false;
    for (char aChar : theCommand) {
        if (aChar == '"')
            anInQuotes = !anInQuotes;
        if (!anInQuotes && (aChar == ' ' || aChar == '\t')) {
            if (anInWord)
                aWords.push_back(std::move(aWord));
            aWord.clear();
            anInWord = false;
            continue;
        }
        aWord += aChar;
        anInWord = true;
    }
    if (anInWord)
        aWords.push_back(std::move(aWord));
    return aWords;
}

// A word with a blank that is not quoted yet gets double quotes.
std::string quoteCommandComponent(const std::string& theWord) {
    if (theWord.find(' ') == std::string::npos || (!theWord.empty() && theWord[0] == '"'))
        return theWord;
    return '"' + theWord + '"';
}

// True when an executable of that name lies in one of the directories of PATH.
bool onPath(std::string_view theProgram) {
    const char* aPath = std::getenv("PATH");
    if (!aPath)
        return false;
    std::string_view aDirs(aPath);
    while (true) {
        std::size_t aColon = aDirs.find(':');
        std::string aDir(aDirs.substr(0, aColon));
        std::string aCandidate = joinFileName(aDir.empty() ? "." : aDir, theProgram);
        if (::access(aCandidate.c_str(), X_OK) == 0)
            return true;
        if (aColon == std::string_view::npos)
            return false;
        aDirs.remove_prefix(aColon + 1);
    }
}

} // namespace

std::string shellQuoted(std::string_view theText) {
    std::string aWord = "'";
    for (char aChar : theText) {
        if (aChar == '\'')
            aWord += "'\\''";
        else
            aWord += aChar;
    }
    aWord += '\'';
    return aWord;
}

std::shared_ptr<const std::string> processIdentity() {
    std::string aModule(4096, '\0');
    ssize_t aLength = ::readlink("/proc/self/exe", aModule.data(), aModule.size());
    if (aLength < 0)
        internal::failWithErrno("Failed to determine the program's file name");
    aModule.resize(static_cast<std::size_t>(aLength));
    std::string aName = getFilePart(aModule).substr(0, 260);
    return std::make_shared<const std::string>("name: " + aName +
                                               ", id: " + std::to_string(::getpid()));
}

bool isProcessGone(int theProcessId, std::string_view theProgramName) {
    if (theProcessId <= 0)
        return false;
    if (::kill(theProcessId, 0) != 0 && errno == ESRCH)
        return true;
    if (theProgramName.empty())
        return false;
    std::string aModule(4096, '\0');
    const std::string aLink = "/proc/" + std::to_string(theProcessId) + "/exe";
    const ssize_t aLength = ::readlink(aLink.c_str(), aModule.data(), aModule.size());
    if (aLength < 0)
        return errno == ENOENT;
    aModule.resize(static_cast<std::size_t>(aLength));
    // A running executable that was replaced shows as "<path> (deleted)".
    const std::string aName = getFilePart(aModule);
    return aName != theProgramName && aName != std::string(theProgramName) + " (deleted)";
}

SecureString readPassword() {
    secrets::forbidCoreDumps();
    SecureString aPassword;
    {
        EchoOff anEchoOff;
        console::say("Password: ");
        console::out().flush();
        // Character by character into the SecureString: a std::string would leave copies of
        // the password behind as it grows.
        for (int aChar = std::cin.get(); aChar != std::char_traits<char>::eof() && aChar != '\n';
             aChar = std::cin.get())
            aPassword.push_back(static_cast<char>(aChar));
    }
    if (!aPassword.empty() && aPassword.back() == '\r')
        aPassword.pop_back();
    console::say("\n");
    console::out().flush();
    return aPassword;
}

void displayURL(std::string_view theUrl) {
    constexpr std::string_view aName = "displayURL";
    debugPath(aName, 1, "theUrl", theUrl);
    std::string aBrowser;
    if (const char* aValue = std::getenv("BROWSER"))
        aBrowser = aValue;
    debugPath(aName, 2, "BROWSER", aBrowser);
    if (aBrowser.empty() && onPath("xdg-open"))
        aBrowser = "xdg-open";
    debugPath(aName, 3, "aBrowserCommand", aBrowser);
    if (aBrowser.empty())
        throw Error("Could not determine browser. Set environment variable \"BROWSER\" to your "
                    "favorite browser or set a new Windows default browser.");
    std::vector<std::string> aWords = splitCommand(aBrowser);
    debugPath(aName, 4, "aComponentCount", std::to_string(aWords.size()));
    bool aPlaced = false;
    for (std::string& aWord : aWords) {
        if (aWord == "%1" || aWord == "\"%1\"") {
            aWord = shellQuoted(theUrl);
            aPlaced = true;
        } else {
            aWord = quoteCommandComponent(aWord);
        }
    }
    debugPath(aName, 5, "aUrlPlaced", aPlaced ? "true" : "false");
    if (!aPlaced)
        aWords.push_back(shellQuoted(theUrl));
    std::string aCommand;
    for (const std::string& aWord : aWords) {
        if (!aCommand.empty())
            aCommand += ' ';
        aCommand += aWord;
    }
    debugPath(aName, 6, "aCommand", aCommand);
    int aStatus = std::system(aCommand.c_str());
    // The browser reports its own problems; the status only goes to the path debug output.
    debugPath(aName, 7, "aStatus", std::to_string(aStatus));
}

} // namespace RepositoryAccess::sys
