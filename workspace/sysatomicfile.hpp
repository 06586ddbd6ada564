#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::sys {

// A replacement of a file that becomes visible all at once: bytes go to a file without a name in
// the target's directory (or, where the file system has none, to a temporary file there), and
// commit() links it into place, or renames it over an existing target. Until commit() succeeds
// the target keeps its old content; an unfinished AtomicFile leaves nothing behind. A process
// killed at any moment leaves the old or the new content. Durability on power loss is batched:
// commit() only notes that the file system holds unsynced settings writes, and commitDurably()
// (the run's last settings file) syncs them all, its own bytes included, before its rename.
class AtomicFile {
public:
    // Creates the file without a name (or the temporary file) beside thePath; fails with the
    // writeFile open message.
    explicit AtomicFile(std::string_view thePath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends the bytes to the temporary file.
    void write(std::string_view theBytes);

    // Renames the temporary file over the target; fails with
    // "Failed to replace file: \"<path>\". System error code: <n>" and then leaves the target as
    // it was.
    void commit();

    // Syncs every settings write of the run so far and this file, then renames it as commit().
    void commitDurably();

private:
    // Opens a temporary file of a new name beside the target; fails with the open message.
    int openTemporary();
    // Gives the file without a name a temporary name: a link, or a copy where the file system
    // refuses the link.
    void nameTemporarily();

    std::string itsPath;
    std::string itsTemporaryPath; // empty while the file has no name
    int itsFd = -1;
    bool itsCommitted = false;
};

} // namespace RepositoryAccess::sys
