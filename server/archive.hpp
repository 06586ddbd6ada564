#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct archive;

namespace RepositoryAccess::server {

// One regular file of an archive: its name inside the archive and its bytes.
struct ArchiveMember {
    std::string itsName, itsData;
};

// Why an archive cannot be read: a text that names the problem.
struct ArchiveDamage {
    std::string itsProblem;
};

// Builds a gzip-compressed tar in memory, member by member, with libarchive.
class ArchiveWriter {
public:
    ArchiveWriter();
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Adds a regular file with exactly theData as its content.
    void add(const std::string& theName, std::string_view theData);
    // Ends the archive and returns its bytes; the writer takes no more members.
    std::string finish();

private:
    archive* itsArchive = nullptr;
    std::string itsBytes;
    std::int64_t itsTime = 0;
};

// Reads every member of a gzip-compressed tar held in memory. Throws ArchiveDamage unless the
// archive is complete and intact, every member is a regular file with a unique relative name
// that does not climb out ("..", absolute), and everything it inflates to (headers of 512 bytes
// and contents) stays within theLimit bytes.
std::vector<ArchiveMember> readArchive(std::string_view theBytes, std::uint64_t theLimit);

} // namespace RepositoryAccess::server
