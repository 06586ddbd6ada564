#include "server/dumanifest.hpp"

#include "core/error.hpp"
#include "core/json.hpp"
#include "core/utils.hpp"
#include "server/answer.hpp"
#include "server/operation.hpp"
#include "server/records.hpp"

#include <openssl/evp.h>

#include <cstdio>

namespace RepositoryAccess::server {

namespace {

using json::getList;
using json::getObject;
using json::getString;

std::string keyMembers(const ObjectKey& theKey) {
    return "\"package\":" + quoted(theKey.itsPackage) + ",\"name\":" + quoted(theKey.itsName) +
           ",\"suffix\":" + quoted(theKey.itsSuffix);
}

std::string objectEntryJson(const ManifestObject& theObject) {
    const HistoryRecord& anEntry = theObject.itsEntry;
    return "{" + keyMembers(theObject.itsKey) + ",\"member\":" + quoted(theObject.itsMember) +
           ",\"sha256\":" + quoted(theObject.itsChecksum) + ",\"versionId\":\"" +
           std::to_string(anEntry.itsNumber) +
           "\",\"activatedAt\":" + quoted(anEntry.itsActivatedAt) +
           ",\"activatedBy\":" + quoted(anEntry.itsActivatedBy) +
           ",\"changeNumber\":" + quoted(anEntry.itsChangeNumber) +
           ",\"releasedAt\":" + quoted(anEntry.itsReleasedAt) + "}";
}

ObjectKey keyFromJson(const json::JsonObject& theObject) {
    ObjectKey aKey{getString(theObject, "package"), getString(theObject, "name"),
                   getString(theObject, "suffix")};
    if (const std::string aProblem = objectNameProblem(aKey); !aProblem.empty())
        throw ArchiveDamage{"the manifest names the invalid object \"" + describe(aKey) +
                            "\": " + aProblem};
    return aKey;
}

ExportHeader headerFromJson(const json::JsonObject& theObject) {
    ExportHeader aHeader;
    aHeader.itsExportType = getString(theObject, "exportType");
    aHeader.itsExportVersion = getString(theObject, "exportVersion");
    aHeader.itsExportTime = getString(theObject, "exportTime");
    aHeader.itsSourceSystem = getString(theObject, "sourceSystem");
    aHeader.itsDuCheck = getString(theObject, "du_check");
    aHeader.itsLanguages = getString(theObject, "languages");
    aHeader.itsTstFrom = getString(theObject, "tst_FROM");
    aHeader.itsTstTo = getString(theObject, "tst_TO");
    aHeader.itsUnit = deliveryUnitFromJson(getObject(theObject, "deliveryUnit"));
    return aHeader;
}

Manifest manifestFromJson(const json::JsonObject& theObject) {
    Manifest aManifest;
    aManifest.itsHeader = headerFromJson(getObject(theObject, "header"));
    for (const json::JsonValue& aValue : getList(theObject, "packages")) {
        PackageRecord aPackage = packageFromJson(json::asObject(aValue));
        if (const std::string aProblem = packageNameProblem(aPackage.itsName); !aProblem.empty())
            throw ArchiveDamage{"the manifest names the invalid package \"" + aPackage.itsName +
                                "\": " + aProblem};
        aManifest.itsPackages.push_back(std::move(aPackage));
    }
    for (const json::JsonValue& aValue : getList(theObject, "objects")) {
        const json::JsonObject& anElement = json::asObject(aValue);
        ManifestObject anObject;
        anObject.itsKey = keyFromJson(anElement);
        anObject.itsMember = getString(anElement, "member");
        anObject.itsChecksum = getString(anElement, "sha256");
        anObject.itsEntry.itsActivatedAt = getString(anElement, "activatedAt");
        anObject.itsEntry.itsActivatedBy = getString(anElement, "activatedBy");
        anObject.itsEntry.itsChangeNumber = getString(anElement, "changeNumber");
        anObject.itsEntry.itsReleasedAt = getString(anElement, "releasedAt");
        aManifest.itsObjects.push_back(std::move(anObject));
    }
    for (const json::JsonValue& aValue : getList(theObject, "deletedObjects"))
        aManifest.itsDeletedObjects.push_back(keyFromJson(json::asObject(aValue)));
    for (const json::JsonValue& aValue : getList(theObject, "changes"))
        aManifest.itsChanges.push_back(json::asString(aValue));
    return aManifest;
}

Manifest parseManifest(const std::string& theText) {
    json::JsonObject anObject;
    json::JsonAllocator anAllocator;
    if (!json::jsonParse(theText.data(), theText.size(), anObject, anAllocator))
        throw ArchiveDamage{"the manifest is not a JSON text"};
    try {
        return manifestFromJson(anObject);
    } catch (const Error& anError) {
        throw ArchiveDamage{"the manifest cannot be read: " + std::string(anError.what())};
    }
}

} // namespace

std::string objectMemberName(std::size_t theIndex) {
    char aBuffer[32];
    std::snprintf(aBuffer, sizeof aBuffer, "objects/%06zu", theIndex + 1);
    return aBuffer;
}

std::string sha256Hex(std::string_view theBytes) {
    unsigned char aDigest[EVP_MAX_MD_SIZE];
    unsigned int aSize = 0;
    if (EVP_Digest(theBytes.data(), theBytes.size(), aDigest, &aSize, EVP_sha256(), nullptr) != 1)
        throw StorageError("SHA-256 failed");
    return utils::toHex({reinterpret_cast<const char*>(aDigest), aSize});
}

std::string headerJson(const ExportHeader& theHeader) {
    return jsonObject({{"exportType", quoted(theHeader.itsExportType)},
                       {"exportVersion", quoted(theHeader.itsExportVersion)},
                       {"exportTime", quoted(theHeader.itsExportTime)},
                       {"sourceSystem", quoted(theHeader.itsSourceSystem)},
                       {"du_check", quoted(theHeader.itsDuCheck)},
                       {"languages", quoted(theHeader.itsLanguages)},
                       {"deliveryUnit", deliveryUnitJson(theHeader.itsUnit)},
                       {"tst_FROM", quoted(theHeader.itsTstFrom)},
                       {"tst_TO", quoted(theHeader.itsTstTo)}});
}

std::string manifestJson(const Manifest& theManifest) {
    std::vector<std::string> aPackages, anObjects, aDeleted, aChanges;
    for (const PackageRecord& aPackage : theManifest.itsPackages)
        aPackages.push_back(packageJson(aPackage));
    for (const ManifestObject& anObject : theManifest.itsObjects)
        anObjects.push_back(objectEntryJson(anObject));
    for (const ObjectKey& aKey : theManifest.itsDeletedObjects)
        aDeleted.push_back("{" + keyMembers(aKey) + "}");
    for (const std::string& aChange : theManifest.itsChanges)
        aChanges.push_back(quoted(aChange));
    return jsonObject({{"header", headerJson(theManifest.itsHeader)},
                       {"packages", jsonList(aPackages)},
                       {"objects", jsonList(anObjects)},
                       {"deletedObjects", jsonList(aDeleted)},
                       {"changes", jsonList(aChanges)}});
}

void addManifest(ArchiveWriter& theArchive, const Manifest& theManifest) {
    std::string aText = manifestJson(theManifest);
    theArchive.add(kManifestMember, aText);
    theArchive.add(kManifestChecksumMember, sha256Hex(aText));
}

ExportArchiveReader::ExportArchiveReader(std::string_view theBytes, InflationBudget& theBudget)
    : itsReader(theBytes, theBudget) {
    readManifest();
    indexMembers();
}

void ExportArchiveReader::readManifest() {
    const std::optional<std::string> aFirst = itsReader.next();
    if (aFirst != kManifestMember)
        throw ArchiveDamage{std::string("the archive has no member \"") + kManifestMember +
                            "\" at its start"};
    const std::string aText = itsReader.content();
    if (itsReader.next() != kManifestChecksumMember || itsReader.content() != sha256Hex(aText))
        throw ArchiveDamage{std::string("the member \"") + kManifestMember +
                            "\" does not match its checksum"};
    itsManifest = parseManifest(aText);
}

// Each content is taken once: an archive cannot make a small member count many times.
void ExportArchiveReader::indexMembers() {
    for (std::size_t i = 0; i < itsManifest.itsObjects.size(); ++i)
        if (!itsMembers.emplace(itsManifest.itsObjects[i].itsMember, i).second)
            throw ArchiveDamage{"the manifest names the member \"" +
                                itsManifest.itsObjects[i].itsMember + "\" twice"};
    itsRead.assign(itsManifest.itsObjects.size(), false);
}

void ExportArchiveReader::refuseMember(const std::string& theName) const {
    if (theName == kManifestMember || theName == kManifestChecksumMember)
        throw ArchiveDamage{"the member \"" + theName + "\" appears twice"};
    throw ArchiveDamage{"the member \"" + theName + "\" is not named by the manifest"};
}

void ExportArchiveReader::requireEveryMember() const {
    for (std::size_t i = 0; i < itsRead.size(); ++i)
        if (!itsRead[i])
            throw ArchiveDamage{"the manifest names the missing member \"" +
                                itsManifest.itsObjects[i].itsMember + "\""};
}

std::optional<ArchiveObject> ExportArchiveReader::nextObject() {
    const std::optional<std::string> aName = itsReader.next();
    if (!aName) {
        requireEveryMember();
        return std::nullopt;
    }
    const auto aMember = itsMembers.find(*aName);
    if (aMember == itsMembers.end())
        refuseMember(*aName);
    if (itsRead[aMember->second])
        throw ArchiveDamage{"the member \"" + *aName + "\" appears twice"};
    itsRead[aMember->second] = true;
    ArchiveObject anObject{aMember->second, itsReader.content()};
    if (sha256Hex(anObject.itsContent) != itsManifest.itsObjects[anObject.itsIndex].itsChecksum)
        throw ArchiveDamage{"the member \"" + *aName + "\" does not match its checksum"};
    return anObject;
}

} // namespace RepositoryAccess::server
