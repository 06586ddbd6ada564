#pragma once

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/arena.hpp"
#include "workspace/filestat.hpp"
#include "workspace/objects.hpp"

namespace RepositoryAccess {

struct FileStatus;
class WorkSpaceStatusFile;
namespace sys {
class TimestampTexts;
}

// A sorted set of absolute, `/`-separated paths (byte order, no duplicates).
using PathSet = std::vector<std::string>;

// What changed locally in a scope of the workspace: every file of the scope is in exactly one of
// conflicted, modified, deleted, new, or in none (unchanged). Ignored paths are never reported.
// How a known file counts as modified is chosen by `noCompare`, `fast` and `veryFast`: the
// default compares content hashes (a file whose stat data equal its entry's proof is unchanged
// without hashing), `fast` hashes only files whose timestamp changed, `veryFast` trusts
// timestamps alone. The calculation reads the disk and the status file; it writes nothing, but a
// file it hashed and found unchanged gives its entry a proof, kept if the status file is written.
class Status {
public:
    // The files below the packages' directories (only directly in them without theRecursive).
    Status(const std::vector<std::string>& thePackages, bool theRecursive, bool theConflictsOnly,
           bool theWithObjects);
    // Exactly the workspace files of the objects.
    Status(const std::vector<RepositoryObject>& theObjects, bool theConflictsOnly,
           bool theWithObjects);

    const PathSet& conflicted() const { return itsConflicted; }
    const PathSet& modified() const { return itsModified; }
    const PathSet& deleted() const { return itsDeleted; }
    const PathSet& newFiles() const { return itsNew; }
    const PathSet& newDirectories() const { return itsNewDirectories; }
    const PathSet& statusFilesInScope() const;
    const PathSet& statusFilesNotIgnored() const;
    const PathSet& diskFilesInScope() const;
    const PathSet& diskFilesKept() const;
    const PathSet& diskDirectories() const { return itsDiskDirectories; }
    const PathSet& allFiles() const;
    const std::vector<RepositoryObject>& objects() const { return itsObjects; }

private:
    void initPackagesShared(const std::vector<std::string>& thePackages, bool theRecursive);
    void listDirectories(const std::vector<std::string>& theRoots, bool theRecursive,
                         const std::string& theSettingsDirName);
    void normalizeKnown();
    void initShared();
    // A known file present on disk: its index among the disk files and among the known ones.
    struct Present {
        std::size_t itsDisk;
        std::size_t itsKnown;
    };
    // A place in the path order: an index into the known, the disk and the conflicted files.
    struct Place {
        std::size_t itsKnown, itsDisk, itsConflicted;
    };
    // A stretch of the path order, from one place up to the next.
    struct Stretch {
        Place itsBegin, itsEnd;
    };
    struct Classified;
    void classify();
    std::vector<Stretch> stretches() const;
    void classifyStretch(const Stretch& theStretch, Classified& theResult) const;
    void judgePresent(const Present& thePresent, sys::TimestampTexts& theDiskTimes,
                      Classified& theResult) const;
    PathSet modifiedOf(PathSet theModified, const std::vector<Present>& theToHash) const;
    bool provenUnchanged(const FileStatus& theEntry, const Present& thePresent) const;
    void buildObjects();

    bool itsConflictsOnly;
    bool itsWithObjects;
    std::string itsWorkSpaceDirName;

    PathSet itsConflicted;
    PathSet itsModified;
    PathSet itsDeleted;
    PathSet itsNew;
    PathSet itsNewDirectories;
    // The known and the listed files of the scope in path order, as views of the status file's
    // names (kept alive by itsStatusFile) and of the listing's texts (itsPathTexts): the status of
    // a large tree copies no path it does not report.
    std::shared_ptr<const WorkSpaceStatusFile> itsStatusFile;
    std::vector<Arena> itsPathTexts;
    std::vector<std::string_view> itsKnownFiles;
    // The status entries of the known files (same order as itsKnownFiles), so that no comparison
    // has to look them up again.
    std::vector<const FileStatus*> itsKnownStatus;
    std::vector<std::string_view> itsDiskFiles;
    PathSet itsDiskDirectories;
    // Ignored files are few; the large sets are built only when asked for.
    PathSet itsIgnoredKnown;
    PathSet itsIgnoredUnknown;
    mutable std::optional<PathSet> itsStatusFilesInScope;
    mutable std::optional<PathSet> itsDiskFilesInScope;
    mutable std::optional<PathSet> itsStatusFilesNotIgnored;
    mutable std::optional<PathSet> itsDiskFilesKept;
    mutable std::optional<PathSet> itsAllFiles;
    std::vector<RepositoryObject> itsObjects;
    // The stat data of the listed disk files (same order as itsDiskFiles), taken while listing
    // in every mode that compares, so that they need no second look at the file.
    std::vector<filestat::FileStat> itsDiskStats;
    bool itsHaveDiskStats = false;
    // How a known file present on disk is judged: modified without a look (`noCompare`), by its
    // timestamp alone (`veryFast`), by its content when its timestamp differs (`fast`), or by its
    // content unless its stat data prove it unchanged (the default).
    enum class Comparison { none, timestamp, timestampThenContent, proof };
    Comparison itsComparison = Comparison::proof;
    bool itsSimulated = false;
};

namespace pathset {

// Sorts and removes duplicates; for path sets and for sets of views of paths.
template <class Path> void normalize(std::vector<Path>& theSet) {
    // Most sets arrive sorted already (from the status map or a sorted listing): one pass tells.
    if (std::adjacent_find(theSet.begin(), theSet.end(), std::greater_equal<>()) == theSet.end())
        return;
    std::sort(theSet.begin(), theSet.end());
    theSet.erase(std::unique(theSet.begin(), theSet.end()), theSet.end());
}
template <class Path> bool contains(const std::vector<Path>& theSet, std::string_view thePath) {
    return std::binary_search(theSet.begin(), theSet.end(), thePath);
}
PathSet unite(const PathSet& theLeft, const PathSet& theRight);
PathSet subtract(const PathSet& theLeft, const PathSet& theRight);
// The directory parts of the paths, as a set.
PathSet directoriesOf(const PathSet& theFiles);

} // namespace pathset

namespace hash {

// A file's content hash and the proof text of the stat data of the descriptor it was read from
// (empty when the file was changed too recently to prove anything).
struct HashedFile {
    std::string itsHash;
    std::string itsFileStat;
};

// The content hashes of many files, computed on every core; the result is in the order of the
// paths. Throws the file layer's read messages for a file that cannot be read.
std::vector<HashedFile> calcFiles(const std::vector<std::string>& thePaths);

} // namespace hash
} // namespace RepositoryAccess
