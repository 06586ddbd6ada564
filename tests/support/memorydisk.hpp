#pragma once

// A disk held in memory for the unit tests of the layers above sys::. It fails as the machine's
// disk does, with the same messages and system error codes (DiskTest compares them). No links,
// simulation, stat proof or locking (its tests run on one thread); each write moves its clock.

#include <cerrno>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "workspace/disk.hpp"
#include "workspace/hash.hpp"

namespace kivotest {

class MemoryDisk final : public RepositoryAccess::Disk {
public:
    MemoryDisk() { itsDirectories.insert("/"); }

    // Puts the file there, with every directory on its way.
    void addFile(const std::string& thePath, const std::string& theBytes) {
        makeAncestors(thePath);
        store(thePath, theBytes);
    }
    // The bytes of the file; none when there is no such file.
    std::optional<std::string> content(const std::string& thePath) const {
        const auto aFile = itsFiles.find(thePath);
        return aFile == itsFiles.end() ? std::nullopt : std::optional(aFile->second.itsBytes);
    }
    bool empty() const { return itsFiles.empty(); }

    // ---- Reading ----

    bool fileExists(const std::string& thePath) override { return itsFiles.contains(thePath); }
    bool dirExists(const std::string& thePath) override { return isDirectory(thePath); }

    void visitDir(
        const std::string& theDirName, bool,
        const std::function<void(const RepositoryAccess::sys::DirEntryView&)>& theVisit) override {
        const std::string aDir = withoutSlash(theDirName.empty() ? "." : theDirName);
        if (!isDirectory(aDir))
            throw RepositoryAccess::Error("Invalid Directory: " + theDirName);
        for (const std::string& aChild : childDirectories(aDir))
            theVisit({nameOf(aChild), true, 0, {}, {}});
        for (const auto& [aPath, aFile] : itsFiles)
            if (parentOf(aPath) == aDir)
                theVisit({nameOf(aPath), false, aFile.itsBytes.size(), aFile.itsModified, {}});
    }

    std::string linkOnTheWay(const std::string&, const std::string&) override { return {}; }

    std::uint64_t getFileSize(const std::string& thePath) override {
        return fileOf(thePath, "Failed to open file for reading (getFileSize): ").itsBytes.size();
    }

    std::shared_ptr<const std::string> readFile(const std::string& thePath,
                                                std::optional<std::uint64_t> theCount) override {
        const File& aFile = fileOf(thePath, kReadFailure);
        if (theCount && *theCount > aFile.itsBytes.size())
            throw RepositoryAccess::Error(
                "Cannot read from file (not all bytes read) (readFile): \"" + thePath + "\".");
        return std::make_shared<const std::string>(aFile.itsBytes.substr(0, theCount.value_or(-1)));
    }

    std::shared_ptr<const std::string> readFileIfExists(const std::string& thePath) override {
        const auto aBytes = content(thePath);
        return aBytes ? std::make_shared<const std::string>(*aBytes) : nullptr;
    }

    RepositoryAccess::sys::StampedContent readFileStamped(const std::string& thePath,
                                                          bool) override {
        const File& aFile = fileOf(thePath, kReadFailure);
        return {std::make_shared<const std::string>(aFile.itsBytes),
                RepositoryAccess::sys::formatTimestamp(aFile.itsModified),
                {}};
    }

    std::string getts(const std::string& thePath) override {
        if (!itsFiles.contains(thePath))
            throw RepositoryAccess::Error(
                "Internal error: Could not retrieve timestamp for file (CreateFile): " + thePath);
        return RepositoryAccess::sys::formatTimestamp(itsFiles.at(thePath).itsModified);
    }

    std::string hashFile(const std::string& thePath) override {
        return RepositoryAccess::hash::calc(fileOf(thePath, kReadFailure).itsBytes);
    }

    // ---- Writing and removing ----

    RepositoryAccess::sys::WriteStamp writeFile(const std::string& thePath,
                                                std::string_view theBytes, bool theAppend,
                                                bool theStamp) override {
        failUnlessWritable(thePath, theAppend);
        const std::string anOld = theAppend ? content(thePath).value_or("") : "";
        const File& aFile = store(thePath, anOld + std::string(theBytes));
        if (!theStamp)
            return {};
        return {RepositoryAccess::sys::formatTimestamp(aFile.itsModified), {}};
    }

    void writeFileAtomically(const std::string& thePath, std::string_view theBytes, bool) override {
        failUnlessWritable(thePath, false);
        store(thePath, std::string(theBytes));
    }

    bool createExclusive(const std::string& thePath, std::string_view theContent) override {
        if (itsFiles.contains(thePath) || isDirectory(thePath))
            return false;
        failUnlessWritable(thePath, false);
        store(thePath, std::string(theContent));
        return true;
    }

    bool createDirectory(const std::string& thePath) override {
        const std::string aDir = withoutSlash(thePath);
        if (isDirectory(aDir))
            return false;
        if (itsFiles.contains(aDir) || !isDirectory(parentOf(aDir)))
            fail("Failed to create directory: ", thePath,
                 itsFiles.contains(aDir) ? EEXIST : ENOENT);
        itsDirectories.insert(aDir);
        return true;
    }

    int createDirectories(const std::string& thePath) override { return makeAncestors(thePath); }

    bool deleteDirectory(const std::string& thePath) override {
        const std::string aDir = withoutSlash(thePath);
        if (!isDirectory(aDir))
            return false;
        bool anEmpty = childDirectories(aDir).empty();
        for (const auto& anEntry : itsFiles)
            anEmpty = anEmpty && parentOf(anEntry.first) != aDir;
        if (!anEmpty)
            fail("Failed to delete directory ", thePath, ENOTEMPTY);
        itsDirectories.erase(aDir);
        return true;
    }

    bool deleteFile(const std::string& thePath) override { return itsFiles.erase(thePath) > 0; }

private:
    struct File {
        std::string itsBytes;
        timespec itsModified{};
    };
    static constexpr const char* kReadFailure = "Failed to open file for reading (readFile): ";

    static std::string withoutSlash(std::string thePath) {
        while (thePath.size() > 1 && thePath.back() == '/')
            thePath.pop_back();
        return thePath;
    }
    // The directory of a path; "/" for a file of the root, "." for a bare name.
    static std::string parentOf(const std::string& thePath) {
        const std::size_t aSlash = thePath.rfind('/');
        if (aSlash == std::string::npos)
            return ".";
        return aSlash == 0 ? "/" : thePath.substr(0, aSlash);
    }
    static std::string nameOf(const std::string& thePath) {
        return thePath.substr(thePath.rfind('/') + 1);
    }
    [[noreturn]] static void fail(const std::string& theText, const std::string& thePath,
                                  int theErrno) {
        throw RepositoryAccess::Error(theText + "\"" + thePath +
                                      "\". System error code: " + std::to_string(theErrno));
    }

    bool isDirectory(const std::string& thePath) const {
        return thePath == "." || itsDirectories.contains(withoutSlash(thePath));
    }
    std::vector<std::string> childDirectories(const std::string& theDir) const {
        std::vector<std::string> aChildren;
        for (const std::string& aChild : itsDirectories)
            if (aChild != theDir && parentOf(aChild) == theDir)
                aChildren.push_back(aChild);
        return aChildren;
    }
    // A file may be written where its directory exists and no directory has its name.
    void failUnlessWritable(const std::string& thePath, bool theAppend) const {
        const std::string aText = std::string("Failed to open file for writing (append: ") +
                                  (theAppend ? "true" : "false") + "): ";
        if (isDirectory(thePath) || !isDirectory(parentOf(thePath)))
            fail(aText, thePath, isDirectory(thePath) ? EISDIR : ENOENT);
    }
    const File& fileOf(const std::string& thePath, const std::string& theText) const {
        const auto aFile = itsFiles.find(thePath);
        if (aFile == itsFiles.end())
            fail(theText, thePath, isDirectory(thePath) ? EISDIR : ENOENT);
        return aFile->second;
    }
    const File& store(const std::string& thePath, std::string theBytes) {
        File& aFile = itsFiles[thePath];
        aFile.itsBytes = std::move(theBytes);
        aFile.itsModified = {++itsClock, 0};
        return aFile;
    }
    // The missing directories on the way to the path (not the path itself); how many.
    int makeAncestors(const std::string& thePath) {
        int aCreated = 0;
        for (std::size_t aSlash = thePath.find('/', 1); aSlash != std::string::npos;
             aSlash = thePath.find('/', aSlash + 1)) {
            const std::string aDir = thePath.substr(0, aSlash);
            if (isDirectory(aDir))
                continue;
            if (itsFiles.contains(aDir))
                fail("Failed to create directory: ", aDir, EEXIST);
            itsDirectories.insert(aDir);
            ++aCreated;
        }
        return aCreated;
    }

    std::map<std::string, File> itsFiles;
    std::set<std::string> itsDirectories;
    time_t itsClock = 1'700'000'000;
};

} // namespace kivotest
