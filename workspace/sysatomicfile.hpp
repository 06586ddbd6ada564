#pragma once

#include "core/atomicfile.hpp"

#include <string>
#include <string_view>

namespace RepositoryAccess::sys {

// A settings file replaced all at once (the program's AtomicFile), with durability on power loss
// batched: commit() only notes that the file system holds unsynced settings writes, and
// commitDurably() (the run's last settings file) syncs them all, its own bytes included, before
// its rename.
class AtomicFile {
public:
    // Creates the file without a name (or the temporary file) beside thePath; fails with the
    // writeFile open message.
    explicit AtomicFile(std::string_view thePath);

    // Appends the bytes to the temporary file.
    void write(std::string_view theBytes) { itsFile.write(theBytes); }

    // Renames the temporary file over the target; fails with
    // "Failed to replace file: \"<path>\". System error code: <n>" and then leaves the target as
    // it was.
    void commit();

    // Syncs every settings write of the run so far and this file, then renames it as commit().
    void commitDurably();

private:
    RepositoryAccess::AtomicFile itsFile;
};

} // namespace RepositoryAccess::sys
