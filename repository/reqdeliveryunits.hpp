#pragma once

#include <string>
#include <vector>

#include "repository/reporequest.hpp"
#include "repository/reposession.hpp"
#include "repository/resprecords.hpp"

// The requests on delivery units: administration, export to archives and import from them.
namespace RepositoryAccess {

// The attributes the create and update requests send are those of the delivery-unit record
// the repository answers with.
using DeliveryUnitAttributes = DeliveryUnit;

// Asks whether a delivery unit is broken.
class CheckIsDeliveryUnitBrokenRequest : public RepositoryReadRequest {
public:
    CheckIsDeliveryUnitBrokenRequest(std::string theName, std::string theVendor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "CheckIsDeliveryUnitBrokenRequest"; }

private:
    std::string itsName;
    std::string itsVendor;
};

// Creates a delivery unit with the attributes of theFields that are sent on create (the
// last-update attribute is not).
class CreateDeliveryUnitRequest : public RepositoryWriteRequest {
public:
    explicit CreateDeliveryUnitRequest(DeliveryUnitAttributes theAttributes,
                                       RecordDescription theFields = deliveryUnitFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "CreateDeliveryUnitRequest"; }

private:
    DeliveryUnitAttributes itsAttributes;
    RecordDescription itsFields;
};

// Deletes a delivery unit.
class DeleteDeliveryUnitRequest : public RepositoryWriteRequest {
public:
    DeleteDeliveryUnitRequest(std::string theName, std::string theVendor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "DeleteDeliveryUnitRequest"; }

private:
    std::string itsName;
    std::string itsVendor;
};

// Asks whether a delivery unit exists.
class ExistsDeliveryUnitRequest : public RepositoryReadRequest {
public:
    ExistsDeliveryUnitRequest(std::string theName, std::string theVendor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ExistsDeliveryUnitRequest"; }

private:
    std::string itsName;
    std::string itsVendor;
};

// Reads the attributes of a delivery unit.
class GetDeliveryUnitRequest : public RepositoryReadRequest {
public:
    GetDeliveryUnitRequest(std::string theName, std::string theVendor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetDeliveryUnitRequest"; }

private:
    std::string itsName;
    std::string itsVendor;
};

// Lists all delivery units with their vendors.
class ListDeliveryUnitsRequest : public RepositoryReadRequest {
public:
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListDeliveryUnitRequest"; }
};

// Removes a delivery unit with its packages and objects from the system.
class UnDeployDeliveryUnitRequest : public RepositoryWriteRequest {
public:
    UnDeployDeliveryUnitRequest(RepositorySession theSession, std::string theName,
                                std::string theVendor);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "UnDeployDeliveryUnitRequest"; }

private:
    RepositorySession itsSession;
    std::string itsName;
    std::string itsVendor;
};

// Replaces all attributes of a delivery unit, those of theFields.
class UpdateDeliveryUnitRequest : public RepositoryWriteRequest {
public:
    explicit UpdateDeliveryUnitRequest(DeliveryUnitAttributes theAttributes,
                                       RecordDescription theFields = deliveryUnitFields());
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "UpdateDeliveryUnitRequest"; }

private:
    DeliveryUnitAttributes itsAttributes;
    RecordDescription itsFields;
};

// What a delivery-unit export asks for. The flag-like fields hold the texts the action passes;
// the timestamps and the optional fields are not sent when empty.
struct DeliveryUnitExport {
    std::string itsDeliveryUnit;
    std::string itsVendor;
    std::string itsAlias;
    std::string itsExportSummary;
    std::string itsFromTimestamp;
    std::string itsToTimestamp;
    std::string itsReleasedOnly;
    std::string itsDuCheck;
    std::string itsVersion4Export;
};

// Exports a delivery unit into an archive that comes back as an attachment; with a
// from-timestamp only the changes since then (a patch).
class ExportDeliveryUnitRequest : public RepositoryReadRequest {
public:
    explicit ExportDeliveryUnitRequest(DeliveryUnitExport theExport);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ExportDeliveryUnitRequest"; }

private:
    DeliveryUnitExport itsExport;
};

// Exports the texts of a delivery unit in the given languages.
class ExportLanguagesRequest : public RepositoryReadRequest {
public:
    ExportLanguagesRequest(std::string theDeliveryUnit, std::string theVendor, std::string theAlias,
                           std::vector<std::string> theLanguages, std::string theDuCheck = {},
                           std::string theVersion4Export = {});
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ExportLanguagesRequest"; }

private:
    std::string itsDeliveryUnit;
    std::string itsVendor;
    std::string itsAlias;
    std::vector<std::string> itsLanguages;
    std::string itsDuCheck;
    std::string itsVersion4Export;
};

// How an archive import runs, each field the text the action passes.
struct ImportOptions {
    std::string itsForceRemove;
    std::string itsAutoActivate;
    std::string itsActivationMode;
    std::string itsOnlyTestImport;
    std::string itsDetermineXrefs;
};

// Imports one archive file whose bytes travel as a BDATA attachment.
class ImportFileRequest : public RepositoryWriteRequest {
public:
    ImportFileRequest(RepositorySession theSession, std::string theFileName,
                      SharedString theContent, ImportOptions theOptions);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ImportFileRequest"; }
    std::vector<SharedString> getBDataAttachments() const override { return {itsContent}; }

private:
    RepositorySession itsSession;
    std::string itsFileName;
    SharedString itsContent;
    ImportOptions itsOptions;
};

// Imports one language archive whose bytes travel as a BDATA attachment.
class ImportLanguagesRequest : public RepositoryWriteRequest {
public:
    ImportLanguagesRequest(RepositorySession theSession, std::string theFileName,
                           SharedString theContent, std::string theOnlyTestImport);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "importLanguagesRequest"; }
    std::vector<SharedString> getBDataAttachments() const override { return {itsContent}; }

private:
    RepositorySession itsSession;
    std::string itsFileName;
    SharedString itsContent;
    std::string itsOnlyTestImport;
};

// Imports several archives in one call: theContents holds the bytes of theFileNames, in the same
// order, one BDATA attachment each.
class ImportMultipleFilesRequest : public RepositoryWriteRequest {
public:
    ImportMultipleFilesRequest(RepositorySession theSession, std::vector<std::string> theFileNames,
                               std::vector<SharedString> theContents, ImportOptions theOptions);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ImportMultipleFilesRequest"; }
    std::vector<SharedString> getBDataAttachments() const override { return itsContents; }

private:
    RepositorySession itsSession;
    std::vector<std::string> itsFileNames;
    std::vector<SharedString> itsContents;
    ImportOptions itsOptions;
};

} // namespace RepositoryAccess
