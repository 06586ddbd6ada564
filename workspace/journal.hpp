#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace RepositoryAccess {

// One object a run is about to change: before the repository side changes (write, delete,
// activate, revert, pull), or before checkout writes its file and metadata. The repair after an
// interrupted run brings metadata and status in line with the repository for the first kind, and
// adopts files equal to the metadata written beside them for the second.
struct JournalEntry {
    enum class Repair { repository, checkout };
    std::string itsPackage;
    std::string itsName;
    std::string itsSuffix;
    Repair itsRepair = Repair::repository;
};

// The journal file `.kivoJournal` in the settings folder: written atomically and durably before
// the changes it announces, removed by the run's exit once metadata and status agree again.
namespace journal {

// `<settings folder>/.kivoJournal`.
std::string fileName(std::string_view theSettingsDirName);

// The entries of a journal file; fails with "Failed to parse journal file: <path>".
std::vector<JournalEntry> read(std::string_view thePath);

// Replaces the journal file with the entries.
void write(std::string_view thePath, const std::vector<JournalEntry>& theEntries);

} // namespace journal

} // namespace RepositoryAccess
