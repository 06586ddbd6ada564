// Activation: checks the inactive versions of a workspace and turns them into history entries.
#include "server/changerules.hpp"
#include "server/enginetext.hpp"
#include "server/jsoncheck.hpp"
#include "server/operation.hpp"

#include <set>

namespace RepositoryAccess::server::ops {

namespace {

constexpr const char* kSeverityInfo = "1";
constexpr const char* kSeverityWarning = "2";
constexpr const char* kSeverityError = "3";
constexpr const char* kSeveritySummary = "4";

// One listed object with what the checks found.
struct Candidate {
    ObjectKey itsKey;
    std::int64_t itsObject = 0;
    std::optional<InactiveRecord> itsVersion;
    std::int64_t itsContentSize = 0;
    std::int64_t itsLatest = 0;
    bool itsConflict = false;
    bool itsBroken = false;
};

class CheckResults {
public:
    explicit CheckResults(std::string theTimestamp) : itsTimestamp(std::move(theTimestamp)) {}

    void add(const ObjectKey& theKey, const std::string& theCode, const std::string& theMessage,
             const char* theSeverity) {
        if (itsList.size() > 1)
            itsList += ',';
        itsList += json::ObjectText()
                       .raw("object", objectJson(theKey))
                       .string("error-code", theCode)
                       .string("error-msg", theMessage)
                       .string("location", "")
                       .string("severity", theSeverity)
                       .string("timestamp", itsTimestamp)
                       .take();
        if (std::string_view(theSeverity) == kSeverityError)
            ++itsErrors;
        else if (std::string_view(theSeverity) == kSeverityWarning)
            ++itsWarnings;
    }

    int errors() const { return itsErrors; }
    int warnings() const { return itsWarnings; }
    // The JSON list of the results; the results are gone afterwards.
    std::string takeJson() {
        itsList += ']';
        return std::move(itsList);
    }

private:
    std::string itsTimestamp;
    // The results as one growing JSON list: an activation of 100,000 objects has as many.
    std::string itsList = "[";
    int itsErrors = 0;
    int itsWarnings = 0;
};

// Runs the checks of one candidate and records their results.
void check(Candidate& theCandidate, CheckResults& theResults) {
    const ObjectKey& aKey = theCandidate.itsKey;
    if (!theCandidate.itsVersion) {
        theResults.add(aKey, code::kNotFound,
                       "Object " + describe(aKey) + " has no inactive version in this workspace",
                       kSeverityError);
        return;
    }
    std::int64_t aBase = theCandidate.itsVersion->itsVersionId - 1;
    if (aBase != theCandidate.itsLatest) {
        theCandidate.itsConflict = true;
        theResults.add(aKey, code::kActivationConflict,
                       "Activation conflict: object " + describe(aKey) + " has the newer version " +
                           std::to_string(theCandidate.itsLatest) +
                           "; the inactive version is based on version " + std::to_string(aBase),
                       kSeverityError);
    }
    if (theCandidate.itsVersion->itsIsDeletion)
        return;
    if (theCandidate.itsContentSize == 0) {
        theResults.add(aKey, code::kActivationWarnings, "Object " + describe(aKey) + " is empty",
                       kSeverityWarning);
    } else if (aKey.itsSuffix == "json") {
        if (auto aProblem = checkJsonText(theCandidate.itsVersion->itsContent)) {
            theCandidate.itsBroken = true;
            theResults.add(aKey, code::kActivationFailed, *aProblem, kSeverityError);
        }
    }
}

// Turns the inactive versions of the candidates that have one into the next version of each,
// the sound ones and the broken ones (their status differs) each together.
void activate(RepositoryStore& theStore, const Session& theSession,
              const std::vector<Candidate>& theCandidates, HistoryRecord theEntry) {
    std::vector<std::int64_t> aSound, aBroken;
    for (const Candidate& aCandidate : theCandidates)
        if (aCandidate.itsVersion)
            (aCandidate.itsBroken ? aBroken : aSound).push_back(aCandidate.itsObject);
    theEntry.itsObjectStatus = "0";
    theStore.activateInactive(aSound, theEntry, theSession.itsOwner, theSession.itsWorkspace);
    theEntry.itsObjectStatus = "1";
    theStore.activateInactive(aBroken, theEntry, theSession.itsOwner, theSession.itsWorkspace);
}

} // namespace

ActivationRun runActivation(RepositoryStore& theStore, const Session& theSession,
                            const std::vector<ObjectKey>& theKeys, const std::string& theMode,
                            const std::string& theUser, const std::string& theChangeId) {
    if (theMode != "0" && theMode != "3" && theMode != "4" && theMode != "5")
        throw EngineError{code::kInvalidRequest,
                          "Activation mode \"" + theMode + "\" is not supported", theMode};
    std::string aNow = text::nowTimestamp();
    std::int64_t anActivation = theStore.nextNumber("activation");
    CheckResults aResults(aNow);
    std::vector<Candidate> aCandidates;
    std::set<std::string> aSeen;
    for (const ObjectKey& aKey : theKeys) {
        if (!aSeen.insert(describe(aKey)).second)
            continue;
        Candidate aCandidate;
        aCandidate.itsKey = aKey;
        if (auto aSource =
                theStore.activationSource(aKey, theSession.itsOwner, theSession.itsWorkspace)) {
            aCandidate.itsObject = aSource->itsObject;
            aCandidate.itsLatest = aSource->itsLatest;
            aCandidate.itsVersion = std::move(aSource->itsVersion);
            aCandidate.itsContentSize = aSource->itsContentSize;
        }
        check(aCandidate, aResults);
        // The content was needed for the checks only; the database copies it on activation.
        if (aCandidate.itsVersion)
            std::string().swap(aCandidate.itsVersion->itsContent);
        aCandidates.push_back(std::move(aCandidate));
    }

    // All or nothing unless mode 4 forces the activation of everything that has a version.
    bool aForce = theMode == "4";
    bool anActivate = aForce || aResults.errors() == 0;
    ActivationRun aRun;
    if (anActivate) {
        std::vector<std::int64_t> anObjects;
        for (const Candidate& aCandidate : aCandidates)
            if (aCandidate.itsVersion)
                anObjects.push_back(aCandidate.itsObject);
        if (!anObjects.empty())
            aRun.itsChangeId = changes::forActivation(theStore, theUser, theChangeId, anObjects);
        HistoryRecord anEntry;
        anEntry.itsActivatedAt = aNow;
        anEntry.itsActivatedBy = theUser;
        anEntry.itsChangeNumber = aRun.itsChangeId;
        activate(theStore, theSession, aCandidates, anEntry);
        for (const Candidate& aCandidate : aCandidates) {
            if (!aCandidate.itsVersion)
                continue;
            ++aRun.itsActivated;
            aResults.add(aCandidate.itsKey, code::kOk,
                         std::string(aCandidate.itsVersion->itsIsDeletion ? "Deletion of object "
                                                                          : "Object ") +
                             describe(aCandidate.itsKey) + " activated as version " +
                             std::to_string(aCandidate.itsLatest + 1) +
                             (aCandidate.itsBroken ? " (broken)" : ""),
                         kSeverityInfo);
        }
    }

    aRun.itsCode = code::kOk;
    aRun.itsMessage = "Activation succeeded";
    if (!anActivate) {
        aRun.itsCode = code::kActivationFailed;
        aRun.itsMessage = "Activation failed";
    } else if (aResults.errors() > 0 || aResults.warnings() > 0) {
        aRun.itsCode = code::kActivationWarnings;
        aRun.itsMessage = "Activation succeeded with warnings";
    }
    bool aCheckOnly = theMode == "5";
    aResults.add(ObjectKey{}, aRun.itsCode,
                 std::string(aCheckOnly ? "Check of activation " : "Activation ") +
                     std::to_string(anActivation) + ": " + std::to_string(aRun.itsActivated) +
                     " objects " + (aCheckOnly ? "checked" : "activated") + ", " +
                     std::to_string(aResults.errors()) + " errors, " +
                     std::to_string(aResults.warnings()) + " warnings",
                 kSeveritySummary);
    aRun.itsActivationId = std::to_string(anActivation);
    aRun.itsCheckResults = aResults.takeJson();
    aRun.itsUndo = !anActivate || aCheckOnly;
    return aRun;
}

void activateObjects(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    std::string aMode = member(theOperation.itsBody, "activationMode");
    ActivationRun aRun = runActivation(
        theOperation.itsStore, aSession, readObjectKeyList(theOperation.itsBody, "objList"), aMode,
        theOperation.itsUser, optionalMember(theOperation.itsBody, "changeID"));
    Answer& anAnswer = theOperation.itsAnswer;
    anAnswer.setString("activationID", aRun.itsActivationId);
    anAnswer.setRaw("checkResults", std::move(aRun.itsCheckResults));
    anAnswer.setString("changeID", aRun.itsChangeId);
    if (aRun.itsCode != code::kOk)
        anAnswer.setError(aRun.itsCode, aRun.itsMessage, aRun.itsActivationId);
    if (aRun.itsUndo)
        anAnswer.requestRollback();
}

} // namespace RepositoryAccess::server::ops
