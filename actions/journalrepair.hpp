#pragma once

#include <vector>

#include "workspace/journal.hpp"

// The repair of a journal that an interrupted run left: it reads the repository's state of
// exactly the objects the journal names and brings their metadata and status entries in line.
// It only reads the repository; it never creates a repository version.
namespace RepositoryAccess::journalrepair {

// Objects whose repository side the run was changing take the repository's version (the user's
// inactive one, else the active one): their metadata always, their status entry when the file
// equals that version; a file that is gone loses its entry when the repository has no version
// or an inactive deletion. Files that checkout was writing are adopted when they equal the
// version their metadata names.
void repair(const std::vector<JournalEntry>& theEntries);

} // namespace RepositoryAccess::journalrepair
