#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "repository/connection.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunchangetracking.hpp"
#include "repository/repofundeliveryunits.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "tests/support/repositoryfile.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace RepositoryAccess;

namespace {

namespace perftrace = RepositoryAccess::perftrace;
using kivotest::messageOf;
using kivotest::messagesOf;

// Expects the call to fail with a message that begins with thePrefix (the rest is the server's).
void expectFailureBeginning(const std::function<void()>& theCall, const std::string& thePrefix) {
    std::string aMessage = messageOf(theCall);
    EXPECT_EQ(aMessage.substr(0, thePrefix.size()), thePrefix) << aMessage;
}

SharedString text(const std::string& theText) {
    return std::make_shared<const std::string>(theText);
}

// Counts the lines of the request echo that name theRequest.
int echoed(const std::string& theEcho, const std::string& theRequest) {
    const std::string aLine = "<---------- JSON request: " + theRequest + "\n";
    int aCount = 0;
    for (std::size_t aPos = theEcho.find(aLine); aPos != std::string::npos;
         aPos = theEcho.find(aLine, aPos + 1))
        ++aCount;
    return aCount;
}

// How many bulk and single reads of objects the echo shows.
std::pair<int, int> reads(const std::string& theEcho) {
    return {echoed(theEcho, "ReadObjectsRequest"), echoed(theEcho, "ReadObjectRequest")};
}

// A repository file with user ALICE and package p, connected as ALICE outside any workspace.
class RepoFunTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFile = kivotest::makeRepositoryFile(itsDir.path(), "ALICE", "secret");
        options({});
        repofunpackages::createPackage("p", false);
    }

    void TearDown() override {
        connection::close();
        installParameters({});
    }

    // Connection options plus flags and values; the open connection is kept.
    void options(std::initializer_list<Parameter> theFlags,
                 std::initializer_list<std::pair<Parameter, std::string>> theValues = {}) {
        ParameterValues aValues;
        aValues.setValue(params::hostName, "file:" + itsFile);
        aValues.setValue(params::userName, "ALICE");
        aValues.setValue(params::passWord, "secret");
        for (const Parameter& aFlag : theFlags)
            aValues.setFlag(aFlag);
        for (const auto& [aParameter, aValue] : theValues)
            aValues.setValue(aParameter, aValue);
        installParameters(aValues);
    }

    // Changes a setting as `kivo-repo set FILE NAME VALUE` does.
    void setting(const std::string& theName, const std::string& theValue) {
        server::RepositoryStore aStore(server::openRepositoryFile(itsFile));
        server::Transaction aTransaction(aStore.database(), true);
        aStore.setSetting(theName, theValue);
        aTransaction.commit();
    }

    // Writes and activates objects of package p; returns them with their active metadata.
    std::vector<RepositoryObject> activated(const std::vector<std::string>& theNames) {
        std::vector<RepositoryObject> anObjects;
        for (const std::string& aName : theNames) {
            anObjects.emplace_back("p", aName, "txt");
            repofunobjects::writeObject(anObjects.back(), text("content of " + aName));
        }
        ActivationResult aResult = repofunobjects::activateObjects(anObjects, "0", "");
        EXPECT_EQ(aResult.itsError.itsCode, "0") << aResult.itsError.itsMessage;
        for (RepositoryObject& anObject : anObjects)
            anObject.setMetaData(repofunobjects::readActiveObjectMetaData(anObject));
        return anObjects;
    }

    // Reads theObjects with the request echo on; returns the echo.
    std::string readEchoed(const std::vector<RepositoryObject>& theObjects,
                           std::initializer_list<Parameter> theFlags = {}) {
        ParameterValues aValues = parameters();
        aValues.setFlag(params::jsonRequest);
        for (const Parameter& aFlag : theFlags)
            aValues.setFlag(aFlag);
        installParameters(aValues);
        testing::internal::CaptureStdout();
        std::vector<ObjectContent> aContents = repofunobjects::readObjects(theObjects);
        std::string anEcho = testing::internal::GetCapturedStdout();
        EXPECT_EQ(aContents.size(), theObjects.size());
        for (std::size_t i = 0; i < aContents.size(); ++i)
            EXPECT_EQ(aContents[i].itsContent, "content of " + theObjects[i].name());
        return anEcho;
    }

    kivotest::TempDir itsDir;
    std::string itsFile;
};

// An update of thePackage that keeps every attribute.
PackageAttributes unchangedPackage(const std::string& thePackage) {
    const std::string aKeep = "__unset__";
    return {thePackage, aKeep, aKeep, aKeep, aKeep, aKeep, aKeep, aKeep,
            aKeep,      aKeep, aKeep, aKeep, aKeep, aKeep, {}};
}

RepositoryResponse answer(const std::string& theCode) {
    return RepositoryResponse(
        RepositoryMessage(
            text(R"({"error-code":")" + theCode + R"(","error-msg":"Broken","error-arg":"arg"})")),
        "TestResponse");
}

} // namespace

TEST(RepoFunJudge, AcceptsOnlyTheWholeCodeAndBuildsTheMessage) {
    EXPECT_NO_THROW(repofunbase::judge(answer("0"), "Failed to x"));
    EXPECT_NO_THROW(repofunbase::judge(answer("40132"), "Failed to x (", {"0", "40132"}));
    EXPECT_EQ(messageOf([] { repofunbase::judge(answer("00"), "Failed to x"); }),
              "Failed to x (00): Broken: arg");
    EXPECT_EQ(messageOf([] { repofunbase::judge(answer("0 "), "Failed to x ("); }),
              "Failed to x (0 ): Broken: arg");
    EXPECT_EQ(messageOf([] {
                  repofunbase::judge(answer("4013"), "F", {"0", "40132"});
              }),
              "F (4013): Broken: arg");
    // The workspace deletion puts the parenthesis right after the name.
    EXPECT_EQ(repofunbase::failureMessage("Failed to delete inactive workspace ws(",
                                          {"40120", "Not authorized", "BOB"}),
              "Failed to delete inactive workspace ws(40120): Not authorized: BOB");
}

TEST(RepoFunContent, PropertiesCDataTurnsIntoLatin1AndOtherSuffixesStayBytes) {
    RepositoryObject aProperties("p", "x", "properties");
    EXPECT_EQ(repofunobjects::slotContent(aProperties, "a\xC3\xA9", "ignored"), "a\xE9");
    EXPECT_EQ(repofunobjects::slotContent(aProperties, "", "\xE2\x82\xAC"), "\xE2\x82\xAC");
    EXPECT_EQ(repofunobjects::slotContent(RepositoryObject("p", "x", "txt"), "\xE2\x82\xAC", ""),
              "\xE2\x82\xAC");
    EXPECT_EQ(
        messagesOf([&] { repofunobjects::slotContent(aProperties, "\xE2\x82\xAC", ""); }),
        (std::vector<std::string>{
            R"(Could not convert CDATA of object {"package":"p","name":"x","suffix":"properties"} from UTF-8 to Latin-1)",
            "Invalid UTF-8 start byte (\"\xE2\" 0xe2)"}));
}

TEST_F(RepoFunTest, InactiveWorkspacesAreListedAndDeletedByTheirOwnerOnly) {
    repofunobjects::writeObject(RepositoryObject("p", "x", "txt"), text("x"));
    auto aWorkSpaces = repofunbase::listInactiveWorkSpaces(RepositorySession::active(), "");
    ASSERT_EQ(aWorkSpaces.size(), 1u);
    EXPECT_EQ(aWorkSpaces[0].itsUser, "ALICE");
    EXPECT_EQ(aWorkSpaces[0].itsWorkSpace, "");
    repofunbase::deleteInactiveWorkSpace("ALICE", "");
    EXPECT_TRUE(repofunbase::listInactiveWorkSpaces(RepositorySession::active(), "").empty());
    expectFailureBeginning([] { repofunbase::deleteInactiveWorkSpace("BOB", "ws"); },
                           "Failed to delete inactive workspace ws(40120)");
}

TEST_F(RepoFunTest, ObjectLifecycleFromWriteToHistory) {
    RepositoryObject anObject("p", "x", "txt");
    ObjectMetaData aWritten = repofunobjects::writeObject(anObject, text("one\ntwo"));
    EXPECT_EQ(aWritten.itsType, 2);
    EXPECT_EQ(aWritten.itsVersionId, 1);
    EXPECT_EQ(repofunobjects::readInactiveObjectMetaData(anObject).itsVersionId, 1);
    auto anInactive =
        repofunobjects::listInactiveObjects(repofunbase::defaultInactiveSession(), "p", "*");
    ASSERT_EQ(anInactive.size(), 1u);
    EXPECT_EQ(anInactive[0].key(), "p.x.txt");

    ActivationResult aResult = repofunobjects::activateObjects({anObject}, "0", "");
    EXPECT_EQ(aResult.itsError.itsCode, "0");
    EXPECT_FALSE(aResult.itsActivationId.empty());
    EXPECT_EQ(repofunobjects::readActiveObjectMetaData(anObject).itsType, 1);
    EXPECT_TRUE(repofunobjects::existsObject(RepositorySession::active(), anObject));
    EXPECT_EQ(repofunobjects::getNumberOfLatestVersion(RepositorySession::active(), anObject), 1);
    EXPECT_EQ(repofunobjects::listHistory(anObject).size(), 1u);
    EXPECT_EQ(repofunobjects::findObjects(RepositorySession::active(), "p", "x").size(), 1u);
    EXPECT_EQ(repofunobjects::readHistoricalObjectMetaData(anObject, 1).itsType, 3);
    EXPECT_FALSE(repofunobjects::listAllObjectTypes("0").empty());

    // A time before the first activation has no version: an empty historical record.
    ObjectMetaData aBefore = repofunobjects::readHistoricalObjectMetaData("2000-01-01", anObject);
    EXPECT_EQ(aBefore.itsType, 3);
    EXPECT_EQ(aBefore.itsActivatedAt, "");

    // Line ends: stored content comes back unchanged unless the user asks for "WIN".
    RepositoryObject anActive = anObject;
    anActive.setVersion({1, {}, {}, 0});
    EXPECT_EQ(repofunobjects::readObject(RepositorySession::active(), anActive).itsContent,
              "one\ntwo");
    options({}, {{params::lineEnd, "WIN"}});
    EXPECT_EQ(repofunobjects::readObject(RepositorySession::active(), anActive).itsContent,
              "one\r\ntwo");

    EXPECT_FALSE(repofunobjects::deleteObject(anActive));
    repofunobjects::revertObjects({anObject});
    EXPECT_TRUE(repofunobjects::listInactiveObjects(repofunbase::defaultInactiveSession(), "p", "*")
                    .empty());
}

TEST_F(RepoFunTest, ObjectFailuresNameTheOperationAndTheServerTriple) {
    EXPECT_EQ(messageOf([] {
                  repofunobjects::writeObject(RepositoryObject("nopkg", "x", "txt"), text("x"));
              }),
              "Failed to write object x.txt (40111): Package does not exist: nopkg");
    RepositoryObject aMissing("p", "gone", "txt");
    aMissing.setVersion({1, {}, {}, 0});
    EXPECT_EQ(messageOf([&] { repofunobjects::deleteObject(aMissing); }),
              "Failed to delete object gone.txt (40132): Object does not exist: p/gone.txt");
    EXPECT_EQ(messageOf([&] { repofunobjects::readObject(RepositorySession::active(), aMissing); }),
              "Failed to read object \"gone.txt\" (40132): Object does not exist: p/gone.txt");
    EXPECT_EQ(messageOf([&] { repofunobjects::readActiveObjectMetaData(aMissing); }),
              "Failed to read active object meta data (40132): Object does not exist: p/gone.txt");
    EXPECT_EQ(messageOf([&] { repofunobjects::readInactiveObjectMetaData(aMissing); }),
              "Failed to read inactive object meta data. Exactly one inactive object gone.txt in "
              "package p expected, but found 0 (possible reason: outdated Repository w/out "
              "support for number suffixes such as \"1\").");
    expectFailureBeginning(
        [&] { repofunobjects::pullInactiveObjects({aMissing}, "ALICE", "other"); },
        "Failed to pull inactive objects (40132): No");
}

// A read hands properties over in Latin-1 through the slot conversion of RepoFunContent.
TEST_F(RepoFunTest, PropertiesComeBackAsLatin1) {
    RepositoryObject anObject("p", "x", "properties");
    repofunobjects::writeObject(anObject, text("k=caf\xE9"));
    RepositoryObject anInactive = anObject;
    anInactive.setVersion({2, "ALICE", "", 0});
    EXPECT_EQ(
        repofunobjects::readObject(repofunbase::defaultInactiveSession(), anInactive).itsContent,
        "k=caf\xE9");
}

// Reads come in bulk from schema 38 unless the user says no (a connection asks for the schema
// once); each group (active, inactive) is one bulk read, the historical versions are read singly,
// and the contents keep the caller's order.
TEST_F(RepoFunTest, ManyObjectsAreReadInBulkFromSchema38UnlessNoBulkRead) {
    std::vector<RepositoryObject> anObjects = activated({"a", "b", "c"});
    EXPECT_EQ(reads(readEchoed(anObjects)), std::make_pair(1, 0));
    EXPECT_EQ(reads(readEchoed(anObjects, {params::noBulkRead})), std::make_pair(0, 3));
    EXPECT_EQ(echoed(readEchoed(anObjects), "GetDBSchemaVersionRequest"), 0)
        << "a connection asks for the schema version once";
    options({});

    // b as a historical version, d only inactive, and c once more as a historical version.
    std::vector<RepositoryObject> aMixed = anObjects;
    ObjectMetaData aHistorical = aMixed[1].metaData();
    aHistorical.itsType = 3;
    aMixed[1].setMetaData(aHistorical);
    aMixed.emplace_back("p", "d", "txt");
    aMixed.back().setMetaData(repofunobjects::writeObject(aMixed.back(), text("content of d")));
    aHistorical = aMixed[0].metaData();
    aHistorical.itsType = 3;
    aMixed.push_back(aMixed[2]);
    aMixed.back().setMetaData(aHistorical);
    EXPECT_EQ(reads(readEchoed(aMixed)), std::make_pair(2, 2));

    options({});
    setting("schema_version", "37");
    connection::close();
    const std::string anEcho = readEchoed(anObjects);
    EXPECT_EQ(echoed(anEcho, "GetDBSchemaVersionRequest"), 1);
    EXPECT_EQ(reads(anEcho), std::make_pair(0, 3));
}

// The names of each search's answer.
std::vector<std::vector<std::string>>
namesOf(const std::vector<std::vector<RepositoryObject>>& theAnswers) {
    std::vector<std::vector<std::string>> aNames;
    for (const auto& anAnswer : theAnswers) {
        aNames.emplace_back();
        for (const RepositoryObject& anObject : anAnswer)
            aNames.back().push_back(anObject.name());
    }
    return aNames;
}

// A clock that moves a millisecond each time it is read, so that every traced call is kept.
double tickingClock() {
    static double theNow = 0;
    return theNow += 1;
}

TEST_F(RepoFunTest, SearchesOfBothKindsGoTogetherAndAreJudgedEachByItsKind) {
    activated({"a", "b"});
    repofunobjects::writeObject(RepositoryObject("p", "b", "txt"), text("b again"));
    repofunobjects::writeObject(RepositoryObject("p", "c", "txt"), text("only c"));
    repofunpackages::createPackage("q", false);
    const RepositorySession anInactive = repofunbase::defaultInactiveSession();
    const RepositorySession anActive = RepositorySession::active();

    perftrace::resetForTests();
    perftrace::setClockForTests(tickingClock);
    std::vector<std::vector<RepositoryObject>> anAnswers;
    {
        KIVO_PERF_SCOPE("searches");
        anAnswers = repofunobjects::searchObjects({{anInactive, "p", ""},
                                                   {anActive, "p", ""},
                                                   {anInactive, "q", ""},
                                                   {anActive, "p", "a", {"txt"}}});
    }
    const std::string aTrace = perftrace::toXml();
    perftrace::setClockForTests(nullptr);
    perftrace::resetForTests();
    EXPECT_EQ(namesOf(anAnswers),
              (std::vector<std::vector<std::string>>{{"b", "c"}, {"a", "b"}, {}, {"a"}}));
    EXPECT_EQ(anAnswers[0][0].metaData().itsType, 2);
    EXPECT_EQ(anAnswers[1][0].metaData().itsType, 1);
    // The attributes of the searches' event count its direct calls: one window, no single call.
    const std::size_t anEnd = aTrace.find(">\nsearches\n");
    ASSERT_NE(anEnd, std::string::npos) << aTrace;
    const std::size_t aBegin = aTrace.rfind("<event", anEnd);
    const std::string aSearches = aTrace.substr(aBegin, anEnd - aBegin);
    EXPECT_NE(aSearches.find("Connection::callAll()=\"(1 /"), std::string::npos) << aSearches;
    EXPECT_EQ(aSearches.find("Connection::callRepo()"), std::string::npos) << aSearches;

    EXPECT_TRUE(repofunobjects::searchObjects({}).empty());
    // A search outside the active session lists inactive objects, and is judged so.
    EXPECT_EQ(messageOf([&] {
                  repofunobjects::searchObjects(
                      {{anInactive, "q", ""}, {RepositorySession::historical("garbage"), "p", ""}});
              }),
              "Failed to list inactive objects (40130): Invalid session timestamp \"garbage\" "
              "(expected YYYY-MM-DD HH:MM:SS.mmm): ");
}

TEST_F(RepoFunTest, BulkReadWithAMissingObjectListsTheErrorObjects) {
    std::vector<RepositoryObject> anObjects = activated({"a", "b", "c"});
    RepositoryObject aMissing("p", "gone", "txt");
    aMissing.setMetaData(anObjects[0].metaData());
    anObjects.insert(anObjects.begin() + 1, aMissing);
    EXPECT_EQ(messageOf([&] { repofunobjects::readObjects(anObjects); }),
              "Failed to read objects (40132): Not all objects could be read: 1 of 4\n"
              "Successfuly read 3 of 4 objects.\n"
              "Error objects (1):\n"
              "gone.txt (40132): Object does not exist: p/gone.txt\n");
}

TEST_F(RepoFunTest, PackagesAndTheUnsetRuleOfUpdates) {
    PackageAttributes aPackage;
    aPackage.itsPackage = "q";
    aPackage.itsDescription = "first";
    aPackage.itsResponsible = "ALICE";
    repofunpackages::createPackage(aPackage, false);
    EXPECT_TRUE(repofunpackages::existsPackage("q"));
    EXPECT_FALSE(repofunpackages::existsPackage("nothere"));
    EXPECT_EQ(repofunpackages::listRootPackages().size(), 2u);
    EXPECT_EQ(repofunpackages::listPackages("q").size(), 1u);

    Package aRead = repofunpackages::readPackage("q");
    PackageAttributes aNewResponsible = unchangedPackage("q");
    aNewResponsible.itsResponsible = "BOB";
    repofunpackages::updatePackage(aNewResponsible);
    Package anUpdated = repofunpackages::readPackage("q");
    EXPECT_EQ(anUpdated.itsDescription, "first");
    EXPECT_EQ(anUpdated.itsResponsible, "BOB");
    EXPECT_EQ(anUpdated.itsSrcSystem, aRead.itsSrcSystem);
    EXPECT_EQ(anUpdated.itsStructural, aRead.itsStructural);

    EXPECT_EQ(messageOf([&] { repofunpackages::createPackage(aPackage, false); }),
              "Failed to create package q (40113): Package exists already: q");
    EXPECT_EQ(messageOf([] { repofunpackages::deletePackage("nothere", false, false); }),
              "Failed to delete package (40111): Package does not exist: nothere");
    EXPECT_EQ(messageOf([] { repofunpackages::readPackage("nothere"); }),
              "Failed to read package \"nothere\" (40111): Package does not exist: nothere");
    repofunpackages::deletePackage("q", false, false);
    EXPECT_FALSE(repofunpackages::existsPackage("q"));
}

TEST_F(RepoFunTest, DeliveryUnitsAreAdministeredExportedImportedAndUndeployed) {
    EXPECT_EQ(messageOf([] { repofundeliveryunits::getDeliveryUnit("du", "acme"); }),
              "Failed to get delivery unit \"du\" (vendor: \"acme\") (40116): Delivery unit does "
              "not exist: du (acme)");
    EXPECT_FALSE(repofundeliveryunits::existsDeliveryUnit("du", "acme"));
    repofundeliveryunits::createDeliveryUnit(
        {"du", "acme", "Orders", "ALICE", "1", "0", "0", "", "", "", "CA"});
    EXPECT_EQ(messageOf([] {
                  repofundeliveryunits::createDeliveryUnit(
                      {"du", "acme", "", "", "", "", "", "", "", "", ""});
              }),
              "Failed to create delivery unit (40117): Delivery unit exists already: du (acme)");

    // An update keeps what it passes as "__unset__".
    const std::string aKeep = "__unset__";
    repofundeliveryunits::updateDeliveryUnit(
        {"du", "acme", aKeep, "BOB", aKeep, aKeep, aKeep, aKeep, aKeep, aKeep, aKeep});
    DeliveryUnit aUnit = repofundeliveryunits::getDeliveryUnit("du", "acme");
    EXPECT_EQ(aUnit.itsCaption, "Orders");
    EXPECT_EQ(aUnit.itsResponsible, "BOB");
    ASSERT_EQ(repofundeliveryunits::listDeliveryUnits().size(), 1u);
    EXPECT_FALSE(repofundeliveryunits::checkIsDeliveryUnitBroken("du", "acme"));

    PackageAttributes anAssignment = unchangedPackage("p");
    anAssignment.itsDeliveryUnit = "du";
    anAssignment.itsDuVendor = "acme";
    repofunpackages::updatePackage(anAssignment);
    ExportResult anExport =
        repofundeliveryunits::exportDeliveryUnit({"du", "acme", "", "1", "", "", "", "", ""});
    ASSERT_EQ(anExport.itsSummary.itsPackages.size(), 1u);
    EXPECT_EQ(anExport.itsSummary.itsDeliveryUnit.itsResponsible, "BOB");
    EXPECT_FALSE(anExport.itsArchive->empty());

    // Imports hand their triple to the caller.
    ImportOptions anOptions{"1", "1", "0", "0", "0"};
    ImportResult aDamaged = repofundeliveryunits::importFile("a.tgz", text("x"), anOptions);
    EXPECT_EQ(aDamaged.itsError.itsCode, "40150");
    ImportResult anImport = repofundeliveryunits::importMultipleFiles(
        {"a.tgz", "b.tgz"}, {anExport.itsArchive, anExport.itsArchive}, anOptions);
    EXPECT_EQ(anImport.itsError.itsCode, "0") << anImport.itsError.itsMessage;
    EXPECT_EQ(anImport.itsSummary.itsHeaders.size(), 2u);

    UndeploySummary anUndeploy = repofundeliveryunits::undeployDeliveryUnit("du", "acme");
    EXPECT_EQ(anUndeploy.itsDeletedPackagesCount, "1");
    EXPECT_FALSE(repofunpackages::existsPackage("p"));
}

TEST_F(RepoFunTest, ChangeTrackingAnswersAndFailuresCarryTheirOwnMessages) {
    EXPECT_EQ(repofunchangetracking::getChangeTrackingStatus(), "disabled");
    // No match (40101) is an empty answer, not a failure.
    EXPECT_TRUE(repofunchangetracking::findChanges({}).empty());
    EXPECT_EQ(messageOf([] { repofunchangetracking::createChange("first"); }),
              "Failed to create change. Description: first (40104): Change tracking is disabled "
              "in this repository; switch it on first: ");
    EXPECT_EQ(messageOf([] { repofunchangetracking::addContributor("ZEV//1", "BOB"); }),
              "Failed to add contributor. Change id: ZEV//1, contributor: BOB (40102): Change "
              "\"ZEV//1\" does not exist: ZEV//1");
    expectFailureBeginning(
        [] { repofunchangetracking::mergeChanges("ZEV//1", "ZEV//2"); },
        "Failed to merge changes. Source change Id: ZEV//1, target change id: ZEV//2 (40102");

    repofunchangetracking::toggleChangeTracking("on", false);
    EXPECT_EQ(repofunchangetracking::getChangeTrackingStatus(), "enabled");
    const std::string anId = repofunchangetracking::createChange("first");
    EXPECT_EQ(anId, "ZEV//1");
    expectFailureBeginning(
        [&] { repofunchangetracking::validateContribution(anId, "BOB", "ok"); },
        "Failed to validate contributor. Change id: ZEV//1, user: BOB, comment: ok (40120");
    EXPECT_EQ(messageOf([&] { repofunchangetracking::addContributor(anId, "BOB"); }),
              "Failed to add contributor. Change id: ZEV//1, contributor: BOB (40106): User "
              "\"BOB\" is not a user of this repository: BOB");
    expectFailureBeginning([] { repofunchangetracking::toggleChangeTracking("off", false); },
                           "Failed to toggle change tracking (40103): ");
    repofunchangetracking::validateContribution(anId, "ALICE", "ok");
    repofunchangetracking::releaseChange(anId);
    const std::vector<ChangeEntry> aChanges = repofunchangetracking::readChanges({anId});
    ASSERT_EQ(aChanges.size(), 1u);
    EXPECT_EQ(aChanges[0].itsStatus, 2);
    ASSERT_EQ(aChanges[0].itsContributors.size(), 1u);
    EXPECT_EQ(aChanges[0].itsContributors[0].itsStatus, 2);
    EXPECT_EQ(aChanges[0].itsContributors[0].itsDescription, "ok");
    repofunchangetracking::toggleChangeTracking("off", false);
}
