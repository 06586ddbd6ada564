#pragma once

#include <string>
#include <vector>

#include "repository/repofunbase.hpp"
#include "repository/reqdeliveryunits.hpp"

// The repository functions on delivery units: administration, export, import and undeployment.
namespace RepositoryAccess {

// An export: its summary and the archive (empty when the answer carries none).
struct ExportResult {
    ExportSummary itsSummary;
    SharedString itsArchive;
};

// What an import answered; the import action judges its error triple.
struct ImportResult {
    RepositoryErrorTriple itsError;
    std::string itsActivationId;
    std::vector<CheckResult> itsCheckResults;
    ImportSummary itsSummary;
};

// What a language import answered; the import action judges its error triple.
struct LanguageImportResult {
    RepositoryErrorTriple itsError;
    LanguageImportSummary itsSummary;
};

namespace repofundeliveryunits {

// Whether the delivery unit holds a broken object.
bool checkIsDeliveryUnitBroken(const std::string& theName, const std::string& theVendor);

// Creates a delivery unit.
void createDeliveryUnit(const DeliveryUnitAttributes& theAttributes);

// Deletes a delivery unit.
void deleteDeliveryUnit(const std::string& theName, const std::string& theVendor);

// Whether the delivery unit exists.
bool existsDeliveryUnit(const std::string& theName, const std::string& theVendor);

// Exports a delivery unit; the archive comes from the answer's first BDATA field.
ExportResult exportDeliveryUnit(const DeliveryUnitExport& theExport);

// Exports the texts of a delivery unit in theLanguages; returns the archive.
SharedString exportLanguages(const std::string& theDeliveryUnit, const std::string& theVendor,
                             const std::string& theAlias,
                             const std::vector<std::string>& theLanguages,
                             const std::string& theDuCheck = {},
                             const std::string& theVersion4Export = {});

// The attributes of a delivery unit.
DeliveryUnit getDeliveryUnit(const std::string& theName, const std::string& theVendor);

// Imports one archive into the default inactive session; the answer is not judged here.
ImportResult importFile(const std::string& theFileName, SharedString theContent,
                        const ImportOptions& theOptions);

// Imports a language archive into the default inactive session; the answer is not judged here.
LanguageImportResult importLanguages(const std::string& theFileName, SharedString theContent,
                                     const std::string& theOnlyTestImport);

// Imports several archives in one request; theContents in the order of theFileNames.
ImportResult importMultipleFiles(const std::vector<std::string>& theFileNames,
                                 const std::vector<SharedString>& theContents,
                                 const ImportOptions& theOptions);

// All delivery units as name and vendor pairs.
std::vector<DeliveryUnitName> listDeliveryUnits();

// Removes a delivery unit with its objects and emptied packages; returns what was removed.
UndeploySummary undeployDeliveryUnit(const std::string& theName, const std::string& theVendor);

// Updates a delivery unit: every attribute passed as "__unset__" keeps its current value (the
// delivery unit is read first), every other one takes the value passed.
void updateDeliveryUnit(const DeliveryUnitAttributes& theAttributes);

} // namespace repofundeliveryunits
} // namespace RepositoryAccess
