#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "workspace/sys.hpp"

namespace RepositoryAccess {

// Where the workspace layer's reads, writes, listings, times and removals of files go. The
// functions of sys:: turn their paths into the `/` form and hand them to the current disk: the
// machine's own (PosixDisk) unless a test puts an in-memory one in its place, so that the
// decisions of checkout, commit and resolve can be tried without a directory. Each method does
// what the sys:: function of the same name describes, with the same messages.
class Disk {
public:
    virtual ~Disk() = default;

    // ---- Reading ----
    virtual bool fileExists(const std::string& thePath) = 0;
    virtual bool dirExists(const std::string& thePath) = 0;
    virtual void visitDir(const std::string& theDirName, bool theWithDetails,
                          const std::function<void(const sys::DirEntryView&)>& theVisit) = 0;
    virtual std::string linkOnTheWay(const std::string& theRootDir, const std::string& thePath) = 0;
    virtual std::uint64_t getFileSize(const std::string& thePath) = 0;
    virtual std::shared_ptr<const std::string> readFile(const std::string& thePath,
                                                        std::optional<std::uint64_t> theCount) = 0;
    virtual std::shared_ptr<const std::string> readFileIfExists(const std::string& thePath) = 0;
    virtual sys::StampedContent readFileStamped(const std::string& thePath, bool theFollowLink) = 0;
    virtual std::string getts(const std::string& thePath) = 0;
    // The content hash of the file (hash::calcFile), read without holding a large file whole.
    virtual std::string hashFile(const std::string& thePath) = 0;

    // ---- Writing and removing ----
    // writeFile and writeFileStamped: the stamp only when theStamp is set.
    virtual sys::WriteStamp writeFile(const std::string& thePath, std::string_view theBytes,
                                      bool theAppend, bool theStamp) = 0;
    virtual void writeFileAtomically(const std::string& thePath, std::string_view theBytes,
                                     bool theDurably) = 0;
    virtual bool createExclusive(const std::string& thePath, std::string_view theContent) = 0;
    virtual bool createDirectory(const std::string& thePath) = 0;
    virtual int createDirectories(const std::string& thePath) = 0;
    virtual bool deleteDirectory(const std::string& thePath) = 0;
    virtual bool deleteFile(const std::string& thePath) = 0;
};

namespace disk {

// The disk that sys:: uses now.
Disk& current();

// Puts another disk in place of the current one while it lives; the one before comes back at its
// end. For tests: the disk is swapped while no other thread uses it.
class Use {
public:
    explicit Use(Disk& theDisk);
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

private:
    Disk* itsPrevious;
};

} // namespace disk
} // namespace RepositoryAccess
