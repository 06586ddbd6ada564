#pragma once

#include "server/archive.hpp"
#include "server/repositorystore.hpp"

#include <cstdint>
#include <string>
#include <string_view>
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

// An archive read back: its manifest and the contents of its objects, in manifest order.
struct ReadArchive {
    Manifest itsManifest;
    std::vector<std::string> itsContents;
};

// Reads an archive written by an export. Throws ArchiveDamage naming the problem when the
// archive cannot be read (see readArchive), has no manifest, its manifest cannot be read or
// names an invalid package or object, a member it names is missing, or a content does not
// match its checksum.
ReadArchive readExportArchive(std::string_view theBytes, std::uint64_t theLimit);

} // namespace RepositoryAccess::server
