// Writes and activates objects as one user at HOST (file:PATH or HOST:PORT@DATABASE), so that the
// end-to-end tests can race two users' activations or prepare a repository. With a barrier it
// writes p/x.txt, waits for COUNT processes, activates and prints the activation's error code and
// those of its error checks; "put" writes and activates each object, "remove" deletes one.
//
//   kivo_activate_probe HOST USER PASSWORD (BARRIERDIR COUNT | create-package | write-only)
//   kivo_activate_probe HOST USER PASSWORD put PACKAGE NAME SUFFIX CONTENT [PACKAGE NAME ...]
//   kivo_activate_probe HOST USER PASSWORD (remove PACKAGE NAME SUFFIX | package NAME)
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "repository/connection.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "repository/reposession.hpp"

using namespace RepositoryAccess;
namespace fs = std::filesystem;

namespace {

// Marks this process ready and waits until theCount processes are (at most 30 seconds).
bool meetAtBarrier(const fs::path& theDir, const std::string& theUser, long theCount) {
    std::ofstream(theDir / ("ready-" + theUser)).put('1');
    const auto anEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < anEnd) {
        long aReady = 0;
        for (const fs::directory_entry& anEntry : fs::directory_iterator(theDir))
            aReady += anEntry.path().filename().string().starts_with("ready-") ? 1 : 0;
        if (aReady >= theCount)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Writes (or deletes) one object, named by the words PACKAGE NAME SUFFIX [CONTENT], and
// activates the change, a new version based on the active one; the activation's error code.
std::string putOrRemoveOne(bool thePut, char** theWords) {
    RepositoryObject anObject(theWords[0], theWords[1], theWords[2]);
    if (repofunobjects::getNumberOfLatestVersion(RepositorySession::active(), anObject) > 0 &&
        repofunobjects::existsObject(RepositorySession::active(), anObject))
        anObject.setMetaData(repofunobjects::readActiveObjectMetaData(anObject));
    if (thePut && !repofunpackages::existsPackage(anObject.package()))
        repofunpackages::createPackage(anObject.package(), false);
    if (thePut)
        repofunobjects::writeObject(anObject, std::make_shared<const std::string>(theWords[3]));
    else
        repofunobjects::deleteObject(anObject);
    return repofunobjects::activateObjects({anObject}, "0", "").itsError.itsCode;
}

int run(int theArgc, char** theArgv) {
    const std::string aMode = theArgc > 4 ? theArgv[4] : "";
    const bool aPutOrRemove = theArgc >= 8 && (aMode == "put" || aMode == "remove");
    if (theArgc != 5 && theArgc != 6 && !aPutOrRemove) {
        std::cerr
            << "usage: kivo_activate_probe HOST USER PASSWORD (BARRIERDIR COUNT | "
               "create-package | write-only | put P N S CONTENT | remove P N S | package NAME)\n";
        return 2;
    }
    ParameterValues aValues;
    aValues.setValue(params::hostName, theArgv[1]);
    aValues.setValue(params::userName, theArgv[2]);
    aValues.setValue(params::passWord, theArgv[3]);
    installParameters(aValues);
    if (aPutOrRemove) {
        // "put" takes one object or more, each written and activated in turn (a later one may be
        // a new version of an earlier one); stops at the first activation that fails.
        const int aWords = aMode == "put" ? 4 : 3;
        if ((theArgc - 5) % aWords != 0 || (aMode != "put" && theArgc != 8))
            return 2;
        for (int i = 5; i < theArgc; i += aWords) {
            const std::string aCode = putOrRemoveOne(aMode == "put", theArgv + i);
            std::cout << "activation " << aCode << "\n";
            if (aCode != "0")
                return 1;
        }
        return 0;
    }
    if (aMode == "create-package" || (theArgc == 6 && aMode == "package")) {
        repofunpackages::createPackage(aMode == "package" ? theArgv[5] : "p", false);
        return 0;
    }
    RepositoryObject anObject("p", "x", "txt");
    repofunobjects::writeObject(anObject, std::make_shared<const std::string>(theArgv[2]));
    if (aMode == "write-only")
        return 0;
    if (theArgc != 6 || !meetAtBarrier(aMode, theArgv[2], std::stol(theArgv[5]))) {
        std::cerr << "the other process did not arrive\n";
        return 2;
    }
    ActivationResult aResult = repofunobjects::activateObjects({anObject}, "0", "");
    std::cout << "activation " << aResult.itsError.itsCode << "\n";
    for (const CheckResult& aCheck : aResult.itsCheckResults)
        if (aCheck.itsSeverity == "3")
            std::cout << "check " << aCheck.itsErrorCode << "\n";
    return 0;
}

} // namespace

int main(int theArgc, char** theArgv) {
    int aStatus = 1;
    try {
        aStatus = run(theArgc, theArgv);
    } catch (const Error& anError) {
        for (const std::string& aMessage : anError.messages())
            std::cerr << aMessage << "\n";
    } catch (const std::exception& anError) {
        std::cerr << "unexpected failure: " << anError.what() << "\n";
    }
    connection::finish();
    return aStatus;
}
