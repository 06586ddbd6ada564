#include "workspace/filestat.hpp"

#include <sys/sysmacros.h>

#include <sys/stat.h>
#include <time.h>

#include <charconv>

#include "core/error.hpp"

namespace RepositoryAccess::filestat {

FileStat ofSystem(const struct stat& aStat) {
    FileStat aResult;
    aResult.itsSize = static_cast<std::uint64_t>(aStat.st_size);
    aResult.itsModifiedSeconds = aStat.st_mtim.tv_sec;
    aResult.itsModifiedNanoseconds = static_cast<std::uint32_t>(aStat.st_mtim.tv_nsec);
    aResult.itsChangedSeconds = aStat.st_ctim.tv_sec;
    aResult.itsChangedNanoseconds = static_cast<std::uint32_t>(aStat.st_ctim.tv_nsec);
    aResult.itsInode = static_cast<std::uint64_t>(aStat.st_ino);
    aResult.itsDevice = static_cast<std::uint64_t>(aStat.st_dev);
    return aResult;
}

FileStat ofStatx(const struct statx& aStat) {
    FileStat aResult;
    aResult.itsSize = aStat.stx_size;
    aResult.itsModifiedSeconds = aStat.stx_mtime.tv_sec;
    aResult.itsModifiedNanoseconds = aStat.stx_mtime.tv_nsec;
    aResult.itsChangedSeconds = aStat.stx_ctime.tv_sec;
    aResult.itsChangedNanoseconds = aStat.stx_ctime.tv_nsec;
    aResult.itsInode = aStat.stx_ino;
    aResult.itsDevice =
        static_cast<std::uint64_t>(makedev(aStat.stx_dev_major, aStat.stx_dev_minor));
    return aResult;
}

namespace {

// Reads one decimal field and the separator after it (none after the last field).
template <typename Number> bool readField(std::string_view& aRest, Number& aValue, bool aLast) {
    const char* anEnd = aRest.data() + aRest.size();
    auto [aStop, anError] = std::from_chars(aRest.data(), anEnd, aValue);
    if (anError != std::errc() || aStop == aRest.data())
        return false;
    aRest.remove_prefix(static_cast<std::size_t>(aStop - aRest.data()));
    if (aLast)
        return aRest.empty();
    if (aRest.empty() || aRest.front() != '.')
        return false;
    aRest.remove_prefix(1);
    return true;
}

bool notBefore(std::int64_t aSeconds, std::uint32_t aNanoseconds, std::int64_t aWrittenSeconds,
               std::uint32_t aWrittenNanoseconds) {
    // A time of a whole second may come from a file system that keeps whole (or even two)
    // seconds only: a later change within those seconds would get the same time.
    if (aNanoseconds == 0)
        return aSeconds + 2 > aWrittenSeconds;
    if (aSeconds != aWrittenSeconds)
        return aSeconds > aWrittenSeconds;
    return aNanoseconds >= aWrittenNanoseconds;
}

} // namespace

FileStat ofDescriptor(int aDescriptor) {
    struct stat aStat {};
    if (::fstat(aDescriptor, &aStat) != 0)
        throw Error("Cannot read the file status");
    return ofSystem(aStat);
}

std::optional<FileStat> ofPath(const std::string& aPath) {
    struct stat aStat {};
    if (::lstat(aPath.c_str(), &aStat) != 0)
        return std::nullopt;
    return ofSystem(aStat);
}

std::string toText(const FileStat& aStat) {
    return std::to_string(aStat.itsSize) + '.' + std::to_string(aStat.itsModifiedSeconds) + '.' +
           std::to_string(aStat.itsModifiedNanoseconds) + '.' +
           std::to_string(aStat.itsChangedSeconds) + '.' +
           std::to_string(aStat.itsChangedNanoseconds) + '.' + std::to_string(aStat.itsInode) +
           '.' + std::to_string(aStat.itsDevice);
}

std::optional<FileStat> fromText(std::string_view aText) {
    FileStat aStat;
    std::string_view aRest = aText;
    if (!readField(aRest, aStat.itsSize, false) ||
        !readField(aRest, aStat.itsModifiedSeconds, false) ||
        !readField(aRest, aStat.itsModifiedNanoseconds, false) ||
        !readField(aRest, aStat.itsChangedSeconds, false) ||
        !readField(aRest, aStat.itsChangedNanoseconds, false) ||
        !readField(aRest, aStat.itsInode, false) || !readField(aRest, aStat.itsDevice, true))
        return std::nullopt;
    if (aStat.itsModifiedNanoseconds >= 1000000000u || aStat.itsChangedNanoseconds >= 1000000000u)
        return std::nullopt;
    return aStat;
}

bool isRacy(const FileStat& aStat, std::int64_t aWrittenSeconds,
            std::uint32_t aWrittenNanoseconds) {
    return notBefore(aStat.itsModifiedSeconds, aStat.itsModifiedNanoseconds, aWrittenSeconds,
                     aWrittenNanoseconds) ||
           notBefore(aStat.itsChangedSeconds, aStat.itsChangedNanoseconds, aWrittenSeconds,
                     aWrittenNanoseconds);
}

bool provesUnchanged(const FileStat& aRecorded, const FileStat& aCurrent,
                     std::int64_t aWrittenSeconds, std::uint32_t aWrittenNanoseconds) {
    return aRecorded == aCurrent && !isRacy(aCurrent, aWrittenSeconds, aWrittenNanoseconds);
}

timespec coarseNow() {
    timespec aNow{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &aNow);
    return aNow;
}

std::string proofText(const FileStat& aStat, const timespec& aNow) {
    if (isRacy(aStat, aNow.tv_sec, static_cast<std::uint32_t>(aNow.tv_nsec)))
        return {};
    return toText(aStat);
}

} // namespace RepositoryAccess::filestat
