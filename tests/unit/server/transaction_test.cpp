// A failure at any statement of a request or of the file's upgrade leaves the repository as it
// was and is the error that the caller sees, also when the rollback after it fails as well.

#include "sqlitefile/fileschema.hpp"
#include "tests/unit/server/enginetestsupport.hpp"
#include "tests/unit/server/failingdatabase.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace enginetest;

namespace {

const std::string kX = object("a", "x", "txt");
const std::string kY = object("a", "y", "txt");
const std::string kZ = object("a", "z", "txt");
const std::string kW = object("a", "w", "txt");

// One request of the story: its action, object of the action, further members, attachments and
// sender, whose session every request carries. An import takes the archive that the answer of an
// earlier step (itsArchiveFrom) holds, itsArchives times.
struct Step {
    std::string itsAction, itsWhat, itsMembers;
    std::vector<std::string> itsCData = {};
    int itsArchiveFrom = -1;
    int itsArchives = 1;
    std::string itsUser = "ALICE";

    std::string json() const {
        return R"({"action":")" + itsAction + R"(","what":")" + itsWhat + R"(","session":)" +
               session(itsUser) + "," + itsMembers + "}";
    }
};

// A story through every request that writes, each step valid after the ones before it.
std::vector<Step> story() {
    const std::string aUnit =
        R"("vendor":"acme","caption":"Orders","responsible":"ALICE","version":"1",)"
        R"("version_sp":"2","version_patch":"3","qrtsID":"","sp_QRTS_ID":"","ach":"CA")";
    const auto aWrite = [](const std::string& theObject, const std::string& theText) {
        return Step{"write", "object", R"("object":)" + theObject, {theText}};
    };
    const auto aBobs = [](Step theStep) {
        theStep.itsUser = "BOB";
        return theStep;
    };
    const std::string anImport =
        R"(,"forceRemove":"1","autoActivate":"1","activationMode":"0","onlyTestImport":"0",)"
        R"("determineXrefs":"0","contentProvided":"1")";
    const std::string anExport = R"("delivery_unit":"DU","du_vendor":"acme","alias":"","file":"",)"
                                 R"("provide_content":"1")";
    return {
        {"create", "package", R"("package":"a","description":"","inherit":"0")"},
        {"create", "deliveryUnit", R"("name":"DU",)" + aUnit},
        {"update", "package", R"("package":"a","delivery_unit":"DU","du_vendor":"acme")"},
        {"update", "deliveryUnit", R"("name":"DU",)" + aUnit},
        aWrite(kX, "one"),
        aWrite(kY, "two"),
        {"activate", "objects", R"("objList":[)" + kX + R"(],"activationMode":"0")"},
        aWrite(kZ, "three"),
        {"delete", "revertObjects", R"("objList":[)" + kZ + "]"},
        aBobs({"pull", "inactiveObjects",
               R"("objList":[)" + kY + R"(],"user":"ALICE","workspace":"")"}),
        aBobs({"delete", "inactiveWorkspace", R"("user":"BOB","workspace":"")"}),
        {"export", "delivery_unit", anExport + R"(,"export_summary":"1")"},
        {"import", "file", R"("filename":"du.tgz")" + anImport, {}, 11},
        {"import", "fileList", R"("fileList":["0.tgz","1.tgz"])" + anImport, {}, 11, 2},
        {"export", "languages", anExport + R"(,"languages":["de"])"},
        {"import",
         "languages",
         R"("filename":"texts.tgz","onlyTestImport":"0","contentProvided":"1")",
         {},
         14},
        {"set", "changeTracking", R"("status":"on","ignoreOpenChanges":"0")"},
        {"create", "change", R"("description":"d")"},
        {"edit", "changeDescription", R"("changeID":"ZEV//1","description":"e")"},
        {"add", "changeContributor", R"("changeID":"ZEV//1","contributor":"BOB")"},
        aBobs({"edit", "contributorComment",
               R"("changeID":"ZEV//1","contributor":"BOB","comment":"later")"}),
        aBobs({"validate", "contribution", R"("changeID":"ZEV//1","user":"BOB","comment":"fine")"}),
        {"remove", "changeContributor", R"("changeID":"ZEV//1","contributor":"BOB")"},
        aWrite(kW, "four"),
        {"activate", "objects",
         R"("objList":[)" + kW + R"(],"activationMode":"0","changeID":"ZEV//1")"},
        {"create", "change", R"("description":"two")"},
        {"move", "changeEntries",
         R"("sourceChangeID":"ZEV//1","targetChangeID":"ZEV//2","objects":[)" + kW + "]"},
        {"merge", "changes", R"("sourceChangeID":"ZEV//1","targetChangeID":"ZEV//2")"},
        {"create", "change", R"("description":"three")"},
        {"delete", "change", R"("changeID":"ZEV//3")"},
        {"validate", "contribution", R"("changeID":"ZEV//2","user":"ALICE","comment":"fine")"},
        {"release", "change", R"("changeID":"ZEV//2")"},
        {"delete", "object", R"("object":)" + kX},
        {"set", "changeTracking", R"("status":"off","ignoreOpenChanges":"1")"},
        {"undeploy", "delivery_unit", R"("delivery_unit":"DU","du_vendor":"acme")"},
        {"create", "deliveryUnit", R"("name":"DU2",)" + aUnit},
        {"delete", "deliveryUnit", R"("name":"DU2","vendor":"acme")"},
        {"create", "package", R"("package":"b","description":"","inherit":"0")"},
        {"delete", "package", R"("package":"b","ignoreInactiveObjects":"1","recursively":"0")"},
    };
}

// A repository file with users ALICE and BOB and an engine on it whose database fails on purpose.
class FailingEngine : public ::testing::Test, public EngineFixture {
protected:
    FailingEngine() {
        auto apDatabase = std::make_unique<FailingDatabase>(server::openRepositoryFile(path()));
        itsDatabase = apDatabase.get();
        reopen(std::move(apDatabase));
    }

    FailingDatabase* itsDatabase = nullptr;
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
        const std::string aFrame = requestFrame(aStep.json(), aStep.itsCData, anArchives);
        anAnswers.emplace_back();
        runThroughFailures(*itsDatabase, path(), [&] {
            anAnswers.back() = parseReply(engine().call(aStep.itsUser, aFrame));
        });
        ASSERT_TRUE(anAnswers.back()) << "step " << i << ": " << aStep.json();
        ASSERT_EQ(anAnswers.back()->code(), "0")
            << "step " << i << ": " << anAnswers.back()->text();
        aCovered.insert(aStep.itsAction + "/" + aStep.itsWhat);
    }
    for (const auto& [anAction, aWhat] : server::Engine::writeRequests())
        EXPECT_TRUE(aCovered.count(anAction + "/" + aWhat)) << anAction << "/" << aWhat;
}

TEST_F(FailingEngine, AFailureInAGroupTakesBackTheGroupsOpenTransaction) {
    engine().beginGroup();
    const std::string aBefore = dumpRepository(path());
    const std::vector<Step> aStory = story();
    ASSERT_EQ(parseReply(engine().call("ALICE", requestFrame(aStory[0].json())))->code(), "0");
    itsDatabase->failAt(1, true);
    EXPECT_THROW(engine().call("ALICE", requestFrame(aStory[1].json())), server::StorageError);
    EXPECT_EQ(dumpRepository(path()), aBefore);
    itsDatabase->failAt(0);
    // The engine goes on: the next request opens a new shared transaction.
    ASSERT_EQ(parseReply(engine().call("ALICE", requestFrame(aStory[0].json())))->code(), "0");
    engine().endGroup();
    EXPECT_NE(dumpRepository(path()), aBefore);
}

// The file's upgrade: all of it or nothing, with the first error.
TEST(FailingFile, AFailedUpgradeLeavesTheOlderFile) {
    kivotest::TempDir aDir;
    const std::string aPath = olderRepositoryFile(aDir, 1);
    const std::string aBefore = dumpRepository(aPath);
    FailingDatabase aDatabase(std::make_unique<server::SqliteDatabase>(aPath, false));
    runThroughFailures(aDatabase, aPath, [&] { server::fileschema::upgrade(aDatabase); });
    EXPECT_NE(dumpRepository(aPath), aBefore);
}
