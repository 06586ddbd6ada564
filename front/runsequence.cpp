#include "front/runsequence.hpp"

#include <cstdlib>
#include <ctime>
#include <iostream>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/heappages.hpp"
#include "core/interrupt.hpp"
#include "core/perftrace.hpp"
#include "core/runstatistics.hpp"
#include "front/dispatcher.hpp"
#include "front/parameterparser.hpp"
#include "front/programhost.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess {

namespace {

// The start of the run in calendar text form, for example "Thu Dec  4 03:35:34 2026\n".
std::string startTime() {
    std::time_t aNow = std::time(nullptr);
    std::tm aLocal{};
    localtime_r(&aNow, &aLocal);
    char aText[64];
    std::size_t aLength = std::strftime(aText, sizeof aText, "%a %b %e %H:%M:%S %Y\n", &aLocal);
    return std::string(aText, aLength);
}

void record(const std::string& theText, bool theEcho) {
    console::commandLog() << theText;
    console::trace() << theText;
    if (theEcho)
        console::out() << theText << std::flush;
}

void reportFailure(const std::vector<std::string>& theMessages, const std::string& theDescription,
                   bool theParseDone) {
    for (const auto& aMessage : theMessages)
        console::err() << aMessage << '\n' << std::flush;
    exitstatus::fail();
    if (theParseDone && isSet(params::trace))
        console::trace() << "An error occurred:\n" << theDescription << '\n';
}

// Puts the passwords taken out of the arguments in place of their masked values; of several
// values of one parameter the first counts, as for any option.
void installSecrets(std::vector<parameterparser::SecretArgument>& theSecrets) {
    for (auto anIt = theSecrets.rbegin(); anIt != theSecrets.rend(); ++anIt)
        parameters().setSecret(anIt->itsParameter, std::move(anIt->itsValue));
    theSecrets.clear();
}

} // namespace

int run(const std::vector<std::string>& theArguments, ActionHost& theHost,
        std::vector<parameterparser::SecretArgument> theSecrets) {
    bool aParseDone = false;
    try {
        const std::string aStart = startTime();
        record(aStart, false);
        const char* anEcho = std::getenv("KIVO_ARGS");
        const std::string anEchoMode = anEcho ? anEcho : "";
        const bool anEchoOn = anEchoMode == "1" || anEchoMode == "2";
        record(parameterparser::recordedCommandLine(theArguments) + "\n", anEchoOn);

        std::vector<std::string> anOptions(theArguments.begin() + (theArguments.empty() ? 0 : 1),
                                           theArguments.end());
        installParameters(parameterparser::parseCommandLine(anOptions));
        installSecrets(theSecrets);
        aParseDone = true;
        record(parameterparser::parameterDump(parameters()) + "\n", anEchoOn);
        if (anEchoMode == "2")
            return exitstatus::get();

        parameterparser::applyEnvironment(parameters());
        if (isSet(params::debug)) {
            parameters().setFlag(params::verbose);
            parameters().setFlag(params::jsonRequest);
            parameters().setFlag(params::jsonResponse);
        }
        interrupt::install();
        dispatcher::dispatch(theHost);
        // An interrupt that found no object to stop after ends the run here.
        interrupt::check();
        if (isSet(params::perfTrace))
            sys::writeFile("kivoPerfTrace.xml", perftrace::toXml());
        runstatistics::printEverywhere();
        theHost.finishWorkspace(false);
    } catch (const Error& anError) {
        reportFailure(anError.messages(), anError.description(), aParseDone);
        theHost.finishWorkspace(true);
    } catch (const std::exception& anError) {
        // A foreign failure that no layer converted: still a clean report, never a crash.
        const std::string aMessage = std::string("Internal error: ") + anError.what();
        reportFailure({aMessage}, aMessage, aParseDone);
        theHost.finishWorkspace(true);
    }
    theHost.finishConnection();
    return exitstatus::get();
}

int run(int theArgc, char** theArgv) {
    // Before anything else, so that the process listing shows no password for longer than the
    // start of the process takes.
    std::vector<parameterparser::SecretArgument> aSecrets =
        parameterparser::takeSecretArguments(theArgc, theArgv);
    std::ios::sync_with_stdio(false);
    // A run over a large tree allocates a few hundred thousand small names on several threads;
    // growing each heap by 64 MiB at a time (address space, not memory) spares the thousands of
    // small extensions that would otherwise each cost a system call, and large pages spare most
    // of the faults of the first touch.
    heappages::prepare();
    ProgramHost aHost;
    return run(std::vector<std::string>(theArgv, theArgv + theArgc), aHost, std::move(aSecrets));
}

} // namespace RepositoryAccess
