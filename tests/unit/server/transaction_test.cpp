// A failure at any statement of a request or of the file's upgrade leaves the
// repository as it was and is the error that the caller sees, also when the rollback after it
// fails as well.

#include "tests/unit/server/deliveryunitsupport.hpp"
#include "tests/unit/server/failingdatabase.hpp"

#include "server/transaction.hpp"
#include "sqlitefile/fileschema.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "sqlitefile/sqlitedb.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace enginetest;

namespace {

const std::string kX = object("a", "x", "txt");
const std::string kY = object("a", "y", "txt");
const std::string kZ = object("a", "z", "txt");
const std::string kW = object("a", "w", "txt");

// One request of the story: its sender, body and attachments. An import takes the archive
// that the answer of an earlier step (itsArchiveFrom) holds, itsArchives times.
struct Step {
    std::string itsUser;
    std::string itsJson;
    std::vector<std::string> itsCData = {};
    int itsArchiveFrom = -1;
    int itsArchives = 1;
};

std::string write(const std::string& theUser, const std::string& theObject) {
    return R"({"action":"write","what":"object","session":)" + session(theUser) + R"(,"object":)" +
           theObject + R"(,"determineReferences":"1","xrefList":[],"texts":[],"content_texts":[]})";
}

std::string activate(const std::string& theObject) {
    return R"({"action":"activate","what":"objects","session":)" + session("ALICE") +
           R"(,"objList":[)" + theObject + R"(],"activationMode":"0"})";
}

std::string import(const std::string& theWhat, const std::string& theFiles) {
    return R"({"action":"import","what":")" + theWhat + R"(","session":)" + session("ALICE") +
           theFiles +
           R"(,"forceRemove":"1","autoActivate":"1","activationMode":"0","onlyTestImport":"0",)"
           R"("determineXrefs":"0","contentProvided":"1"})";
}

// A story through every request that writes, each step valid after the ones before it.
std::vector<Step> story() {
    const std::string aUnit =
        R"("caption":"Orders","responsible":"ALICE","version":"1","version_sp":"2",)"
        R"("version_patch":"3","qrtsID":"","sp_QRTS_ID":"","ach":"CA"})";
    return {
        {"ALICE",
         R"({"action":"create","what":"package","package":"a","description":"","inherit":"0"})"},
        {"ALICE",
         R"({"action":"create","what":"deliveryUnit","name":"DU","vendor":"acme",)" + aUnit},
        {"ALICE",
         R"({"action":"update","what":"package","package":"a","delivery_unit":"DU","du_vendor":"acme"})"},
        {"ALICE",
         R"({"action":"update","what":"deliveryUnit","name":"DU","vendor":"acme",)" + aUnit},
        {"ALICE", write("ALICE", kX), {"one"}},
        {"ALICE", write("ALICE", kY), {"two"}},
        {"ALICE", activate(kX)},
        {"ALICE", write("ALICE", kZ), {"three"}},
        {"ALICE", R"({"action":"delete","what":"revertObjects","session":)" + session("ALICE") +
                      R"(,"objList":[)" + kZ + "]}"},
        {"BOB", R"({"action":"pull","what":"inactiveObjects","session":)" + session("BOB") +
                    R"(,"objList":[)" + kY + R"(],"user":"ALICE","workspace":""})"},
        {"BOB", R"({"action":"delete","what":"inactiveWorkspace","session":)" + session("BOB") +
                    R"(,"user":"BOB","workspace":""})"},
        {"ALICE",
         R"({"action":"export","what":"delivery_unit","delivery_unit":"DU","du_vendor":"acme",)"
         R"("alias":"","file":"","provide_content":"1","export_summary":"1"})"},
        {"ALICE", import("file", R"(,"filename":"du.tgz")"), {}, 11},
        {"ALICE", import("fileList", R"(,"fileList":["0.tgz","1.tgz"])"), {}, 11, 2},
        {"ALICE",
         R"({"action":"export","what":"languages","delivery_unit":"DU","du_vendor":"acme",)"
         R"("alias":"","languages":["de"],"file":"","provide_content":"1"})"},
        {"ALICE",
         R"({"action":"import","what":"languages","session":)" + session("ALICE") +
             R"(,"filename":"texts.tgz","onlyTestImport":"0","contentProvided":"1"})",
         {},
         14},
        {"ALICE",
         R"({"action":"set","what":"changeTracking","status":"on","ignoreOpenChanges":"0"})"},
        {"ALICE", R"({"action":"create","what":"change","description":"d"})"},
        {"ALICE",
         R"({"action":"edit","what":"changeDescription","changeID":"ZEV//1","description":"e"})"},
        {"ALICE",
         R"({"action":"add","what":"changeContributor","changeID":"ZEV//1","contributor":"BOB"})"},
        {"BOB",
         R"({"action":"edit","what":"contributorComment","changeID":"ZEV//1","contributor":"BOB","comment":"later"})"},
        {"BOB",
         R"({"action":"validate","what":"contribution","changeID":"ZEV//1","user":"BOB","comment":"fine"})"},
        {"ALICE",
         R"({"action":"remove","what":"changeContributor","changeID":"ZEV//1","contributor":"BOB"})"},
        {"ALICE", write("ALICE", kW), {"four"}},
        {"ALICE", R"({"action":"activate","what":"objects","session":)" + session("ALICE") +
                      R"(,"objList":[)" + kW + R"(],"activationMode":"0","changeID":"ZEV//1"})"},
        {"ALICE", R"({"action":"create","what":"change","description":"two"})"},
        {"ALICE",
         R"({"action":"move","what":"changeEntries","sourceChangeID":"ZEV//1","targetChangeID":"ZEV//2","objects":[)" +
             kW + "]}"},
        {"ALICE",
         R"({"action":"merge","what":"changes","sourceChangeID":"ZEV//1","targetChangeID":"ZEV//2"})"},
        {"ALICE", R"({"action":"create","what":"change","description":"three"})"},
        {"ALICE", R"({"action":"delete","what":"change","changeID":"ZEV//3"})"},
        {"ALICE",
         R"({"action":"validate","what":"contribution","changeID":"ZEV//2","user":"ALICE","comment":"fine"})"},
        {"ALICE", R"({"action":"release","what":"change","changeID":"ZEV//2"})"},
        {"ALICE", R"({"action":"delete","what":"object","session":)" + session("ALICE") +
                      R"(,"object":)" + kX + "}"},
        {"ALICE",
         R"({"action":"set","what":"changeTracking","status":"off","ignoreOpenChanges":"1"})"},
        {"ALICE", R"({"action":"undeploy","what":"delivery_unit","session":)" + session("ALICE") +
                      R"(,"delivery_unit":"DU","du_vendor":"acme"})"},
        {"ALICE",
         R"({"action":"create","what":"deliveryUnit","name":"DU2","vendor":"acme",)" + aUnit},
        {"ALICE", R"({"action":"delete","what":"deliveryUnit","name":"DU2","vendor":"acme"})"},
        {"ALICE",
         R"({"action":"create","what":"package","package":"b","description":"","inherit":"0"})"},
        {"ALICE",
         R"({"action":"delete","what":"package","package":"b","ignoreInactiveObjects":"1","recursively":"0"})"},
    };
}

std::string requestName(const std::string& theJson) {
    json::JsonObject aBody;
    json::JsonAllocator anAllocator;
    EXPECT_TRUE(json::jsonParse(theJson.data(), theJson.size(), aBody, anAllocator)) << theJson;
    return json::getString(aBody, "action") + "/" + json::getString(aBody, "what");
}

// A repository file with users ALICE and BOB and an engine on it whose database fails on purpose.
class FailingEngine : public ::testing::Test {
protected:
    FailingEngine() {
        itsPath = (itsDir.path() / "repo.db").string();
        server::createRepositoryFile(itsPath, {});
        auto apDatabase = std::make_unique<FailingDatabase>(server::openRepositoryFile(itsPath));
        itsDatabase = apDatabase.get();
        itsEngine = std::make_unique<server::Engine>(std::move(apDatabase));
        for (const char* aUser : {"ALICE", "BOB"})
            itsEngine->store().putUser({aUser, server::hashPassword("pw")});
    }

    // Sends theFrame with a failure at each statement in turn, then without one: every failed
    // run must be reported with its own error and change nothing. Returns the answer.
    std::unique_ptr<Reply> sendThroughFailures(const Step& theStep, const std::string& theFrame,
                                               bool theRollbackFails) {
        const std::string aBefore = dumpRepository(itsPath);
        for (int n = 1;; ++n) {
            itsDatabase->failAt(n, theRollbackFails);
            std::string anAnswer;
            try {
                anAnswer = itsEngine->call(theStep.itsUser, theFrame);
            } catch (const server::StorageError& anError) {
                EXPECT_EQ(std::string(anError.what()), FailingDatabase::message(n));
            }
            if (!itsDatabase->failed()) {
                // The request ran statements, and each of them failed once on the way here.
                EXPECT_GT(n, 2) << theStep.itsJson;
                itsDatabase->failAt(0);
                return parseReply(anAnswer);
            }
            EXPECT_TRUE(anAnswer.empty()) << "answered despite the failure at statement " << n;
            EXPECT_EQ(dumpRepository(itsPath), aBefore) << "after a failure at statement " << n;
            if (::testing::Test::HasFailure())
                return nullptr;
        }
    }

    kivotest::TempDir itsDir;
    std::string itsPath;
    FailingDatabase* itsDatabase = nullptr;
    std::unique_ptr<server::Engine> itsEngine;
};

} // namespace

TEST_F(FailingEngine, AFailureAnywhereInARequestLeavesTheRepositoryAsItWas) {
    const std::vector<Step> aStory = story();
    std::vector<std::unique_ptr<Reply>> anAnswers;
    std::set<std::string> aCovered;
    for (std::size_t i = 0; i < aStory.size(); ++i) {
        const Step& aStep = aStory[i];
        std::vector<std::string> anArchives;
        if (aStep.itsArchiveFrom >= 0)
            anArchives.assign(aStep.itsArchives, archiveOf(*anAnswers[aStep.itsArchiveFrom]));
        const std::string aFrame = requestFrame(aStep.itsJson, aStep.itsCData, anArchives);
        // Every other step lets its rollback fail as well.
        anAnswers.push_back(sendThroughFailures(aStep, aFrame, i % 2 == 1));
        ASSERT_TRUE(anAnswers.back()) << "step " << i << ": " << aStep.itsJson;
        ASSERT_EQ(anAnswers.back()->code(), "0")
            << "step " << i << ": " << anAnswers.back()->text();
        aCovered.insert(requestName(aStep.itsJson));
    }
    for (const auto& [anAction, aWhat] : server::Engine::writeRequests())
        EXPECT_TRUE(aCovered.count(anAction + "/" + aWhat)) << anAction << "/" << aWhat;
}

TEST_F(FailingEngine, AFailureInAGroupTakesBackTheGroupsOpenTransaction) {
    itsEngine->beginGroup();
    const std::string aBefore = dumpRepository(itsPath);
    const std::vector<Step> aStory = story();
    ASSERT_EQ(parseReply(itsEngine->call("ALICE", requestFrame(aStory[0].itsJson)))->code(), "0");
    itsDatabase->failAt(1, true);
    EXPECT_THROW(itsEngine->call("ALICE", requestFrame(aStory[1].itsJson)), server::StorageError);
    EXPECT_EQ(dumpRepository(itsPath), aBefore);
    itsDatabase->failAt(0);
    // The engine goes on: the next request opens a new shared transaction.
    ASSERT_EQ(parseReply(itsEngine->call("ALICE", requestFrame(aStory[0].itsJson)))->code(), "0");
    itsEngine->endGroup();
    EXPECT_NE(dumpRepository(itsPath), aBefore);
}

// The file's upgrade: all of it or nothing, with the first error.
TEST(FailingFile, AFailedUpgradeLeavesTheOlderFile) {
    kivotest::TempDir aDir;
    const std::string aPath = (aDir.path() / "repo.db").string();
    server::createRepositoryFile(aPath, {});
    {
        server::SqliteDatabase anOld(aPath, false);
        anOld.execute("ALTER TABLE users DROP COLUMN is_admin; DROP TABLE change_contributors; "
                      "DROP TABLE change_entries; DROP TABLE changes; "
                      "DROP INDEX history_by_change; PRAGMA user_version = 1");
    }
    const std::string aBefore = dumpRepository(aPath);
    for (int n = 1;; ++n) {
        FailingDatabase aDatabase(std::make_unique<server::SqliteDatabase>(aPath, false));
        aDatabase.failAt(n, n % 2 == 0);
        try {
            server::fileschema::upgrade(aDatabase);
        } catch (const server::StorageError& anError) {
            EXPECT_EQ(std::string(anError.what()), FailingDatabase::message(n));
        }
        if (!aDatabase.failed())
            break;
        ASSERT_EQ(dumpRepository(aPath), aBefore) << "after a failure at statement " << n;
    }
    EXPECT_NE(dumpRepository(aPath), aBefore);
}
