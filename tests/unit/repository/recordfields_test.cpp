#include "core/json.hpp"
#include "core/recordfields.hpp"
#include "repository/recordvalues.hpp"
#include "repository/reqchanges.hpp"
#include "repository/reqdeliveryunits.hpp"
#include "repository/reqpackages.hpp"
#include "repository/respprinters.hpp"
#include "repository/resprecords.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace RepositoryAccess;

namespace {

// A record description with an attribute "review_note" more, as a new attribute would be added,
// at thePosition of the printed order.
std::vector<RecordField> extended(RecordDescription theFields, int thePosition) {
    std::vector<RecordField> anExtended(theFields.begin(), theFields.end());
    anExtended.push_back({"review_note", "review_note", "reviewNote", "Review note",
                          FieldKind::text, true, thePosition});
    return anExtended;
}

// The record that theRead reads from theJson with theFields.
template <class R>
R readFrom(R (*theRead)(const ResponseReader&, RecordDescription), const std::string& theJson,
           bool theStrict, RecordDescription theFields) {
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    EXPECT_TRUE(json::jsonParse(theJson.data(), theJson.size(), anObject, anAllocator));
    return theRead(ResponseReader(anObject, theStrict), theFields);
}

std::string body(const RepositoryRequest& theRequest) {
    std::string aText;
    theRequest.writeBody(aText);
    return aText;
}

} // namespace

TEST(RecordFieldsTest, AnAttributeAddedToTheDescriptionIsSentReadAndPrinted) {
    // Sent on create and printed last in the group of the translation attributes.
    const std::vector<RecordField> aFields = extended(packageFields(), 205);
    Package aPackage;
    aPackage.itsPackage = "p";
    aPackage.itsHintsForTranslation = "h";
    recordvalues::value(aPackage, "review_note") = "n \"q\"";

    EXPECT_NE(body(CreatePackageRequest(aPackage, true, aFields))
                  .find(R"("hints_for_translation":"h","review_note":"n \"q\"","texts":[])"),
              std::string::npos);
    const std::string anUpdate = body(UpdatePackageRequest(aPackage, aFields));
    EXPECT_TRUE(anUpdate.ends_with(R"("hints_for_translation":"h","review_note":"n \"q\""})"))
        << anUpdate;
    // The global description does not know the attribute and leaves it out.
    EXPECT_EQ(body(UpdatePackageRequest(aPackage)).find("review_note"), std::string::npos);

    const Package aRead = readFrom(
        resprecords::readPackage,
        R"({"package":"r","hints_for_translation":"x","review_note":"m"})", false, aFields);
    EXPECT_EQ(aRead.itsPackage, "r");
    EXPECT_EQ(recordvalues::value(aRead, "review_note"), "m");

    std::ostringstream aPrinted;
    respprinters::printPackage(aPackage, aPrinted, aFields);
    EXPECT_NE(aPrinted.str().find("Hints for translation   : h\n"
                                  "Review note             : n \"q\"\n"
                                  "--\n"
                                  "Delivery Unit"),
              std::string::npos)
        << aPrinted.str();
}

TEST(RecordFieldsTest, AnAttributeAddedToTheDeliveryUnitIsSentReadAndPrinted) {
    const RecordDescription aGlobal = deliveryUnitFields();
    std::vector<RecordField> aFields(aGlobal.begin(), aGlobal.end());
    aFields.push_back(
        {"approvedBy", "approved_by", "approvedBy", "Approved by", FieldKind::text, false, 11});
    DeliveryUnit aUnit;
    aUnit.itsName = "du";
    aUnit.itsAch = "a";
    recordvalues::value(aUnit, "approvedBy") = "BOB";

    // Not sent on create, as the last update.
    const std::string aCreate = body(CreateDeliveryUnitRequest(aUnit, aFields));
    EXPECT_EQ(aCreate.find("approvedBy"), std::string::npos) << aCreate;
    EXPECT_EQ(aCreate.find("lastUpdate"), std::string::npos) << aCreate;
    EXPECT_TRUE(body(UpdateDeliveryUnitRequest(aUnit, aFields))
                    .ends_with(R"("ach":"a","approvedBy":"BOB"})"));

    const DeliveryUnit aRead = readFrom(resprecords::readDeliveryUnit,
                                        R"({"name":"d","approvedBy":"CAROL"})", false, aFields);
    EXPECT_EQ(aRead.itsName, "d");
    EXPECT_EQ(recordvalues::value(aRead, "approvedBy"), "CAROL");

    std::ostringstream aPrinted;
    respprinters::printDeliveryUnit(aUnit, aPrinted, aFields);
    EXPECT_TRUE(aPrinted.str().ends_with("ACH                     : a\n"
                                         "Approved by             : BOB\n"))
        << aPrinted.str();
}

TEST(RecordFieldsTest, AnAttributeAddedToTheChangeOrItsContributorIsSentReadAndPrinted) {
    const std::vector<RecordField> aFields = extended(changeFields(), 7);
    Change aChange;
    aChange.itsChangeId = "ZEV-3";
    aChange.itsDescription = "d";
    recordvalues::setValue(aChange, "review_note", "n");

    // Only what a user sets is sent.
    EXPECT_TRUE(body(CreateChangeRequest(aChange, aFields))
                    .ends_with(R"("what":"change","description":"d","review_note":"n"})"));
    EXPECT_TRUE(body(EditChangeDescriptionRequest(aChange, aFields))
                    .ends_with(R"("changeID":"ZEV-3","description":"d","review_note":"n"})"));

    const Change aRead = readFrom(resprecords::readChange,
                                  R"({"changeID":"ZEV//3","status":"2","description":"d",)"
                                  R"("createdAt":"t","createdBy":"BOB","releasedAt":"",)"
                                  R"("releasedBy":"","review_note":"m"})",
                                  true, aFields);
    std::ostringstream aPrinted;
    respprinters::printChange(aRead, aPrinted, aFields);
    EXPECT_EQ(aPrinted.str(), "Change ID               : ZEV//3\n"
                              "Status                  : 2 (released)\n"
                              "Description             : d\n"
                              "Created at              : t\n"
                              "Created by              : BOB\n"
                              "Released at             : \n"
                              "Released by             : \n"
                              "Review note             : m\n");

    // The contributors of a change are read and printed the same way.
    const std::vector<RecordField> aContributorFields = extended(contributorFields(), 4);
    const Contributor aContributor = readFrom(resprecords::readContributor,
                                              R"({"user":"BOB","status":"2","description":"d",)"
                                              R"("validatedAt":"t","review_note":"m"})",
                                              true, aContributorFields);
    std::ostringstream aContributorPrinted;
    respprinters::printContributor(aContributor, aContributorPrinted, aContributorFields);
    EXPECT_EQ(aContributorPrinted.str(), "User                    : BOB\n"
                                         "Status                  : 2 (validated)\n"
                                         "Description             : d\n"
                                         "Validated at            : t\n"
                                         "Review note             : m\n");
}
