#include "actions/actionexport.hpp"

#include <sstream>
#include <tuple>

#include "actions/adminoptions.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "repository/repofundeliveryunits.hpp"
#include "repository/respprinters.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// The first repository API version that exports in an older archive format on request.
constexpr std::int64_t kExportVersionApiVersion = 12;

// The width of the summary labels before their ": ".
constexpr std::size_t kLabelWidth = 24;
// The narrower labels of a language export.
constexpr std::size_t kLanguageLabelWidth = 14;

// theLabel padded with blanks to theWidth, then ": ".
std::string label(std::string_view theLabel, std::size_t theWidth) {
    std::string aText(theLabel);
    aText.resize(std::max(theWidth, aText.size()), ' ');
    return aText + ": ";
}

std::string fileLine(const std::string& theFileName, std::size_t theSize, std::size_t theWidth) {
    return "\n" + label("--> File", theWidth) + theFileName + " (" + std::to_string(theSize) +
           " bytes)\n";
}

std::string flag(const Parameter& theParameter) {
    return isSet(theParameter) ? "1" : "0";
}

} // namespace

void actionExport::execute() {
    itsDeliveryUnit = getValue(params::deliveryUnit);
    itsFileName = getValue(params::fileName);
    if (itsDeliveryUnit.empty() || itsFileName.empty())
        adminoptions::insufficientArguments();
    checkExportVersion();
    itsVendor = adminoptions::vendorOrContentVendor();
    if (textcase::equalsIgnoringCase(getValue(params::what), "languages"))
        exportLanguages();
    else
        exportDeliveryUnit();
}

void actionExport::checkExportVersion() const {
    if (getValue(params::exportVersion).empty())
        return;
    const std::int64_t aVersion = context().connection().getApiVersion();
    if (aVersion < kExportVersionApiVersion)
        throw Error("Failed to set export version (Repository API version 12 required; you have "
                    "version " +
                    std::to_string(aVersion) + ").");
}

std::size_t actionExport::writeArchive(const std::string& theContent) const {
    sys::writeFileAtomically(itsFileName, theContent);
    return theContent.size();
}

void actionExport::sayOptionalLines(std::size_t theAliasWidth) {
    const std::tuple<std::string_view, const Parameter&, std::size_t> aLines[] = {
        {"DU Check", params::dUCheck, kLabelWidth},
        {"Export version", params::exportVersion, kLabelWidth},
        {"Alias", params::alias, theAliasWidth},
    };
    for (const auto& [aLabel, aParameter, aWidth] : aLines)
        if (!getValue(aParameter).empty())
            itsReport.say(label(aLabel, aWidth) + getValue(aParameter) + "\n");
}

void actionExport::exportDeliveryUnit() {
    const bool aWithSummary = isSet(params::verbose) || isSet(params::trace) || isSet(params::log);
    const DeliveryUnitExport anExport{itsDeliveryUnit,
                                      itsVendor,
                                      getValue(params::alias),
                                      aWithSummary ? "1" : "0",
                                      getValue(params::from),
                                      getValue(params::to),
                                      flag(params::released),
                                      getValue(params::dUCheck),
                                      getValue(params::exportVersion)};
    const ExportResult aResult = repofundeliveryunits::exportDeliveryUnit(anExport);
    if (!aResult.itsArchive || aResult.itsArchive->empty())
        throw Error("Failed to get export delivery unit content.");
    // The summary is rendered before the archive is written, so that an answer it cannot show
    // leaves no file behind.
    std::ostringstream aSummary;
    if (aWithSummary)
        respprinters::printExportSummary(aResult.itsSummary, aSummary);
    const std::size_t aSize = writeArchive(*aResult.itsArchive);

    constexpr std::size_t aWidth = kLabelWidth;
    itsReport.say(fileLine(itsFileName, aSize, aWidth));
    itsReport.say(label("Delivery Unit", aWidth) + itsDeliveryUnit + "\n");
    itsReport.say(label("Vendor", aWidth) + itsVendor + "\n");
    sayOptionalLines(aWidth);
    itsReport.detail(aSummary.str());
    itsReport.say("Export successful.\n");
    const std::string aBase =
        getValue(params::from).empty() ? "export_delivery_unit" : "export_delivery_unit_patch";
    itsReport.writeLogFile(aBase + "_" + itsDeliveryUnit + "_" + itsVendor, "Export");
}

void actionExport::exportLanguages() {
    const SharedString anArchive = repofundeliveryunits::exportLanguages(
        itsDeliveryUnit, itsVendor, getValue(params::alias),
        parameters().getValues(params::language), getValue(params::dUCheck),
        getValue(params::exportVersion));
    if (!anArchive || anArchive->empty())
        throw Error("Failed to get export languages content.");
    const std::size_t aSize = writeArchive(*anArchive);

    constexpr std::size_t aWidth = kLanguageLabelWidth;
    itsReport.say(fileLine(itsFileName, aSize, aWidth));
    itsReport.say(label("Delivery Unit", aWidth) + itsDeliveryUnit + "\n");
    itsReport.say(label("Vendor", aWidth) + itsVendor + "\n");
    sayOptionalLines(aWidth);
    itsReport.say("\nExport successful.\n");
    itsReport.writeLogFile("export_languages_" + itsDeliveryUnit, "Export");
}

} // namespace RepositoryAccess
