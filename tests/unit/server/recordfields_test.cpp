#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace enginetest;

namespace {

// A description with one attribute more, as a new attribute would be added.
std::vector<RecordField> extended(RecordDescription theFields, std::string_view theKey,
                                  std::string_view theColumn, std::string_view theOption,
                                  int thePosition) {
    std::vector<RecordField> anExtended(theFields.begin(), theFields.end());
    anExtended.push_back(
        {theKey, theColumn, theOption, "Extra", FieldKind::text, true, thePosition});
    return anExtended;
}

// Packages, delivery units, changes and contributors with one column more, which the engine knows
// from its descriptions; users ALICE and BOB, change tracking on.
class ExtendedRecords : public ::testing::Test, public EngineFixture {
protected:
    ExtendedRecords() {
        setting("change_tracking", "on");
        auto aDatabase = server::openRepositoryFile(path());
        for (const char* aTable : {"packages", "changes", "change_contributors"})
            aDatabase->execute(std::string("ALTER TABLE ") + aTable +
                               " ADD COLUMN review_note TEXT NOT NULL DEFAULT ''");
        aDatabase->execute(
            "ALTER TABLE delivery_units ADD COLUMN approved_by TEXT NOT NULL DEFAULT ''");
        reopen(std::move(aDatabase),
               {itsPackageFields, itsUnitFields, itsChangeFields, itsContributorFields});
    }

    std::unique_ptr<Reply> call(const std::string& theJson) {
        return EngineFixture::call("ALICE", theJson);
    }
    void ok(const std::string& theJson) { succeeded(call(theJson)); }
    // The stored column of the row of theTable that theKey selects.
    std::string column(const std::string& theTable, const std::string& theColumn,
                       const std::string& theKey = "name = 'a.b'") {
        auto aQuery = engine().store().database().query("SELECT " + theColumn + " FROM " +
                                                        theTable + " WHERE " + theKey);
        return aQuery.step() ? aQuery.text(0) : "(no row)";
    }

    const std::vector<RecordField> itsPackageFields =
        extended(packageFields(), "review_note", "review_note", "reviewNote", 205);
    const std::vector<RecordField> itsUnitFields =
        extended(deliveryUnitFields(), "approvedBy", "approved_by", "approvedBy", 11);
    const std::vector<RecordField> itsChangeFields =
        extended(changeFields(), "review_note", "review_note", "reviewNote", 7);
    const std::vector<RecordField> itsContributorFields =
        extended(contributorFields(), "review_note", "review_note", "reviewNote", 4);
};

} // namespace

TEST_F(ExtendedRecords, AnAttributeAddedToThePackageOrUnitIsStoredAndAnswered) {
    ok(R"({"action":"create","what":"package","package":"a.b","inherit":"0",)"
       R"("review_note":"n \"q\""})");
    EXPECT_EQ(column("packages", "review_note"), "n \"q\"");
    EXPECT_EQ(call(R"({"action":"read","what":"package","package":"a.b"})")->get("review_note"),
              "n \"q\"");
    // The ancestor made on the way has the attribute empty.
    EXPECT_EQ(call(R"({"action":"read","what":"package","package":"a"})")->get("review_note"), "");

    ok(R"({"action":"update","what":"package","package":"a.b","review_note":"m"})");
    auto aList = call(R"({"action":"list","what":"packages","review_note":"m"})");
    ASSERT_EQ(aList->list("packages").size(), 1u) << aList->text();
    EXPECT_EQ(getString(asObject(aList->list("packages")[0]), "package"), "a.b");
    EXPECT_EQ(getString(asObject(aList->list("packages")[0]), "review_note"), "m");

    ok(R"({"action":"create","what":"deliveryUnit","name":"a.b","vendor":"acme",)"
       R"("approvedBy":"BOB"})");
    EXPECT_EQ(column("delivery_units", "approved_by"), "BOB");
    ok(R"({"action":"update","what":"deliveryUnit","name":"a.b","vendor":"acme",)"
       R"("approvedBy":"CAROL"})");
    auto aUnit = call(R"({"action":"get","what":"deliveryUnit","name":"a.b","vendor":"acme"})");
    EXPECT_EQ(getString(getObject(aUnit->itsJson, "deliveryUnit"), "approvedBy"), "CAROL")
        << aUnit->text();
}

TEST_F(ExtendedRecords, AnAttributeAddedToTheChangeOrContributorIsStoredAnsweredAndFiltered) {
    auto aCreated = succeeded(
        call(R"({"action":"create","what":"change","description":"d","review_note":"n"})"));
    const std::string anId = aCreated->get("changeID"), aKey = "id = '" + anId + "'";
    EXPECT_EQ(column("changes", "review_note", aKey), "n");
    ok(R"({"action":"edit","what":"changeDescription","changeID":")" + anId +
       R"(","description":"e","review_note":"m"})");
    ok(R"({"action":"add","what":"changeContributor","changeID":")" + anId +
       R"(","contributor":"bob","review_note":"n"})");
    EXPECT_EQ(column("change_contributors", "review_note", "\"user\" = 'BOB'"), "n");
    ok(R"({"action":"edit","what":"contributorComment","changeID":")" + anId +
       R"(","contributor":"ALICE","comment":"c","review_note":"m"})");

    auto aRead = call(R"({"action":"read","what":"changes","changeIDs":[")" + anId + R"("]})");
    ASSERT_EQ(aRead->list("changes").size(), 1u) << aRead->text();
    const auto& aChange = asObject(aRead->list("changes")[0]);
    EXPECT_EQ(getString(aChange, "review_note"), "m");
    EXPECT_EQ(getString(aChange, "description"), "e");
    // The store's order stays its own.
    EXPECT_FALSE(RepositoryAccess::json::hasMember(aChange, "number"));
    std::string aContributors;
    for (const auto& aValue : getList(aChange, "contributors"))
        for (const char* aName : {"user", "description", "review_note"})
            aContributors += getString(asObject(aValue), aName) + " ";
    EXPECT_EQ(aContributors, "ALICE c m BOB  n ");

    auto aFound = call(R"({"action":"find","what":"changes","filter":{"review_note":"m"}})");
    EXPECT_EQ(aFound->list("changes").size(), 1u) << aFound->text();
    EXPECT_EQ(call(R"({"action":"find","what":"changes","filter":{"review_note":"x"}})")->code(),
              "40101");
}
