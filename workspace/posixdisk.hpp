#pragma once

#include "workspace/disk.hpp"

namespace RepositoryAccess {

// The machine's own file system, the default disk. Honours `simulate`: no write reaches the disk
// and a "Simulation: " line is printed instead. Its methods live beside the helpers they share:
// reads, listings and files in sys.cpp, directories in sysdirectories.cpp, the atomic and
// exclusive writes in sysatomicfile.cpp, the hash in hash.cpp.
class PosixDisk final : public Disk {
public:
    bool fileExists(const std::string& thePath) override;
    bool dirExists(const std::string& thePath) override;
    void visitDir(const std::string& theDirName, bool theWithDetails,
                  const std::function<void(const sys::DirEntryView&)>& theVisit) override;
    std::string linkOnTheWay(const std::string& theRootDir, const std::string& thePath) override;
    std::uint64_t getFileSize(const std::string& thePath) override;
    std::shared_ptr<const std::string> readFile(const std::string& thePath,
                                                std::optional<std::uint64_t> theCount) override;
    std::shared_ptr<const std::string> readFileIfExists(const std::string& thePath) override;
    sys::StampedContent readFileStamped(const std::string& thePath, bool theFollowLink) override;
    std::string getts(const std::string& thePath) override;
    std::string hashFile(const std::string& thePath) override;
    sys::WriteStamp writeFile(const std::string& thePath, std::string_view theBytes, bool theAppend,
                              bool theStamp) override;
    void writeFileAtomically(const std::string& thePath, std::string_view theBytes,
                             bool theDurably) override;
    bool createExclusive(const std::string& thePath, std::string_view theContent) override;
    bool createDirectory(const std::string& thePath) override;
    int createDirectories(const std::string& thePath) override;
    bool deleteDirectory(const std::string& thePath) override;
    bool deleteFile(const std::string& thePath) override;
};

} // namespace RepositoryAccess
