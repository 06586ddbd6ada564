#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "repository/reporequest.hpp"
#include "repository/reposession.hpp"
#include "workspace/objects.hpp"

// The requests on repository objects: reading, writing, activating, reverting and finding them.
namespace RepositoryAccess {

// Activates the given inactive objects of the session's workspace with an activation mode,
// optionally assigning them to a change.
class ActivateObjectsRequest : public RepositoryWriteRequest {
public:
    // theObjects are the caller's and outlive the request: an activation of 100,000 objects
    // does not copy them.
    ActivateObjectsRequest(RepositorySession theSession,
                           std::span<const RepositoryObject> theObjects,
                           std::string theActivationMode, std::string theChangeId);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ActivateObjectsRequest"; }

private:
    RepositorySession itsSession;
    std::span<const RepositoryObject> itsObjects;
    std::string itsActivationMode;
    std::string itsChangeId;
};

// Deletes an object; the object's metadata travels along when it describes the active version.
class DeleteObjectRequest : public RepositoryWriteRequest {
public:
    DeleteObjectRequest(RepositorySession theSession, RepositoryObject theObject);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "DeleteObjectRequest"; }

private:
    RepositorySession itsSession;
    RepositoryObject itsObject;
};

// Asks whether an object exists in the session's view.
class ExistsObjectRequest : public RepositoryReadRequest {
public:
    ExistsObjectRequest(RepositorySession theSession, RepositoryObject theObject);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ExistsObjectRequest"; }

private:
    RepositorySession itsSession;
    RepositoryObject itsObject;
};

// What the filter list of an object search holds.
enum class ObjectSearchList { suffixes, types };

// The common body of the searches for objects by package and name, optionally restricted to a
// list of suffixes or object types (an empty list sends no restriction).
class ObjectSearchRequest : public RepositoryReadRequest {
protected:
    ObjectSearchRequest(RepositorySession theSession, std::string thePackage, std::string theName,
                        std::vector<std::string> theList, ObjectSearchList theListKind);
    void writeSearch(std::string& theText, std::string_view theAction,
                     std::string_view theWhat) const;

private:
    RepositorySession itsSession;
    std::string itsPackage;
    std::string itsName;
    std::vector<std::string> itsList;
    ObjectSearchList itsListKind;
};

// Finds objects by package (optional) and name pattern.
class FindObjectsRequest : public ObjectSearchRequest {
public:
    FindObjectsRequest(RepositorySession theSession, std::string thePackage, std::string theName,
                       std::vector<std::string> theList = {},
                       ObjectSearchList theListKind = ObjectSearchList::suffixes);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "FindObjectsRequest"; }
};

// Lists the inactive objects of the session's workspace by package (optional) and name.
class ListInactiveObjectsRequest : public ObjectSearchRequest {
public:
    ListInactiveObjectsRequest(RepositorySession theSession, std::string thePackage,
                               std::string theName, std::vector<std::string> theList = {},
                               ObjectSearchList theListKind = ObjectSearchList::suffixes);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListInactiveObjectsRequest"; }
};

// Asks for the number of an object's latest historical version.
class GetNumberOfLatestVersionRequest : public RepositoryReadRequest {
public:
    GetNumberOfLatestVersionRequest(RepositorySession theSession, RepositoryObject theObject);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "GetNumberOfLatestVersionRequest"; }

private:
    RepositorySession itsSession;
    RepositoryObject itsObject;
};

// Lists the activation history of an object.
class ListHistoryRequest : public RepositoryReadRequest {
public:
    explicit ListHistoryRequest(RepositoryObject theObject);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListHistoryRequest"; }

private:
    RepositoryObject itsObject;
};

// Moves the given inactive objects of another user's workspace into the session's workspace.
class PullInactiveObjectsRequest : public RepositoryWriteRequest {
public:
    PullInactiveObjectsRequest(RepositorySession theSession,
                               std::vector<RepositoryObject> theObjects, std::string theUser,
                               std::string theWorkSpace);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "PullInactiveObjectsRequest"; }

private:
    RepositorySession itsSession;
    std::vector<RepositoryObject> itsObjects;
    std::string itsUser;
    std::string itsWorkSpace;
};

// Reads the metadata of the object's version (its version record says which one); a historical
// session selects the version by its timestamp instead.
class ReadObjectMetadataRequest : public RepositoryReadRequest {
public:
    ReadObjectMetadataRequest(RepositorySession theSession, RepositoryObject theObject);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "readObjectMetadataRequest"; }

private:
    RepositorySession itsSession;
    RepositoryObject itsObject;
};

// Reads the content and metadata of the object's version; with theWinFormat the repository
// turns lone line feeds into CRLF.
class ReadObjectRequest : public RepositoryReadRequest {
public:
    ReadObjectRequest(RepositorySession theSession, RepositoryObject theObject, bool theWinFormat);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ReadObjectRequest"; }

private:
    RepositorySession itsSession;
    RepositoryObject itsObject;
    bool itsWinFormat;
};

// Reads many objects in one call; the answer may be limited to theMaxResponseSize (not sent
// when empty).
class ReadObjectsRequest : public RepositoryReadRequest {
public:
    ReadObjectsRequest(RepositorySession theSession, std::vector<RepositoryObject> theObjects,
                       bool theWinFormat, std::string theMaxResponseSize = {});
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ReadObjectsRequest"; }

private:
    RepositorySession itsSession;
    std::vector<RepositoryObject> itsObjects;
    bool itsWinFormat;
    std::string itsMaxResponseSize;
};

// Drops the inactive versions of the given objects from the session's workspace.
class RevertObjectsRequest : public RepositoryWriteRequest {
public:
    RevertObjectsRequest(RepositorySession theSession, std::vector<RepositoryObject> theObjects);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "RevertObjectsRequest"; }

private:
    RepositorySession itsSession;
    std::vector<RepositoryObject> itsObjects;
};

// Writes an object as an inactive version, with its metadata (a historical record is sent as an
// active one). The content travels as a CDATA attachment, or as BDATA with theIsBinary; a null
// content sends no attachment.
class WriteObjectRequest : public RepositoryWriteRequest {
public:
    WriteObjectRequest(RepositorySession theSession, RepositoryObject theObject,
                       SharedString theContent, bool theIsBinary = false);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "WriteObjectRequest"; }
    std::vector<SharedString> getCDataAttachments() const override;
    std::vector<SharedString> getBDataAttachments() const override;

private:
    RepositorySession itsSession;
    RepositoryObject itsObject;
    SharedString itsContent;
    bool itsIsBinary;
};

// Lists the object types the repository knows; theRestrict2DesignTimeOnly is the flag text the
// action passes.
class ListAllObjectTypesRequest : public RepositoryReadRequest {
public:
    explicit ListAllObjectTypesRequest(std::string theRestrict2DesignTimeOnly);
    void writeBody(std::string& theText) const override;
    std::string getName() const override { return "ListAllObjectTypesRequest"; }

private:
    std::string itsRestrict2DesignTimeOnly;
};

} // namespace RepositoryAccess
