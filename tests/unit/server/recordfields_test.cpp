#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace enginetest;
using RepositoryAccess::json::asObject;
using RepositoryAccess::json::getObject;
using RepositoryAccess::json::getString;

namespace {

// A description with one attribute more, as a new attribute would be added.
std::vector<RecordField> extended(RecordDescription theFields, RecordField theField) {
    std::vector<RecordField> anExtended(theFields.begin(), theFields.end());
    anExtended.push_back(theField);
    return anExtended;
}

// A repository file whose package, delivery-unit, change and contributor tables have one column
// more, with an engine that knows them from its descriptions.
class ExtendedRecords : public ::testing::Test {
protected:
    ExtendedRecords() {
        const std::string aPath = (itsDir.path() / "repo.db").string();
        server::createRepositoryFile(aPath, {});
        auto aDatabase = server::openRepositoryFile(aPath);
        aDatabase->query("ALTER TABLE packages ADD COLUMN review_note TEXT NOT NULL DEFAULT ''")
            .run();
        aDatabase
            ->query("ALTER TABLE delivery_units ADD COLUMN approved_by TEXT NOT NULL "
                    "DEFAULT ''")
            .run();
        aDatabase->query("ALTER TABLE changes ADD COLUMN review_note TEXT NOT NULL DEFAULT ''")
            .run();
        aDatabase
            ->query("ALTER TABLE change_contributors ADD COLUMN review_note TEXT NOT NULL "
                    "DEFAULT ''")
            .run();
        itsEngine = std::make_unique<server::Engine>(
            std::move(aDatabase),
            server::RecordDescriptions{itsPackageFields, itsUnitFields, itsChangeFields,
                                       itsContributorFields});
        itsEngine->store().putUser({"ALICE", server::hashPassword("pw")});
    }

    std::unique_ptr<Reply> call(const std::string& theJson) {
        return parseReply(itsEngine->call("ALICE", requestFrame(theJson)));
    }

    // The stored column of the one row of theTable.
    std::string column(const std::string& theTable, const std::string& theColumn,
                       const std::string& theKey = "name = 'a.b'") {
        auto aQuery = itsEngine->store().database().query("SELECT " + theColumn + " FROM " +
                                                          theTable + " WHERE " + theKey);
        return aQuery.step() ? aQuery.text(0) : "(no row)";
    }

    const std::vector<RecordField> itsPackageFields =
        extended(packageFields(), {"review_note", "review_note", "reviewNote", "Review note",
                                   FieldKind::text, true, 205});
    const std::vector<RecordField> itsUnitFields =
        extended(deliveryUnitFields(), {"approvedBy", "approved_by", "approvedBy", "Approved by",
                                        FieldKind::text, true, 11});
    const std::vector<RecordField> itsChangeFields =
        extended(changeFields(), {"review_note", "review_note", "reviewNote", "Review note",
                                  FieldKind::text, true, 7});
    const std::vector<RecordField> itsContributorFields =
        extended(contributorFields(), {"review_note", "review_note", "reviewNote", "Review note",
                                       FieldKind::text, true, 4});
    kivotest::TempDir itsDir;
    std::unique_ptr<server::Engine> itsEngine;
};

} // namespace

TEST_F(ExtendedRecords, AnAttributeAddedToTheDescriptionIsStoredAndAnswered) {
    ASSERT_EQ(call(R"({"action":"create","what":"package","package":"a.b","inherit":"0",)"
                   R"("review_note":"n \"q\""})")
                  ->code(),
              "0");
    EXPECT_EQ(column("packages", "review_note"), "n \"q\"");
    EXPECT_EQ(call(R"({"action":"read","what":"package","package":"a.b"})")->get("review_note"),
              "n \"q\"");
    // The ancestor made on the way has the attribute empty.
    EXPECT_EQ(call(R"({"action":"read","what":"package","package":"a"})")->get("review_note"), "");

    ASSERT_EQ(
        call(R"({"action":"update","what":"package","package":"a.b","review_note":"m"})")->code(),
        "0");
    auto aList = call(R"({"action":"list","what":"packages","review_note":"m"})");
    ASSERT_EQ(aList->list("packages").size(), 1u) << aList->text();
    EXPECT_EQ(getString(asObject(aList->list("packages")[0]), "package"), "a.b");
    EXPECT_EQ(getString(asObject(aList->list("packages")[0]), "review_note"), "m");

    ASSERT_EQ(call(R"({"action":"create","what":"deliveryUnit","name":"a.b","vendor":"acme",)"
                   R"("approvedBy":"BOB"})")
                  ->code(),
              "0");
    EXPECT_EQ(column("delivery_units", "approved_by"), "BOB");
    ASSERT_EQ(call(R"({"action":"update","what":"deliveryUnit","name":"a.b","vendor":"acme",)"
                   R"("approvedBy":"CAROL"})")
                  ->code(),
              "0");
    auto aUnit = call(R"({"action":"get","what":"deliveryUnit","name":"a.b","vendor":"acme"})");
    EXPECT_EQ(getString(getObject(aUnit->itsJson, "deliveryUnit"), "approvedBy"), "CAROL")
        << aUnit->text();
}

TEST_F(ExtendedRecords, AnAttributeAddedToTheChangeIsStoredAnsweredUpdatedAndFiltered) {
    itsEngine->store().setSetting("change_tracking", "on");
    auto aCreated =
        call(R"({"action":"create","what":"change","description":"d","review_note":"n"})");
    ASSERT_EQ(aCreated->code(), "0") << aCreated->text();
    const std::string anId = aCreated->get("changeID");
    EXPECT_EQ(column("changes", "review_note", "id = '" + anId + "'"), "n");
    EXPECT_EQ(column("changes", "status", "id = '" + anId + "'"), "1");

    ASSERT_EQ(call(R"({"action":"edit","what":"changeDescription","changeID":")" + anId +
                   R"(","description":"e","review_note":"m"})")
                  ->code(),
              "0");
    auto aRead = call(R"({"action":"read","what":"changes","changeIDs":[")" + anId + R"("]})");
    ASSERT_EQ(aRead->list("changes").size(), 1u) << aRead->text();
    const auto& aChange = asObject(aRead->list("changes")[0]);
    EXPECT_EQ(getString(aChange, "review_note"), "m");
    EXPECT_EQ(getString(aChange, "description"), "e");
    EXPECT_EQ(getString(aChange, "status"), "1");
    // The store's order stays its own.
    EXPECT_FALSE(RepositoryAccess::json::hasMember(aChange, "number"));

    auto aFound = call(R"({"action":"find","what":"changes","filter":{"review_note":"m"}})");
    EXPECT_EQ(aFound->list("changes").size(), 1u) << aFound->text();
    EXPECT_EQ(call(R"({"action":"find","what":"changes","filter":{"review_note":"x"}})")->code(),
              "40101");
}

TEST_F(ExtendedRecords, AnAttributeAddedToTheContributorIsStoredAnsweredAndUpdated) {
    itsEngine->store().setSetting("change_tracking", "on");
    itsEngine->store().putUser({"BOB", server::hashPassword("pw")});
    const std::string anId =
        call(R"({"action":"create","what":"change","description":"d"})")->get("changeID");
    ASSERT_EQ(call(R"({"action":"add","what":"changeContributor","changeID":")" + anId +
                   R"(","contributor":"bob","review_note":"n"})")
                  ->code(),
              "0");
    EXPECT_EQ(column("change_contributors", "review_note", "\"user\" = 'BOB'"), "n");
    ASSERT_EQ(call(R"({"action":"edit","what":"contributorComment","changeID":")" + anId +
                   R"(","contributor":"ALICE","comment":"c","review_note":"m"})")
                  ->code(),
              "0");

    auto aRead = call(R"({"action":"read","what":"changes","changeIDs":[")" + anId + R"("]})");
    ASSERT_EQ(aRead->list("changes").size(), 1u) << aRead->text();
    const auto& aContributors =
        RepositoryAccess::json::getList(asObject(aRead->list("changes")[0]), "contributors");
    ASSERT_EQ(aContributors.size(), 2u) << aRead->text();
    EXPECT_EQ(getString(asObject(aContributors[0]), "user"), "ALICE");
    EXPECT_EQ(getString(asObject(aContributors[0]), "description"), "c");
    EXPECT_EQ(getString(asObject(aContributors[0]), "review_note"), "m");
    EXPECT_EQ(getString(asObject(aContributors[1]), "status"), "1");
    EXPECT_EQ(getString(asObject(aContributors[1]), "review_note"), "n");
}
