#include "workspace/workspacefile.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/json.hpp"
#include "workspace/hash.hpp"
#include "workspace/objects.hpp"
#include "workspace/statusfastread.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess {

namespace {

// A stored name is relative to the workspace directory even where it begins with a separator.
std::string_view withoutLeadingSeparators(std::string_view theStoredName) {
    std::size_t aSkip = 0;
    while (aSkip < theStoredName.size() &&
           (theStoredName[aSkip] == '/' || theStoredName[aSkip] == '\\'))
        ++aSkip;
    return theStoredName.substr(aSkip);
}

bool needsSeparator(std::string_view theDirName) {
    return !theDirName.empty() && theDirName.back() != '/';
}

bool isBlank(char theChar) {
    return theChar == ' ' || theChar == '\t' || theChar == '\n' || theChar == '\r';
}

// The index just behind the string that starts with the quote at thePos (or the end of the text).
std::size_t skipString(std::string_view theText, std::size_t thePos) {
    for (++thePos; thePos < theText.size(); ++thePos) {
        if (theText[thePos] == '\\')
            ++thePos;
        else if (theText[thePos] == '"')
            return thePos + 1;
    }
    return theText.size();
}

std::string_view trimmed(std::string_view theText) {
    while (!theText.empty() && isBlank(theText.front()))
        theText.remove_prefix(1);
    while (!theText.empty() && isBlank(theText.back()))
        theText.remove_suffix(1);
    return theText;
}

// The top-level members of a text that the JSON parser accepted as an object: raw key (the bytes
// between its quotes) → raw value text (trimmed). Of repeated keys the last one counts, as in the
// parser. Scans defensively: it never reads beyond the text, whatever the text holds.
std::map<std::string, std::string_view> rawMembers(std::string_view theText) {
    std::map<std::string, std::string_view> aMembers;
    std::size_t aPos = 0;
    auto skipBlanks = [&] {
        while (aPos < theText.size() && isBlank(theText[aPos]))
            ++aPos;
    };
    skipBlanks();
    if (aPos >= theText.size() || theText[aPos] != '{')
        return aMembers;
    ++aPos;
    for (;;) {
        skipBlanks();
        if (aPos >= theText.size() || theText[aPos] != '"')
            return aMembers;
        const std::size_t aKeyEnd = skipString(theText, aPos);
        const std::string aKey(theText.substr(aPos + 1, aKeyEnd - aPos - 2));
        aPos = aKeyEnd;
        skipBlanks();
        if (aPos >= theText.size() || theText[aPos] != ':')
            return aMembers;
        const std::size_t aStart = ++aPos;
        int aDepth = 0;
        while (aPos < theText.size()) {
            const char aChar = theText[aPos];
            if (aChar == '"') {
                aPos = skipString(theText, aPos);
                continue;
            }
            if (aDepth == 0 && (aChar == ',' || aChar == '}'))
                break;
            if (aChar == '[' || aChar == '{')
                ++aDepth;
            else if ((aChar == ']' || aChar == '}') && aDepth > 0)
                --aDepth;
            ++aPos;
        }
        aMembers[aKey] = trimmed(theText.substr(aStart, aPos - aStart));
        if (aPos >= theText.size() || theText[aPos] != ',')
            return aMembers;
        ++aPos;
    }
}

std::string jsonString(std::string_view theText) {
    return "\"" + json::escapeJson(theText) + "\"";
}

// A path as the status file stores it: escaped like every string, but with its slashes as they
// are, so that the file stays readable.
std::string pathString(std::string_view thePath) {
    std::string aText = "\"";
    for (std::size_t aStart = 0; aStart <= thePath.size();) {
        const std::size_t aSlash = std::min(thePath.find('/', aStart), thePath.size());
        aText += json::escapeJson(thePath.substr(aStart, aSlash - aStart));
        if (aSlash < thePath.size())
            aText += '/';
        aStart = aSlash + 1;
    }
    return aText + "\"";
}

// An optional string member: its value, or "" when the member is missing.
std::string optionalString(const json::JsonObject& theObject, std::string_view theKey) {
    return json::hasMember(theObject, theKey) ? json::getString(theObject, theKey) : "";
}

// The decimal text as a 32-bit integer: leading blanks and a sign allowed, conversion stops at the
// first non-digit, no digits give 0, values beyond the range are clamped.
std::int32_t decimalValue(std::string_view theText) {
    theText = trimmed(theText);
    bool aNegative = false;
    if (!theText.empty() && (theText.front() == '-' || theText.front() == '+')) {
        aNegative = theText.front() == '-';
        theText.remove_prefix(1);
    }
    std::int64_t aValue = 0;
    for (char aChar : theText) {
        if (aChar < '0' || aChar > '9')
            break;
        aValue = std::min<std::int64_t>(aValue * 10 + (aChar - '0'), std::int64_t(INT_MAX) + 1);
    }
    if (aNegative)
        aValue = -aValue;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(aValue, INT_MIN, INT_MAX));
}

} // namespace

// ---- WorkSpaceFile ----

struct WorkSpaceFile::Document {
    std::shared_ptr<const std::string> itsText;
    json::JsonAllocator itsAllocator;
    json::JsonObject itsObject;
};

std::unique_ptr<WorkSpaceFile::Document>
WorkSpaceFile::parse(std::shared_ptr<const std::string> theText) const {
    auto aDocument = std::make_unique<Document>();
    aDocument->itsText = theText ? std::move(theText) : sys::readFile(itsFileName);
    const std::string& aText = *aDocument->itsText;
    if (!json::jsonParse(aText.data(), aText.size(), aDocument->itsObject, aDocument->itsAllocator))
        throw Error("Could not parse workspace file \"" + itsFileName + "\"");
    return aDocument;
}

WorkSpaceFile::OtherMembers
WorkSpaceFile::othersOf(const Document& theDocument,
                        std::initializer_list<std::string_view> theKnown) {
    OtherMembers anOthers;
    auto isKnown = [&](std::string_view theKey) {
        return std::find(theKnown.begin(), theKnown.end(), theKey) != theKnown.end();
    };
    // The raw text of the members is only looked for when there is an unknown one to keep: the
    // file list of a large workspace is long.
    if (std::all_of(theDocument.itsObject.begin(), theDocument.itsObject.end(),
                    [&](const json::JsonMember& theMember) { return isKnown(theMember.key); }))
        return anOthers;
    for (const auto& [aKey, aRaw] : rawMembers(*theDocument.itsText))
        if (!isKnown(aKey))
            anOthers[aKey] = aRaw.empty() ? "null" : std::string(aRaw);
    return anOthers;
}

void WorkSpaceFile::appendOthers(std::string& theText, const OtherMembers& theOthers) {
    for (const auto& [aKey, aRaw] : theOthers)
        theText += ",\n\"" + aKey + "\":" + aRaw;
}

void WorkSpaceFile::store(const std::string& theText, bool theDurably) {
    sys::writeFileAtomically(itsFileName, theText, theDurably);
    itsModified = false;
}

// ---- WorkSpaceConfigFile ----

WorkSpaceConfigFile::WorkSpaceConfigFile(std::string theFileName, std::string theWorkSpaceName,
                                         std::string theKey, std::string theHostName,
                                         std::string theUser, std::string theDatabase,
                                         std::string_view theClientFormatVersion)
    : WorkSpaceFile(std::move(theFileName)), itsWorkSpaceName(std::move(theWorkSpaceName)),
      itsKey(std::move(theKey)), itsHostName(std::move(theHostName)), itsUser(std::move(theUser)),
      itsDatabase(std::move(theDatabase)), itsClientFormatVersion(std::make_shared<const Version>(
                                               version::parseVersion(theClientFormatVersion))) {}

namespace {

// The TLS settings a workspace may keep, in the order of the file.
constexpr std::string_view kTlsSettings[] = {"sslEncrypt", "sslCryptoProvider", "sslKeyStore",
                                             "sslTrustStore", "sslValidateCertificate"};

} // namespace

std::shared_ptr<WorkSpaceConfigFile> WorkSpaceConfigFile::load(std::string theFileName) {
    std::shared_ptr<WorkSpaceConfigFile> aFile(new WorkSpaceConfigFile(std::move(theFileName)));
    aFile->read();
    return aFile;
}

void WorkSpaceConfigFile::read() {
    const auto aDocument = parse();
    const json::JsonObject& anObject = aDocument->itsObject;
    std::string aName = json::getString(anObject, "name");
    std::shared_ptr<const Version> aVersion;
    if (json::hasMember(anObject, "client_format_version")) {
        const std::string aText = json::getString(anObject, "client_format_version");
        aVersion = std::make_shared<const Version>(version::parseVersion(aText));
        const Version anOwn = version::parseVersion(version::clientFormatVersion());
        if (anOwn.itsMajor < aVersion->itsMajor)
            throw Error("Outdated Kivo version (Kivo client format version: " +
                        std::string(version::clientFormatVersion()) +
                        ", workspace file client format version: " + aText + ")");
    }
    std::set<std::string> aTracked;
    if (json::hasMember(anObject, "trackedPackages"))
        for (const auto& aValue : json::getList(anObject, "trackedPackages"))
            aTracked.insert(json::asString(aValue));
    // Everything is checked: only now does the object change.
    itsWorkSpaceName = std::move(aName);
    itsHostName = optionalString(anObject, "hostname");
    itsUser = optionalString(anObject, "user");
    itsDatabase = optionalString(anObject, "database");
    itsKey = optionalString(anObject, "key");
    itsTls.clear();
    for (std::string_view aName : kTlsSettings)
        if (std::string aValue = optionalString(anObject, aName); !aValue.empty())
            itsTls.emplace(aName, std::move(aValue));
    itsClientFormatVersion = std::move(aVersion);
    itsTrackedPackages = std::move(aTracked);
    itsOtherMembers =
        othersOf(*aDocument, {"name", "hostname", "user", "database", "key",
                              "client_format_version", "trackedPackages", kTlsSettings[0],
                              kTlsSettings[1], kTlsSettings[2], kTlsSettings[3], kTlsSettings[4]});
    itsModified = false;
}

std::string WorkSpaceConfigFile::toText() const {
    std::string aText = "{\n";
    aText += "\"name\":" + jsonString(itsWorkSpaceName) + ",\n";
    aText += "\"hostname\":" + jsonString(itsHostName) + ",\n";
    aText += "\"user\":" + jsonString(itsUser) + ",\n";
    aText += "\"database\":" + jsonString(itsDatabase) + ",\n";
    aText += "\"key\":" + jsonString(itsKey) + ",\n";
    for (std::string_view aName : kTlsSettings)
        if (auto aSetting = itsTls.find(aName); aSetting != itsTls.end())
            aText += "\"" + std::string(aName) + "\":" + jsonString(aSetting->second) + ",\n";
    aText += "\"client_format_version\":" + jsonString(version::clientFormatVersion()) + ",\n";
    aText += "\"trackedPackages\":[";
    bool aFirst = true;
    for (const auto& aPackage : itsTrackedPackages) {
        if (!aFirst)
            aText += ",\n";
        aFirst = false;
        aText += jsonString(aPackage);
    }
    aText += "]";
    appendOthers(aText, itsOtherMembers);
    aText += "\n}\n";
    return aText;
}

std::string WorkSpaceConfigFile::tlsSetting(std::string_view theName) const {
    auto aSetting = itsTls.find(theName);
    return aSetting == itsTls.end() ? std::string() : aSetting->second;
}

void WorkSpaceConfigFile::setTlsSetting(std::string_view theName, std::string theValue) {
    if (theValue.empty())
        itsTls.erase(std::string(theName));
    else
        itsTls.insert_or_assign(std::string(theName), std::move(theValue));
    itsModified = true;
}

void WorkSpaceConfigFile::write() {
    store(toText());
}

std::vector<std::string> WorkSpaceConfigFile::trackPackage(const std::string& thePackage) {
    if (itsTrackedPackages.count(thePackage)) {
        console::sayLine("Package \"" + thePackage + "\" is already tracked.");
        return {};
    }
    for (const auto& aTracked : itsTrackedPackages) {
        if (objects::isSubPackage(thePackage, aTracked)) {
            console::sayLine("Package \"" + thePackage +
                             "\" is already tracked (the tracked package \"" + aTracked +
                             "\" is a super package of it).");
            return {};
        }
    }
    std::vector<std::string> aRemoved;
    for (auto anIt = itsTrackedPackages.begin(); anIt != itsTrackedPackages.end();) {
        if (objects::isSubPackage(*anIt, thePackage)) {
            aRemoved.push_back(*anIt);
            anIt = itsTrackedPackages.erase(anIt);
        } else {
            ++anIt;
        }
    }
    itsTrackedPackages.insert(thePackage);
    itsModified = true;
    return aRemoved;
}

void WorkSpaceConfigFile::unTrackPackage(const std::string& thePackage) {
    if (itsTrackedPackages.erase(thePackage) == 0) {
        console::sayLine("Package \"" + thePackage + "\" is already untracked.");
        return;
    }
    itsModified = true;
}

// ---- WorkSpaceStatusFile ----

WorkSpaceStatusFile::WorkSpaceStatusFile(std::string theFileName, std::string theWorkSpaceName,
                                         std::string theWorkSpaceDirName)
    : WorkSpaceFile(std::move(theFileName)), itsWorkSpaceName(std::move(theWorkSpaceName)),
      itsWorkSpaceDirName(sys::toSlashes(theWorkSpaceDirName)) {}

std::shared_ptr<WorkSpaceStatusFile> WorkSpaceStatusFile::load(std::string theFileName,
                                                               std::string theWorkSpaceDirName) {
    auto aFile = std::make_shared<WorkSpaceStatusFile>(std::move(theFileName), "",
                                                       std::move(theWorkSpaceDirName));
    aFile->read();
    return aFile;
}

// The stored name below the workspace directory, with `/` separators, written to theOut, which
// has room for absoluteNameSize() bytes.
void WorkSpaceStatusFile::writeAbsoluteName(std::string_view theStoredName, char* theOut) const {
    theStoredName = withoutLeadingSeparators(theStoredName);
    std::memcpy(theOut, itsWorkSpaceDirName.data(), itsWorkSpaceDirName.size());
    theOut += itsWorkSpaceDirName.size();
    if (needsSeparator(itsWorkSpaceDirName))
        *theOut++ = '/';
    std::memcpy(theOut, theStoredName.data(), theStoredName.size());
    // A name written by another client may use backslashes; the program's own never do.
    if (theStoredName.find('\\') != std::string_view::npos)
        std::replace(theOut, theOut + theStoredName.size(), '\\', '/');
}

std::size_t WorkSpaceStatusFile::absoluteNameSize(std::string_view theStoredName) const {
    return itsWorkSpaceDirName.size() + (needsSeparator(itsWorkSpaceDirName) ? 1 : 0) +
           withoutLeadingSeparators(theStoredName).size();
}

std::string WorkSpaceStatusFile::absoluteName(std::string_view theStoredName) const {
    std::string aName(absoluteNameSize(theStoredName), '\0');
    writeAbsoluteName(theStoredName, aName.data());
    return aName;
}

std::string WorkSpaceStatusFile::relativeName(std::string_view theFile) const {
    return sys::absoluteToRelativeFileName(theFile, itsWorkSpaceDirName);
}

void WorkSpaceStatusFile::read() {
    auto aText = sys::readFile(fileName());
    if (!readOwnLayout(*aText))
        readDocument(std::move(aText));
}

std::shared_ptr<WorkSpaceStatusFile>
WorkSpaceStatusFile::loadOwnLayout(std::string theFileName, std::string theWorkSpaceDirName) {
    auto aFile = std::make_shared<WorkSpaceStatusFile>(std::move(theFileName), "",
                                                       std::move(theWorkSpaceDirName));
    // The mapped pages are the page cache's own: a large status is neither copied nor zeroed.
    auto aText = std::make_shared<const sys::MappedFile>(aFile->fileName());
    if (!aFile->readOwnLayout(aText->text(), true))
        return nullptr;
    aFile->itsMappedText = std::move(aText);
    return aFile;
}

bool WorkSpaceStatusFile::readOwnLayout(std::string_view theText, bool theTextStays) {
    statusfastread::Content aContent;
    Entries aFiles(itsFiles.get_allocator());
    const auto aText = [&](std::string_view theValue) {
        if (theValue.empty())
            return std::string_view();
        return theTextStays ? theValue : itsTexts.keep(theValue);
    };
    const bool aRead =
        statusfastread::read(theText, aContent, [&](const statusfastread::Entry& theEntry) {
            addFile(aFiles, theEntry.itsFileName,
                    {aText(theEntry.itsTimestamp), aText(theEntry.itsHash),
                     decimalValue(theEntry.itsBaseVersion), aText(theEntry.itsFileStat)});
        });
    if (!aRead)
        return false;
    std::set<std::string> aConflicts;
    for (const auto& aConflict : aContent.itsConflicts)
        aConflicts.insert(absoluteName(aConflict));
    itsWorkSpaceName = std::string(aContent.itsName);
    itsFiles = std::move(aFiles);
    itsConflicts = std::move(aConflicts);
    itsOtherMembers.clear();
    itsModified = false;
    return true;
}

// Adds an entry whose texts outlive it, its name made absolute in the arena; the file lists
// entries in path order, so the hint at the end makes each insertion constant time. A repeated
// name keeps its last entry, as a plain assignment would.
void WorkSpaceStatusFile::addFile(Entries& theFiles, std::string_view theStoredName,
                                  FileStatus theStatus) {
    const std::size_t aSize = absoluteNameSize(theStoredName);
    auto* aName = static_cast<char*>(itsTexts.allocate(aSize, 1));
    writeAbsoluteName(theStoredName, aName);
    // The map keeps an entry that it has already: then the name is a copy of the new one.
    const auto anEntry =
        theFiles.emplace_hint(theFiles.end(), std::string_view(aName, aSize), theStatus);
    if (anEntry->first.data() != aName)
        anEntry->second = theStatus;
}

// The general reading of a status file of any JSON layout.
void WorkSpaceStatusFile::readDocument(std::shared_ptr<const std::string> theText) {
    const auto aDocument = parse(std::move(theText));
    const json::JsonObject& anObject = aDocument->itsObject;
    std::string aName = json::getString(anObject, "name");
    Entries aFiles(itsFiles.get_allocator());
    for (const auto& aValue : json::getList(anObject, "filenames")) {
        const json::JsonObject& anEntry = json::asObject(aValue);
        const std::string_view aHash = json::getStringView(anEntry, "sha1value");
        const std::string_view aTimestamp = json::getStringView(anEntry, "timest");
        std::int32_t aBaseVersion = 0;
        if (const json::JsonValue* aBase = anEntry.find("baseversion")) {
            if (aBase->t == json::JT_NUMBER)
                aBaseVersion = decimalValue(json::toJson(*aBase));
            else
                aBaseVersion = decimalValue(json::asStringView(*aBase));
        }
        // A member of another type is no proof: the file is then hashed.
        std::string_view aFileStat;
        if (const json::JsonValue* aStat = anEntry.find("filestat");
            aStat && aStat->t == json::JT_STRING)
            aFileStat = json::asStringView(*aStat);
        addFile(aFiles, json::getStringView(anEntry, "filename"),
                {itsTexts.keep(aTimestamp), itsTexts.keep(aHash), aBaseVersion,
                 aFileStat.empty() ? std::string_view() : itsTexts.keep(aFileStat)});
    }
    std::set<std::string> aConflicts;
    for (const auto& aValue : json::getList(anObject, "conflicts"))
        aConflicts.insert(absoluteName(json::asStringView(aValue)));
    itsWorkSpaceName = std::move(aName);
    itsFiles = std::move(aFiles);
    itsConflicts = std::move(aConflicts);
    itsOtherMembers = othersOf(*aDocument, {"name", "filenames", "conflicts"});
    itsModified = false;
}

std::string WorkSpaceStatusFile::toText() const {
    std::string aText = "{\n";
    aText += "\"name\":" + jsonString(itsWorkSpaceName) + ",\n";
    aText += "\"filenames\":[";
    bool aFirst = true;
    for (const auto& [aFile, aStatus] : itsFiles) {
        if (!aFirst)
            aText += ",\n";
        aFirst = false;
        aText += "{\"filename\":" + pathString(relativeName(aFile)) +
                 ",\"sha1value\":" + jsonString(aStatus.sha1value) +
                 ",\"timest\":" + jsonString(aStatus.timest) + ",\"baseversion\":\"" +
                 std::to_string(aStatus.baseversion) + '"';
        if (!aStatus.filestat.empty())
            aText += ",\"filestat\":" + jsonString(aStatus.filestat);
        aText += '}';
    }
    aText += "],\n\"conflicts\":[";
    aFirst = true;
    for (const auto& aFile : itsConflicts) {
        if (!aFirst)
            aText += ",\n";
        aFirst = false;
        aText += pathString(relativeName(aFile));
    }
    aText += "]";
    appendOthers(aText, itsOtherMembers);
    aText += "\n}\n";
    return aText;
}

void WorkSpaceStatusFile::write() {
    // The status file is the run's commit record: the metadata and config written before it
    // reach the disk first.
    store(toText(), true);
}

void WorkSpaceStatusFile::noteProof(std::string_view theFile, std::string_view theHash,
                                    std::string_view theFileStat) {
    const auto anIt = itsFiles.find(theFile);
    if (anIt != itsFiles.end() && anIt->second.sha1value == theHash && !theFileStat.empty())
        anIt->second.filestat = itsTexts.keep(theFileStat);
}

FileStatus& WorkSpaceStatusFile::entry(std::string_view theFile) {
    auto anIt = itsFiles.lower_bound(theFile);
    if (anIt == itsFiles.end() || anIt->first != theFile)
        anIt = itsFiles.emplace_hint(anIt, itsTexts.keep(theFile), FileStatus{});
    return anIt->second;
}

void WorkSpaceStatusFile::setFileStatus(std::string_view theFile, std::string_view theHash,
                                        std::string_view theTimestamp, std::int32_t theBaseVersion,
                                        std::string_view theFileStat) {
    entry(theFile) =
        FileStatus{itsTexts.keep(theTimestamp), itsTexts.keep(theHash), theBaseVersion,
                   theFileStat.empty() ? std::string_view() : itsTexts.keep(theFileStat)};
    itsModified = true;
}

void WorkSpaceStatusFile::setBaseVersion(const std::string& theFile, std::int32_t theBaseVersion) {
    auto anIt = itsFiles.find(theFile);
    if (anIt == itsFiles.end())
        markAsDummyChange(theFile, theBaseVersion);
    else
        anIt->second.baseversion = theBaseVersion;
    itsModified = true;
}

void WorkSpaceStatusFile::markAsDummyChange(const std::string& theFile) {
    markAsDummyChange(theFile, getBaseVersion(theFile));
}

void WorkSpaceStatusFile::markAsDummyChange(const std::string& theFile,
                                            std::int32_t theBaseVersion) {
    // The hash is a constant of the program: no copy in the arena.
    entry(theFile) = FileStatus{{}, workspacefile::dummyChangeHash(), theBaseVersion, {}};
    itsModified = true;
}

void WorkSpaceStatusFile::removeFile(const std::string& theFile) {
    if (itsFiles.erase(theFile))
        itsModified = true;
}

std::string_view WorkSpaceStatusFile::getHash(const std::string& theFile) const {
    const auto anIt = itsFiles.find(theFile);
    if (anIt == itsFiles.end())
        throw Error("Could not find hash status information for file: \"" + theFile +
                    "\" in workspace file.");
    return anIt->second.sha1value;
}

std::string_view WorkSpaceStatusFile::getTimestamp(const std::string& theFile) const {
    const auto anIt = itsFiles.find(theFile);
    if (anIt == itsFiles.end())
        throw Error("Could not find time stamp status information for file: \"" + theFile +
                    "\" in workspace file.");
    return anIt->second.timest;
}

std::int32_t WorkSpaceStatusFile::getBaseVersion(const std::string& theFile) const {
    const auto anIt = itsFiles.find(theFile);
    return anIt == itsFiles.end() ? 0 : anIt->second.baseversion;
}

std::set<std::string> WorkSpaceStatusFile::fileNames() const {
    std::set<std::string> aNames;
    for (const auto& anEntry : itsFiles)
        aNames.insert(aNames.end(), std::string(anEntry.first));
    return aNames;
}

void WorkSpaceStatusFile::addConflict(const std::string& theFile) {
    itsConflicts.insert(theFile);
    itsModified = true;
}

void WorkSpaceStatusFile::removeConflict(const std::string& theFile) {
    if (itsConflicts.erase(theFile))
        itsModified = true;
}

const std::string& workspacefile::dummyChangeHash() {
    static const std::string theHash =
        hash::calc("tHE_hAsH_vAlUe_oF_tHiS_sTrInG_rEpReSeNtS_a_dUmMy_cHaNgE");
    return theHash;
}

} // namespace RepositoryAccess
