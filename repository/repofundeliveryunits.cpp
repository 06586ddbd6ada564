#include "repository/repofundeliveryunits.hpp"

#include "repository/recordvalues.hpp"
#include "repository/respdeliveryunits.hpp"

namespace RepositoryAccess::repofundeliveryunits {

using repofunbase::judge;
using repofunbase::send;

namespace {

// "\"<name>\" with vendor \"<vendor>\"" as the delivery-unit questions name it.
std::string nameWithVendor(const std::string& theName, const std::string& theVendor) {
    return "\"" + theName + "\" with vendor \"" + theVendor + "\"";
}

// "\"<name>\" (vendor: \"<vendor>\")" as the reading and undeploying messages name it.
std::string nameAndVendor(const std::string& theName, const std::string& theVendor) {
    return "\"" + theName + "\" (vendor: \"" + theVendor + "\")";
}

// The first BDATA field of an answer, or an empty archive when it has none.
SharedString firstBData(const RepositoryResponse& theResponse) {
    const auto& aBData = theResponse.message().getBDataVec();
    if (aBData.empty() || !aBData.front())
        return std::make_shared<const std::string>();
    return aBData.front();
}

ImportResult importResult(const ImportResponse& theResponse) {
    return {repofunbase::tripleOf(theResponse), theResponse.getActivationId(),
            theResponse.getCheckResults(), theResponse.getImportSummary()};
}

} // namespace

bool checkIsDeliveryUnitBroken(const std::string& theName, const std::string& theVendor) {
    auto aResponse = send<CheckIsDeliveryUnitBrokenResponse>(
        CheckIsDeliveryUnitBrokenRequest(theName, theVendor));
    judge(aResponse, "Failed to check whether delivery unit " + nameWithVendor(theName, theVendor) +
                         " is broken (");
    return aResponse.isBroken();
}

void createDeliveryUnit(const DeliveryUnitAttributes& theAttributes) {
    auto aResponse = send<CreateDeliveryUnitResponse>(CreateDeliveryUnitRequest(theAttributes));
    judge(aResponse, "Failed to create delivery unit (");
}

void deleteDeliveryUnit(const std::string& theName, const std::string& theVendor) {
    auto aResponse =
        send<DeleteDeliveryUnitResponse>(DeleteDeliveryUnitRequest(theName, theVendor));
    judge(aResponse, "Failed to delete delivery unit (");
}

bool existsDeliveryUnit(const std::string& theName, const std::string& theVendor) {
    auto aResponse =
        send<ExistsDeliveryUnitResponse>(ExistsDeliveryUnitRequest(theName, theVendor));
    judge(aResponse, "Failed to check whether delivery unit " + nameWithVendor(theName, theVendor) +
                         " exists (");
    return aResponse.exists();
}

ExportResult exportDeliveryUnit(const DeliveryUnitExport& theExport) {
    auto aResponse = send<ExportDeliveryUnitResponse>(ExportDeliveryUnitRequest(theExport));
    judge(aResponse, "Failed to export delivery unit (");
    return {aResponse.getExportSummary(), firstBData(aResponse)};
}

SharedString exportLanguages(const std::string& theDeliveryUnit, const std::string& theVendor,
                             const std::string& theAlias,
                             const std::vector<std::string>& theLanguages,
                             const std::string& theDuCheck, const std::string& theVersion4Export) {
    auto aResponse = send<ExportLanguagesResponse>(ExportLanguagesRequest(
        theDeliveryUnit, theVendor, theAlias, theLanguages, theDuCheck, theVersion4Export));
    judge(aResponse, "Failed to export languages (");
    return firstBData(aResponse);
}

DeliveryUnit getDeliveryUnit(const std::string& theName, const std::string& theVendor) {
    auto aResponse = send<GetDeliveryUnitResponse>(GetDeliveryUnitRequest(theName, theVendor));
    judge(aResponse, "Failed to get delivery unit " + nameAndVendor(theName, theVendor) + " (");
    return aResponse.getDeliveryUnit();
}

ImportResult importFile(const std::string& theFileName, SharedString theContent,
                        const ImportOptions& theOptions) {
    auto aResponse = send<ImportFileResponse>(ImportFileRequest(
        repofunbase::defaultInactiveSession(), theFileName, std::move(theContent), theOptions));
    return importResult(aResponse);
}

LanguageImportResult importLanguages(const std::string& theFileName, SharedString theContent,
                                     const std::string& theOnlyTestImport) {
    auto aResponse = send<ImportLanguagesResponse>(
        ImportLanguagesRequest(repofunbase::defaultInactiveSession(), theFileName,
                               std::move(theContent), theOnlyTestImport));
    return {repofunbase::tripleOf(aResponse), aResponse.getLanguageImportSummary()};
}

ImportResult importMultipleFiles(const std::vector<std::string>& theFileNames,
                                 const std::vector<SharedString>& theContents,
                                 const ImportOptions& theOptions) {
    auto aResponse = send<ImportMultipleFilesResponse>(ImportMultipleFilesRequest(
        repofunbase::defaultInactiveSession(), theFileNames, theContents, theOptions));
    return importResult(aResponse);
}

std::vector<DeliveryUnitName> listDeliveryUnits() {
    auto aResponse = send<ListDeliveryUnitsResponse>(ListDeliveryUnitsRequest());
    judge(aResponse, "Failed to list delivery units (");
    return aResponse.getDeliveryUnits();
}

UndeploySummary undeployDeliveryUnit(const std::string& theName, const std::string& theVendor) {
    auto aResponse = send<UnDeployDeliveryUnitResponse>(
        UnDeployDeliveryUnitRequest(repofunbase::defaultInactiveSession(), theName, theVendor));
    judge(aResponse,
          "Failed to undeploy delivery unit " + nameAndVendor(theName, theVendor) + " (");
    return aResponse.getUndeploySummary();
}

void updateDeliveryUnit(const DeliveryUnitAttributes& theAttributes) {
    const DeliveryUnit aCurrent = getDeliveryUnit(theAttributes.itsName, theAttributes.itsVendor);
    const auto aKeep = repofunbase::unsetToCurrent;
    DeliveryUnitAttributes anUpdate;
    for (const RecordField& aField : deliveryUnitFields())
        recordvalues::value(anUpdate, aField.itsKey) =
            aKeep(std::string(recordvalues::value(theAttributes, aField.itsKey)),
                  std::string(recordvalues::value(aCurrent, aField.itsKey)));
    auto aResponse =
        send<UpdateDeliveryUnitResponse>(UpdateDeliveryUnitRequest(std::move(anUpdate)));
    judge(aResponse, "Failed to update delivery unit: " + theAttributes.itsName + " " +
                         theAttributes.itsVendor + " (");
}

} // namespace RepositoryAccess::repofundeliveryunits
