#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/arena.hpp"
#include "core/version.hpp"

namespace RepositoryAccess {

namespace sys {
class MappedFile;
} // namespace sys

namespace json {
class JsonObject;
}

// One JSON settings file of the workspace folder. Knows its path and whether it was changed
// since it was built or read; the workspace exit writes it only when it was.
class WorkSpaceFile {
public:
    // Top-level members the reader does not know: name → the value's JSON text exactly as it
    // stood in the file, written back unchanged.
    using OtherMembers = std::map<std::string, std::string>;

    explicit WorkSpaceFile(std::string theFileName) : itsFileName(std::move(theFileName)) {}
    virtual ~WorkSpaceFile() = default;

    // Loads and parses the file; fails with "Could not parse workspace file \"<path>\"" for text
    // that is not a JSON object. Clears the modified flag.
    virtual void read() = 0;
    // Replaces the file with the serialised content (temporary file renamed in place, so that a
    // failure leaves the old file whole). Clears the modified flag.
    virtual void write() = 0;

    const std::string& fileName() const { return itsFileName; }
    bool isModified() const { return itsModified; }
    void setModified() { itsModified = true; }

protected:
    // The parsed document together with its raw member texts.
    struct Document;
    // Reads and parses the file.
    std::unique_ptr<Document> parse(std::shared_ptr<const std::string> theText = nullptr) const;
    // theMembers minus the known names.
    static OtherMembers othersOf(const Document& theDocument,
                                 std::initializer_list<std::string_view> theKnown);
    // Appends ",\n\"<name>\":<raw value>" for each member.
    static void appendOthers(std::string& theText, const OtherMembers& theOthers);
    // Stores the text atomically and clears the modified flag; theDurably syncs it and the
    // settings writes before it.
    void store(const std::string& theText, bool theDurably = false);

    std::string itsFileName;
    bool itsModified = false;
};

// `.kivoConfig`: who the workspace belongs to, how to connect, which packages are tracked.
class WorkSpaceConfigFile : public WorkSpaceFile {
public:
    // A new configuration of a workspace being created: a key, or host, user and database.
    WorkSpaceConfigFile(std::string theFileName, std::string theWorkSpaceName, std::string theKey,
                        std::string theHostName, std::string theUser, std::string theDatabase,
                        std::string_view theClientFormatVersion);
    // The configuration read from the file. Fails with the parse message, with the messages of
    // the JSON lookups for a missing `name`, with "Bad version: ..." for a malformed client format
    // version and with "Outdated Kivo version (...)" for a file written by a newer format major.
    static std::shared_ptr<WorkSpaceConfigFile> load(std::string theFileName);

    void read() override;
    void write() override;
    // The file content in its fixed layout, with the running program's client format version.
    std::string toText() const;

    // Tracks the package unless it or a super package of it is tracked (then a message says so
    // and nothing changes). Tracked sub packages of it are replaced by it; they are returned.
    std::vector<std::string> trackPackage(const std::string& thePackage);
    // Untracks exactly this package, or says "Package \"<p>\" is already untracked.".
    void unTrackPackage(const std::string& thePackage);

    const std::set<std::string>& trackedPackages() const { return itsTrackedPackages; }
    const std::string& name() const { return itsWorkSpaceName; }
    const std::string& hostName() const { return itsHostName; }
    const std::string& user() const { return itsUser; }
    const std::string& database() const { return itsDatabase; }
    const std::string& key() const { return itsKey; }
    // The TLS settings kept with the workspace, by their option names (sslEncrypt,
    // sslCryptoProvider, sslKeyStore, sslTrustStore, sslValidateCertificate); empty when not kept.
    // The key store's password is never kept in the file.
    std::string tlsSetting(std::string_view theName) const;
    void setTlsSetting(std::string_view theName, std::string theValue);
    // The client format version the file was read with (the program's own for a new one).
    const std::shared_ptr<const Version>& clientFormatVersion() const {
        return itsClientFormatVersion;
    }
    const OtherMembers& otherMembers() const { return itsOtherMembers; }

private:
    explicit WorkSpaceConfigFile(std::string theFileName) : WorkSpaceFile(std::move(theFileName)) {}

    std::string itsWorkSpaceName;
    std::string itsKey;
    std::string itsHostName;
    std::string itsUser;
    std::string itsDatabase;
    std::map<std::string, std::string, std::less<>> itsTls;
    std::shared_ptr<const Version> itsClientFormatVersion;
    std::set<std::string> itsTrackedPackages;
    OtherMembers itsOtherMembers;
};

// What the status file remembers of one file: its last-write time and content hash when it was
// last synchronised, and the repository version it is based on (0 when unknown). filestat is the
// text form of the stat data that prove the file still holds the bytes of sha1value (filestat.hpp),
// or empty. The texts belong to the status file's arena.
struct FileStatus {
    std::string_view timest;
    std::string_view sha1value;
    std::int32_t baseversion = 0;
    std::string_view filestat;
};

// `.kivoStatus`: the synchronised state of every object file (by absolute path) and the set of
// conflicted files. Stored relative to the workspace directory.
class WorkSpaceStatusFile : public WorkSpaceFile {
public:
    // The entries by absolute path; names, texts and the map's nodes live in the file's arena.
    using Entries = std::map<std::string_view, FileStatus, std::less<>,
                             ArenaAllocator<std::pair<const std::string_view, FileStatus>>>;

    // A new, empty status of a workspace being created.
    WorkSpaceStatusFile(std::string theFileName, std::string theWorkSpaceName,
                        std::string theWorkSpaceDirName);
    // The entries refer to the file's own arena.
    WorkSpaceStatusFile(const WorkSpaceStatusFile&) = delete;
    WorkSpaceStatusFile& operator=(const WorkSpaceStatusFile&) = delete;
    // The status read from the file; fails with the parse message or the JSON lookup messages.
    static std::shared_ptr<WorkSpaceStatusFile> load(std::string theFileName,
                                                     std::string theWorkSpaceDirName);
    // The status read without the JSON parser, the console or the performance trace, so that it
    // may run on a helper thread; nullptr when the file is not in the program's own layout.
    static std::shared_ptr<WorkSpaceStatusFile> loadOwnLayout(std::string theFileName,
                                                              std::string theWorkSpaceDirName);

    void read() override;
    void write() override;
    // The file content in its fixed layout.
    std::string toText() const;

    // Replaces the file's entry as a whole; theFileStat is the proof text taken from the same open
    // file as the hash, or empty (the file is then hashed by the next status).
    void setFileStatus(std::string_view theFile, std::string_view theHash,
                       std::string_view theTimestamp, std::int32_t theBaseVersion,
                       std::string_view theFileStat = {});
    // A status calculation found the file holding the bytes of theHash, with these stat data:
    // when its entry has that hash, they become its proof. This alone does not make the file
    // count as modified; a run that writes it anyway keeps them.
    void noteProof(std::string_view theFile, std::string_view theHash,
                   std::string_view theFileStat);
    // Sets the base version; a file without an entry gets the dummy-change hash.
    void setBaseVersion(const std::string& theFile, std::int32_t theBaseVersion);
    // Makes the file count as modified whatever its content; keeps its base version.
    void markAsDummyChange(const std::string& theFile);
    // The same with a new base version.
    void markAsDummyChange(const std::string& theFile, std::int32_t theBaseVersion);
    void removeFile(const std::string& theFile);

    // Fail with "Could not find hash (time stamp) status information for file: ..." when the file
    // has no entry.
    std::string_view getHash(const std::string& theFile) const;
    std::string_view getTimestamp(const std::string& theFile) const;
    // 0 for a file without an entry.
    std::int32_t getBaseVersion(const std::string& theFile) const;
    bool hasFile(const std::string& theFile) const { return itsFiles.count(theFile) != 0; }
    std::set<std::string> fileNames() const;
    const Entries& files() const { return itsFiles; }

    void addConflict(const std::string& theFile);
    void removeConflict(const std::string& theFile);
    bool isConflicted(const std::string& theFile) const { return itsConflicts.count(theFile) != 0; }
    const std::set<std::string>& conflictedFiles() const { return itsConflicts; }

    const std::string& name() const { return itsWorkSpaceName; }
    const OtherMembers& otherMembers() const { return itsOtherMembers; }

private:
    std::string absoluteName(std::string_view theStoredName) const;
    std::size_t absoluteNameSize(std::string_view theStoredName) const;
    void writeAbsoluteName(std::string_view theStoredName, char* theOut) const;
    void readDocument(std::shared_ptr<const std::string> theText);
    // theTextStays: the text lives as long as this status (its mapping is kept), so the entries
    // refer to its hashes, times and stat texts instead of copying them.
    bool readOwnLayout(std::string_view theText, bool theTextStays = false);
    // The entry of the file, new (without hash, time or base version) when it had none.
    FileStatus& entry(std::string_view theFile);
    void addFile(Entries& theFiles, std::string_view theStoredName, FileStatus theStatus);

    std::string relativeName(std::string_view theFile) const;

    std::string itsWorkSpaceName;
    std::string itsWorkSpaceDirName;
    Arena itsTexts{true}; // a large status fills its blocks
    // The mapped file whose texts the entries refer to, when it was read that way.
    std::shared_ptr<const sys::MappedFile> itsMappedText;
    Entries itsFiles{Entries::allocator_type(itsTexts)};
    std::set<std::string> itsConflicts;
    OtherMembers itsOtherMembers;
};

namespace workspacefile {

// The hash stored for a file that must count as modified whatever its content: the content hash
// of a fixed text that no real file is expected to hold.
const std::string& dummyChangeHash();

} // namespace workspacefile

} // namespace RepositoryAccess
