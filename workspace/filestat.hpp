#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

// The stat data that proves a file unchanged since its hash was recorded: size, modification and
// change times to the nanosecond, inode and device. A status entry keeps it beside the hash as
// "size.mtime_s.ns.ctime_s.ns.inode.device"; readers that do not know the member skip it.
namespace RepositoryAccess::filestat {

struct FileStat {
    std::uint64_t itsSize = 0;
    std::int64_t itsModifiedSeconds = 0;
    std::uint32_t itsModifiedNanoseconds = 0;
    std::int64_t itsChangedSeconds = 0;
    std::uint32_t itsChangedNanoseconds = 0;
    std::uint64_t itsInode = 0;
    std::uint64_t itsDevice = 0;

    bool operator==(const FileStat&) const = default;
};

// The stat data of an open file; taken from the same descriptor that was hashed or written, so
// that the record belongs to exactly those bytes. Fails with "Cannot read the file status" when
// the system refuses.
FileStat ofDescriptor(int aDescriptor);

// The stat data of a system stat record.
FileStat ofSystem(const struct stat& aStat);

// The fields of statx that ofStatx reads.
inline constexpr unsigned kStatxFields =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_CTIME | STATX_INO;
// The stat data of a statx record holding kStatxFields; the device as stat gives it.
FileStat ofStatx(const struct statx& aStat);

// The stat data of a path (not following a final symbolic link), or nothing when it is gone.
std::optional<FileStat> ofPath(const std::string& aPath);

// The text form "size.mtime_s.ns.ctime_s.ns.inode.device".
std::string toText(const FileStat& aStat);

// The record of a text form, or nothing for anything else (a damaged or foreign member is no
// proof, and the file is then hashed).
std::optional<FileStat> fromText(std::string_view aText);

// Whether a file with this stat data may have changed again within the timestamp granularity of
// the moment its record was written (the status file's own write time): its modification or change
// time is not strictly before that moment. Such a record proves nothing.
bool isRacy(const FileStat& aStat, std::int64_t aWrittenSeconds, std::uint32_t aWrittenNanoseconds);

// The coarse clock that file timestamps are taken from, now. Every change of a file after this
// moment gets a timestamp at or after it.
timespec coarseNow();

// The text form of the stat data as a proof for later runs, or empty when it can prove nothing:
// when the file may still change without a different record, because it was modified or changed
// not strictly before aNow (a coarse clock reading taken after the stat data, or before the bytes
// that were hashed were read).
std::string proofText(const FileStat& aStat, const timespec& aNow);

// Whether the recorded stat data prove the current file unchanged: equal in every field and not
// racy against the write time of the record.
bool provesUnchanged(const FileStat& aRecorded, const FileStat& aCurrent,
                     std::int64_t aWrittenSeconds, std::uint32_t aWrittenNanoseconds);

} // namespace RepositoryAccess::filestat
