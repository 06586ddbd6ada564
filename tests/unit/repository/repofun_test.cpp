#include "core/error.hpp"
#include "core/perftrace.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunchangetracking.hpp"
#include "repository/repofundeliveryunits.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "tests/support/messages.hpp"
#include "tests/unit/repository/repositoryfiletest.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace RepositoryAccess;

namespace {

namespace perftrace = RepositoryAccess::perftrace;
using kivotest::messageOf;
using kivotest::messagesOf;

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

// Connected as ALICE outside any workspace, with package p.
class RepoFunTest : public repotest::RepositoryFileTest {
protected:
    void SetUp() override {
        RepositoryFileTest::SetUp();
        options("ALICE", "secret");
        repofunpackages::createPackage("p", false);
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
};

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

// What the workspace layer reads of an object: the version types and the line ends, stored
// content unchanged unless the user asks for "WIN". A time before the first activation has no
// version: an empty historical record.
TEST_F(RepoFunTest, ObjectVersionsAndLineEnds) {
    RepositoryObject anObject("p", "x", "txt");
    EXPECT_EQ(repofunobjects::writeObject(anObject, text("one\ntwo")).itsType, 2);
    EXPECT_EQ(repofunobjects::activateObjects({anObject}, "0", "").itsError.itsCode, "0");
    EXPECT_EQ(repofunobjects::readActiveObjectMetaData(anObject).itsType, 1);
    EXPECT_EQ(repofunobjects::readHistoricalObjectMetaData(anObject, 1).itsType, 3);
    ObjectMetaData aBefore = repofunobjects::readHistoricalObjectMetaData("2000-01-01", anObject);
    EXPECT_EQ(aBefore.itsType, 3);
    EXPECT_EQ(aBefore.itsActivatedAt, "");
    anObject.setVersion({1, {}, {}, 0});
    EXPECT_EQ(repofunobjects::readObject(RepositorySession::active(), anObject).itsContent,
              "one\ntwo");
    options("ALICE", "secret", {}, {{params::lineEnd, "WIN"}});
    EXPECT_EQ(repofunobjects::readObject(RepositorySession::active(), anObject).itsContent,
              "one\r\ntwo");
}

// Each failure names the operation and ends in the server's triple; where the server's text
// is not the point only the beginning is compared (itsWhole false). Imports hand their triple
// to the caller instead, and a search without a match (40101) is an empty answer.
TEST_F(RepoFunTest, FailuresNameTheOperationAndTheServerTriple) {
    struct Failure {
        std::function<void()> itsCall;
        std::string itsMessage;
        bool itsWhole = true;
    };
    const auto expectFailures = [](const std::vector<Failure>& theFailures) {
        for (const Failure& aFailure : theFailures) {
            const std::string aMessage = messageOf(aFailure.itsCall);
            EXPECT_EQ(aFailure.itsWhole ? aMessage : aMessage.substr(0, aFailure.itsMessage.size()),
                      aFailure.itsMessage);
        }
    };
    RepositoryObject aMissing("p", "gone", "txt");
    aMissing.setVersion({1, {}, {}, 0});
    repofundeliveryunits::createDeliveryUnit(
        {"du", "acme", "Orders", "ALICE", "1", "0", "0", "", "", "", "CA"});
    expectFailures({
        {[] { repofunobjects::writeObject(RepositoryObject("nopkg", "x", "txt"), text("x")); },
         "Failed to write object x.txt (40111): Package does not exist: nopkg"},
        {[&] { repofunobjects::deleteObject(aMissing); },
         "Failed to delete object gone.txt (40132): Object does not exist: p/gone.txt"},
        {[&] { repofunobjects::readObject(RepositorySession::active(), aMissing); },
         "Failed to read object \"gone.txt\" (40132): Object does not exist: p/gone.txt"},
        {[&] { repofunobjects::readActiveObjectMetaData(aMissing); },
         "Failed to read active object meta data (40132): Object does not exist: p/gone.txt"},
        {[&] { repofunobjects::readInactiveObjectMetaData(aMissing); },
         "Failed to read inactive object meta data. Exactly one inactive object gone.txt in "
         "package p expected, but found 0 (possible reason: outdated Repository w/out "
         "support for number suffixes such as \"1\")."},
        {[&] { repofunobjects::pullInactiveObjects({aMissing}, "ALICE", "other"); },
         "Failed to pull inactive objects (40132): No", false},
        {[] { repofunbase::deleteInactiveWorkSpace("BOB", "ws"); },
         "Failed to delete inactive workspace ws(40120)", false},
        {[] { repofunpackages::createPackage("p", false); },
         "Failed to create package p (40113): Package exists already: p"},
        {[] { repofunpackages::deletePackage("nothere", false, false); },
         "Failed to delete package (40111): Package does not exist: nothere"},
        {[] { repofunpackages::readPackage("nothere"); },
         "Failed to read package \"nothere\" (40111): Package does not exist: nothere"},
        {[] { repofundeliveryunits::getDeliveryUnit("gone", "acme"); },
         "Failed to get delivery unit \"gone\" (vendor: \"acme\") (40116): Delivery unit does "
         "not exist: gone (acme)"},
        {[] {
             repofundeliveryunits::createDeliveryUnit(
                 {"du", "acme", "", "", "", "", "", "", "", "", ""});
         },
         "Failed to create delivery unit (40117): Delivery unit exists already: du (acme)"},
        {[] { repofunchangetracking::createChange("first"); },
         "Failed to create change. Description: first (40104): Change tracking is disabled in "
         "this repository; switch it on first: "},
        {[] { repofunchangetracking::addContributor("ZEV//1", "BOB"); },
         "Failed to add contributor. Change id: ZEV//1, contributor: BOB (40102): Change "
         "\"ZEV//1\" does not exist: ZEV//1"},
        {[] { repofunchangetracking::mergeChanges("ZEV//1", "ZEV//2"); },
         "Failed to merge changes. Source change Id: ZEV//1, target change id: ZEV//2 (40102",
         false},
    });
    EXPECT_EQ(repofundeliveryunits::importFile("a.tgz", text("x"), {"1", "1", "0", "0", "0"})
                  .itsError.itsCode,
              "40150");
    EXPECT_TRUE(repofunchangetracking::findChanges({}).empty());

    repofunchangetracking::toggleChangeTracking("on", false);
    EXPECT_EQ(repofunchangetracking::createChange("first"), "ZEV//1");
    expectFailures({
        {[] { repofunchangetracking::validateContribution("ZEV//1", "BOB", "ok"); },
         "Failed to validate contributor. Change id: ZEV//1, user: BOB, comment: ok (40120", false},
        {[] { repofunchangetracking::addContributor("ZEV//1", "BOB"); },
         "Failed to add contributor. Change id: ZEV//1, contributor: BOB (40106): User "
         "\"BOB\" is not a user of this repository: BOB"},
        {[] { repofunchangetracking::toggleChangeTracking("off", false); },
         "Failed to toggle change tracking (40103): ", false},
    });
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
    options("ALICE", "secret");

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

    options("ALICE", "secret");
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
