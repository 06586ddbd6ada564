#pragma once

#include <string>
#include <vector>

#include "repository/respbase.hpp"
#include "repository/resprecords.hpp"

// Responses of the requests on delivery units: lifecycle, export, import and undeployment.
namespace RepositoryAccess {

// Whether a delivery unit exists.
class ExistsDeliveryUnitResponse : public ExistsResponse {
public:
    explicit ExistsDeliveryUnitResponse(RepositoryMessage theMessage)
        : ExistsResponse(std::move(theMessage), "ExistsDeliveryUnitResponse") {}
};

// Whether a delivery unit holds a broken object; the flag travels as "exists".
class CheckIsDeliveryUnitBrokenResponse : public ExistsResponse {
public:
    explicit CheckIsDeliveryUnitBrokenResponse(RepositoryMessage theMessage)
        : ExistsResponse(std::move(theMessage), "CheckIsDeliveryUnitBrokenResponse") {}
    bool isBroken() const { return exists(); }
};

// One delivery unit with its attributes.
class GetDeliveryUnitResponse : public RepositoryResponse {
public:
    explicit GetDeliveryUnitResponse(RepositoryMessage theMessage);
    const DeliveryUnit& getDeliveryUnit() const { return itsDeliveryUnit; }

private:
    DeliveryUnit itsDeliveryUnit;
};

// All delivery units as name and vendor pairs.
class ListDeliveryUnitsResponse : public RepositoryResponse {
public:
    explicit ListDeliveryUnitsResponse(RepositoryMessage theMessage);
    const std::vector<DeliveryUnitName>& getDeliveryUnits() const { return itsDeliveryUnits; }

private:
    std::vector<DeliveryUnitName> itsDeliveryUnits;
};

// An export: its summary; the archive is the BDATA of the first attachment slot.
class ExportDeliveryUnitResponse : public RepositoryResponse {
public:
    explicit ExportDeliveryUnitResponse(RepositoryMessage theMessage);
    const ExportSummary& getExportSummary() const { return itsExportSummary; }

private:
    ExportSummary itsExportSummary;
};

// An import of one archive (theSeveralFiles false) or several: the activation it ran, its check
// results and the import summary.
class ImportResponse : public RepositoryResponse {
public:
    ImportResponse(RepositoryMessage theMessage, std::string theClassName, bool theSeveralFiles);
    const std::string& getActivationId() const { return itsActivationId; }
    const std::vector<CheckResult>& getCheckResults() const { return itsCheckResults; }
    const ImportSummary& getImportSummary() const { return itsImportSummary; }

private:
    std::string itsActivationId;
    std::vector<CheckResult> itsCheckResults;
    ImportSummary itsImportSummary;
};

// The import of one archive.
class ImportFileResponse : public ImportResponse {
public:
    explicit ImportFileResponse(RepositoryMessage theMessage)
        : ImportResponse(std::move(theMessage), "ImportFileResponse", false) {}
};

// The import of several archives in one request.
class ImportMultipleFilesResponse : public ImportResponse {
public:
    explicit ImportMultipleFilesResponse(RepositoryMessage theMessage)
        : ImportResponse(std::move(theMessage), "ImportMultipleFilesResponse", true) {}
};

// The import of a language archive.
class ImportLanguagesResponse : public RepositoryResponse {
public:
    explicit ImportLanguagesResponse(RepositoryMessage theMessage);
    const LanguageImportSummary& getLanguageImportSummary() const { return itsSummary; }

private:
    LanguageImportSummary itsSummary;
};

// What undeploying a delivery unit removed.
class UnDeployDeliveryUnitResponse : public RepositoryResponse {
public:
    explicit UnDeployDeliveryUnitResponse(RepositoryMessage theMessage);
    const UndeploySummary& getUndeploySummary() const { return itsSummary; }

private:
    UndeploySummary itsSummary;
};

KIVO_TRIPLE_RESPONSE(CreateDeliveryUnitResponse);
KIVO_TRIPLE_RESPONSE(DeleteDeliveryUnitResponse);
KIVO_TRIPLE_RESPONSE(UpdateDeliveryUnitResponse);
KIVO_TRIPLE_RESPONSE(ExportLanguagesResponse);

} // namespace RepositoryAccess
