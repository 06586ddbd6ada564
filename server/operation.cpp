#include "server/operation.hpp"
#include "core/objectnames.hpp"
#include "core/textcase.hpp"

#include "server/enginetext.hpp"

#include <charconv>

namespace RepositoryAccess::server {

namespace {
EngineError invalid(std::string theMessage) {
    return {code::kInvalidRequest, std::move(theMessage), {}};
}
} // namespace

std::string member(const json::JsonObject& theObject, std::string_view theName) {
    return json::getString(theObject, theName);
}

std::string optionalMember(const json::JsonObject& theObject, std::string_view theName) {
    return json::hasMember(theObject, theName) ? json::getString(theObject, theName)
                                               : std::string();
}

bool flagMember(const json::JsonObject& theObject, std::string_view theName) {
    return optionalMember(theObject, theName) == "1";
}

std::int64_t numberText(std::string_view theText, std::string_view theWhat) {
    std::int64_t aValue = 0;
    auto [anEnd, anError] =
        std::from_chars(theText.data(), theText.data() + theText.size(), aValue);
    if (theText.empty() || anError != std::errc() || anEnd != theText.data() + theText.size())
        throw invalid("Invalid number in \"" + std::string(theWhat) + "\": \"" +
                      std::string(theText) + "\"");
    return aValue;
}

Session readSession(const json::JsonObject& theBody) {
    const json::JsonObject& aJson = json::getObject(theBody, "session");
    Session aSession;
    std::string aType = member(aJson, "sessionType");
    if (aType == "1") {
        aSession.itsType = 1;
    } else if (aType == "2") {
        aSession.itsType = 2;
        aSession.itsOwner = textcase::upper(member(aJson, "owner"));
        aSession.itsWorkspace = member(aJson, "workspace");
    } else if (aType == "4") {
        aSession.itsType = 4;
        auto aTimestamp = text::normaliseTimestamp(member(aJson, "timestamp"));
        if (!aTimestamp)
            throw invalid("Invalid session timestamp \"" + member(aJson, "timestamp") +
                          "\" (expected YYYY-MM-DD HH:MM:SS.mmm)");
        aSession.itsTimestamp = *aTimestamp;
    } else {
        throw invalid("Invalid session type \"" + aType + "\" (expected 1, 2 or 4)");
    }
    return aSession;
}

ObjectKey readObjectKey(const json::JsonObject& theObject) {
    return {member(theObject, "package"), member(theObject, "name"), member(theObject, "suffix")};
}

std::vector<ObjectKey> readObjectKeyList(const json::JsonObject& theBody,
                                         std::string_view theName) {
    std::vector<ObjectKey> aList;
    for (const json::JsonValue& aValue : json::getList(theBody, theName))
        aList.push_back(readObjectKey(json::asObject(aValue)));
    return aList;
}

VersionRef readVersion(const json::JsonObject& theObject) {
    VersionRef aVersion;
    std::string aType = member(theObject, "versionType");
    if (aType == "1") {
        aVersion.itsType = 1;
    } else if (aType == "2") {
        aVersion.itsType = 2;
        aVersion.itsOwner = textcase::upper(member(theObject, "owner"));
        aVersion.itsWorkspace = member(theObject, "workspace");
    } else if (aType == "3") {
        aVersion.itsType = 3;
        aVersion.itsNumber = numberText(member(theObject, "versionNr"), "versionNr");
    } else {
        throw invalid("Invalid version type \"" + aType + "\" (expected 1, 2 or 3)");
    }
    return aVersion;
}

MetadataRef readMetadata(const json::JsonObject& theBody) {
    MetadataRef aMetadata;
    const json::JsonValue* aValue = theBody.find("metadata");
    if (aValue == nullptr || aValue->t != json::JT_OBJECT)
        return aMetadata;
    const json::JsonObject& aJson = *aValue->u.objectValue;
    std::string aType = optionalMember(aJson, "type");
    if (aType.empty() || aType == "0")
        return aMetadata;
    aMetadata.itsType = static_cast<int>(numberText(aType, "metadata type"));
    if (aMetadata.itsType < 1 || aMetadata.itsType > 3)
        throw invalid("Invalid metadata type \"" + aType + "\" (expected 1, 2 or 3)");
    aMetadata.itsVersionId = numberText(member(aJson, "version_id"), "version_id");
    return aMetadata;
}

void requireOwnWorkspace(const Operation& theOperation, const Session& theSession) {
    if (theSession.itsType != 2)
        throw invalid("This request needs an inactive session (sessionType \"2\")");
    if (theSession.itsOwner != theOperation.itsUser)
        throw EngineError{code::kNotAuthorized, "Not authorized",
                          "User " + theOperation.itsUser + " may not change the workspace \"" +
                              theSession.itsWorkspace + "\" of user " + theSession.itsOwner};
}

bool isBinarySuffix(RepositoryStore& theStore, const std::string& theSuffix) {
    if (theSuffix.empty())
        return false;
    auto aType = theStore.findObjectType(theSuffix);
    return aType && aType->itsUseBData == "1";
}

std::string packageNameProblem(const std::string& theName) {
    if (theName.empty())
        return "Invalid package name \"\": a package needs a name.";
    return objectnames::packageDirectory(theName).itsProblem;
}

std::string objectNameProblem(const ObjectKey& theKey) {
    std::string aProblem = packageNameProblem(theKey.itsPackage);
    if (aProblem.empty())
        aProblem = objectnames::objectProblem(describe(theKey), theKey.itsName, theKey.itsSuffix);
    return aProblem;
}

std::string describe(const ObjectKey& theKey) {
    return theKey.itsPackage + "/" + theKey.itsName +
           (theKey.itsSuffix.empty() ? "" : "." + theKey.itsSuffix);
}

std::int64_t createNewObject(RepositoryStore& theStore, const ObjectKey& theKey,
                             const InactiveRecord& theVersion, std::string_view theContent) {
    if (const auto anObject = theStore.createObject(theKey, theVersion, theContent))
        return *anObject;
    throw StorageError("Repository storage failed: object " + describe(theKey) + " exists already");
}

} // namespace RepositoryAccess::server
