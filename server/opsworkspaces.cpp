// Inactive workspaces and the repository's own facts (schema version, vendor, export versions,
// object types, change-tracking status).
#include "core/textcase.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"

namespace RepositoryAccess::server::ops {

void listInactiveWorkspaces(Operation& theOperation) {
    readSession(theOperation.itsBody);
    std::string aUser = optionalMember(theOperation.itsBody, "user");
    if (aUser.empty())
        aUser = theOperation.itsUser;
    else if (aUser == "*")
        aUser.clear();
    else
        aUser = textcase::upper(aUser);
    std::vector<std::string> aList;
    for (const auto& [anOwner, aWorkspace] : theOperation.itsStore.workspaces(aUser))
        aList.push_back(jsonObject({{"user", quoted(anOwner)}, {"workspace", quoted(aWorkspace)}}));
    theOperation.itsAnswer.setRaw("workspaces", jsonList(aList));
}

void deleteInactiveWorkspace(Operation& theOperation) {
    readSession(theOperation.itsBody);
    std::string anOwner = textcase::upper(member(theOperation.itsBody, "user"));
    std::string aWorkspace = member(theOperation.itsBody, "workspace");
    if (anOwner != theOperation.itsUser)
        throw EngineError{code::kNotAuthorized, "Not authorized",
                          "User " + theOperation.itsUser + " may not delete the workspace \"" +
                              aWorkspace + "\" of user " + anOwner};
    RepositoryStore& aStore = theOperation.itsStore;
    std::vector<InactiveObject> anObjects = aStore.inactiveInWorkspace(anOwner, aWorkspace);
    aStore.dropWorkspace(anOwner, aWorkspace);
    // Objects that only existed in that workspace go with it.
    for (const InactiveObject& anObject : anObjects)
        if (aStore.latest(anObject.itsId) == 0 && aStore.countInactive(anObject.itsId) == 0)
            aStore.deleteObject(anObject.itsId);
}

void dbSchemaVersion(Operation& theOperation) {
    theOperation.itsAnswer.setString(
        "version", theOperation.itsStore.getSetting("schema_version").value_or("0"));
}

void contentVendor(Operation& theOperation) {
    theOperation.itsAnswer.setString("contentVendor",
                                     theOperation.itsStore.getSetting("vendor").value_or(""));
}

void supportedExportVersions(Operation& theOperation) {
    RepositoryStore& aStore = theOperation.itsStore;
    theOperation.itsAnswer.setString("minRequiredVersion",
                                     aStore.getSetting("export_version_min").value_or("n/a"));
    theOperation.itsAnswer.setString("maxVersion",
                                     aStore.getSetting("export_version_max").value_or("n/a"));
}

void listAllObjectTypes(Operation& theOperation) {
    std::vector<std::string> aList;
    for (const ObjectTypeRecord& aType : theOperation.itsStore.listObjectTypes())
        aList.push_back(jsonObject({{"objectType", quoted(aType.itsObjectType)},
                                    {"description", quoted(aType.itsDescription)},
                                    {"fileExtension", quoted(aType.itsFileExtension)},
                                    {"mimeType", quoted(aType.itsMimeType)},
                                    {"isFileType", quoted(aType.itsIsFileType)},
                                    {"useCData", quoted(aType.itsUseCData)},
                                    {"useBData", quoted(aType.itsUseBData)}}));
    theOperation.itsAnswer.setRaw("objectTypes", jsonList(aList));
}

void changeTrackingStatus(Operation& theOperation) {
    bool anOn = theOperation.itsStore.getSetting("change_tracking").value_or("off") == "on";
    theOperation.itsAnswer.setString("status", anOn ? "enabled" : "disabled");
}

} // namespace RepositoryAccess::server::ops
