#pragma once

#include "server/archive.hpp"
#include "server/repositorystore.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace RepositoryAccess::server {

// Export types of an archive header.
namespace exporttype {
inline constexpr const char* kDeliveryUnit = "1";
inline constexpr const char* kPatch = "3";
inline constexpr const char* kLanguages = "4";
} // namespace exporttype

// The header of an export archive, also answered by an import.
struct ExportHeader {
    std::string itsExportType, itsExportVersion, itsExportTime, itsSourceSystem, itsDuCheck,
        itsLanguages, itsTstFrom, itsTstTo;
    DeliveryUnitRecord itsUnit;
};

// One exported object version: the archive member with its content and that content's SHA-256.
struct ManifestObject {
    ObjectKey itsKey;
    std::string itsMember, itsChecksum;
    HistoryRecord itsEntry;
};

// What an archive holds besides the object contents.
struct Manifest {
    ExportHeader itsHeader;
    std::vector<PackageRecord> itsPackages;
    std::vector<ManifestObject> itsObjects;
    std::vector<ObjectKey> itsDeletedObjects;
    std::vector<std::string> itsChanges;
    // The history entries of itsDeletedObjects, one each, for the export's summary; an export
    // fills them, the archive does not carry them.
    std::vector<HistoryRecord> itsDeletionEntries;
};

// The name of the manifest member, the first member of every archive, and of the member after
// it that holds the manifest's SHA-256: gzip's own check is not verified on reading, so every
// byte of an archive is covered by a checksum of its own.
inline constexpr const char* kManifestMember = "manifest.json";
inline constexpr const char* kManifestChecksumMember = "manifest.sha256";

// Adds the manifest and its checksum to an archive.
void addManifest(ArchiveWriter& theArchive, const Manifest& theManifest);

// The archive member that carries the content of the object at theIndex (0-based).
std::string objectMemberName(std::size_t theIndex);

// Lower-case hexadecimal SHA-256 of theBytes.
std::string sha256Hex(std::string_view theBytes);

std::string headerJson(const ExportHeader& theHeader);
std::string manifestJson(const Manifest& theManifest);

// One object's content read from an archive, with the object's index in the manifest.
struct ArchiveObject {
    std::size_t itsIndex = 0;
    std::string itsContent;
};

// Reads an archive written by an export member by member, so that it holds the manifest and one
// content at a time: first the manifest, which must be the first member and match the checksum
// in the second; then the objects' contents in the order of the archive. Throws ArchiveDamage
// naming the problem when the archive cannot be read (ArchiveReader), does not begin with the
// manifest and its checksum, the manifest cannot be read or names an invalid package or object or
// one member for two objects, a member is not named by the manifest or appears twice, a content
// does not match its checksum, or a member that the manifest names is missing.
class ExportArchiveReader {
public:
    ExportArchiveReader(std::string_view theBytes, InflationBudget& theBudget);

    const Manifest& manifest() const { return itsManifest; }
    // The next object's content; nothing at the end of the archive, when every object's content
    // has been read.
    std::optional<ArchiveObject> nextObject();

private:
    void readManifest();
    void indexMembers();
    [[noreturn]] void refuseMember(const std::string& theName) const;
    void requireEveryMember() const;

    ArchiveReader itsReader;
    Manifest itsManifest;
    std::unordered_map<std::string, std::size_t> itsMembers;
    std::vector<bool> itsRead;
};

} // namespace RepositoryAccess::server
