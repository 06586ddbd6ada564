#include "actions/actionimport.hpp"

#include <sstream>

#include "actions/adminoptions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "repository/respprinters.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

// The first repository API version that imports several archives in one call.
constexpr std::int64_t kMultiImportApiVersion = 1;

std::string valueOr(const Parameter& theParameter, std::string_view theDefault) {
    const std::string aValue = getValue(theParameter);
    return aValue.empty() ? std::string(theDefault) : aValue;
}

std::string fileLine(const std::string& theFileName, std::size_t theSize) {
    return "\n--> File                : " + theFileName + " (" + std::to_string(theSize) +
           " bytes)\n";
}

// The repository workspace the import goes into, as the summary names it.
std::string workSpaceName() {
    if (!workspace::isOpen())
        return {};
    const std::string aName = workspace::config().name();
    return aName == "__empty__" ? std::string() : aName;
}

} // namespace

void actionImport::execute() {
    const std::vector<std::string> aFileNames = parameters().getValues(params::fileName);
    if (aFileNames.empty())
        adminoptions::insufficientArguments();
    itsOptions = {valueOr(params::forceRemove, "1"), valueOr(params::autoActivate, "1"),
                  valueOr(params::activationMode, "0"), valueOr(params::onlyTestImport, "0"),
                  valueOr(params::determineXrefs, "0")};
    std::vector<Archive> anArchives;
    for (const std::string& aFileName : aFileNames)
        anArchives.push_back({aFileName, sys::readFile(aFileName)});

    if (textcase::equalsIgnoringCase(getValue(params::what), "languages")) {
        for (const Archive& anArchive : anArchives)
            importLanguages(anArchive);
        return;
    }
    if (anArchives.size() >= 2 && !isSet(params::noMultiImport) &&
        context().connection().getApiVersion() >= kMultiImportApiVersion) {
        importTogether(anArchives);
        return;
    }
    for (const Archive& anArchive : anArchives)
        importOne(anArchive);
}

bool actionImport::judge(const RepositoryErrorTriple& theError,
                         const std::vector<CheckResult>& theCheckResults) {
    for (const CheckResult& aCheck : theCheckResults) {
        std::ostringstream aText;
        respprinters::printCheckResult(aCheck, aText);
        if (aCheck.itsSeverity == "3")
            itsReport.say(aText.str());
        else
            itsReport.detail(aText.str());
    }
    if (theError.itsCode == "0" || theError.itsCode == "40137")
        return true;
    itsReport.error("\nImport failed (" + theError.itsCode + "): " + theError.itsMessage + ": " +
                    theError.itsArgument + "\n");
    exitstatus::fail();
    return false;
}

void actionImport::sayOptions() {
    itsReport.say("Workspace               : " + workSpaceName() + "\n");
    itsReport.say("Force Remove            : " + itsOptions.itsForceRemove + "\n");
    itsReport.say("Auto Activate           : " + itsOptions.itsAutoActivate + "\n");
    itsReport.say("Activation mode         : " + itsOptions.itsActivationMode + "\n");
    itsReport.say("Only test import        : " + itsOptions.itsOnlyTestImport + "\n");
    itsReport.say("Determine Xrefs         : " + itsOptions.itsDetermineXrefs + "\n");
}

// Shown without --verbose: these change more than the archive itself carries.
void actionImport::sayTakenAndDeleted(const ImportSummary& theSummary) {
    for (const TakenPackage& aPackage : theSummary.itsTakenPackages)
        itsReport.say("Taken package           : " + aPackage.itsPackage + " (from delivery unit " +
                      aPackage.itsDeliveryUnit + ", vendor " + aPackage.itsVendor + ")\n");
    for (const RepositoryObject& anObject : theSummary.itsDeletedObjects)
        itsReport.say("Deleted object          : " + respprinters::objectPath(anObject) + "\n");
}

void actionImport::importTogether(const std::vector<Archive>& theArchives) {
    std::vector<std::string> aFileNames;
    std::vector<SharedString> aContents;
    for (const Archive& anArchive : theArchives) {
        aFileNames.push_back(anArchive.itsFileName);
        aContents.push_back(anArchive.itsContent);
    }
    const ImportResult aResult =
        repofundeliveryunits::importMultipleFiles(aFileNames, aContents, itsOptions);
    if (judge(aResult.itsError, aResult.itsCheckResults)) {
        const ImportSummary& aSummary = aResult.itsSummary;
        if (aSummary.itsHeaders.size() != theArchives.size())
            throw Error("Internal error");
        itsReport.say("\n");
        sayOptions();
        itsReport.say("--\nActivation ID           : " + aResult.itsActivationId + "\n--\n");
        itsReport.say("Revert count            : " + aSummary.itsRevertCount + "\n");
        itsReport.say("Import count            : " + aSummary.itsImportCount + "\n");
        itsReport.say("Activate count          : " + aSummary.itsActivateCount + "\n");
        itsReport.say("Delete count            : " + aSummary.itsDeleteCount + "\n");
        sayTakenAndDeleted(aSummary);
        for (std::size_t anIndex = 0; anIndex < theArchives.size(); ++anIndex) {
            std::ostringstream aHeader;
            respprinters::printExportHeader(aSummary.itsHeaders[anIndex], aHeader);
            itsReport.say(fileLine(theArchives[anIndex].itsFileName,
                                   theArchives[anIndex].itsContent->size()) +
                          aHeader.str());
        }
        itsReport.say("\nImport successful.\n");
    }
    itsReport.writeLogFile("import_multiple_files", "Import");
}

void actionImport::importOne(const Archive& theArchive) {
    const ImportResult aResult =
        repofundeliveryunits::importFile(theArchive.itsFileName, theArchive.itsContent, itsOptions);
    if (judge(aResult.itsError, aResult.itsCheckResults)) {
        itsReport.say(fileLine(theArchive.itsFileName, theArchive.itsContent->size()));
        sayOptions();
        itsReport.say("--\nActivation ID           : " + aResult.itsActivationId + "\n");
        sayTakenAndDeleted(aResult.itsSummary);
        itsReport.say("\nImport successful.\n");
    }
    itsReport.writeLogFile("import_file", "Import");
}

void actionImport::importLanguages(const Archive& theArchive) {
    const LanguageImportResult aResult = repofundeliveryunits::importLanguages(
        theArchive.itsFileName, theArchive.itsContent, itsOptions.itsOnlyTestImport);
    if (judge(aResult.itsError, {})) {
        std::ostringstream aSummary;
        respprinters::printLanguageImportSummary(aResult.itsSummary, aSummary);
        itsReport.say(fileLine(theArchive.itsFileName, theArchive.itsContent->size()));
        itsReport.say("Workspace               : " + workSpaceName() + "\n");
        itsReport.say("Only test import        : " + itsOptions.itsOnlyTestImport + "\n--\n");
        itsReport.say(aSummary.str());
        itsReport.say("\nImport successful.\n");
    }
    itsReport.writeLogFile("import_languages", "Import");
}

} // namespace RepositoryAccess
