#include "repository/reqdeliveryunits.hpp"

#include <string_view>
#include <utility>

#include "repository/recordvalues.hpp"
#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

namespace {

// Writes a body that names a delivery unit by name and vendor and nothing else.
void writeNameAndVendor(std::string& theText, std::string_view theAction, std::string_view theWhat,
                        std::string_view theName, std::string_view theVendor) {
    RequestWriter(theText, theAction, theWhat)
        .member("name", theName)
        .member("vendor", theVendor)
        .end();
}

// Writes the delivery-unit attributes of theFields; on create only those sent on create.
void writeAttributes(std::string& theText, std::string_view theAction,
                     const DeliveryUnitAttributes& theAttributes, RecordDescription theFields,
                     bool theCreate) {
    RequestWriter aWriter(theText, theAction, "deliveryUnit");
    for (const RecordField& aField : theFields)
        if (!theCreate || aField.itsSentOnCreate)
            aWriter.member(aField.itsKey, recordvalues::value(theAttributes, aField.itsKey));
    aWriter.end();
}

// Writes the import options and the mark that the archive travels with the request.
void writeImportOptions(RequestWriter& theWriter, const ImportOptions& theOptions) {
    theWriter.member("forceRemove", theOptions.itsForceRemove)
        .member("autoActivate", theOptions.itsAutoActivate)
        .member("activationMode", theOptions.itsActivationMode)
        .member("onlyTestImport", theOptions.itsOnlyTestImport)
        .member("determineXrefs", theOptions.itsDetermineXrefs)
        .raw("contentProvided", "1");
}

} // namespace

CheckIsDeliveryUnitBrokenRequest::CheckIsDeliveryUnitBrokenRequest(std::string theName,
                                                                   std::string theVendor)
    : itsName(std::move(theName)), itsVendor(std::move(theVendor)) {}

void CheckIsDeliveryUnitBrokenRequest::writeBody(std::string& theText) const {
    writeNameAndVendor(theText, "check", "isDeliveryUnitBroken", itsName, itsVendor);
}

CreateDeliveryUnitRequest::CreateDeliveryUnitRequest(DeliveryUnitAttributes theAttributes,
                                                     RecordDescription theFields)
    : itsAttributes(std::move(theAttributes)), itsFields(theFields) {}

void CreateDeliveryUnitRequest::writeBody(std::string& theText) const {
    writeAttributes(theText, "create", itsAttributes, itsFields, true);
}

DeleteDeliveryUnitRequest::DeleteDeliveryUnitRequest(std::string theName, std::string theVendor)
    : itsName(std::move(theName)), itsVendor(std::move(theVendor)) {}

void DeleteDeliveryUnitRequest::writeBody(std::string& theText) const {
    writeNameAndVendor(theText, "delete", "deliveryUnit", itsName, itsVendor);
}

ExistsDeliveryUnitRequest::ExistsDeliveryUnitRequest(std::string theName, std::string theVendor)
    : itsName(std::move(theName)), itsVendor(std::move(theVendor)) {}

void ExistsDeliveryUnitRequest::writeBody(std::string& theText) const {
    writeNameAndVendor(theText, "exists", "deliveryUnit", itsName, itsVendor);
}

GetDeliveryUnitRequest::GetDeliveryUnitRequest(std::string theName, std::string theVendor)
    : itsName(std::move(theName)), itsVendor(std::move(theVendor)) {}

void GetDeliveryUnitRequest::writeBody(std::string& theText) const {
    writeNameAndVendor(theText, "get", "deliveryUnit", itsName, itsVendor);
}

void ListDeliveryUnitsRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "allDeliveryUnits").end();
}

UnDeployDeliveryUnitRequest::UnDeployDeliveryUnitRequest(RepositorySession theSession,
                                                         std::string theName, std::string theVendor)
    : itsSession(std::move(theSession)), itsName(std::move(theName)),
      itsVendor(std::move(theVendor)) {}

void UnDeployDeliveryUnitRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "undeploy", "delivery_unit")
        .session("session", itsSession)
        .member("delivery_unit", itsName)
        .member("du_vendor", itsVendor)
        .end();
}

UpdateDeliveryUnitRequest::UpdateDeliveryUnitRequest(DeliveryUnitAttributes theAttributes,
                                                     RecordDescription theFields)
    : itsAttributes(std::move(theAttributes)), itsFields(theFields) {}

void UpdateDeliveryUnitRequest::writeBody(std::string& theText) const {
    writeAttributes(theText, "update", itsAttributes, itsFields, false);
}

ExportDeliveryUnitRequest::ExportDeliveryUnitRequest(DeliveryUnitExport theExport)
    : itsExport(std::move(theExport)) {}

void ExportDeliveryUnitRequest::writeBody(std::string& theText) const {
    const DeliveryUnitExport& anExport = itsExport;
    RequestWriter(theText, "export",
                  anExport.itsFromTimestamp.empty() ? "delivery_unit" : "delivery_unit_patch")
        .member("delivery_unit", anExport.itsDeliveryUnit)
        .member("du_vendor", anExport.itsVendor)
        .member("alias", anExport.itsAlias)
        .raw("file", "")
        .raw("provide_content", "1")
        .member("export_summary", anExport.itsExportSummary)
        .rawIfSet("tst_FROM", anExport.itsFromTimestamp)
        .rawIfSet("tst_TO", anExport.itsToTimestamp)
        .memberIfSet("released_only", anExport.itsReleasedOnly)
        .memberIfSet("du_check", anExport.itsDuCheck)
        .memberIfSet("version4Export", anExport.itsVersion4Export)
        .end();
}

ExportLanguagesRequest::ExportLanguagesRequest(std::string theDeliveryUnit, std::string theVendor,
                                               std::string theAlias,
                                               std::vector<std::string> theLanguages,
                                               std::string theDuCheck,
                                               std::string theVersion4Export)
    : itsDeliveryUnit(std::move(theDeliveryUnit)), itsVendor(std::move(theVendor)),
      itsAlias(std::move(theAlias)), itsLanguages(std::move(theLanguages)),
      itsDuCheck(std::move(theDuCheck)), itsVersion4Export(std::move(theVersion4Export)) {}

void ExportLanguagesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "export", "languages")
        .member("delivery_unit", itsDeliveryUnit)
        .member("du_vendor", itsVendor)
        .member("alias", itsAlias)
        .stringList("languages", itsLanguages)
        .raw("file", "")
        .raw("provide_content", "1")
        .memberIfSet("du_check", itsDuCheck)
        .memberIfSet("version4Export", itsVersion4Export)
        .end();
}

ImportFileRequest::ImportFileRequest(RepositorySession theSession, std::string theFileName,
                                     SharedString theContent, ImportOptions theOptions)
    : itsSession(std::move(theSession)), itsFileName(std::move(theFileName)),
      itsContent(std::move(theContent)), itsOptions(std::move(theOptions)) {}

void ImportFileRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "import", "file");
    aWriter.session("session", itsSession).member("filename", itsFileName);
    writeImportOptions(aWriter, itsOptions);
    aWriter.end();
}

ImportLanguagesRequest::ImportLanguagesRequest(RepositorySession theSession,
                                               std::string theFileName, SharedString theContent,
                                               std::string theOnlyTestImport)
    : itsSession(std::move(theSession)), itsFileName(std::move(theFileName)),
      itsContent(std::move(theContent)), itsOnlyTestImport(std::move(theOnlyTestImport)) {}

void ImportLanguagesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "import", "languages")
        .session("session", itsSession)
        .member("filename", itsFileName)
        .member("onlyTestImport", itsOnlyTestImport)
        .raw("contentProvided", "1")
        .end();
}

ImportMultipleFilesRequest::ImportMultipleFilesRequest(RepositorySession theSession,
                                                       std::vector<std::string> theFileNames,
                                                       std::vector<SharedString> theContents,
                                                       ImportOptions theOptions)
    : itsSession(std::move(theSession)), itsFileNames(std::move(theFileNames)),
      itsContents(std::move(theContents)), itsOptions(std::move(theOptions)) {}

void ImportMultipleFilesRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "import", "fileList");
    aWriter.session("session", itsSession).stringList("fileList", itsFileNames);
    writeImportOptions(aWriter, itsOptions);
    aWriter.end();
}

} // namespace RepositoryAccess
