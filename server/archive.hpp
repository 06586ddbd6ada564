#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct archive;

namespace RepositoryAccess::server {

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

// What the archives of one request may inflate to, all together: every byte of their tar
// streams counts (headers, extended headers and long names, contents, padding), so that no form
// of an archive, and no number of archives in one request, costs more than the limit.
class InflationBudget {
public:
    explicit InflationBudget(std::uint64_t theLimit) : itsLimit(theLimit) {}

    // Counts theBytes more; throws ArchiveDamage when the total passes the limit.
    void spend(std::uint64_t theBytes);
    // Throws ArchiveDamage unless theBytes more would stay within the limit.
    void require(std::uint64_t theBytes) const;

private:
    [[noreturn]] void exceeded() const;

    std::uint64_t itsLimit;
    std::uint64_t itsSpent = 0;
};

// Reads a gzip-compressed tar held in memory one member at a time, so that it holds at most one
// member's content, whatever the archive's size. Every byte that the archive inflates to is
// charged to the budget as it is read. Throws ArchiveDamage when the archive is incomplete or
// corrupted, a member is no plain regular file (a directory, a link, a sparse file) or has a
// name that is empty or climbs out ("..", absolute), or the budget is exhausted.
class ArchiveReader {
public:
    ArchiveReader(std::string_view theBytes, InflationBudget& theBudget);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Moves to the next member (past the content of the current one) and returns its name;
    // nothing at the end of the archive.
    std::optional<std::string> next();
    // The content of the current member, read whole (once per member).
    std::string content();

private:
    // Charges what the tar stream has consumed since the last charge.
    void charge();

    archive* itsArchive = nullptr;
    InflationBudget& itsBudget;
    std::uint64_t itsCharged = 0;
    std::string itsName;
    std::uint64_t itsSize = 0;
};

} // namespace RepositoryAccess::server
