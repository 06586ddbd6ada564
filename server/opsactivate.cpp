// Activation: checks the inactive versions of a workspace and turns them into history entries.
#include "server/changerules.hpp"
#include "server/enginetext.hpp"
#include "server/jsoncheck.hpp"
#include "server/operation.hpp"

#include <algorithm>

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
    std::int64_t itsLatest = 0;
    bool itsConflict = false;
    bool itsBroken = false;
};

class CheckResults {
public:
    explicit CheckResults(std::string theTimestamp) : itsTimestamp(std::move(theTimestamp)) {}

    void add(const ObjectKey& theKey, const std::string& theCode, const std::string& theMessage,
             const char* theSeverity) {
        itsResults.push_back(jsonObject({{"object", objectJson(theKey)},
                                         {"error-code", quoted(theCode)},
                                         {"error-msg", quoted(theMessage)},
                                         {"location", quoted("")},
                                         {"severity", quoted(theSeverity)},
                                         {"timestamp", quoted(itsTimestamp)}}));
        if (std::string_view(theSeverity) == kSeverityError)
            ++itsErrors;
        else if (std::string_view(theSeverity) == kSeverityWarning)
            ++itsWarnings;
    }

    int errors() const { return itsErrors; }
    int warnings() const { return itsWarnings; }
    std::string json() const { return jsonList(itsResults); }

private:
    std::string itsTimestamp;
    std::vector<std::string> itsResults;
    int itsErrors = 0;
    int itsWarnings = 0;
};

// Runs the checks of one candidate and records their results.
void check(RepositoryStore& theStore, Candidate& theCandidate, CheckResults& theResults) {
    const ObjectKey& aKey = theCandidate.itsKey;
    if (!theCandidate.itsVersion) {
        theResults.add(aKey, code::kNotFound,
                       "Object " + describe(aKey) + " has no inactive version in this workspace",
                       kSeverityError);
        return;
    }
    theCandidate.itsLatest = theStore.latest(theCandidate.itsObject);
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
    const std::string& aContent = theCandidate.itsVersion->itsContent;
    if (aContent.empty()) {
        theResults.add(aKey, code::kActivationWarnings, "Object " + describe(aKey) + " is empty",
                       kSeverityWarning);
    } else if (aKey.itsSuffix == "json") {
        if (auto aProblem = checkJsonText(aContent)) {
            theCandidate.itsBroken = true;
            theResults.add(aKey, code::kActivationFailed, *aProblem, kSeverityError);
        }
    }
}

} // namespace

void activateObjects(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    std::string aMode = member(theOperation.itsBody, "activationMode");
    if (aMode != "0" && aMode != "3" && aMode != "4" && aMode != "5")
        throw EngineError{code::kInvalidRequest,
                          "Activation mode \"" + aMode + "\" is not supported", aMode};
    RepositoryStore& aStore = theOperation.itsStore;
    std::vector<ObjectKey> aKeys = readObjectKeyList(theOperation.itsBody, "objList");

    std::string aNow = text::nowTimestamp();
    std::int64_t anActivation = aStore.nextNumber("activation");
    CheckResults aResults(aNow);
    std::vector<Candidate> aCandidates;
    for (const ObjectKey& aKey : aKeys) {
        bool aSeen =
            std::any_of(aCandidates.begin(), aCandidates.end(),
                        [&](const Candidate& theOther) { return theOther.itsKey == aKey; });
        if (aSeen)
            continue;
        Candidate aCandidate;
        aCandidate.itsKey = aKey;
        aCandidate.itsObject = aStore.findObject(aKey).value_or(0);
        if (aCandidate.itsObject != 0)
            aCandidate.itsVersion = aStore.inactive(aCandidate.itsObject, aSession.itsOwner,
                                                    aSession.itsWorkspace, true);
        check(aStore, aCandidate, aResults);
        aCandidates.push_back(std::move(aCandidate));
    }

    // All or nothing unless mode 4 forces the activation of everything that has a version.
    bool aForce = aMode == "4";
    bool anActivate = aForce || aResults.errors() == 0;
    int anActivated = 0;
    std::string aChangeId;
    if (anActivate) {
        std::vector<std::int64_t> anObjects;
        for (const Candidate& aCandidate : aCandidates)
            if (aCandidate.itsVersion)
                anObjects.push_back(aCandidate.itsObject);
        if (!anObjects.empty())
            aChangeId =
                changes::forActivation(aStore, theOperation.itsUser,
                                       optionalMember(theOperation.itsBody, "changeID"), anObjects);
        for (Candidate& aCandidate : aCandidates) {
            if (!aCandidate.itsVersion)
                continue;
            HistoryRecord anEntry;
            anEntry.itsNumber = aCandidate.itsLatest + 1;
            anEntry.itsIsDeletion = aCandidate.itsVersion->itsIsDeletion;
            anEntry.itsContent = aCandidate.itsVersion->itsContent;
            anEntry.itsActivatedAt = aNow;
            anEntry.itsActivatedBy = theOperation.itsUser;
            anEntry.itsObjectStatus = aCandidate.itsBroken ? "1" : "0";
            anEntry.itsChangeNumber = aChangeId;
            aStore.appendHistory(aCandidate.itsObject, anEntry);
            aStore.dropInactive(aCandidate.itsObject, aSession.itsOwner, aSession.itsWorkspace);
            ++anActivated;
            aResults.add(aCandidate.itsKey, code::kOk,
                         std::string(anEntry.itsIsDeletion ? "Deletion of object " : "Object ") +
                             describe(aCandidate.itsKey) + " activated as version " +
                             std::to_string(anEntry.itsNumber) +
                             (aCandidate.itsBroken ? " (broken)" : ""),
                         kSeverityInfo);
        }
    }

    std::string aCode = code::kOk;
    std::string aMessage = "Activation succeeded";
    if (!anActivate) {
        aCode = code::kActivationFailed;
        aMessage = "Activation failed";
    } else if (aResults.errors() > 0 || aResults.warnings() > 0) {
        aCode = code::kActivationWarnings;
        aMessage = "Activation succeeded with warnings";
    }
    bool aCheckOnly = aMode == "5";
    aResults.add(ObjectKey{}, aCode,
                 std::string(aCheckOnly ? "Check of activation " : "Activation ") +
                     std::to_string(anActivation) + ": " + std::to_string(anActivated) +
                     " objects " + (aCheckOnly ? "checked" : "activated") + ", " +
                     std::to_string(aResults.errors()) + " errors, " +
                     std::to_string(aResults.warnings()) + " warnings",
                 kSeveritySummary);

    Answer& anAnswer = theOperation.itsAnswer;
    anAnswer.setString("activationID", std::to_string(anActivation));
    anAnswer.setRaw("checkResults", aResults.json());
    anAnswer.setString("changeID", aChangeId);
    if (aCode != code::kOk)
        anAnswer.setError(aCode, aMessage, std::to_string(anActivation));
    if (!anActivate || aCheckOnly)
        anAnswer.requestRollback();
}

} // namespace RepositoryAccess::server::ops
