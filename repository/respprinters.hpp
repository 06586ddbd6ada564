#pragma once

#include <iosfwd>
#include <string>

#include "repository/resprecords.hpp"

// The fixed-layout print-outs of response records: each labelled line is the label padded with
// blanks to 24 characters, ": ", the value and a line feed.
namespace RepositoryAccess::respprinters {

// The object's file path relative to the workspace directory (package directories and file name
// when no workspace is open): how object lists and change entries name an object.
std::string objectPath(const RepositoryObject& theObject);

// Change ID, status (with its word), description, creation and release.
void printChange(const Change& theChange, std::ostream& theStream);
// The change printed after the given description, as the package below.
void printChange(const Change& theChange, std::ostream& theStream, RecordDescription theFields);

// User, status (with its word), description and validation time.
void printContributor(const Contributor& theContributor, std::ostream& theStream);
// The contributor printed after the given description, as the package below.
void printContributor(const Contributor& theContributor, std::ostream& theStream,
                      RecordDescription theFields);

// The parts of a change that are asked for: the change itself, its contributors, and its
// entries as workspace-relative file paths (sorted, without duplicates).
void printChangeDetails(const ChangeEntry& theChange, std::ostream& theStream, bool theWithChange,
                        bool theWithContributors, bool theWithEntries);

void printDeliveryUnit(const DeliveryUnit& theDeliveryUnit, std::ostream& theStream);
// The delivery unit printed after the given description, as the package below.
void printDeliveryUnit(const DeliveryUnit& theDeliveryUnit, std::ostream& theStream,
                       RecordDescription theFields);

// The package attributes in three groups separated by "--" lines.
void printPackage(const Package& thePackage, std::ostream& theStream);
// The package printed after the given description: its attributes by print position, groups
// parted by "--".
void printPackage(const Package& thePackage, std::ostream& theStream, RecordDescription theFields);

void printExportSummary(const ExportSummary& theSummary, std::ostream& theStream);

// The header lines, "--", then the delivery unit.
void printExportHeader(const ExportHeader& theHeader, std::ostream& theStream);

void printLanguageImportSummary(const LanguageImportSummary& theSummary, std::ostream& theStream);

// The counts, "--", then the header of each imported archive.
void printImportSummary(const ImportSummary& theSummary, std::ostream& theStream);

// One line: tab, version id, tab, activation time, tab, user, and "\t deletion" for a deletion.
void printHistoryEntry(const HistoryEntry& theEntry, std::ostream& theStream);

// Two lines for a result of severity "1" to "4": the "ACTIVATION <severity>" line and the
// message line (with the object's workspace file and line number unless it is the summary).
// Other severities print nothing.
void printCheckResult(const CheckResult& theResult, std::ostream& theStream);

} // namespace RepositoryAccess::respprinters
