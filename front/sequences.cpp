#include "core/console.hpp"
#include "core/parameters.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "front/dispatcher.hpp"

#include <ostream>

namespace RepositoryAccess::sequences {

namespace {

ParameterValues& store() {
    return parameters();
}

// Announces the next step of a sequence.
void marker(std::string_view theMarker) {
    if (isSet(params::verbose))
        console::out() << theMarker << '\n' << std::flush;
    console::traceOnly(theMarker);
    console::traceOnly("\n");
}

void step(ActionHost& theHost, std::string_view theMarker, ActionKind theKind) {
    marker(theMarker);
    theHost.runAction(theKind);
}

bool whatIsOneOf(std::string_view theFirst, std::string_view theSecond) {
    const std::string aWhat = getValue(params::what);
    return textcase::equalsIgnoringCase(aWhat, theFirst) ||
           textcase::equalsIgnoringCase(aWhat, theSecond);
}

// Clears a flag that the sequence switched on, unless the caller had it on already.
void unsetUnless(bool theWasSet, const Parameter& theParameter) {
    if (!theWasSet)
        store().unset(theParameter);
}

void replaceValue(const Parameter& theParameter, std::string theValue) {
    store().unset(theParameter);
    store().setValue(theParameter, std::move(theValue));
}

// The connection parameters that transport switches between its source and target system.
struct ConnectionSide {
    const Parameter& itsHostName;
    const Parameter& itsKey;
    const Parameter& itsPassWord;
    const Parameter& itsUserName;
    std::string_view itsTitle; // "Source" or "Target"
};

void switchConnection(const ConnectionSide& theSide) {
    replaceValue(params::hostName, getValue(theSide.itsHostName));
    replaceValue(params::key, getValue(theSide.itsKey));
    store().copyValue(theSide.itsPassWord, params::passWord);
    replaceValue(params::userName, getValue(theSide.itsUserName));

    const std::string aTitle(theSide.itsTitle);
    const std::string aKey = getValue(params::key);
    if (!aKey.empty()) {
        console::out() << "\n" << aTitle << " key: " << aKey << '\n';
        console::traceOnly(aTitle + " key: " + aKey + "\n");
        return;
    }
    console::say("\n" + aTitle + " host name: " + getValue(params::hostName) + "\n");
    console::say(aTitle + " user name: " + getValue(params::userName) + "\n");
}

} // namespace

void activate(ActionHost& theHost) {
    const bool aNoCheckOut = isSet(params::noCheckOut);
    const bool aNoTips = isSet(params::noTips);
    if (!aNoCheckOut)
        store().setFlag(params::noTips);
    step(theHost, "-activate", ActionKind::activate);
    if (aNoCheckOut || runstatistics::get(Statistic::activationConflicts) == 0)
        return;
    runstatistics::reset();
    unsetUnless(aNoTips, params::noTips);
    step(theHost, "-checkout", ActionKind::checkOut);
}

void checkOut(ActionHost& theHost) {
    if (!isSet(params::noTrack) && !isSet(params::noRecursive) && whatIsOneOf("package", "objects"))
        step(theHost, "-track", ActionKind::track);
    step(theHost, "-checkout", ActionKind::checkOut);
}

void discard(ActionHost& theHost) {
    step(theHost, "-discard", ActionKind::discard);
    if (!isSet(params::noUnTrack) && !isSet(params::noRecursive) &&
        whatIsOneOf("package", "objects"))
        step(theHost, "-untrack", ActionKind::unTrack);
}

void revert(ActionHost& theHost) {
    if (!isSet(params::noCheckOut)) {
        store().setFlag(params::base);
        store().setFlag(params::overwrite);
        step(theHost, "-checkout", ActionKind::checkOut);
    }
    step(theHost, "-revert", ActionKind::revert);
}

void takeOver(ActionHost& theHost) {
    step(theHost, "-takeover", ActionKind::takeOver);
    if (isSet(params::noCheckOut) || runstatistics::get(Statistic::takenOverObjects) <= 0)
        return;
    store().setFlag(params::inactive);
    step(theHost, "-checkout", ActionKind::checkOut);
}

void assign(ActionHost& theHost) {
    step(theHost, "-update", ActionKind::update);
}

void unAssign(ActionHost& theHost) {
    store().unset(params::deliveryUnit);
    store().unset(params::vendor);
    store().setValue(params::deliveryUnit, "");
    store().setValue(params::vendor, "");
    step(theHost, "-update", ActionKind::update);
}

void mergeTool(ActionHost& theHost) {
    store().setValue(params::with, "mergeTool");
    step(theHost, "-resolve", ActionKind::resolve);
}

void push(ActionHost& theHost) {
    const bool aForce = isSet(params::force);
    const bool aLocal = isSet(params::local);
    const bool aNoCompare = isSet(params::noCompare);
    const bool aNoTips = isSet(params::noTips);
    if (aForce) {
        store().unset(params::force);
        store().setFlag(params::local);
        store().setFlag(params::noCompare);
    }
    const bool aResolvePass = !getValue(params::with).empty() || isSet(params::local) ||
                              isSet(params::base) || isSet(params::remote) ||
                              isSet(params::mergeTool);
    if (aResolvePass)
        store().setFlag(params::noTips);

    step(theHost, "-commit", ActionKind::commit);
    activate(theHost);

    if (aResolvePass) {
        exitstatus::reset();
        runstatistics::printEverywhere();
        runstatistics::reset();
        step(theHost, "-resolve", ActionKind::resolve);
        step(theHost, "-commit", ActionKind::commit);
        unsetUnless(aNoTips, params::noTips);
        theHost.runAction(ActionKind::activate);
    }
    if (aForce) {
        store().setFlag(params::force);
        unsetUnless(aLocal, params::local);
        unsetUnless(aNoCompare, params::noCompare);
    }
}

void deleteObjects(ActionHost& theHost) {
    const bool aForce = isSet(params::force);
    const bool aNoRecursive = isSet(params::noRecursive);
    const bool aPackages = whatIsOneOf("package", "packages");
    const bool aWorkspaceOpen = theHost.openWorkspaceUnlocked();
    const int anApiVersion = theHost.repositoryApiVersion();
    const bool aPackageTree = aPackages && aForce && !aNoRecursive && aWorkspaceOpen;

    if (aPackageTree && (isSet(params::noDeletePackageRecursively) || anApiVersion < 16)) {
        theHost.lockWorkspace();
        checkOut(theHost);
        runstatistics::printEverywhere();
        runstatistics::reset();
        theHost.deletePackageFiles(store().getValues(params::package), true);
        push(theHost);
        step(theHost, "-delete", ActionKind::deleteObjects);
    } else {
        theHost.runAction(ActionKind::deleteObjects);
    }
    if (aPackageTree)
        discard(theHost);
}

namespace {

// The connection parameters of the run, kept while transport replaces them.
struct SavedConnection {
    std::vector<std::pair<const Parameter*, std::vector<std::string>>> itsValues;
    bool itsPassWordSet = false;
    SecureString itsPassWord;

    SavedConnection() {
        for (const Parameter* aParameter : {&params::hostName, &params::key, &params::userName})
            itsValues.emplace_back(aParameter, store().getValues(*aParameter));
        itsPassWordSet = store().isSet(params::passWord);
        itsPassWord = store().secret(params::passWord).clone();
    }
    void restore() const {
        for (const auto& [aParameter, aValues] : itsValues) {
            store().unset(*aParameter);
            for (const std::string& aValue : aValues)
                store().setValue(*aParameter, aValue);
        }
        store().unset(params::passWord);
        if (itsPassWordSet)
            store().setSecret(params::passWord, itsPassWord.clone());
    }
};

// Exports each delivery unit from the source system into a temporary file (theFiles names them
// as they are made), then imports them all into the target system.
void exportThenImport(ActionHost& theHost, std::vector<std::string>& theFiles) {
    theHost.openWorkspaceUnlocked();
    marker("-export");
    switchConnection({params::sourceHostName, params::sourceKey, params::sourcePassWord,
                      params::sourceUserName, "Source"});
    for (const std::string& aDeliveryUnit : store().getValues(params::deliveryUnit)) {
        replaceValue(params::deliveryUnit, aDeliveryUnit);
        theFiles.push_back(theHost.temporaryFileName("transport", "tgz"));
        replaceValue(params::fileName, theFiles.back());
        theHost.runAction(ActionKind::exportDeliveryUnit);
    }
    console::say("\n" + std::string(60, '-'));
    theHost.closeConnection();

    marker("-import");
    switchConnection({params::targetHostName, params::targetKey, params::targetPassWord,
                      params::targetUserName, "Target"});
    store().unset(params::fileName);
    for (const std::string& aFile : theFiles)
        store().setValue(params::fileName, aFile);
    theHost.runAction(ActionKind::importFiles);
}

} // namespace

void transport(ActionHost& theHost) {
    const std::pair<const Parameter&, const Parameter&> aDefaults[] = {
        {params::sourceHostName, params::hostName},
        {params::sourceKey, params::key},
        {params::sourcePassWord, params::passWord},
        {params::sourceReadFromStdIn, params::readFromStdIn},
        {params::sourceUserName, params::userName},
        {params::targetHostName, params::hostName},
        {params::targetKey, params::key},
        {params::targetPassWord, params::passWord},
        {params::targetReadFromStdIn, params::readFromStdIn},
        {params::targetUserName, params::userName},
    };
    for (const auto& [aSide, aRun] : aDefaults)
        if (getValue(aSide).empty() && isSet(aRun))
            store().copyValue(aRun, aSide);

    // The export files are the run's own: they go whether the transport succeeds or fails.
    const SavedConnection aSaved;
    std::vector<std::string> aFiles;
    try {
        exportThenImport(theHost, aFiles);
    } catch (...) {
        theHost.removeTemporaryFiles(aFiles);
        throw;
    }
    theHost.removeTemporaryFiles(aFiles);
    aSaved.restore();
}

} // namespace RepositoryAccess::sequences
