#include "core/error.hpp"
#include "core/parameters.hpp"
#include "repository/respbase.hpp"
#include "repository/respchanges.hpp"
#include "repository/respdeliveryunits.hpp"
#include "repository/respobjects.hpp"
#include "repository/resppackages.hpp"
#include "repository/respprinters.hpp"
#include "tests/support/messages.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <type_traits>

using namespace RepositoryAccess;
using kivotest::messageOf;

namespace {

RepositoryMessage message(const std::string& theJson) {
    return RepositoryMessage(std::make_shared<const std::string>(theJson));
}

// What thePrint prints of theValue.
template <class T, class... A>
std::string printed(void (*thePrint)(const T&, std::ostream&, A...),
                    const std::type_identity_t<T>& theValue,
                    std::type_identity_t<A>... theArguments) {
    std::ostringstream aStream;
    thePrint(theValue, aStream, theArguments...);
    return aStream.str();
}

std::string label(const std::string& theLabel, const std::string& theValue) {
    return theLabel + std::string(24 - theLabel.size(), ' ') + ": " + theValue + "\n";
}

class ResponsesTest : public ::testing::Test {
protected:
    void SetUp() override { installParameters({}); }
    void TearDown() override { installParameters({}); }
};

} // namespace

TEST_F(ResponsesTest, BaseReadsTheErrorTripleAndRefusesBadJson) {
    RevertObjectsResponse aDefaults(message("{}"));
    EXPECT_EQ(aDefaults.getErrorCode(), "0");
    EXPECT_EQ(aDefaults.getErrorMsg(), "");
    EXPECT_EQ(aDefaults.getErrorArg(), "");
    RevertObjectsResponse aTriple(
        message(R"({"error-code":"40132","error-msg":"Not found","error-arg":"p.o.txt"})"));
    EXPECT_EQ(aTriple.getErrorCode(), "40132");
    EXPECT_EQ(aTriple.getErrorMsg(), "Not found");
    EXPECT_EQ(aTriple.getErrorArg(), "p.o.txt");
    EXPECT_EQ(messageOf([] { RevertObjectsResponse(message(R"({"error-code":)")); }),
              "Could not parse response:\n{\"error-code\":\n");
    EXPECT_NE(messageOf([] { RevertObjectsResponse(message(R"({"error-code":7})")); }), "no error");
    // The attachment accessors fail when there are none.
    EXPECT_EQ(messageOf([&] { aDefaults.getCData(); }), "Empty CDATA");
    EXPECT_EQ(messageOf([&] { aDefaults.getBData(); }), "Empty BDATA");
}

TEST_F(ResponsesTest, JsonResponseOptionEchoesTheAnswerWithTheClassName) {
    ParameterValues aValues;
    aValues.setFlag(params::jsonResponse);
    installParameters(aValues);
    testing::internal::CaptureStdout();
    ExistsPackageResponse aResponse(message(R"({"exists":"true"})"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "<---------- JSON response: ExistsPackageResponse\n{\"exists\":\"true\"}\n"
              "JSON response: ExistsPackageResponse ---------->\n");
}

TEST_F(ResponsesTest, OptionalMembersHaveTheirOwnDefaults) {
    EXPECT_FALSE(ExistsObjectResponse(message("{}")).exists());
    EXPECT_FALSE(ExistsObjectResponse(message(R"({"exists":"True"})")).exists());
    EXPECT_TRUE(ExistsDeliveryUnitResponse(message(R"({"exists":"true"})")).exists());
    EXPECT_TRUE(CheckIsDeliveryUnitBrokenResponse(message(R"({"exists":"true"})")).isBroken());
    EXPECT_EQ(DeleteObjectResponse(message("{}")).getIsReverted(), "0");
    EXPECT_EQ(DeleteObjectResponse(message(R"({"isReverted":"1"})")).getIsReverted(), "1");
    GetSupportedExportVersionsResponse aVersions(message(R"({"minRequiredVersion":"1"})"));
    EXPECT_EQ(aVersions.getMinRequiredVersion(), "1");
    EXPECT_EQ(aVersions.getMaxVersion(), "n/a");
}

TEST_F(ResponsesTest, SuccessReadsStrictlyAndErrorsOrSimulationKeepDefaults) {
    EXPECT_EQ(messageOf([] { CreateChangeResponse(message(R"({"error-code":"0"})")); }),
              "Could not find \"changeID\" in object: \"{\"error-code\":\"0\"}\"");
    EXPECT_EQ(
        messageOf([] { GetDeliveryUnitResponse(message(R"({"deliveryUnit":{"name":"du"}})")); }),
        "Could not find \"vendor\" in object: \"{\"name\":\"du\"}\"");
    GetDeliveryUnitResponse anError(
        message(R"({"error-code":"40116","error-msg":"missing","deliveryUnit":{}})"));
    EXPECT_EQ(anError.getDeliveryUnit().itsName, "");
    ImportFileResponse anImport(message(R"({"error-code":"40150","importSummary":{}})"));
    EXPECT_TRUE(anImport.getImportSummary().itsHeaders.empty());
    GetObjectResponse aMissing(message(R"({"error-code":"40132","metadata":{},"version":{}})"));
    EXPECT_EQ(aMissing.getMetaData().itsType, 0);
    WriteObjectResponse aSimulated(message(RepositoryResponse::simulatedAnswer()));
    EXPECT_EQ(aSimulated.getErrorCode(), "0");
    EXPECT_EQ(aSimulated.getErrorMsg(), "No error");
    EXPECT_EQ(aSimulated.getMetaData().itsType, 0);
}

// Lists, versions and bulk reads come back through the function layer's tests on a real
// repository; what a repository file never answers is read here.
TEST_F(ResponsesTest, ObjectResponsesReadMetadataVersionsAndHistory) {
    GetObjectResponse aRead(message(
        R"({"error-code":"0","metadata":{"version_id":"3","type":"2","last_changed_at":"t",)"
        R"("is_deletion":"true"},"version":{"versionType":"3","versionNr":"7"}})"));
    EXPECT_EQ(aRead.getMetaData().itsVersionId, 3);
    EXPECT_TRUE(aRead.getMetaData().itsIsDeletion);
    EXPECT_EQ(aRead.getVersion().itsVersionNr, 7);
    ListHistoryResponse aHistory(message(R"({"history":[{"activateAt":"t1","activatedBy":"U",)"
                                         R"("versionId":"12","isDeletion":"true"}]})"));
    ASSERT_EQ(aHistory.getHistory().size(), 1u);
    EXPECT_EQ(printed(respprinters::printHistoryEntry, aHistory.getHistory()[0]),
              "\t12\tt1\tU\t deletion\n");
}

TEST_F(ResponsesTest, ChangeListsReadEntriesAndContributors) {
    ReadChangesResponse aChanges(message(
        R"({"changes":[{"changeID":"ZEV//7","status":"7","description":"d","createdAt":"c",)"
        R"("createdBy":"U","releasedAt":"","releasedBy":"","entries":[{"package":"p",)"
        R"("name":"b","suffix":"txt"},{"package":"p","name":"a","suffix":"txt"},)"
        R"({"package":"p","name":"a","suffix":"txt"}],"contributors":[{"user":"U",)"
        R"("status":"2","description":"","validatedAt":"v"}]}]})"));
    ASSERT_EQ(aChanges.getChanges().size(), 1u);
    // The change's own block is printed as the record description test shows it.
    const ChangeEntry& aChange = aChanges.getChanges()[0];
    EXPECT_EQ(printed(respprinters::printChangeDetails, aChange, false, true, true),
              "Contributors:\n" + label("User", "U") + label("Status", "2 (validated)") +
                  label("Description", "") + label("Validated at", "v") + "\np/a.txt\np/b.txt\n");

    ChangeEntry anEmpty;
    anEmpty.itsStatus = 4;
    EXPECT_EQ(printed(respprinters::printChangeDetails, anEmpty, true, true, false),
              "Change:\n" + label("Change ID", "") + label("Status", "4 (eoct)") +
                  label("Description", "") + label("Created at", "") + label("Created by", "") +
                  label("Released at", "") + label("Released by", "") +
                  "\nContributors:\n(no contributors)\n\n");
}

// The last result names an object that no workspace can hold (stored by an older repository):
// it is reported, not refused (its refusal in listings is the end-to-end test
// Attack.AnObjectNoWorkspaceCanHoldIsSkippedByName's).
TEST_F(ResponsesTest, CheckResultsPrintSeverityObjectAndLineNumber) {
    ActivateObjectsResponse anActivation(
        message(R"({"activationID":"5","changeID":"","checkResults":[)"
                R"({"object":{"package":"a","name":"c","suffix":"txt"},"error-code":"40136",)"
                R"x("error-msg":"Parse error (line 12, column 3)","location":"","severity":"3",)x"
                R"("timestamp":"T"},)"
                R"({"object":{"package":"a","name":"c","suffix":"txt"},"error-code":"0",)"
                R"("error-msg":"ok","location":"L","severity":"1","timestamp":"T"},)"
                R"({"object":{"package":"","name":"","suffix":""},"error-code":"40136",)"
                R"("error-msg":"Activation failed","location":"","severity":"4","timestamp":"T"},)"
                R"({"object":{"package":"a","name":"c","suffix":"txt"},"error-code":"1",)"
                R"("error-msg":"x","location":"","severity":"5","timestamp":"T"},)"
                R"({"object":{"package":"a","name":"back\\slash","suffix":"txt"},"error-code":"0",)"
                R"("error-msg":"ok","location":"","severity":"1","timestamp":"T"}]})"));
    const auto& aResults = anActivation.getCheckResults();
    ASSERT_EQ(aResults.size(), 5u);
    auto aPrint = [&](std::size_t theIndex) {
        return printed(respprinters::printCheckResult, aResults[theIndex]);
    };
    EXPECT_EQ(aPrint(0), "ACTIVATION ERROR: object: \"c.txt\", package: \"a\", timestamp: T\n"
                         "a/c.txt (12): code 40136: Parse error (line 12, column 3)\n");
    EXPECT_EQ(aPrint(1), "ACTIVATION DEBUG: object: \"c.txt\", package: \"a\", timestamp: T, "
                         "location: L\na/c.txt: code 0: ok\n");
    EXPECT_EQ(aPrint(2), "ACTIVATION SUMMARY, timestamp: T\nActivation failed\n");
    EXPECT_EQ(aPrint(3), "");
    EXPECT_EQ(aPrint(4),
              "ACTIVATION DEBUG: object: \"back\\slash.txt\", package: \"a\", timestamp: T\n"
              "a/back\\slash.txt: code 0: ok\n");
}

// The line number shown is the one the pattern `.*\(line ([0-9]+).*` finds over the whole
// message: the last "(line " that digits follow, and none in a message of several lines.
TEST_F(ResponsesTest, TheLineNumberOfACheckMessageIsTheOneThePatternFinds) {
    const std::regex aPattern(".*\\(line ([0-9]+).*");
    for (const std::string aMessage :
         {"Parse error (line 12, column 3)", "a (line 1) b (line 22) c", "(line x) (line 5",
          "(line )", "(line 7\n(line 8)", "x\r(line 9)", "(line (line 3", "", "(line 0042",
          "((line 6))", "(line1)", "line 4"}) {
        CheckResult aResult;
        aResult.itsWorkSpaceFileName = "f.txt";
        aResult.itsSeverity = "3";
        aResult.itsErrorCode = "1";
        aResult.itsErrorMsg = aMessage;
        std::smatch aMatch;
        const std::string aLine =
            std::regex_match(aMessage, aMatch, aPattern) ? " (" + aMatch[1].str() + ")" : "";
        const std::string aPrinted = printed(respprinters::printCheckResult, aResult);
        EXPECT_NE(aPrinted.find("\nf.txt" + aLine + ": code 1: "), std::string::npos)
            << aMessage << " -> " << aPrinted;
    }
}

// The package and delivery-unit blocks themselves are checked where `kivo list` and `kivo show`
// print them; here the summaries that frame them.
TEST_F(ResponsesTest, ImportAndExportSummariesUseTheFixedLayout) {
    const std::string aDu = R"({"name":"DU","vendor":"v","caption":"c","responsible":"r",)"
                            R"("version":"1","version_sp":"2","version_patch":"3",)"
                            R"("lastUpdate":"u","qrtsID":"q","sp_QRTS_ID":"s","ach":"a"})";
    const std::string aDuText =
        label("Delivery Unit", "DU") + label("Vendor", "v") + label("Caption", "c") +
        label("Responsible", "r") + label("Version", "1") + label("Version SP", "2") +
        label("Version Patch", "3") + label("Last Update", "u") + label("QRTS-ID", "q") +
        label("SP-QRTS-ID", "s") + label("ACH", "a");
    const std::string aHeader = R"({"exportType":"3","exportVersion":"2","exportTime":"t",)"
                                R"("sourceSystem":"S","du_check":"1","languages":"de",)"
                                R"("deliveryUnit":)" +
                                aDu + R"(,"tst_FROM":"f","tst_TO":"o"})";
    const std::string aHeaderText =
        label("Export type", "3 (delivery unit patch)") + label("Export version", "2") +
        label("Export time", "t") + label("Source system", "S") + label("DU check", "1") +
        label("Languages", "de") + label("From", "f") + label("To", "o") + "--\n" + aDuText;

    ImportFileResponse anImport(
        message(R"({"activationID":"","checkResults":[],"importSummary":{"revertCount":"0",)"
                R"("importCount":"2","activateCount":"2","deleteCount":"1","changeID":"",)"
                R"("header":)" +
                aHeader + "}}"));
    EXPECT_EQ(printed(respprinters::printImportSummary, anImport.getImportSummary()),
              label("Revert count", "0") + label("Import count", "2") +
                  label("Activate count", "2") + label("Delete count", "1") +
                  label("Change ID", "") + "--\n" + aHeaderText);

    ImportLanguagesResponse aLanguages(
        message(R"({"importLanguageSummary":{"textCount":"9","importCount":"8",)"
                R"("packageTextCount":"7","header":)" +
                aHeader + "}}"));
    EXPECT_EQ(
        printed(respprinters::printLanguageImportSummary, aLanguages.getLanguageImportSummary()),
        label("Text count", "9") + label("Import count", "8") + label("Package text count", "7") +
            "--\n" + aHeaderText);

    ExportDeliveryUnitResponse anExport(
        message(R"({"exportSummary":{"deliveryUnit":)" + aDu +
                R"(,"export_version":"2","export_time":"t","sourceSystem":"S","packages":[],)"
                R"("objects":[],"deletedObjects":[],"changes":["ZEV//1"]}})"));
    EXPECT_EQ(printed(respprinters::printExportSummary, anExport.getExportSummary()),
              "Delivery Unit:\n" + aDuText + "\n" + label("Export version", "2") +
                  label("Export time", "t") + label("Source system", "S") +
                  "\nPackages:\nObjects:\nChanges:\nZEV//1\n\n");
}
