// Import of delivery-unit archives (one or several in one transaction) and of language archives.
#include "server/authority.hpp"
#include "server/dumanifest.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

#include <algorithm>
#include <set>

namespace RepositoryAccess::server::ops {

namespace {

// How much the archives of one request may inflate to, unless the setting "import_max_bytes"
// says otherwise.
constexpr std::int64_t kDefaultImportLimit = std::int64_t{512} << 20;

struct ImportOptions {
    bool itsForceRemove = true;
    bool itsAutoActivate = true;
    bool itsOnlyTest = false;
    std::string itsMode = "0";
};

ImportOptions readOptions(const json::JsonObject& theBody) {
    ImportOptions anOptions;
    anOptions.itsForceRemove = optionalMember(theBody, "forceRemove") != "0";
    anOptions.itsAutoActivate = optionalMember(theBody, "autoActivate") != "0";
    anOptions.itsOnlyTest = flagMember(theBody, "onlyTestImport");
    std::string aMode = optionalMember(theBody, "activationMode");
    if (!aMode.empty())
        anOptions.itsMode = aMode;
    return anOptions;
}

std::uint64_t importLimit(RepositoryStore& theStore) {
    auto aSetting = theStore.getSetting("import_max_bytes");
    std::int64_t aLimit =
        aSetting ? numberText(*aSetting, "import_max_bytes") : kDefaultImportLimit;
    return static_cast<std::uint64_t>(aLimit > 0 ? aLimit : kDefaultImportLimit);
}

EngineError damaged(const std::string& theFile, const std::string& theProblem) {
    return {code::kDamagedArchive, "Damaged archive: " + theProblem, theFile};
}

// The archives of the request: the BDATA fields of its last theCount slots, in list order.
std::vector<std::string_view> archivesOf(const Operation& theOperation, std::size_t theCount) {
    const auto& aFields = theOperation.itsMessage.itsBData;
    if (aFields.size() < theCount)
        throw EngineError{code::kInvalidRequest,
                          "The request names " + std::to_string(theCount) +
                              " archives but carries " + std::to_string(aFields.size()),
                          {}};
    std::vector<std::string_view> anArchives;
    for (std::size_t i = aFields.size() - theCount; i < aFields.size(); ++i)
        anArchives.push_back(aFields[i]);
    return anArchives;
}

// Refuses an archive that is not of theTypes or in an export version this repository reads.
void checkHeader(RepositoryStore& theStore, const std::string& theFile,
                 const ExportHeader& theHeader, const std::set<std::string>& theTypes) {
    if (!theTypes.contains(theHeader.itsExportType))
        throw damaged(theFile, "the archive has the export type \"" + theHeader.itsExportType +
                                   "\", which this import does not take");
    if (!supportsExportVersion(theStore, theHeader.itsExportVersion))
        throw damaged(theFile, "the archive has the export version \"" +
                                   theHeader.itsExportVersion + "\"; this repository reads " +
                                   exportVersionRange(theStore));
}

// Runs theRead on the archive theFile; a damage it finds is answered 40150 naming the file.
template <class F> void readingArchive(const std::string& theFile, F theRead) {
    try {
        theRead();
    } catch (const ArchiveDamage& aDamage) {
        throw damaged(theFile, aDamage.itsProblem);
    }
}

// Brings the archives' delivery units, packages and objects into the session's workspace.
class Importer {
public:
    Importer(Operation& theOperation, Session theSession, ImportOptions theOptions)
        : itsOperation(theOperation), itsStore(theOperation.itsStore),
          itsSession(std::move(theSession)), itsOptions(std::move(theOptions)) {}

    // Takes the objects' contents one at a time, as the archive holds them.
    void import(ExportArchiveReader& theArchive) {
        const Manifest& aManifest = theArchive.manifest();
        importUnitAndPackages(aManifest);
        std::set<std::string> aHeld;
        for (const ManifestObject& anObject : aManifest.itsObjects)
            aHeld.insert(describe(anObject.itsKey));
        while (std::optional<ArchiveObject> anObject = theArchive.nextObject())
            write(aManifest.itsObjects[anObject->itsIndex].itsKey, anObject->itsContent);
        for (const ObjectKey& aKey : aManifest.itsDeletedObjects)
            deleteActive(aKey);
        if (aManifest.itsHeader.itsExportType == exporttype::kDeliveryUnit)
            deleteNotHeld(aManifest.itsHeader.itsUnit, aHeld);
    }

    // Activates what was imported when asked to; the whole import is undone when the
    // activation fails or only checks.
    void finish(const std::vector<std::string>& theHeaders, bool theSeveralFiles) {
        Answer& anAnswer = itsOperation.itsAnswer;
        ActivationRun aRun;
        if (itsOptions.itsAutoActivate && !itsImported.empty())
            aRun = runActivation(itsStore, itsSession, itsImported, itsOptions.itsMode,
                                 itsOperation.itsUser, {});
        std::string aHeaders = theSeveralFiles ? jsonList(theHeaders)
                                               : (theHeaders.empty() ? "{}" : theHeaders.front());
        anAnswer.setString("activationID", aRun.itsActivationId);
        anAnswer.setRaw("checkResults", aRun.itsCheckResults.empty() ? "[]" : aRun.itsCheckResults);
        std::vector<std::string> aDeleted;
        for (const ObjectKey& aKey : itsDeleted)
            aDeleted.push_back(objectJson(aKey));
        anAnswer.setRaw("importSummary",
                        jsonObject({{"revertCount", count(itsReverted)},
                                    {"importCount", count(itsWritten)},
                                    {"activateCount", count(aRun.itsActivated)},
                                    {"deleteCount", count(std::ssize(itsDeleted))},
                                    {"changeID", quoted("")},
                                    {theSeveralFiles ? "headers" : "header", aHeaders},
                                    {"deletedObjects", jsonList(aDeleted)},
                                    {"takenPackages", jsonList(itsTaken)}}));
        if (!aRun.itsCode.empty() && aRun.itsCode != code::kOk)
            anAnswer.setError(aRun.itsCode, aRun.itsMessage, aRun.itsActivationId);
        if (aRun.itsUndo || itsOptions.itsOnlyTest)
            anAnswer.requestRollback();
    }

private:
    static std::string count(std::int64_t theCount) { return quoted(std::to_string(theCount)); }

    void importUnitAndPackages(const Manifest& theManifest) {
        DeliveryUnitRecord aUnit = theManifest.itsHeader.itsUnit;
        if (aUnit.itsLastUpdate.empty())
            aUnit.itsLastUpdate = text::nowTimestamp();
        itsStore.putDeliveryUnit(aUnit);
        for (const PackageRecord& aPackage : theManifest.itsPackages) {
            PackageRecord aCopy = aPackage;
            aCopy.itsTransportable = "1";
            if (auto anExisting = itsStore.findPackage(aCopy.itsName)) {
                noteTaken(*anExisting, aCopy);
                itsStore.updatePackage(aCopy);
                continue;
            }
            createAncestors(itsStore, aCopy.itsName);
            itsStore.insertPackage(aCopy);
        }
    }

    // Deeds beyond the unit's own objects are for administrators; theDeed completes "User X may
    // not ...". Once allowed, the question is not asked again.
    void requireAdministrator(const std::string& theDeed) {
        if (itsAdministrator)
            return;
        authority::requireAdministrator(itsOperation, theDeed);
        itsAdministrator = true;
    }

    // An existing package that the archive assigns to its unit although it belongs to another
    // one is taken from that unit, which an administrator must allow and the answer names.
    void noteTaken(const PackageRecord& theExisting, const PackageRecord& theImported) {
        if (theExisting.itsDeliveryUnit.empty() ||
            (theExisting.itsDeliveryUnit == theImported.itsDeliveryUnit &&
             theExisting.itsDuVendor == theImported.itsDuVendor))
            return;
        requireAdministrator("take package " + theExisting.itsName + " from delivery unit " +
                             theExisting.itsDeliveryUnit + " (" + theExisting.itsDuVendor +
                             ") by an import");
        itsTaken.push_back(jsonObject({{"package", quoted(theExisting.itsName)},
                                       {"delivery_unit", quoted(theExisting.itsDeliveryUnit)},
                                       {"du_vendor", quoted(theExisting.itsDuVendor)}}));
    }

    // Makes room for the import's own inactive version of theObject: a version this import
    // wrote is replaced, another one is dropped with forceRemove, else the import fails.
    void clearWorkspaceVersion(const ObjectKey& theKey, std::int64_t theObject) {
        if (itsTouched.contains(describe(theKey)))
            return;
        if (!itsStore.inactive(theObject, itsSession.itsOwner, itsSession.itsWorkspace, false))
            return;
        if (!itsOptions.itsForceRemove)
            throw EngineError{code::kInactiveExists,
                              "Inactive version exists already in the workspace", describe(theKey)};
        itsStore.dropInactive(theObject, itsSession.itsOwner, itsSession.itsWorkspace);
        ++itsReverted;
    }

    // The inactive version of this import's workspace based on the newest version theLatest
    // (0: none); a deletion when it has no content.
    InactiveRecord versionAfter(std::int64_t theLatest, bool theIsDeletion) const {
        InactiveRecord aVersion;
        aVersion.itsOwner = itsSession.itsOwner;
        aVersion.itsWorkspace = itsSession.itsWorkspace;
        aVersion.itsVersionId = theLatest + 1;
        aVersion.itsIsDeletion = theIsDeletion;
        aVersion.itsLastChangedAt = text::nowTimestamp();
        return aVersion;
    }

    void noteImported(const ObjectKey& theKey) {
        if (itsTouched.insert(describe(theKey)).second)
            itsImported.push_back(theKey);
    }

    // Writes theContent (nullptr: a deletion) as the inactive version of the existing object
    // theKey, based on the object's newest version theLatest (0: none).
    void putVersion(const ObjectKey& theKey, std::int64_t theObject, const std::string* theContent,
                    std::int64_t theLatest) {
        itsStore.putInactive(theObject, versionAfter(theLatest, theContent == nullptr),
                             theContent ? std::string_view(*theContent) : std::string_view());
        noteImported(theKey);
    }

    // A new object has no version of any kind yet: the object and its first version are two
    // inserts, with nothing to look up, clear or count apart.
    void createWithVersion(const ObjectKey& theKey, const std::string& theContent) {
        createNewObject(itsStore, theKey, versionAfter(0, false), theContent);
        noteImported(theKey);
    }

    // The archive's objects belong to its packages, which the import has put in place already and
    // which no step of it removes: each package is looked up once.
    void requirePackage(const ObjectKey& theKey) {
        if (itsPackagesSeen.contains(theKey.itsPackage))
            return;
        if (!itsStore.packageExists(theKey.itsPackage))
            throw EngineError{code::kDamagedArchive,
                              "Damaged archive: the object " + describe(theKey) +
                                  " belongs to a package that the archive does not carry",
                              theKey.itsPackage};
        itsPackagesSeen.insert(theKey.itsPackage);
    }

    // Drops the version an earlier archive of this import wrote for theKey.
    void forget(const ObjectKey& theKey, std::int64_t theObject) {
        if (itsTouched.erase(describe(theKey)) == 0)
            return;
        itsStore.dropInactive(theObject, itsSession.itsOwner, itsSession.itsWorkspace);
        std::erase(itsImported, theKey);
    }

    std::optional<HistoryRecord> activeEntry(std::int64_t theObject, std::int64_t theLatest,
                                             bool theWithContent) {
        auto anEntry =
            theLatest ? itsStore.historyEntry(theObject, theLatest, theWithContent) : std::nullopt;
        if (anEntry && anEntry->itsIsDeletion)
            return std::nullopt;
        return anEntry;
    }

    // An object whose active version already has the archive's content is left alone, so that
    // importing an archive twice changes nothing the second time.
    void write(const ObjectKey& theKey, const std::string& theContent) {
        requirePackage(theKey);
        // A later archive of the import that carries the object undoes an earlier one's deletion.
        std::erase(itsDeleted, theKey);
        auto anObject = itsStore.findObject(theKey);
        if (!anObject) {
            createWithVersion(theKey, theContent);
            ++itsWritten;
            return;
        }
        clearWorkspaceVersion(theKey, *anObject);
        const std::int64_t aLatest = itsStore.latest(*anObject);
        auto anActive = activeEntry(*anObject, aLatest, true);
        if (anActive && anActive->itsContent == theContent) {
            forget(theKey, *anObject);
            return;
        }
        putVersion(theKey, *anObject, &theContent, aLatest);
        ++itsWritten;
    }

    void deleteActive(const ObjectKey& theKey) {
        auto anObject = itsStore.findObject(theKey);
        if (!anObject)
            return;
        const std::int64_t aLatest = itsStore.latest(*anObject);
        if (!activeEntry(*anObject, aLatest, false))
            return;
        requireAdministrator("delete object " + describe(theKey) + " by an import");
        clearWorkspaceVersion(theKey, *anObject);
        putVersion(theKey, *anObject, nullptr, aLatest);
        if (std::find(itsDeleted.begin(), itsDeleted.end(), theKey) == itsDeleted.end())
            itsDeleted.push_back(theKey);
    }

    // A whole delivery unit replaces the unit: its active objects that the archive does not
    // hold are deleted.
    void deleteNotHeld(const DeliveryUnitRecord& theUnit, const std::set<std::string>& theHeld) {
        for (const PackageRecord& aPackage :
             itsStore.packagesOfDeliveryUnit(theUnit.itsName, theUnit.itsVendor))
            for (std::int64_t anObject : itsStore.objectsInPackage(aPackage.itsName)) {
                ObjectKey aKey = itsStore.objectKey(anObject);
                if (!theHeld.contains(describe(aKey)))
                    deleteActive(aKey);
            }
    }

    Operation& itsOperation;
    RepositoryStore& itsStore;
    Session itsSession;
    ImportOptions itsOptions;
    std::set<std::string> itsTouched;
    std::set<std::string> itsPackagesSeen;
    std::vector<ObjectKey> itsImported;
    std::int64_t itsReverted = 0, itsWritten = 0;
    std::vector<ObjectKey> itsDeleted;
    // The packages taken from other units: {"package","delivery_unit","du_vendor"}.
    std::vector<std::string> itsTaken;
    bool itsAdministrator = false;
};

void importArchives(Operation& theOperation, const std::vector<std::string>& theFiles,
                    bool theSeveralFiles) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    std::vector<std::string_view> aBytes = archivesOf(theOperation, theFiles.size());
    // The archives are checked as they are read, one member at a time, within one budget; the
    // import runs in one transaction, so a damaged archive leaves nothing behind.
    InflationBudget aBudget(importLimit(theOperation.itsStore));
    Importer anImporter(theOperation, aSession, readOptions(theOperation.itsBody));
    std::vector<std::string> aHeaders;
    for (std::size_t i = 0; i < theFiles.size(); ++i)
        readingArchive(theFiles[i], [&] {
            ExportArchiveReader anArchive(aBytes[i], aBudget);
            checkHeader(theOperation.itsStore, theFiles[i], anArchive.manifest().itsHeader,
                        {exporttype::kDeliveryUnit, exporttype::kPatch});
            anImporter.import(anArchive);
            aHeaders.push_back(headerJson(anArchive.manifest().itsHeader));
        });
    anImporter.finish(aHeaders, theSeveralFiles);
}

} // namespace

void importFile(Operation& theOperation) {
    importArchives(theOperation, {member(theOperation.itsBody, "filename")}, false);
}

void importFileList(Operation& theOperation) {
    std::vector<std::string> aFiles;
    for (const json::JsonValue& aValue : json::getList(theOperation.itsBody, "fileList"))
        aFiles.push_back(json::asString(aValue));
    if (aFiles.empty())
        throw EngineError{code::kInvalidRequest, "The file list is empty", {}};
    importArchives(theOperation, aFiles, true);
}

// The repository keeps no texts, so a language import checks the archive and reports its header.
void importLanguages(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    std::string aFile = member(theOperation.itsBody, "filename");
    InflationBudget aBudget(importLimit(theOperation.itsStore));
    std::string aHeader;
    readingArchive(aFile, [&] {
        ExportArchiveReader anArchive(archivesOf(theOperation, 1).front(), aBudget);
        checkHeader(theOperation.itsStore, aFile, anArchive.manifest().itsHeader,
                    {exporttype::kLanguages});
        while (anArchive.nextObject())
            continue; // the texts are not kept, but the archive must be intact
        aHeader = headerJson(anArchive.manifest().itsHeader);
    });
    theOperation.itsAnswer.setRaw("importLanguageSummary",
                                  jsonObject({{"textCount", quoted("0")},
                                              {"importCount", quoted("0")},
                                              {"packageTextCount", quoted("0")},
                                              {"header", aHeader}}));
    if (flagMember(theOperation.itsBody, "onlyTestImport"))
        theOperation.itsAnswer.requestRollback();
}

} // namespace RepositoryAccess::server::ops
