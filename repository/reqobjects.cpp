#include "repository/reqobjects.hpp"

#include <utility>

#include "repository/reqwriter.hpp"

namespace RepositoryAccess {

ActivateObjectsRequest::ActivateObjectsRequest(RepositorySession theSession,
                                               std::span<const RepositoryObject> theObjects,
                                               std::string theActivationMode,
                                               std::string theChangeId)
    : itsSession(std::move(theSession)), itsObjects(theObjects),
      itsActivationMode(std::move(theActivationMode)), itsChangeId(std::move(theChangeId)) {}

void ActivateObjectsRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "activate", "objects")
        .session("session", itsSession)
        .objectList("objList", itsObjects)
        .raw("activationMode", itsActivationMode)
        .memberIfSet("changeID", itsChangeId)
        .end();
}

DeleteObjectRequest::DeleteObjectRequest(RepositorySession theSession, RepositoryObject theObject)
    : itsSession(std::move(theSession)), itsObject(std::move(theObject)) {}

void DeleteObjectRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "delete", "object");
    aWriter.session("session", itsSession).object("object", itsObject);
    if (itsObject.metaData().itsType == 1)
        aWriter.metaData("metadata", itsObject.metaData());
    aWriter.end();
}

ExistsObjectRequest::ExistsObjectRequest(RepositorySession theSession, RepositoryObject theObject)
    : itsSession(std::move(theSession)), itsObject(std::move(theObject)) {}

void ExistsObjectRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "exists", "object")
        .session("session", itsSession)
        .object("object", itsObject)
        .end();
}

ObjectSearchRequest::ObjectSearchRequest(RepositorySession theSession, std::string thePackage,
                                         std::string theName, std::vector<std::string> theList,
                                         ObjectSearchList theListKind)
    : itsSession(std::move(theSession)), itsPackage(std::move(thePackage)),
      itsName(std::move(theName)), itsList(std::move(theList)), itsListKind(theListKind) {}

void ObjectSearchRequest::writeSearch(std::string& theText, std::string_view theAction,
                                      std::string_view theWhat) const {
    RequestWriter aWriter(theText, theAction, theWhat);
    aWriter.session("session", itsSession)
        .memberIfSet("package", itsPackage)
        .member("name", itsName);
    if (!itsList.empty())
        aWriter.stringList(itsListKind == ObjectSearchList::suffixes ? "suffixes" : "types",
                           itsList);
    aWriter.end();
}

FindObjectsRequest::FindObjectsRequest(RepositorySession theSession, std::string thePackage,
                                       std::string theName, std::vector<std::string> theList,
                                       ObjectSearchList theListKind)
    : ObjectSearchRequest(std::move(theSession), std::move(thePackage), std::move(theName),
                          std::move(theList), theListKind) {}

void FindObjectsRequest::writeBody(std::string& theText) const {
    writeSearch(theText, "find", "objects");
}

ListInactiveObjectsRequest::ListInactiveObjectsRequest(RepositorySession theSession,
                                                       std::string thePackage, std::string theName,
                                                       std::vector<std::string> theList,
                                                       ObjectSearchList theListKind)
    : ObjectSearchRequest(std::move(theSession), std::move(thePackage), std::move(theName),
                          std::move(theList), theListKind) {}

void ListInactiveObjectsRequest::writeBody(std::string& theText) const {
    writeSearch(theText, "list", "objects");
}

GetNumberOfLatestVersionRequest::GetNumberOfLatestVersionRequest(RepositorySession theSession,
                                                                 RepositoryObject theObject)
    : itsSession(std::move(theSession)), itsObject(std::move(theObject)) {}

void GetNumberOfLatestVersionRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "numberOfLatestVersion")
        .session("session", itsSession)
        .object("object", itsObject)
        .end();
}

ListHistoryRequest::ListHistoryRequest(RepositoryObject theObject)
    : itsObject(std::move(theObject)) {}

void ListHistoryRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "get", "history").object("object", itsObject).end();
}

PullInactiveObjectsRequest::PullInactiveObjectsRequest(RepositorySession theSession,
                                                       std::vector<RepositoryObject> theObjects,
                                                       std::string theUser,
                                                       std::string theWorkSpace)
    : itsSession(std::move(theSession)), itsObjects(std::move(theObjects)),
      itsUser(std::move(theUser)), itsWorkSpace(std::move(theWorkSpace)) {}

void PullInactiveObjectsRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "pull", "inactiveObjects")
        .session("session", itsSession)
        .objectList("objList", itsObjects)
        .member("user", itsUser)
        .member("workspace", sentWorkSpace(itsWorkSpace))
        .end();
}

ReadObjectMetadataRequest::ReadObjectMetadataRequest(RepositorySession theSession,
                                                     RepositoryObject theObject)
    : itsSession(std::move(theSession)), itsObject(std::move(theObject)) {}

void ReadObjectMetadataRequest::writeBody(std::string& theText) const {
    RequestWriter aWriter(theText, "read", "objectMetadata");
    aWriter.session("session", itsSession).object("object", itsObject);
    if (itsSession.itsType != 4)
        aWriter.version("version", itsObject.version());
    aWriter.end();
}

ReadObjectRequest::ReadObjectRequest(RepositorySession theSession, RepositoryObject theObject,
                                     bool theWinFormat)
    : itsSession(std::move(theSession)), itsObject(std::move(theObject)),
      itsWinFormat(theWinFormat) {}

void ReadObjectRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "read", "object")
        .session("session", itsSession)
        .object("object", itsObject)
        .version("version", itsObject.version())
        .flag("winformat", itsWinFormat)
        .end();
}

ReadObjectsRequest::ReadObjectsRequest(RepositorySession theSession,
                                       std::vector<RepositoryObject> theObjects, bool theWinFormat,
                                       std::string theMaxResponseSize)
    : itsSession(std::move(theSession)), itsObjects(std::move(theObjects)),
      itsWinFormat(theWinFormat), itsMaxResponseSize(std::move(theMaxResponseSize)) {}

void ReadObjectsRequest::writeBody(std::string& theText) const {
    // The member name carries its colon inside the quotes, as the repository reads it.
    RequestWriter(theText, "read", "objects")
        .session("session", itsSession)
        .objectEntryList("objects", itsObjects)
        .flag("winformat", itsWinFormat)
        .rawIfSet("max-response-size:", itsMaxResponseSize)
        .end();
}

RevertObjectsRequest::RevertObjectsRequest(RepositorySession theSession,
                                           std::vector<RepositoryObject> theObjects)
    : itsSession(std::move(theSession)), itsObjects(std::move(theObjects)) {}

void RevertObjectsRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "delete", "revertObjects")
        .session("session", itsSession)
        .objectList("objList", itsObjects)
        .end();
}

WriteObjectRequest::WriteObjectRequest(RepositorySession theSession, RepositoryObject theObject,
                                       SharedString theContent, bool theIsBinary)
    : itsSession(std::move(theSession)), itsObject(std::move(theObject)),
      itsContent(std::move(theContent)), itsIsBinary(theIsBinary) {}

void WriteObjectRequest::writeBody(std::string& theText) const {
    // The repository takes a write on top of a historical version as a write on the active one.
    ObjectMetaData aMetaData = itsObject.metaData();
    if (aMetaData.itsType == 3)
        aMetaData.itsType = 1;
    RequestWriter(theText, "write", "object")
        .session("session", itsSession)
        .object("object", itsObject)
        .metaData("metadata", aMetaData)
        .raw("determineReferences", "1")
        .emptyList("xrefList")
        .emptyList("texts")
        .emptyList("content_texts")
        .end();
}

std::vector<SharedString> WriteObjectRequest::getCDataAttachments() const {
    if (itsContent && !itsIsBinary)
        return {itsContent};
    return {};
}

std::vector<SharedString> WriteObjectRequest::getBDataAttachments() const {
    if (itsContent && itsIsBinary)
        return {itsContent};
    return {};
}

ListAllObjectTypesRequest::ListAllObjectTypesRequest(std::string theRestrict2DesignTimeOnly)
    : itsRestrict2DesignTimeOnly(std::move(theRestrict2DesignTimeOnly)) {}

void ListAllObjectTypesRequest::writeBody(std::string& theText) const {
    RequestWriter(theText, "list", "allObjectTypes")
        .member("restrict2DesignTimeOnly", itsRestrict2DesignTimeOnly)
        .end();
}

} // namespace RepositoryAccess
