#pragma once

#include "core/recordfields.hpp"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace RepositoryAccess {

namespace json {
class JsonObject;
struct JsonValue;
} // namespace json

// The repository metadata of one object version. Type 1 is active, 2 inactive, 3 historical;
// 0 means that no metadata is known.
struct ObjectMetaData {
    std::int32_t itsVersionId = 0;
    int itsType = 0;
    std::string itsActivatedAt;
    std::string itsActivatedBy;
    bool itsIsDeletion = false;
    std::string itsObjectStatus;
    std::string itsChangeNumber;
    std::string itsReleasedAt;
    std::string itsLastChangedAt;
    // The attributes of the metadata's description that the client's code does not name.
    OtherAttributes itsOtherAttributes;
};

// Which version of an object is meant: 1 the active one, 2 the inactive one of an owner's
// repository workspace ("__empty__" stands for the default workspace), 3 a numbered historical
// one; 0 when unknown.
struct ObjectVersion {
    int itsVersionType = 0;
    std::string itsOwner;
    std::string itsWorkSpace;
    std::int32_t itsVersionNr = 0;
};

// One repository object an action works on: package, name and suffix, its version and metadata,
// and the paths derived from them (workspace file, metadata copy, diff and base copies).
class RepositoryObject {
public:
    // Builds the object and its paths in the open workspace (relative paths without one). Fails
    // with the message of objects::nameProblem for names that cannot be a workspace file,
    // whatever their origin.
    RepositoryObject(std::string thePackage, std::string theName, std::string theSuffix);

    const std::string& package() const { return itsPackage; }
    const std::string& name() const { return itsName; }
    const std::string& suffix() const { return itsSuffix; }
    // package + "." + name + "." + suffix: the map key and the name in messages.
    const std::string& key() const { return itsKey; }
    // name, plus "." + suffix when the suffix is not empty.
    std::string fileName() const;

    const ObjectVersion& version() const { return itsVersion; }
    const ObjectMetaData& metaData() const { return itsMetaData; }
    void setVersion(ObjectVersion theVersion) { itsVersion = std::move(theVersion); }
    void setMetaData(ObjectMetaData theMetaData) { itsMetaData = std::move(theMetaData); }
    // The repository's error member for this object, as JSON text; empty when there is none.
    const std::string& error() const { return itsError; }
    void setError(std::string theError) { itsError = std::move(theError); }

    const std::string& workSpaceFileName() const { return itsWorkSpaceFileName; }
    const std::string& metaDataFileName() const { return itsMetaDataFileName; }
    // The conflict copies: the metadata path with `diff` or `base` in place of `SYS`, built when
    // asked for, since few objects of a large list ever need them.
    std::string diffFileName() const { return conflictCopyName("diff"); }
    std::string baseFileName() const { return conflictCopyName("base"); }

    // {"package":"...","name":"...","suffix":"..."} for requests.
    std::string toJson() const;

private:
    std::string itsPackage;
    std::string itsName;
    std::string itsSuffix;
    std::string itsKey;
    ObjectVersion itsVersion;
    ObjectMetaData itsMetaData;
    std::string itsError;
    std::string itsWorkSpaceFileName;
    std::string itsMetaDataFileName;
    // Where the `SYS` directory's name starts in itsMetaDataFileName.
    std::size_t itsMetaDirOffset = 0;

    std::string conflictCopyName(std::string_view theDirName) const;
};

// Objects from workspace files and repository descriptions, their metadata files, the package
// hierarchy test and the console print-out.
namespace objects {

// Splits a workspace file name into name and suffix (after the last dot; empty without a
// usable one). Fails with "File: \"<package directories>/<file name>\" does not represent a
// valid repository object." for names with , ^ / : ? < > |.
std::pair<std::string, std::string> splitFileName(std::string_view thePackageDirectories,
                                                  std::string_view theFileName);

// Why an object of these names cannot be a file of a workspace (the object's names, then its
// package, by the rules of core/objectnames): the message, or empty when it can be one.
std::string nameProblem(const std::string& thePackage, std::string_view theName,
                        std::string_view theSuffix);

// The object that a workspace file (absolute path) stands for, by name only: no metadata. Throws
// the message of the name check for a file that cannot stand for a repository object.
RepositoryObject nameOfWorkSpaceFile(std::string_view theFileName);
// The object of a workspace file (absolute path), with the metadata and version of its
// `.kivoMeta` file when that exists.
RepositoryObject fromWorkSpaceFile(std::string_view theFileName);
// The object with the metadata and version of its `.kivoMeta` file (a write that waits for the
// run's end first); unchanged when there is no such file.
RepositoryObject withMetaFile(RepositoryObject theObject);

// The object of one element of a repository response: either {"object":{...}, "metadata":...,
// "error":...} or the description itself with "package", "name", "suffix" and optional
// "version" and "metadata".
RepositoryObject fromJson(const json::JsonObject& theElement);

// The object named by a command-line object argument (a workspace file path).
RepositoryObject object_name_to_object_id(std::string_view theArgument);

// The JSON forms of metadata (the attributes of the description that its type carries) and
// version; fail with "Invalid meta data type (...)" and "Invalid version type (...)" for a type
// other than 1, 2 or 3.
std::string metaDataToJson(const ObjectMetaData& theMetaData,
                           RecordDescription theFields = objectMetaDataFields());
std::string versionToJson(const ObjectVersion& theVersion);

// Reading the JSON forms; the same messages for an unknown type.
ObjectMetaData metaDataFromJson(const json::JsonObject& theObject,
                                RecordDescription theFields = objectMetaDataFields());
ObjectVersion versionFromJson(const json::JsonObject& theObject);

// The `.kivoMeta` content of the object: {"metadata":..., "version":...}, no line end.
std::shared_ptr<const std::string> metaFileContent(const RepositoryObject& theObject);

// Reads a `.kivoMeta` file; fails with "Failed to parse meta data file: <path>". The version
// stays default when the file has none.
std::pair<ObjectMetaData, ObjectVersion> readMetaFile(std::string_view thePath);
// The same for the text of one, read from thePath.
std::pair<ObjectMetaData, ObjectVersion> parseMetaFile(std::string_view theText,
                                                       std::string_view thePath);

// The text of a `.kivoMeta` file: the write that waits for the run's end, else the file's
// content, else null when there is no such file.
std::shared_ptr<const std::string> metaFileText(std::string_view thePath);

// Writes the object's `.kivoMeta` file (directories created as needed, file replaced at once),
// or lets the write wait for the run's end when the run's journal covers the object.
void writeMetaFile(const RepositoryObject& theObject);

// Deletes the object's `.kivoMeta` file and any write of it that waits.
void deleteMetaFile(const RepositoryObject& theObject);

// True when the first package lies below the second: longer, and starting with it and a dot.
bool isSubPackage(std::string_view thePackageName1, std::string_view thePackageName2);

// The object's description: name, package, metadata and version, one labelled line each.
void printObject(const RepositoryObject& theObject, std::ostream& theStream,
                 RecordDescription theFields = objectMetaDataFields());

} // namespace objects

} // namespace RepositoryAccess
