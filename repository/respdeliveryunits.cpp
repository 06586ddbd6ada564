#include "repository/respdeliveryunits.hpp"

namespace RepositoryAccess {

GetDeliveryUnitResponse::GetDeliveryUnitResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "GetDeliveryUnitResponse") {
    itsDeliveryUnit = resprecords::readDeliveryUnit(reader().member("deliveryUnit"));
}

ListDeliveryUnitsResponse::ListDeliveryUnitsResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ListDeliveryUnitsResponse") {
    itsDeliveryUnits =
        reader().records<DeliveryUnitName>("deliveryUnits", resprecords::readDeliveryUnitName);
}

ExportDeliveryUnitResponse::ExportDeliveryUnitResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ExportDeliveryUnitResponse") {
    itsExportSummary = resprecords::readExportSummary(reader().member("exportSummary"));
}

ImportResponse::ImportResponse(RepositoryMessage theMessage, std::string theClassName,
                               bool theSeveralFiles)
    : RepositoryResponse(std::move(theMessage), std::move(theClassName)) {
    const ResponseReader aReader = reader();
    itsActivationId = aReader.string("activationID");
    itsCheckResults = aReader.records<CheckResult>("checkResults", resprecords::readCheckResult);
    itsImportSummary =
        resprecords::readImportSummary(aReader.member("importSummary"), theSeveralFiles);
}

ImportLanguagesResponse::ImportLanguagesResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "ImportLanguagesResponse") {
    itsSummary = resprecords::readLanguageImportSummary(reader().member("importLanguageSummary"));
}

UnDeployDeliveryUnitResponse::UnDeployDeliveryUnitResponse(RepositoryMessage theMessage)
    : RepositoryResponse(std::move(theMessage), "UnDeployDeliveryUnitResponse") {
    itsSummary = resprecords::readUndeploySummary(reader().member("undeploySummary"));
}

} // namespace RepositoryAccess
