#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

namespace RepositoryAccess {

// A replacement of a file that becomes visible all at once, the one way this program replaces a
// file whole (settings files, the key store, a merge result): bytes go to a file without a name in
// the target's directory (or, where the file system has none, to a temporary file there), and
// commit() links it into place, or renames it over an existing target. Until commit() succeeds
// the target keeps its old content; an unfinished AtomicFile leaves nothing behind. A process
// killed at any moment leaves the old or the new content. Failures throw Error with the system
// error code.
class AtomicFile {
public:
    // Creates the file without a name (or the temporary file) beside thePath with the permissions
    // theMode (less the process's umask); fails with the open message.
    explicit AtomicFile(std::string thePath, mode_t theMode = 0666);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends the bytes to the temporary file.
    void write(std::string_view theBytes);

    // Makes the bytes written so far durable, for a file that must survive a power loss on its own
    // once it is committed.
    void sync();

    // Renames the temporary file over the target; fails with
    // "Failed to replace file: \"<path>\". System error code: <n>" and then leaves the target as
    // it was.
    void commit();

    const std::string& path() const { return itsPath; }

private:
    // Opens a temporary file of a new name beside the target; fails with the open message.
    int openTemporary();
    // Gives the file without a name a temporary name: a link, or a copy where the file system
    // refuses the link.
    void nameTemporarily();

    std::string itsPath;
    mode_t itsMode;
    std::string itsTemporaryPath; // empty while the file has no name
    int itsFd = -1;
    bool itsCommitted = false;
};

// The process id that wrote a leftover temporary file of an AtomicFile ("<name>.tmp<pid>_<n>"),
// or 0 for a name of another form.
int temporaryFileOwner(std::string_view theFileName);

// Replaces the file at thePath with theBytes, durably: the bytes reach the disk before the rename.
void replaceFileDurably(std::string thePath, std::string_view theBytes, mode_t theMode);

} // namespace RepositoryAccess
