#include "server/archive.hpp"

#include "server/sqldatabase.hpp"

#include <archive.h>
#include <archive_entry.h>

#include <ctime>
#include <memory>

namespace RepositoryAccess::server {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

la_ssize_t appendBytes(archive*, void* theClient, const void* theBuffer, size_t theSize) {
    static_cast<std::string*>(theClient)->append(static_cast<const char*>(theBuffer), theSize);
    return static_cast<la_ssize_t>(theSize);
}

[[noreturn]] void writeFailed(archive* theArchive) {
    const char* aText = theArchive ? archive_error_string(theArchive) : nullptr;
    throw StorageError(std::string("Writing the archive failed: ") +
                       (aText ? aText : "out of memory"));
}

// True when a member name climbs out of the folder it is unpacked into.
bool climbsOut(std::string_view theName) {
    if (theName.empty() || theName.front() == '/')
        return true;
    std::size_t aStart = 0;
    while (aStart <= theName.size()) {
        std::size_t anEnd = theName.find('/', aStart);
        if (anEnd == std::string_view::npos)
            anEnd = theName.size();
        if (theName.substr(aStart, anEnd - aStart) == "..")
            return true;
        aStart = anEnd + 1;
    }
    return false;
}

// ": " and libarchive's own description of its last error, when it has one.
std::string errorText(archive* theArchive) {
    const char* aText = archive_error_string(theArchive);
    return aText ? std::string(": ") + aText : std::string();
}

[[noreturn]] void damaged(archive* theArchive, const std::string& theWhat) {
    throw ArchiveDamage{theWhat + errorText(theArchive)};
}

} // namespace

ArchiveWriter::ArchiveWriter() : itsArchive(archive_write_new()), itsTime(std::time(nullptr)) {
    if (itsArchive == nullptr || archive_write_add_filter_gzip(itsArchive) != ARCHIVE_OK ||
        archive_write_set_format_pax_restricted(itsArchive) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(itsArchive, 1) != ARCHIVE_OK ||
        archive_write_open(itsArchive, &itsBytes, nullptr, appendBytes, nullptr) != ARCHIVE_OK) {
        archive* anArchive = itsArchive;
        std::string aText = anArchive && archive_error_string(anArchive)
                                ? archive_error_string(anArchive)
                                : "out of memory";
        archive_write_free(anArchive);
        throw StorageError("Writing the archive failed: " + aText);
    }
}

ArchiveWriter::~ArchiveWriter() {
    if (itsArchive != nullptr)
        archive_write_free(itsArchive);
}

void ArchiveWriter::add(const std::string& theName, std::string_view theData) {
    std::unique_ptr<archive_entry, void (*)(archive_entry*)> anEntry(archive_entry_new(),
                                                                     archive_entry_free);
    if (!anEntry)
        writeFailed(nullptr);
    archive_entry_set_pathname(anEntry.get(), theName.c_str());
    archive_entry_set_filetype(anEntry.get(), AE_IFREG);
    archive_entry_set_perm(anEntry.get(), 0644);
    archive_entry_set_size(anEntry.get(), static_cast<la_int64_t>(theData.size()));
    archive_entry_set_mtime(anEntry.get(), itsTime, 0);
    if (archive_write_header(itsArchive, anEntry.get()) != ARCHIVE_OK)
        writeFailed(itsArchive);
    std::size_t aDone = 0;
    while (aDone < theData.size()) {
        la_ssize_t aWritten =
            archive_write_data(itsArchive, theData.data() + aDone, theData.size() - aDone);
        if (aWritten <= 0)
            writeFailed(itsArchive);
        aDone += static_cast<std::size_t>(aWritten);
    }
}

std::string ArchiveWriter::finish() {
    if (archive_write_close(itsArchive) != ARCHIVE_OK)
        writeFailed(itsArchive);
    archive_write_free(itsArchive);
    itsArchive = nullptr;
    return std::move(itsBytes);
}

void InflationBudget::spend(std::uint64_t theBytes) {
    require(theBytes);
    itsSpent += theBytes;
}

void InflationBudget::require(std::uint64_t theBytes) const {
    if (theBytes > itsLimit - itsSpent)
        exceeded();
}

void InflationBudget::exceeded() const {
    throw ArchiveDamage{"the archives inflate past the import's limit of " +
                        std::to_string(itsLimit) + " bytes"};
}

ArchiveReader::ArchiveReader(std::string_view theBytes, InflationBudget& theBudget)
    : itsArchive(archive_read_new()), itsBudget(theBudget) {
    if (itsArchive == nullptr)
        throw ArchiveDamage{"out of memory"};
    if (archive_read_support_filter_gzip(itsArchive) != ARCHIVE_OK ||
        archive_read_support_format_tar(itsArchive) != ARCHIVE_OK ||
        archive_read_open_memory(itsArchive, theBytes.data(), theBytes.size()) != ARCHIVE_OK) {
        const std::string aText = errorText(itsArchive);
        archive_read_free(itsArchive);
        throw ArchiveDamage{"not a gzip-compressed tar archive, or a corrupted one" + aText};
    }
}

ArchiveReader::~ArchiveReader() {
    archive_read_free(itsArchive);
}

void ArchiveReader::charge() {
    const la_int64_t aConsumed = archive_filter_bytes(itsArchive, 0);
    if (aConsumed <= 0 || static_cast<std::uint64_t>(aConsumed) <= itsCharged)
        return;
    itsBudget.spend(static_cast<std::uint64_t>(aConsumed) - itsCharged);
    itsCharged = static_cast<std::uint64_t>(aConsumed);
}

std::optional<std::string> ArchiveReader::next() {
    archive_entry* anEntry = nullptr;
    const int aResult = archive_read_next_header(itsArchive, &anEntry);
    // What the headers before this member consumed counts, whether they could be read or not.
    charge();
    if (aResult == ARCHIVE_EOF)
        return std::nullopt;
    if (aResult < ARCHIVE_WARN)
        damaged(itsArchive, "the archive is truncated or corrupted");
    const char* aPath = archive_entry_pathname(anEntry);
    itsName = aPath ? aPath : "";
    if (itsName.empty())
        throw ArchiveDamage{"the archive is corrupted: a member has no name"};
    if (climbsOut(itsName))
        throw ArchiveDamage{"the member name \"" + itsName + "\" climbs out of the archive"};
    if (archive_entry_filetype(anEntry) != AE_IFREG || archive_entry_hardlink(anEntry) != nullptr ||
        archive_entry_sparse_count(anEntry) > 0)
        throw ArchiveDamage{"the member \"" + itsName + "\" is not a regular file"};
    itsSize = archive_entry_size_is_set(anEntry) && archive_entry_size(anEntry) > 0
                  ? static_cast<std::uint64_t>(archive_entry_size(anEntry))
                  : 0;
    itsBudget.require(itsSize);
    return itsName;
}

std::string ArchiveReader::content() {
    std::string aContent;
    // The size was within the budget; the content is read into its final place.
    aContent.reserve(static_cast<std::size_t>(itsSize));
    char aChunk[kChunk];
    while (true) {
        const la_ssize_t aRead = archive_read_data(itsArchive, aChunk, sizeof aChunk);
        if (aRead == 0)
            return aContent;
        if (aRead < 0)
            damaged(itsArchive, "the member \"" + itsName + "\" is truncated or corrupted");
        itsBudget.spend(static_cast<std::uint64_t>(aRead));
        itsCharged += static_cast<std::uint64_t>(aRead);
        aContent.append(aChunk, static_cast<std::size_t>(aRead));
    }
}

} // namespace RepositoryAccess::server
