#include "repository/respprinters.hpp"

#include <algorithm>
#include <array>
#include <ostream>
#include <set>
#include <string_view>
#include <vector>

#include "repository/recordvalues.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess::respprinters {

namespace {

constexpr std::size_t kLabelWidth = 24;

void writeLabel(std::ostream& theStream, std::string_view theLabel, std::string_view theValue) {
    theStream << theLabel;
    for (std::size_t aPos = theLabel.size(); aPos < kLabelWidth; ++aPos)
        theStream << ' ';
    theStream << ": " << theValue << '\n';
}

// "<n> (<word>)" for a number with a word, else the number alone.
template <std::size_t N>
std::string numberWithWord(std::int64_t theNumber, const std::array<const char*, N>& theWords) {
    std::string aText = std::to_string(theNumber);
    if (theNumber >= 0 && static_cast<std::size_t>(theNumber) < N)
        aText += std::string(" (") + theWords[static_cast<std::size_t>(theNumber)] + ")";
    return aText;
}

constexpr std::array<const char*, 5> kChangeStatus = {"undefined", "open", "released", "abandoned",
                                                      "eoct"};
constexpr std::array<const char*, 3> kContributorStatus = {"undefined", "open", "validated"};

std::string exportTypeText(const std::string& theType) {
    static constexpr std::array<const char*, 4> kWords = {
        "delivery unit", "object list", "delivery unit patch", "language transport"};
    if (theType.size() == 1 && theType[0] >= '1' && theType[0] <= '4')
        return theType + " (" + kWords[static_cast<std::size_t>(theType[0] - '1')] + ")";
    return theType;
}

// The severity word of a check result; empty for an unknown severity.
std::string_view severityWord(const std::string& theSeverity) {
    if (theSeverity == "1")
        return "DEBUG";
    if (theSeverity == "2")
        return "WARNING";
    if (theSeverity == "3")
        return "ERROR";
    if (theSeverity == "4")
        return "SUMMARY";
    return {};
}

// The line number of a message that contains "(line N"; empty when it has none. The last such
// place counts, and a message of several lines has none (as for the pattern
// `.*\(line ([0-9]+).*` over the whole text, without a regular expression's backtracking, which
// took longer than everything else of an activation of thousands of objects).
std::string lineNumberOf(const std::string& theMessage) {
    if (theMessage.find_first_of("\n\r") != std::string::npos)
        return {};
    constexpr std::string_view kMark = "(line ";
    for (std::size_t aPos = theMessage.rfind(kMark); aPos != std::string::npos;
         aPos = aPos == 0 ? std::string::npos : theMessage.rfind(kMark, aPos - 1)) {
        const std::size_t aStart = aPos + kMark.size();
        std::size_t anEnd = aStart;
        while (anEnd < theMessage.size() && theMessage[anEnd] >= '0' && theMessage[anEnd] <= '9')
            ++anEnd;
        if (anEnd > aStart)
            return theMessage.substr(aStart, anEnd - aStart);
    }
    return {};
}

// The attributes of a record in the order of their print places, a "--" line between groups;
// those that the store keeps for itself are left out.
template <class Values>
void printRecord(std::ostream& theStream, RecordDescription theFields, Values theValues) {
    std::vector<const RecordField*> aPrinted;
    for (const RecordField& aField : theFields)
        if (!aField.itsStoredOnly)
            aPrinted.push_back(&aField);
    std::ranges::stable_sort(aPrinted, {}, &RecordField::itsPrintPosition);
    for (std::size_t anIndex = 0; anIndex < aPrinted.size(); ++anIndex) {
        const RecordField& aField = *aPrinted[anIndex];
        if (anIndex > 0 &&
            aField.itsPrintPosition / 100 != aPrinted[anIndex - 1]->itsPrintPosition / 100)
            theStream << "--\n";
        writeLabel(theStream, aField.itsLabel, theValues(aField.itsKey));
    }
}

} // namespace

std::string objectPath(const RepositoryObject& theObject) {
    if (!workspace::isOpen())
        return theObject.workSpaceFileName();
    return workspace::get()->relativeFileName(theObject.workSpaceFileName());
}

void printChange(const Change& theChange, std::ostream& theStream) {
    printChange(theChange, theStream, changeFields());
}

void printChange(const Change& theChange, std::ostream& theStream, RecordDescription theFields) {
    printRecord(theStream, theFields, [&theChange](std::string_view theKey) {
        // The status with its word.
        if (theKey == "status")
            return numberWithWord(theChange.itsStatus, kChangeStatus);
        return recordvalues::valueText(theChange, theKey);
    });
}

void printContributor(const Contributor& theContributor, std::ostream& theStream) {
    printContributor(theContributor, theStream, contributorFields());
}

void printContributor(const Contributor& theContributor, std::ostream& theStream,
                      RecordDescription theFields) {
    printRecord(theStream, theFields, [&theContributor](std::string_view theKey) {
        // The status with its word.
        if (theKey == "status")
            return numberWithWord(theContributor.itsStatus, kContributorStatus);
        return recordvalues::valueText(theContributor, theKey);
    });
}

void printChangeDetails(const ChangeEntry& theChange, std::ostream& theStream, bool theWithChange,
                        bool theWithContributors, bool theWithEntries) {
    if (theWithChange) {
        theStream << "Change:\n";
        printChange(theChange, theStream);
        theStream << '\n';
    }
    if (theWithContributors) {
        theStream << "Contributors:\n";
        for (const Contributor& aContributor : theChange.itsContributors)
            printContributor(aContributor, theStream);
        if (theChange.itsContributors.empty())
            theStream << "(no contributors)\n";
        theStream << '\n';
    }
    if (theWithEntries) {
        std::set<std::string> aPaths;
        for (const RepositoryObject& anObject : theChange.itsEntries)
            aPaths.insert(objectPath(anObject));
        for (const std::string& aPath : aPaths)
            theStream << aPath << '\n';
    }
}

void printDeliveryUnit(const DeliveryUnit& theDeliveryUnit, std::ostream& theStream) {
    printDeliveryUnit(theDeliveryUnit, theStream, deliveryUnitFields());
}

void printDeliveryUnit(const DeliveryUnit& theDeliveryUnit, std::ostream& theStream,
                       RecordDescription theFields) {
    printRecord(theStream, theFields, [&theDeliveryUnit](std::string_view theKey) {
        return recordvalues::value(theDeliveryUnit, theKey);
    });
}

void printPackage(const Package& thePackage, std::ostream& theStream) {
    printPackage(thePackage, theStream, packageFields());
}

void printPackage(const Package& thePackage, std::ostream& theStream, RecordDescription theFields) {
    printRecord(theStream, theFields, [&thePackage](std::string_view theKey) {
        return recordvalues::value(thePackage, theKey);
    });
}

void printExportSummary(const ExportSummary& theSummary, std::ostream& theStream) {
    theStream << "Delivery Unit:\n";
    printDeliveryUnit(theSummary.itsDeliveryUnit, theStream);
    theStream << '\n';
    writeLabel(theStream, "Export version", theSummary.itsExportVersion);
    writeLabel(theStream, "Export time", theSummary.itsExportTime);
    writeLabel(theStream, "Source system", theSummary.itsSourceSystem);
    theStream << '\n';
    theStream << "Packages:\n";
    for (const Package& aPackage : theSummary.itsPackages) {
        printPackage(aPackage, theStream);
        theStream << '\n';
    }
    theStream << "Objects:\n";
    for (const RepositoryObject& anObject : theSummary.itsObjects) {
        objects::printObject(anObject, theStream);
        theStream << '\n';
    }
    if (!theSummary.itsDeletedObjects.empty()) {
        theStream << "Deleted objects:\n";
        for (const RepositoryObject& anObject : theSummary.itsDeletedObjects)
            objects::printObject(anObject, theStream);
        theStream << '\n';
    }
    if (!theSummary.itsChanges.empty()) {
        theStream << "Changes:\n";
        for (const std::string& aChange : theSummary.itsChanges)
            theStream << aChange << '\n';
        theStream << '\n';
    }
}

void printExportHeader(const ExportHeader& theHeader, std::ostream& theStream) {
    writeLabel(theStream, "Export type", exportTypeText(theHeader.itsExportType));
    writeLabel(theStream, "Export version", theHeader.itsExportVersion);
    writeLabel(theStream, "Export time", theHeader.itsExportTime);
    writeLabel(theStream, "Source system", theHeader.itsSourceSystem);
    writeLabel(theStream, "DU check", theHeader.itsDuCheck);
    writeLabel(theStream, "Languages", theHeader.itsLanguages);
    writeLabel(theStream, "From", theHeader.itsTstFrom);
    writeLabel(theStream, "To", theHeader.itsTstTo);
    theStream << "--\n";
    printDeliveryUnit(theHeader.itsDeliveryUnit, theStream);
}

void printLanguageImportSummary(const LanguageImportSummary& theSummary, std::ostream& theStream) {
    writeLabel(theStream, "Text count", theSummary.itsTextCount);
    writeLabel(theStream, "Import count", theSummary.itsImportCount);
    writeLabel(theStream, "Package text count", theSummary.itsPackageTextCount);
    theStream << "--\n";
    printExportHeader(theSummary.itsHeader, theStream);
}

void printImportSummary(const ImportSummary& theSummary, std::ostream& theStream) {
    writeLabel(theStream, "Revert count", theSummary.itsRevertCount);
    writeLabel(theStream, "Import count", theSummary.itsImportCount);
    writeLabel(theStream, "Activate count", theSummary.itsActivateCount);
    writeLabel(theStream, "Delete count", theSummary.itsDeleteCount);
    writeLabel(theStream, "Change ID", theSummary.itsChangeId);
    theStream << "--\n";
    for (const ExportHeader& aHeader : theSummary.itsHeaders)
        printExportHeader(aHeader, theStream);
}

void printHistoryEntry(const HistoryEntry& theEntry, std::ostream& theStream) {
    theStream << '\t' << theEntry.itsVersionId << '\t' << theEntry.itsActivateAt << '\t'
              << theEntry.itsActivatedBy;
    if (theEntry.itsIsDeletion)
        theStream << "\t deletion";
    theStream << '\n';
}

void printCheckResult(const CheckResult& theResult, std::ostream& theStream) {
    const std::string_view aWord = severityWord(theResult.itsSeverity);
    if (aWord.empty())
        return;
    const bool aSummary = theResult.itsSeverity == "4";
    theStream << "ACTIVATION " << aWord;
    if (!aSummary) {
        const bool aNoName = theResult.itsName.empty() && theResult.itsSuffix.empty();
        theStream << ": object: \""
                  << (aNoName ? std::string() : theResult.itsName + "." + theResult.itsSuffix)
                  << "\", package: \"" << theResult.itsPackage << '"';
    }
    theStream << ", timestamp: " << theResult.itsTimestamp;
    if (!theResult.itsLocation.empty())
        theStream << ", location: " << theResult.itsLocation;
    theStream << '\n';
    if (aSummary) {
        theStream << theResult.itsErrorMsg << '\n';
        return;
    }
    // An object that cannot be a workspace file is named as the repository names it.
    if (theResult.itsWorkSpaceFileName.empty())
        theStream << theResult.itsPackage << '/' << theResult.itsName
                  << (theResult.itsSuffix.empty() ? "" : ".") << theResult.itsSuffix;
    else
        theStream << theResult.itsWorkSpaceFileName;
    const std::string aLine = lineNumberOf(theResult.itsErrorMsg);
    if (!aLine.empty())
        theStream << " (" << aLine << ')';
    theStream << ": code " << theResult.itsErrorCode << ": " << theResult.itsErrorMsg << '\n';
}

} // namespace RepositoryAccess::respprinters
