#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "workspace/objects.hpp"
#include "workspace/status.hpp"

namespace RepositoryAccess {

// Objects keyed by their full name (package, name, suffix).
using ObjectMap = std::map<std::string, RepositoryObject>;

// The local side of a checkout scope: the files the status file lists, the files on disk, and
// which of them are new, deleted, modified or conflicted.
struct LocalFiles {
    PathSet itsStatusFiles;
    PathSet itsDiskFiles;
    PathSet itsNew;
    PathSet itsDeleted;
    PathSet itsModified;
    PathSet itsConflicted;

    // Adds the sets of one status calculation.
    void add(const Status& theStatus);
    // Every locally known file: status files and disk files together.
    PathSet allFiles() const;
};

// The repository side that a checkout works on: active, inactive and historical versions of the
// scope's objects, and (with `base`) the base version of every local object.
struct CheckOutMaps {
    ObjectMap itsActive;
    ObjectMap itsInactive;
    ObjectMap itsHistorical;
    ObjectMap itsBase;
};

namespace checkoutversions {

// The version number of a record: its metadata's version id.
std::int32_t versionNumber(const RepositoryObject& theObject);

// A record standing for an object without any version: historical, number 0, a deletion.
RepositoryObject noVersionRecord(const RepositoryObject& theObject);

// The object as it was at its historical version theVersionNr (read from the repository); a
// deletion record with number 0 when theVersionNr is 0.
RepositoryObject historicalRecord(const RepositoryObject& theObject, std::int32_t theVersionNr);

// True for a record that marks an inactive or historical deletion.
bool isDeletion(const RepositoryObject& theObject);

// The objects of the local files with the versions of their metadata files, by full name.
ObjectMap localObjects(const PathSet& theFiles);

// The base version of a local object: its own version when it holds an active or historical
// one, the one below a committed (inactive) one, the active version when it has none, else the
// latest version as a deletion record, or a deletion record with number 0.
RepositoryObject baseVersionOf(const RepositoryObject& theLocal, const ObjectMap& theActive);

// The newest version of the object at theTimestamp, or a deletion record with number 0.
RepositoryObject versionAt(const std::string& theTimestamp, const RepositoryObject& theObject);

// What the status file keeps of a local file: its content hash and last-write time, and the
// proof text of its stat data when it was taken from the same open file (else empty).
struct LocalFileState {
    std::string itsHash;
    std::string itsTimestamp;
    std::string itsFileStat;
};

// The state of the local file when it holds exactly theContent; none when it differs or is
// missing. Its size is compared before its bytes are read.
std::optional<LocalFileState> identicalFile(const std::string& theFile,
                                            const std::string& theContent);

// A version that would overwrite local changes, and why.
struct Candidate {
    RepositoryObject itsRemote;
    std::string itsReason;
};

// Reads the remote contents of the candidates into theContents (by workspace file) and takes
// out of theCandidates those whose local file holds that content already, each with its file's
// state.
std::vector<std::pair<RepositoryObject, LocalFileState>>
takeIdentical(std::vector<Candidate>& theCandidates,
              std::map<std::string, std::string>& theContents);

// Reads the contents of the objects (bulk where allowed), keyed by workspace file name.
std::map<std::string, std::string>
readContents(const std::vector<const RepositoryObject*>& theObjects);
std::map<std::string, std::string> readContents(const std::vector<RepositoryObject>& theObjects);

} // namespace checkoutversions

namespace checkoutengine {

using checkoutversions::LocalFileState;

// Brings the workspace in line with the chosen versions of the maps: writes new and newer files,
// deletes files of deleted objects, turns overwritten local changes into conflicts (unless
// `overwrite` or `skip`), and counts every change in the run statistics. Fails before writing
// anything when the scope holds conflicted files and `force` is not set.
void run(CheckOutMaps& theMaps, const LocalFiles& theLocal);

} // namespace checkoutengine
} // namespace RepositoryAccess
