#include "server/archive.hpp"

#include "server/sqldatabase.hpp"

#include <archive.h>
#include <archive_entry.h>

#include <ctime>
#include <memory>
#include <set>

namespace RepositoryAccess::server {

namespace {

constexpr std::uint64_t kHeaderBytes = 512;
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

struct ReaderDeleter {
    void operator()(archive* theArchive) const { archive_read_free(theArchive); }
};

[[noreturn]] void damaged(archive* theArchive, const std::string& theWhat) {
    const char* aText = archive_error_string(theArchive);
    throw ArchiveDamage{theWhat + (aText ? std::string(": ") + aText : std::string())};
}

std::string limitText(std::uint64_t theLimit) {
    return "the archive inflates past the limit of " + std::to_string(theLimit) + " bytes";
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

std::vector<ArchiveMember> readArchive(std::string_view theBytes, std::uint64_t theLimit) {
    std::unique_ptr<archive, ReaderDeleter> aReader(archive_read_new());
    archive* anArchive = aReader.get();
    if (anArchive == nullptr)
        throw ArchiveDamage{"out of memory"};
    if (archive_read_support_filter_gzip(anArchive) != ARCHIVE_OK ||
        archive_read_support_format_tar(anArchive) != ARCHIVE_OK ||
        archive_read_open_memory(anArchive, theBytes.data(), theBytes.size()) != ARCHIVE_OK)
        damaged(anArchive, "not a gzip-compressed tar archive, or a corrupted one");

    std::vector<ArchiveMember> aMembers;
    std::set<std::string> aNames;
    std::uint64_t aTotal = 0;
    std::string aChunk(kChunk, '\0');
    while (true) {
        archive_entry* anEntry = nullptr;
        int aResult = archive_read_next_header(anArchive, &anEntry);
        if (aResult == ARCHIVE_EOF)
            break;
        if (aResult < ARCHIVE_WARN)
            damaged(anArchive, "the archive is truncated or corrupted");
        const char* aPath = archive_entry_pathname(anEntry);
        ArchiveMember aMember;
        aMember.itsName = aPath ? aPath : "";
        if (aMember.itsName.empty())
            throw ArchiveDamage{"the archive is corrupted: a member has no name"};
        if (climbsOut(aMember.itsName))
            throw ArchiveDamage{"the member name \"" + aMember.itsName +
                                "\" climbs out of the archive"};
        if (archive_entry_filetype(anEntry) != AE_IFREG)
            throw ArchiveDamage{"the member \"" + aMember.itsName + "\" is not a regular file"};
        if (!aNames.insert(aMember.itsName).second)
            throw ArchiveDamage{"the member \"" + aMember.itsName + "\" appears twice"};
        aTotal += kHeaderBytes;
        if (archive_entry_size_is_set(anEntry) && archive_entry_size(anEntry) > 0)
            if (aTotal + static_cast<std::uint64_t>(archive_entry_size(anEntry)) > theLimit)
                throw ArchiveDamage{limitText(theLimit)};
        while (true) {
            la_ssize_t aRead = archive_read_data(anArchive, aChunk.data(), aChunk.size());
            if (aRead == 0)
                break;
            if (aRead < 0)
                damaged(anArchive,
                        "the member \"" + aMember.itsName + "\" is truncated or corrupted");
            aTotal += static_cast<std::uint64_t>(aRead);
            if (aTotal > theLimit)
                throw ArchiveDamage{limitText(theLimit)};
            aMember.itsData.append(aChunk.data(), static_cast<std::size_t>(aRead));
        }
        aMembers.push_back(std::move(aMember));
    }
    return aMembers;
}

} // namespace RepositoryAccess::server
