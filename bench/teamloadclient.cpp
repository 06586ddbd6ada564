#include "bench/teamloadclient.hpp"

#include <algorithm>
#include <chrono>
#include <memory>

#include "core/error.hpp"
#include "repository/connection.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess::teamload {

namespace {

using Clock = std::chrono::steady_clock;

// A client whose operations keep failing stops instead of spinning through the rest of the run.
constexpr int kMaxFailuresInRow = 100;

const char* outcomeName(Outcome theOutcome) {
    switch (theOutcome) {
    case Outcome::ok:
        return "ok";
    case Outcome::conflict:
        return "conflict";
    case Outcome::failed:
        return "failed";
    }
    return "unknown";
}

std::int64_t microsSince(Clock::time_point theStart) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - theStart).count();
}

// The messages of an error on one line.
std::string oneLine(const Error& theError) {
    std::string aLine;
    for (const std::string& aMessage : theError.messages())
        aLine += (aLine.empty() ? "" : " / ") + aMessage;
    std::replace(aLine.begin(), aLine.end(), '\n', ' ');
    return aLine;
}

RepositoryObject sharedObject(const std::string& theName) {
    return RepositoryObject(std::string(kSharedPackage), theName, std::string(kSuffix));
}

bool isConflict(const ActivationResult& theResult) {
    return std::any_of(
        theResult.itsCheckResults.begin(), theResult.itsCheckResults.end(),
        [](const CheckResult& theCheck) { return theCheck.itsErrorCode == "40129"; });
}

// The failure of an activation that neither succeeded nor met a conflict, with the messages of
// its error checks.
Error activationFailure(const ActivationResult& theResult) {
    std::string aMessage = repofunbase::failureMessage("Activation failed (", theResult.itsError);
    for (const CheckResult& aCheck : theResult.itsCheckResults)
        if (aCheck.itsSeverity == "3")
            aMessage += "; " + aCheck.itsErrorCode + " " + aCheck.itsErrorMsg;
    return Error(aMessage);
}

std::map<std::string, RepositoryObject> byName(std::vector<RepositoryObject> theObjects) {
    std::map<std::string, RepositoryObject> anObjects;
    for (RepositoryObject& anObject : theObjects)
        anObjects.emplace(anObject.name(), std::move(anObject));
    return anObjects;
}

std::string twoDigits(int theNumber) {
    return (theNumber < 10 ? "0" : "") + std::to_string(theNumber);
}

} // namespace

void prepareRepository(const LoadOptions& theOptions) {
    installConnectParameters(theOptions, userOf(theOptions, 0), "");
    for (std::string_view aPackage : {kRootPackage, kSharedPackage})
        if (!repofunpackages::existsPackage(std::string(aPackage)))
            repofunpackages::createPackage(std::string(aPackage), false);
    const auto aFound =
        repofunobjects::findObjects(RepositorySession::active(), std::string(kSharedPackage), "");
    std::vector<RepositoryObject> aNew;
    for (int anIndex = 0; anIndex < theOptions.itsObjects; ++anIndex) {
        RepositoryObject anObject = sharedObject(objectName(anIndex));
        if (std::any_of(aFound.begin(), aFound.end(), [&](const RepositoryObject& theFound) {
                return theFound.name() == anObject.name();
            }))
            continue;
        repofunobjects::writeObject(
            anObject,
            std::make_shared<const std::string>(contentOf(
                "setup", anObject.name(), static_cast<std::size_t>(theOptions.itsContentSize))));
        aNew.push_back(std::move(anObject));
    }
    if (!aNew.empty()) {
        const ActivationResult aResult = repofunobjects::activateObjects(aNew, "0", "");
        if (aResult.itsError.itsCode != "0")
            throw activationFailure(aResult);
    }
    connection::close();
}

TeamClient::TeamClient(const LoadOptions& theOptions, int theIndex, std::ostream& theLog)
    : itsOptions(theOptions), itsIndex(theIndex), itsLog(theLog),
      itsRandom(static_cast<unsigned>(theOptions.itsSeed) * 1000u +
                static_cast<unsigned>(theIndex)) {}

void TeamClient::prepare() {
    installConnectParameters(itsOptions, userOf(itsOptions, itsIndex),
                             itsOptions.itsDir + "/ws-" + twoDigits(itsIndex));
    workspace::create();
    connection::open();
}

void TeamClient::run() {
    const Clock::time_point aStart = Clock::now();
    const Clock::time_point anEnd = aStart + std::chrono::seconds(itsOptions.itsSeconds);
    int aFailuresInRow = 0;
    while (Clock::now() < anEnd && aFailuresInRow < kMaxFailuresInRow) {
        const Operation anOperation = nextOperation();
        const Clock::time_point aBegin = Clock::now();
        const Outcome anOutcome = runOperation(anOperation);
        itsLog << "op " << operationName(anOperation) << " " << outcomeName(anOutcome) << " "
               << microsSince(aBegin) << "\n";
        aFailuresInRow = anOutcome == Outcome::failed ? aFailuresInRow + 1 : 0;
    }
    if (aFailuresInRow >= kMaxFailuresInRow)
        itsLog << "error client stopped after " << kMaxFailuresInRow
               << " failed operations in a row\n";
    itsLog << "elapsed " << microsSince(aStart) << "\n";
}

void TeamClient::finish() {
    connection::finish();
    workspace::finish(false);
}

Operation TeamClient::nextOperation() {
    if (!itsHeld.empty())
        return Operation::activate;
    std::uniform_int_distribution<int> aPercent(0, 99);
    return aPercent(itsRandom) < itsOptions.itsCheckoutPercent ? Operation::checkout
                                                               : Operation::push;
}

Outcome TeamClient::runOperation(Operation theOperation) {
    try {
        switch (theOperation) {
        case Operation::push:
            return push();
        case Operation::checkout:
            return checkout();
        case Operation::activate:
            return activate();
        }
    } catch (const Error& anError) {
        // Counted and reported by the driver: a failure under load is a figure, not an end.
        itsLog << "error " << operationName(theOperation) << " " << oneLine(anError) << "\n";
    }
    return Outcome::failed;
}

Outcome TeamClient::push() {
    const std::map<std::string, RepositoryObject> anActive = activeObjects();
    std::vector<const RepositoryObject*> aBases;
    for (int anIndex : pickObjects()) {
        const auto aFound = anActive.find(objectName(anIndex));
        if (aFound == anActive.end())
            throw Error("The shared object " + objectName(anIndex) + " has no active version");
        aBases.push_back(&aFound->second);
    }
    write(aBases);
    return activateHeld();
}

Outcome TeamClient::checkout() {
    const auto aFound =
        repofunobjects::findObjects(RepositorySession::active(), std::string(kSharedPackage), "");
    for (const ObjectContent& aRead : repofunobjects::readObjects(aFound)) {
        const std::string& aContent = aRead.itsContent;
        if (aContent != contentOf(tagOf(aContent), aRead.itsObject.name(), aContent.size()))
            throw Error("The checkout read a damaged content of " + aRead.itsObject.name() +
                        " (tag " + tagOf(aContent) + ")");
    }
    return Outcome::ok;
}

Outcome TeamClient::activate() {
    // Both listings in one round trip, as a checkout asks for them.
    auto aFound = repofunobjects::searchObjects(
        {{repofunbase::defaultInactiveSession(), std::string(kSharedPackage), ""},
         {RepositorySession::active(), std::string(kSharedPackage), ""}});
    const std::vector<RepositoryObject>& anInactive = aFound[0];
    const std::map<std::string, RepositoryObject> anActive = byName(std::move(aFound[1]));
    std::map<std::string, std::string> aKnown;
    aKnown.swap(itsHeld);
    std::vector<const RepositoryObject*> aRewrites;
    for (const RepositoryObject& aHeld : anInactive) {
        const auto aBase = anActive.find(aHeld.name());
        const auto aTag = aKnown.find(aHeld.name());
        const bool anOutdated =
            aBase == anActive.end() ||
            aHeld.metaData().itsVersionId - 1 != aBase->second.metaData().itsVersionId;
        // A version this client cannot name (a write whose answer was lost) is written again.
        if (anOutdated || aTag == aKnown.end())
            aRewrites.push_back(aBase == anActive.end() ? &aHeld : &aBase->second);
        else
            itsHeld[aHeld.name()] = aTag->second;
    }
    write(aRewrites);
    return activateHeld();
}

std::map<std::string, RepositoryObject> TeamClient::activeObjects() const {
    return byName(
        repofunobjects::findObjects(RepositorySession::active(), std::string(kSharedPackage), ""));
}

// The writes go together in one group, as a commit sends them: one statement and one
// transaction on the server, one transaction on the file.
void TeamClient::write(const std::vector<const RepositoryObject*>& theBases) {
    if (theBases.empty())
        return;
    std::vector<std::string> aTags;
    std::vector<repofunobjects::ObjectWrite> aWrites;
    for (const RepositoryObject* aBase : theBases) {
        aTags.push_back("c" + twoDigits(itsIndex) + "-" + std::to_string(++itsWrites));
        aWrites.push_back(repofunobjects::prepareWriteObject(
            *aBase, std::make_shared<const std::string>(
                        contentOf(aTags.back(), aBase->name(),
                                  static_cast<std::size_t>(itsOptions.itsContentSize)))));
    }
    CallGroup aGroup(connection::open());
    repofunobjects::writeObjects(std::move(aWrites),
                                 [&](std::size_t theIndex, const ObjectMetaData&) {
                                     itsHeld[theBases[theIndex]->name()] = aTags[theIndex];
                                 });
    aGroup.end();
}

Outcome TeamClient::activateHeld() {
    if (itsHeld.empty())
        return Outcome::ok;
    std::vector<RepositoryObject> anObjects;
    for (const auto& [aName, aTag] : itsHeld)
        anObjects.push_back(sharedObject(aName));
    const ActivationResult aResult = repofunobjects::activateObjects(anObjects, "0", "");
    if (aResult.itsError.itsCode == "0") {
        for (const auto& [aName, aTag] : itsHeld)
            itsLog << "activated " << aName << " " << aTag << "\n";
        itsHeld.clear();
        return Outcome::ok;
    }
    if (isConflict(aResult))
        return Outcome::conflict;
    throw activationFailure(aResult);
}

std::vector<int> TeamClient::pickObjects() {
    std::vector<int> anAll(static_cast<std::size_t>(itsOptions.itsObjects));
    for (int anIndex = 0; anIndex < itsOptions.itsObjects; ++anIndex)
        anAll[static_cast<std::size_t>(anIndex)] = anIndex;
    std::shuffle(anAll.begin(), anAll.end(), itsRandom);
    anAll.resize(
        static_cast<std::size_t>(std::min(itsOptions.itsObjectsPerPush, itsOptions.itsObjects)));
    return anAll;
}

} // namespace RepositoryAccess::teamload
