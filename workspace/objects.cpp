#include "workspace/objects.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/json.hpp"
#include "core/metadatajson.hpp"
#include "core/objectnames.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// The directory of a package, or why it cannot be one, remembered for the last package asked:
// the objects of a listing or a status mostly share their package.
const objectnames::PackageDirectory& directoryOfPackage(const std::string& thePackage) {
    thread_local bool theKnown = false;
    thread_local std::string theLastPackage;
    thread_local objectnames::PackageDirectory theLast;
    if (!theKnown || thePackage != theLastPackage) {
        theLast = objectnames::packageDirectory(thePackage);
        theLastPackage = thePackage;
        theKnown = true;
    }
    return theLast;
}

// The version number of a response, held within the range of the client's numbers.
std::int32_t decimal(std::string_view theText) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(recordNumber(theText), INT32_MIN, INT32_MAX));
}

// The metadata attributes that the client's code names; an attribute the description adds
// travels among the other attributes.
constexpr std::array<RecordMember<ObjectMetaData>, 8> theMetaDataMembers{{
    {"version_id", &ObjectMetaData::itsVersionId},
    {"activated_at", &ObjectMetaData::itsActivatedAt},
    {"activated_by", &ObjectMetaData::itsActivatedBy},
    {"last_changed_at", &ObjectMetaData::itsLastChangedAt},
    {"is_deletion", &ObjectMetaData::itsIsDeletion},
    {"object_status", &ObjectMetaData::itsObjectStatus},
    {"change_number", &ObjectMetaData::itsChangeNumber},
    {"released_at", &ObjectMetaData::itsReleasedAt},
}};

std::string optionalString(const json::JsonObject& theObject, std::string_view theKey) {
    return json::hasMember(theObject, theKey) ? json::getString(theObject, theKey) : "";
}

[[noreturn]] void invalidMetaDataType(std::string_view theType) {
    throw Error("Invalid meta data type (must be active = 1, inactive = 2 or historical = 3): " +
                std::string(theType));
}

[[noreturn]] void invalidVersionType(std::string_view theType) {
    throw Error("Invalid version type (must be active = 1, inactive = 2 or historical = 3): " +
                std::string(theType));
}

// "__empty__" is the default inactive workspace, shown and sent as the empty name.
std::string shownWorkSpace(const std::string& theWorkSpace) {
    return theWorkSpace == "__empty__" ? "" : theWorkSpace;
}

} // namespace

// ---- RepositoryObject ----

RepositoryObject::RepositoryObject(std::string thePackage, std::string theName,
                                   std::string theSuffix)
    : itsPackage(std::move(thePackage)), itsName(std::move(theName)),
      itsSuffix(std::move(theSuffix)) {
    itsKey.reserve(itsPackage.size() + itsName.size() + itsSuffix.size() + 2);
    itsKey.append(itsPackage).append(1, '.').append(itsName).append(1, '.').append(itsSuffix);
    if (const std::string aProblem = objects::nameProblem(itsPackage, itsName, itsSuffix);
        !aProblem.empty())
        throw Error(aProblem);
    const std::string aFileName = fileName();
    const std::string& aDirectories = directoryOfPackage(itsPackage).itsDirectory;
    std::string_view aSrcDir;
    std::string_view aSettingsDir;
    if (workspace::isOpen()) {
        aSrcDir = workspace::get()->srcDirName();
        aSettingsDir = workspace::get()->settingsDirName();
    }
    // <workspace>/<package directories>/<file> and <settings>/SYS/<package directories>/
    // <file>.kivoMeta, each built at its final size: every object of a listing makes both.
    itsWorkSpaceFileName.reserve(aSrcDir.size() + aDirectories.size() + aFileName.size() + 2);
    sys::appendDirectory(itsWorkSpaceFileName, aSrcDir);
    sys::appendDirectory(itsWorkSpaceFileName, aDirectories);
    itsWorkSpaceFileName += aFileName;
    itsMetaDataFileName.reserve(aSettingsDir.size() + aDirectories.size() + aFileName.size() + 15);
    sys::appendDirectory(itsMetaDataFileName, aSettingsDir);
    itsMetaDataFileName += "SYS";
    itsMetaDirOffset = itsMetaDataFileName.size() - 3;
    itsMetaDataFileName += '/';
    sys::appendDirectory(itsMetaDataFileName, aDirectories);
    itsMetaDataFileName += aFileName;
    itsMetaDataFileName += ".kivoMeta";
}

std::string RepositoryObject::conflictCopyName(std::string_view theDirName) const {
    const std::string_view aMeta(itsMetaDataFileName);
    const std::size_t aRelativeStart = itsMetaDirOffset + 3; // the slash after `SYS`
    std::string aName(aMeta.substr(0, itsMetaDirOffset));
    aName += theDirName;
    aName += aMeta.substr(aRelativeStart,
                          aMeta.size() - aRelativeStart - std::string_view(".kivoMeta").size());
    return aName;
}

std::string RepositoryObject::fileName() const {
    return itsSuffix.empty() ? itsName : itsName + "." + itsSuffix;
}

std::string RepositoryObject::toJson() const {
    return json::ObjectText()
        .string("package", itsPackage)
        .string("name", itsName)
        .string("suffix", itsSuffix)
        .take();
}

// ---- Object file names ----

std::pair<std::string, std::string> objects::splitFileName(std::string_view thePackageDirectories,
                                                           std::string_view theFileName) {
    // The characters a repository object name cannot hold (the pattern's excluded class).
    constexpr std::string_view anExcluded = ",^/:?<>|";
    if (theFileName.empty() || theFileName.find_first_of(anExcluded) != std::string_view::npos)
        throw Error("File: \"" + std::string(thePackageDirectories) + "/" +
                    std::string(theFileName) + "\" does not represent a valid repository object.");
    const std::size_t aDot = theFileName.rfind('.');
    if (aDot == std::string_view::npos || aDot + 1 == theFileName.size())
        return {std::string(theFileName), ""};
    return {std::string(theFileName.substr(0, aDot)), std::string(theFileName.substr(aDot + 1))};
}

namespace {

// The package of the files of a workspace directory, with what it was found under.
struct DirectoryPackage {
    std::string itsDirectory; // with its final `/`
    std::string itsRoot;
    std::string itsWhat;
    std::string itsPackageParameter;
    std::string itsPackage;
};

// The package of a workspace file, remembered for the directory last asked: the files of a
// directory follow each other in every list, and finding a package resolves the whole path. The
// memory holds only absolute paths (a relative one depends on the current directory) and also
// compares the root and the parameters the answer depends on; it is not used while paths are
// debugged, for that output shows every step of every file.
const DirectoryPackage& packageOfFile(const std::string& thePath) {
    thread_local DirectoryPackage theLast;
    thread_local bool theKnown = false;
    const std::string_view aDirectory(thePath.data(), thePath.rfind('/') + 1);
    const bool aRemembered =
        workspace::isOpen() && sys::isAbsolutePath(thePath) && !isSet(params::debugPaths);
    const std::string aWhat = getValue(params::what);
    const std::string aPackageParameter = getValue(params::package);
    if (aRemembered && theKnown && theLast.itsDirectory == aDirectory &&
        theLast.itsRoot == workspace::get()->srcDirName() && theLast.itsWhat == aWhat &&
        theLast.itsPackageParameter == aPackageParameter)
        return theLast;
    DirectoryPackage aFound{
        std::string(aDirectory), {}, aWhat, aPackageParameter, workspace::packageOfFile(thePath)};
    if (workspace::isOpen())
        aFound.itsRoot = workspace::get()->srcDirName();
    theLast = std::move(aFound);
    theKnown = aRemembered;
    return theLast;
}

// The object that a workspace file stands for, without its metadata.
RepositoryObject objectOfFile(std::string_view theFileName) {
    const std::string aPath = sys::toSlashes(theFileName);
    const DirectoryPackage& aPackage = packageOfFile(aPath);
    const objectnames::PackageDirectory& aDirectory = directoryOfPackage(aPackage.itsPackage);
    if (!aDirectory.itsProblem.empty())
        throw Error(aDirectory.itsProblem);
    const auto [aName, aSuffix] =
        objects::splitFileName(aDirectory.itsDirectory, sys::getFilePart(aPath));
    return RepositoryObject(aPackage.itsPackage, aName, aSuffix);
}

} // namespace

std::string objects::nameProblem(const std::string& thePackage, std::string_view theName,
                                 std::string_view theSuffix) {
    std::string aProblem = objectnames::objectProblem(
        thePackage + "." + std::string(theName) + "." + std::string(theSuffix), theName, theSuffix);
    return aProblem.empty() ? directoryOfPackage(thePackage).itsProblem : aProblem;
}

RepositoryObject objects::nameOfWorkSpaceFile(std::string_view theFileName) {
    return objectOfFile(theFileName);
}

RepositoryObject objects::fromWorkSpaceFile(std::string_view theFileName) {
    return withMetaFile(objectOfFile(theFileName));
}

RepositoryObject objects::withMetaFile(RepositoryObject theObject) {
    if (const auto aText = metaFileText(theObject.metaDataFileName())) {
        auto [aMetaData, aVersion] = parseMetaFile(*aText, theObject.metaDataFileName());
        theObject.setMetaData(std::move(aMetaData));
        theObject.setVersion(std::move(aVersion));
    }
    return theObject;
}

RepositoryObject objects::fromJson(const json::JsonObject& theElement) {
    const bool aWrapped = json::hasMember(theElement, "object");
    const json::JsonObject& aDescription =
        aWrapped ? json::getObject(theElement, "object") : theElement;
    RepositoryObject anObject(json::getString(aDescription, "package"),
                              json::getString(aDescription, "name"),
                              json::getString(aDescription, "suffix"));
    if (json::hasMember(aDescription, "version"))
        anObject.setVersion(versionFromJson(json::getObject(aDescription, "version")));
    if (json::hasMember(aDescription, "metadata"))
        anObject.setMetaData(metaDataFromJson(json::getObject(aDescription, "metadata")));
    if (aWrapped && json::hasMember(theElement, "metadata"))
        anObject.setMetaData(metaDataFromJson(json::getObject(theElement, "metadata")));
    if (aWrapped)
        if (const json::JsonValue* anError = theElement.find("error"))
            anObject.setError(json::toJson(*anError));
    return anObject;
}

RepositoryObject objects::object_name_to_object_id(std::string_view theArgument) {
    KIVO_PERF_SCOPE("objects::object_name_to_object_id()");
    return fromWorkSpaceFile(theArgument);
}

// ---- Metadata and version JSON ----

std::string objects::metaDataToJson(const ObjectMetaData& theMetaData,
                                    RecordDescription theFields) {
    if (theMetaData.itsType < 1 || theMetaData.itsType > 3)
        invalidMetaDataType(std::to_string(theMetaData.itsType));
    return objectMetaDataJson<ObjectMetaData>(theMetaData, theMetaDataMembers, theMetaData.itsType,
                                              theFields);
}

std::string objects::versionToJson(const ObjectVersion& theVersion) {
    switch (theVersion.itsVersionType) {
    case 1:
        return "{\"versionType\":\"1\"}";
    case 2:
        return json::ObjectText()
            .string("versionType", "2")
            .string("owner", theVersion.itsOwner)
            .string("workspace", shownWorkSpace(theVersion.itsWorkSpace))
            .take();
    case 3:
        return "{\"versionType\":\"3\",\"versionNr\":\"" + std::to_string(theVersion.itsVersionNr) +
               "\"}";
    default:
        invalidVersionType(std::to_string(theVersion.itsVersionType));
    }
}

ObjectMetaData objects::metaDataFromJson(const json::JsonObject& theObject,
                                         RecordDescription theFields) {
    ObjectMetaData m;
    const std::string aType = json::getString(theObject, "type");
    m.itsType = aType == "1" || aType == "2" || aType == "3" ? aType[0] - '0' : -1;
    if (m.itsType == -1)
        invalidMetaDataType(aType);
    for (const RecordField& aField : theFields)
        if (carriesVersionType(aField, m.itsType))
            setRecordText<ObjectMetaData>(m, theMetaDataMembers, aField.itsKey,
                                          aField.itsRequired
                                              ? json::getString(theObject, aField.itsKey)
                                              : optionalString(theObject, aField.itsKey));
    return m;
}

ObjectVersion objects::versionFromJson(const json::JsonObject& theObject) {
    ObjectVersion aVersion;
    const std::string aType = json::getString(theObject, "versionType");
    if (aType == "1") {
        aVersion.itsVersionType = 1;
    } else if (aType == "2") {
        aVersion.itsVersionType = 2;
        aVersion.itsOwner = json::getString(theObject, "owner");
        aVersion.itsWorkSpace = json::getString(theObject, "workspace");
    } else if (aType == "3") {
        aVersion.itsVersionType = 3;
        aVersion.itsVersionNr = decimal(json::getString(theObject, "versionNr"));
    } else {
        invalidVersionType(aType);
    }
    return aVersion;
}

// ---- .kivoMeta files ----

std::shared_ptr<const std::string> objects::metaFileContent(const RepositoryObject& theObject) {
    return std::make_shared<const std::string>(
        "{\"metadata\":" + metaDataToJson(theObject.metaData()) +
        ", \"version\":" + versionToJson(theObject.version()) + "}");
}

std::pair<ObjectMetaData, ObjectVersion> objects::readMetaFile(std::string_view thePath) {
    return parseMetaFile(*sys::readFile(thePath), thePath);
}

std::shared_ptr<const std::string> objects::metaFileText(std::string_view thePath) {
    if (workspace::isOpen())
        if (auto aWaiting = workspace::get()->metaFiles().waiting(std::string(thePath)))
            return aWaiting;
    return sys::readFileIfExists(thePath);
}

std::pair<ObjectMetaData, ObjectVersion> objects::parseMetaFile(std::string_view theText,
                                                                std::string_view thePath) {
    json::JsonAllocator anAllocator;
    json::JsonObject anObject;
    if (!json::jsonParse(theText.data(), theText.size(), anObject, anAllocator))
        throw Error("Failed to parse meta data file: " + std::string(thePath));
    std::pair<ObjectMetaData, ObjectVersion> aResult;
    aResult.first = metaDataFromJson(json::getObject(anObject, "metadata"));
    if (json::hasMember(anObject, "version"))
        aResult.second = versionFromJson(json::getObject(anObject, "version"));
    return aResult;
}

void objects::writeMetaFile(const RepositoryObject& theObject) {
    auto aContent = metaFileContent(theObject);
    if (workspace::isOpen() &&
        workspace::get()->metaFiles().keep(theObject.metaDataFileName(), aContent))
        return;
    sys::createDirectories(theObject.metaDataFileName());
    sys::writeFileAtomically(theObject.metaDataFileName(), *aContent);
}

void objects::deleteMetaFile(const RepositoryObject& theObject) {
    if (workspace::isOpen())
        workspace::get()->metaFiles().drop(theObject.metaDataFileName());
    sys::deleteFile(theObject.metaDataFileName());
}

// ---- Packages ----

bool objects::isSubPackage(std::string_view thePackageName1, std::string_view thePackageName2) {
    const bool aDebug = isSet(params::debugPaths);
    if (aDebug) {
        console::sayLine("isSubPackage 1 (thePackageName1): " + std::string(thePackageName1));
        console::sayLine("isSubPackage 2 (thePackageName2): " + std::string(thePackageName2));
    }
    const bool aResult = thePackageName1.size() > thePackageName2.size() &&
                         thePackageName1.starts_with(thePackageName2) &&
                         thePackageName1[thePackageName2.size()] == '.';
    if (aDebug)
        console::sayLine(aResult ? "isSubPackage 3 (sub package): true"
                                 : "isSubPackage 4 (no sub package): false");
    return aResult;
}

// ---- Print-out ----

void objects::printObject(const RepositoryObject& theObject, std::ostream& theStream,
                          RecordDescription theFields) {
    auto aLine = [&theStream](std::string_view theLabel, std::string_view theValue) {
        std::string aLabel(theLabel);
        aLabel.resize(24, ' ');
        theStream << aLabel << ": " << theValue << '\n';
    };
    const auto& m = theObject.metaData();
    const auto& v = theObject.version();
    aLine("Object", theObject.fileName());
    aLine("Package", theObject.package());
    theStream << "Meta data:\n";
    static constexpr std::array<std::string_view, 4> theTypes{
        "", "1 (active version)", "2 (inactive version)", "3 (historical version)"};
    if (m.itsType < 1 || m.itsType > 3)
        invalidMetaDataType(std::to_string(m.itsType));
    aLine("Type", theTypes[m.itsType]);
    for (const RecordField& aField : theFields)
        if (!aField.itsLabel.empty() && carriesVersionType(aField, m.itsType))
            aLine(aField.itsLabel,
                  recordText<ObjectMetaData>(m, theMetaDataMembers, aField.itsKey));
    theStream << "Version:\n";
    switch (v.itsVersionType) {
    case 1:
        aLine("Type", "1 (active)");
        break;
    case 2:
        aLine("Type", "2 (inactive)");
        aLine("Workspace", shownWorkSpace(v.itsWorkSpace));
        aLine("Owner", v.itsOwner);
        break;
    case 3:
        aLine("Type", "3 (historical)");
        aLine("Version number", std::to_string(v.itsVersionNr));
        break;
    default:
        invalidVersionType(std::to_string(v.itsVersionType));
    }
}

} // namespace RepositoryAccess
