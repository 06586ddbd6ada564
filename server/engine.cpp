#include "server/engine.hpp"

#include "core/json.hpp"
#include "core/repomessage.hpp"
#include "server/operation.hpp"
#include "server/passwordhash.hpp"
#include "server/transaction.hpp"

#include <limits>
#include <new>

namespace RepositoryAccess::server {

namespace {

using Defaults = std::vector<std::pair<std::string, std::string>>;

// One request the engine knows: its action and what words, whether it writes, its handler
// (none: not supported by this repository yet) and the members every answer carries.
struct RequestRow {
    const char* itsAction;
    const char* itsWhat;
    bool itsWrite;
    void (*itsHandler)(Operation&);
    Defaults itsDefaults;
};

const std::string kEmpty = "\"\"";
const Defaults kObjectAnswer = {{"metadata", "{}"}, {"version", "{}"}};
const Defaults kPackageMembers = {{"package", kEmpty},
                                  {"src_system", kEmpty},
                                  {"description", kEmpty},
                                  {"responsible", kEmpty},
                                  {"orig_lang", kEmpty},
                                  {"structural", kEmpty},
                                  {"delivery_unit", kEmpty},
                                  {"du_vendor", kEmpty},
                                  {"transportable", kEmpty},
                                  {"content", kEmpty},
                                  {"text_collection", kEmpty},
                                  {"text_status", kEmpty},
                                  {"text_terminology_domain", kEmpty},
                                  {"hints_for_translation", kEmpty}};

const std::vector<RequestRow>& requestTable() {
    static const std::vector<RequestRow> kTable = {
        // Objects and versions.
        {"write", "object", true, ops::writeObject, {{"metadata", "{}"}}},
        {"delete", "object", true, ops::deleteObject, {{"isReverted", kEmpty}}},
        {"delete", "revertObjects", true, ops::revertObjects, {}},
        {"pull", "inactiveObjects", true, ops::pullInactiveObjects, {}},
        {"activate",
         "objects",
         true,
         ops::activateObjects,
         {{"activationID", kEmpty}, {"checkResults", "[]"}, {"changeID", kEmpty}}},
        {"read", "object", false, ops::readObject, kObjectAnswer},
        {"read", "objectMetadata", false, ops::readObjectMetadata, kObjectAnswer},
        {"read",
         "objects",
         false,
         ops::readObjects,
         {{"successfulObjects", "[]"}, {"errorObjects", "[]"}}},
        {"find", "objects", false, ops::findObjects, {{"objects", "[]"}}},
        {"list", "objects", false, ops::listInactiveObjects, {{"objects", "[]"}}},
        {"get", "history", false, ops::listHistory, {{"history", "[]"}}},
        {"get", "numberOfLatestVersion", false, ops::numberOfLatestVersion, {{"version", kEmpty}}},
        {"exists", "object", false, ops::existsObject, {{"exists", "\"false\""}}},
        // Packages.
        {"create", "package", true, ops::createPackage, {}},
        {"exists", "package", false, ops::existsPackage, {{"exists", "\"false\""}}},
        {"list", "packages", false, ops::listPackages, {{"packages", "[]"}}},
        {"list", "rootPackages", false, ops::listRootPackages, {{"rootPackages", "[]"}}},
        {"read", "package", false, ops::readPackage, kPackageMembers},
        {"update", "package", true, ops::updatePackage, {}},
        {"delete", "package", true, ops::deletePackage, {}},
        // Workspaces and repository facts.
        {"list", "inactiveWorkspaces", false, ops::listInactiveWorkspaces, {{"workspaces", "[]"}}},
        {"delete", "inactiveWorkspace", true, ops::deleteInactiveWorkspace, {}},
        {"get", "dbSchemaVersion", false, ops::dbSchemaVersion, {{"version", kEmpty}}},
        {"get", "contentVendor", false, ops::contentVendor, {{"contentVendor", kEmpty}}},
        {"get",
         "supportedExportVersions",
         false,
         ops::supportedExportVersions,
         {{"minRequiredVersion", kEmpty}, {"maxVersion", kEmpty}}},
        {"list", "allObjectTypes", false, ops::listAllObjectTypes, {{"objectTypes", "[]"}}},
        // Change tracking.
        {"get", "changeTrackingStatus", false, ops::changeTrackingStatus, {{"status", kEmpty}}},
        {"set", "changeTracking", true, ops::toggleChangeTracking, {}},
        {"create", "change", true, ops::createChange, {{"changeID", kEmpty}}},
        {"delete", "change", true, ops::deleteChange, {}},
        {"edit", "changeDescription", true, ops::editChangeDescription, {}},
        {"edit", "contributorComment", true, ops::editContributorComment, {}},
        {"add", "changeContributor", true, ops::addContributor, {}},
        {"remove", "changeContributor", true, ops::removeContributor, {}},
        {"validate", "contribution", true, ops::validateContribution, {}},
        {"release", "change", true, ops::releaseChange, {}},
        {"merge", "changes", true, ops::mergeChanges, {}},
        {"move", "changeEntries", true, ops::moveChangeEntries, {}},
        {"find", "changes", false, ops::findChanges, {{"changes", "[]"}}},
        {"read", "changes", false, ops::readChanges, {{"changes", "[]"}}},
        {"get", "affectedChanges", false, ops::affectedChanges, {{"changes", "[]"}}},
        // Delivery units: administration, archives, undeploy.
        {"create", "deliveryUnit", true, ops::createDeliveryUnit, {}},
        {"delete", "deliveryUnit", true, ops::deleteDeliveryUnit, {}},
        {"get", "deliveryUnit", false, ops::getDeliveryUnit, {{"deliveryUnit", "{}"}}},
        {"update", "deliveryUnit", true, ops::updateDeliveryUnit, {}},
        {"exists", "deliveryUnit", false, ops::existsDeliveryUnit, {{"exists", "\"false\""}}},
        {"get", "allDeliveryUnits", false, ops::listDeliveryUnits, {{"deliveryUnits", "[]"}}},
        {"check",
         "isDeliveryUnitBroken",
         false,
         ops::checkDeliveryUnitBroken,
         {{"exists", "\"false\""}}},
        {"undeploy", "delivery_unit", true, ops::undeployDeliveryUnit, {{"undeploySummary", "{}"}}},
        {"export", "delivery_unit", false, ops::exportDeliveryUnit, {{"exportSummary", "{}"}}},
        {"export",
         "delivery_unit_patch",
         false,
         ops::exportDeliveryUnit,
         {{"exportSummary", "{}"}}},
        {"export", "languages", false, ops::exportLanguages, {}},
        {"import",
         "file",
         true,
         ops::importFile,
         {{"activationID", kEmpty}, {"checkResults", "[]"}, {"importSummary", "{}"}}},
        {"import",
         "fileList",
         true,
         ops::importFileList,
         {{"activationID", kEmpty}, {"checkResults", "[]"}, {"importSummary", "{}"}}},
        {"import", "languages", true, ops::importLanguages, {{"importLanguageSummary", "{}"}}},
    };
    return kTable;
}

const RequestRow* findRow(std::string_view theAction, std::string_view theWhat) {
    for (const RequestRow& aRow : requestTable())
        if (theAction == aRow.itsAction && theWhat == aRow.itsWhat)
            return &aRow;
    return nullptr;
}

std::string frameOf(const Answer& theAnswer) {
    return RepositoryMessage::serializeSlots(theAnswer.json(), theAnswer.slots());
}

std::string invalidRequest(const std::string& theMessage) {
    Answer anAnswer({});
    anAnswer.setError(code::kInvalidRequest, theMessage);
    return frameOf(anAnswer);
}

} // namespace

Engine::Engine(std::unique_ptr<SqlDatabase> theDatabase, RecordDescriptions theDescriptions)
    : itsStore(std::move(theDatabase), theDescriptions) {}

std::string Engine::call(const std::string& theUser, std::string_view theFrame) {
    // Reading the request: anything wrong here is the sender's fault and answered with 40130.
    if (theFrame.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return invalidRequest("Invalid request frame: " + std::to_string(theFrame.size()) +
                              " bytes exceed the largest frame");
    MessageView aMessage;
    json::JsonObject aBody;
    json::JsonAllocator anAllocator;
    const RequestRow* aRow = nullptr;
    try {
        aMessage =
            RepositoryMessage::view(theFrame.data(), static_cast<std::int32_t>(theFrame.size()));
        const std::string_view aJson = aMessage.itsJson;
        if (!json::jsonParse(aJson.data(), aJson.size(), aBody, anAllocator))
            return invalidRequest("Invalid request: the JSON text cannot be parsed");
        std::string anAction = json::getString(aBody, "action");
        std::string aWhat = json::getString(aBody, "what");
        aRow = findRow(anAction, aWhat);
        if (aRow == nullptr)
            return invalidRequest("Unknown request: action \"" + anAction + "\", what \"" + aWhat +
                                  "\"");
    } catch (const Error& anError) {
        return invalidRequest("Invalid request: " + std::string(anError.what()));
    }

    Answer anAnswer(aRow->itsDefaults);
    if (aRow->itsHandler == nullptr) {
        anAnswer.setError(code::kInvalidRequest, "Request \"" + std::string(aRow->itsAction) + "/" +
                                                     aRow->itsWhat +
                                                     "\" is not supported by this repository");
        return frameOf(anAnswer);
    }

    std::optional<Transaction> anOwn;
    Transaction& aTransaction = startRequest(aRow->itsWrite, anOwn);
    Operation anOperation{itsStore, aBody, aMessage, theUser, anAnswer};
    try {
        requireUser(theUser);
        aRow->itsHandler(anOperation);
    } catch (const EngineError& anError) {
        abandonRequest(aTransaction);
        anAnswer.fail(anError);
        return frameOf(anAnswer);
    } catch (const StorageError&) {
        abandonGroup();
        throw;
    } catch (const Error& anError) {
        // A member the request lacks or holds with the wrong type.
        abandonRequest(aTransaction);
        anAnswer.fail(
            {code::kInvalidRequest, "Invalid request: " + std::string(anError.what()), {}});
        return frameOf(anAnswer);
    } catch (const std::exception& anError) {
        abandonGroup();
        throw StorageError("Repository engine failure: " + std::string(anError.what()));
    }
    if (anAnswer.wantsRollback())
        abandonRequest(aTransaction);
    else
        finishRequest(aTransaction);
    return frameOf(anAnswer);
}

// The caller must be one of the repository's users: a login role that the server lets in by a
// grant made by hand, or a user removed since, is refused. Within a transaction that holds the
// write lock the answer holds until the transaction ends.
void Engine::requireUser(const std::string& theUser) {
    if (!itsStore.isUser(theUser))
        throw EngineError{code::kNotAUser,
                          "User \"" + theUser +
                              "\" is not a user of this repository; its administrator adds users "
                              "with kivo-repo user",
                          theUser};
}

void Engine::beginGroup() {
    itsGrouping = true;
}

void Engine::endGroup() {
    itsGrouping = false;
    if (itsGroup)
        commitGroup();
}

// Runs theStep on the group's open transaction; a failure of it takes back the whole
// transaction, as every storage failure in a group does.
template <typename Step> void Engine::inGroup(Step theStep) {
    try {
        theStep();
    } catch (...) {
        abandonGroup();
        throw;
    }
}

Transaction& Engine::startRequest(bool theWrite, std::optional<Transaction>& theOwn) {
    if (!itsGrouping)
        return theOwn.emplace(itsStore.database(), theWrite);
    if (!itsGroup) {
        itsGroup.emplace(itsStore.database(), true);
        itsGroupBudget.start();
    }
    inGroup([&] { itsGroup->savepoint(); });
    return *itsGroup;
}

void Engine::finishRequest(Transaction& theTransaction) {
    if (!isGroup(theTransaction)) {
        theTransaction.commit();
        return;
    }
    inGroup([&] { theTransaction.releaseSavepoint(); });
    if (itsGroupBudget.spend())
        commitGroup();
}

// Takes back the changes of the current request only.
void Engine::abandonRequest(Transaction& theTransaction) {
    itsStore.forgetFacts();
    if (isGroup(theTransaction))
        inGroup([&] { theTransaction.rollbackToSavepoint(); });
    else
        theTransaction.rollback();
}

// Takes back the group's whole open transaction: after a storage failure nothing of it can be
// trusted. A request's own transaction rolls back as the failure leaves call().
void Engine::abandonGroup() {
    itsGroup.reset();
}

void Engine::commitGroup() {
    inGroup([&] { itsGroup->commit(); });
    itsGroup.reset();
}

bool Engine::isGroup(const Transaction& theTransaction) const {
    return itsGroup && &*itsGroup == &theTransaction;
}

// Runs theWork in a read transaction of its own, or within the group's open one.
template <typename Work> auto Engine::inReadTransaction(Work theWork) {
    if (itsGroup)
        return theWork();
    Transaction aTransaction(itsStore.database(), false);
    auto aResult = theWork();
    aTransaction.commit();
    return aResult;
}

std::vector<std::pair<std::string, std::string>> Engine::writeRequests() {
    std::vector<std::pair<std::string, std::string>> aRequests;
    for (const RequestRow& aRow : requestTable())
        if (aRow.itsWrite)
            aRequests.emplace_back(aRow.itsAction, aRow.itsWhat);
    return aRequests;
}

bool Engine::authenticate(const std::string& theUser, std::string_view thePassword,
                          PasswordMemo* apMemo) {
    const std::optional<UserRecord> aUser =
        inReadTransaction([&] { return itsStore.findUser(theUser); });
    if (!aUser)
        return false;
    const std::string& aStored = aUser->itsPasswordHash;
    if (apMemo && apMemo->holds(theUser, aStored, thePassword))
        return true;
    if (!verifyPassword(thePassword, aStored))
        return false;
    if (apMemo)
        apMemo->add(theUser, aStored, thePassword);
    return true;
}

std::optional<std::string> Engine::setting(const std::string& theName) {
    return inReadTransaction([&] { return itsStore.getSetting(theName); });
}

} // namespace RepositoryAccess::server
