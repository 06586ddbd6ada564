// The load of a team on one repository: clients of several users (two clients for each user by
// default), each a process with its own workspace, push, check out and activate the objects of a
// shared package for a while; pushes of different clients touch overlapping objects, so that
// activation conflicts (40129) happen. Prints the throughput and the p50 and p99 latency of each
// operation, the conflicts and failures, and then proves from the histories that every version
// an activation reported as activated is there, once and whole. Ends with the same figures as
// one line of JSON.
//
// The operations and their repository calls: a push lists the shared package's active objects,
// writes new versions of --per-push of them (picked at random) and activates them; a checkout
// lists the active objects and reads them with their contents in one request; an activate
// lists what the workspace holds, writes again each version that a newer activation outdated
// (the merge after a conflict) and activates them. A client whose workspace holds versions
// activates next; otherwise it checks out (--checkouts percent of the time) or pushes. Each
// operation's latency counts from its first call to its last answer, conflicts included.
//
//   teamload HOST --password PW [--database NAME] [--clients 16] [--users 8] [--seconds 60]
//            [--user-prefix team] [--objects 32] [--per-push 3] [--checkouts 40]
//            [--size 1024] [--dir DIR] [--seed 1]
//   teamload HOST --password PW [--database NAME] --check-logs DIR [--objects 32] ...
//
// HOST is file:PATH for the repository file or HOST:PORT for a server. The users are the prefix
// with the numbers 1 to --users, all with the password PW; the first one creates the packages.
// With --check-logs the driver runs no load: it checks the logs that a run with --dir DIR left
// against the repository again, after a restart of the server, for example.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/teamloadclient.hpp"
#include "bench/teamloadreport.hpp"
#include "bench/teamloadverify.hpp"
#include "core/error.hpp"

using namespace RepositoryAccess;
using namespace RepositoryAccess::teamload;

namespace {

const char* const kUsage =
    "usage: teamload HOST --password PW [--database NAME] [--clients N] [--users N]\n"
    "                [--seconds S] [--user-prefix P] [--objects N] [--per-push N]\n"
    "                [--checkouts PERCENT] [--size BYTES] [--dir DIR] [--seed N]\n"
    "       teamload HOST --password PW [--database NAME] --check-logs DIR [options as above]\n";

// A wrong command line: the usage goes to standard error and the exit status is 2.
struct UsageError {
    std::string itsMessage;
};

int wholeNumber(const std::string& theOption, const std::string& theText, int theLeast) {
    int aValue = 0;
    const auto [anEnd, aFailure] =
        std::from_chars(theText.data(), theText.data() + theText.size(), aValue);
    if (aFailure != std::errc() || anEnd != theText.data() + theText.size() || aValue < theLeast)
        throw UsageError{theOption + " needs a whole number of at least " +
                         std::to_string(theLeast) + ", not \"" + theText + "\""};
    return aValue;
}

// Sets the option theName to theValue; false for an unknown option.
bool setOption(LoadOptions& theOptions, const std::string& theName, const std::string& theValue) {
    const std::vector<std::pair<const char*, std::string*>> aTexts = {
        {"--password", &theOptions.itsPassword},
        {"--database", &theOptions.itsDatabase},
        {"--user-prefix", &theOptions.itsUserPrefix},
        {"--dir", &theOptions.itsDir}};
    for (const auto& [aName, aTarget] : aTexts) {
        if (theName == aName) {
            *aTarget = theValue;
            return true;
        }
    }
    const std::vector<std::tuple<const char*, int*, int>> aNumbers = {
        {"--clients", &theOptions.itsClients, 1},
        {"--users", &theOptions.itsUsers, 1},
        {"--seconds", &theOptions.itsSeconds, 1},
        {"--objects", &theOptions.itsObjects, 1},
        {"--per-push", &theOptions.itsObjectsPerPush, 1},
        {"--checkouts", &theOptions.itsCheckoutPercent, 0},
        {"--size", &theOptions.itsContentSize, 64},
        {"--seed", &theOptions.itsSeed, 0}};
    for (const auto& [aName, aTarget, aLeast] : aNumbers) {
        if (theName == aName) {
            *aTarget = wholeNumber(theName, theValue, aLeast);
            return true;
        }
    }
    if (theName != "--check-logs")
        return false;
    theOptions.itsDir = theValue;
    theOptions.itsCheckOnly = true;
    return true;
}

LoadOptions parseOptions(const std::vector<std::string>& theArgs) {
    if (theArgs.empty() || theArgs[0].starts_with("--"))
        throw UsageError{"HOST is missing"};
    LoadOptions anOptions;
    anOptions.itsHost = theArgs[0];
    for (std::size_t anIndex = 1; anIndex < theArgs.size(); anIndex += 2) {
        if (anIndex + 1 >= theArgs.size())
            throw UsageError{theArgs[anIndex] + " needs a value"};
        if (!setOption(anOptions, theArgs[anIndex], theArgs[anIndex + 1]))
            throw UsageError{"unknown option \"" + theArgs[anIndex] + "\""};
    }
    if (anOptions.itsPassword.empty())
        throw UsageError{"--password is missing"};
    if (anOptions.itsCheckoutPercent > 100)
        throw UsageError{"--checkouts is a share in percent, at most 100"};
    return anOptions;
}

void printError(const std::string& theWho, const Error& theError) {
    for (const std::string& aMessage : theError.messages())
        std::cerr << "teamload: " << theWho << aMessage << "\n";
}

// Runs theWork in a child process, so that the driver itself holds no connection while it forks
// the clients; true when the child ended with status 0.
bool runInChild(const std::function<void()>& theWork) {
    std::cout.flush();
    const pid_t aChild = ::fork();
    if (aChild < 0)
        throw Error("Could not start a process: fork failed");
    if (aChild == 0) {
        int aStatus = 0;
        try {
            theWork();
        } catch (const Error& anError) {
            printError("", anError);
            aStatus = 1;
        }
        std::cerr.flush();
        ::_exit(aStatus);
    }
    int aStatus = 0;
    return ::waitpid(aChild, &aStatus, 0) == aChild && WIFEXITED(aStatus) &&
           WEXITSTATUS(aStatus) == 0;
}

// One client process: logs in, says whether it is ready through theReady, waits for the start
// byte on theGo ('g' to run, anything else to give up) and runs.
int clientProcess(const LoadOptions& theOptions, int theIndex, int theReady, int theGo) {
    std::ofstream aLog(clientLogName(theOptions, theIndex));
    TeamClient aClient(theOptions, theIndex, aLog);
    const std::string aWho = "client " + std::to_string(theIndex) + ": ";
    char aReady = '1';
    try {
        aClient.prepare();
    } catch (const Error& anError) {
        printError(aWho, anError);
        aReady = '0';
    }
    char aStart = 'q';
    if (::write(theReady, &aReady, 1) != 1 || ::read(theGo, &aStart, 1) != 1)
        aStart = 'q';
    int aStatus = aReady == '1' ? 0 : 1;
    try {
        if (aStart == 'g' && aReady == '1')
            aClient.run();
    } catch (const Error& anError) {
        printError(aWho, anError);
        aStatus = 1;
    }
    aClient.finish();
    aLog.flush();
    std::cerr.flush();
    return aLog ? aStatus : 1;
}

// Starts every client, lets them all go at once when each has logged in, and waits for their
// end; throws when a client could not log in.
void runClients(const LoadOptions& theOptions) {
    int aReady[2], aGo[2];
    if (::pipe(aReady) != 0 || ::pipe(aGo) != 0)
        throw Error("Could not create the pipes that start the clients");
    std::cout.flush();
    std::vector<pid_t> aChildren;
    for (int anIndex = 0; anIndex < theOptions.itsClients; ++anIndex) {
        const pid_t aChild = ::fork();
        if (aChild == 0) {
            ::close(aReady[0]);
            ::close(aGo[1]);
            ::_exit(clientProcess(theOptions, anIndex, aReady[1], aGo[0]));
        }
        if (aChild > 0)
            aChildren.push_back(aChild);
    }
    ::close(aReady[1]);
    ::close(aGo[0]);
    int aLoggedIn = 0;
    char aByte = 0;
    for (std::size_t anAnswer = 0; anAnswer < aChildren.size() && ::read(aReady[0], &aByte, 1) == 1;
         ++anAnswer)
        aLoggedIn += aByte == '1' ? 1 : 0;
    const char aStart = aLoggedIn == theOptions.itsClients ? 'g' : 'q';
    for (std::size_t anIndex = 0; anIndex < aChildren.size(); ++anIndex)
        if (::write(aGo[1], &aStart, 1) != 1)
            break;
    ::close(aGo[1]);
    ::close(aReady[0]);
    for (pid_t aChild : aChildren)
        ::waitpid(aChild, nullptr, 0);
    if (aStart != 'g')
        throw Error(std::to_string(theOptions.itsClients - aLoggedIn) + " of " +
                    std::to_string(theOptions.itsClients) +
                    " clients could not start (see their messages above)");
}

int run(const std::vector<std::string>& theArgs) {
    LoadOptions anOptions = parseOptions(theArgs);
    const bool aTemporaryDir = anOptions.itsDir.empty();
    if (aTemporaryDir) {
        std::string aTemplate = (std::filesystem::temp_directory_path() / "kivo-teamload.XXXXXX");
        if (::mkdtemp(aTemplate.data()) == nullptr)
            throw Error("Could not create a temporary folder for the clients");
        anOptions.itsDir = aTemplate;
    }
    if (!anOptions.itsCheckOnly) {
        std::filesystem::create_directories(anOptions.itsDir);
        if (!runInChild([&anOptions] { prepareRepository(anOptions); }))
            throw Error("The repository could not be prepared for the load");
        runClients(anOptions);
    }
    const LoadLog aLog = readClientLogs(anOptions);
    const HistoryCheck aCheck = checkActivations(anOptions, aLog.itsActivations);
    printReport(std::cout, anOptions, aLog, aCheck);
    const bool aPassed = aCheck.passed() && aLog.itsUnfinishedClients == 0;
    if (aTemporaryDir && aPassed)
        std::filesystem::remove_all(anOptions.itsDir);
    return aPassed ? 0 : 1;
}

} // namespace

int main(int theArgc, char** theArgv) {
    try {
        return run(std::vector<std::string>(theArgv + 1, theArgv + theArgc));
    } catch (const UsageError& anError) {
        std::cerr << "teamload: " << anError.itsMessage << "\n" << kUsage;
        return 2;
    } catch (const Error& anError) {
        printError("", anError);
    } catch (const std::exception& anError) {
        std::cerr << "teamload: " << anError.what() << "\n";
    }
    return 1;
}
