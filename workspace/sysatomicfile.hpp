#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::sys {

// A replacement of a file that becomes visible all at once: bytes go to a temporary file in the
// target's directory, and commit() syncs it and renames it over the target. Until commit()
// succeeds the target keeps its old content; an unfinished AtomicFile removes its temporary file.
class AtomicFile {
public:
    // Creates the temporary file beside thePath; fails with the writeFile open message.
    explicit AtomicFile(std::string_view thePath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends the bytes to the temporary file.
    void write(std::string_view theBytes);

    // Syncs the temporary file and renames it over the target; fails with
    // "Failed to replace file: \"<path>\". System error code: <n>" and then leaves the target as
    // it was.
    void commit();

    const std::string& temporaryPath() const { return itsTemporaryPath; }

private:
    std::string itsPath;
    std::string itsTemporaryPath;
    int itsFd = -1;
    bool itsCommitted = false;
};

} // namespace RepositoryAccess::sys
