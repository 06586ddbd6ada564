// Operations that change inactive versions: write, delete, revert and pull.
#include "core/textcase.hpp"
#include "server/enginetext.hpp"
#include "server/operation.hpp"

namespace RepositoryAccess::server::ops {

namespace {

EngineError notFound(const ObjectKey& theKey, const std::string& theWhat) {
    return {code::kNotFound, theWhat, describe(theKey)};
}

// Refuses object names that could not be a file of a workspace.
void checkObjectName(const ObjectKey& theKey) {
    if (const std::string aProblem = objectNameProblem(theKey); !aProblem.empty())
        throw EngineError{code::kInvalidRequest, aProblem, describe(theKey)};
}

// The content a write request carries in attachment slot 0: its CDATA, else its BDATA.
// The content a write carries, where the request frame holds it; a properties text is converted
// into theConverted first.
std::string_view requestContent(const Operation& theOperation, const ObjectKey& theKey,
                                std::string& theConverted) {
    const auto& aCData = theOperation.itsMessage.itsCData;
    if (!aCData.empty() && !aCData[0].empty()) {
        if (theKey.itsSuffix != "properties")
            return aCData[0];
        theConverted = text::latin1ToUtf8(aCData[0]);
        return theConverted;
    }
    for (std::string_view aData : theOperation.itsMessage.itsBData)
        if (!aData.empty())
            return aData;
    return {};
}

bool hasActiveVersion(RepositoryStore& theStore, std::int64_t theObject, std::int64_t theLatest) {
    if (theLatest == 0)
        return false;
    auto anEntry = theStore.historyEntry(theObject, theLatest, false);
    return anEntry && !anEntry->itsIsDeletion;
}

// Puts theVersion as the object's inactive version, creating the object when it is new. A writer
// that saw no version of the object (theLikelyNew) most likely creates it: the insert comes first
// and the lookup only when the object exists after all, so that a push of new files asks the
// database one question less per file. A writer whose workspace holds a version of the object
// already (a rewrite) replaces it in one question; only a writer that holds none has the object
// looked up, as many questions as before.
void storeVersion(RepositoryStore& theStore, const ObjectKey& theKey, bool theLikelyNew,
                  const InactiveRecord& theVersion, std::string_view theContent) {
    if (theLikelyNew && theStore.createObject(theKey, theVersion, theContent))
        return;
    if (theStore.replaceInactive(theKey, theVersion, theContent))
        return;
    if (const auto anObject = theStore.findObject(theKey))
        theStore.addInactive(*anObject, theVersion, theContent);
    else
        createNewObject(theStore, theKey, theVersion, theContent);
}

} // namespace

void writeObject(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    checkObjectName(aKey);
    MetadataRef aMetadata = readMetadata(theOperation.itsBody);
    RepositoryStore& aStore = theOperation.itsStore;
    if (!aStore.packageExists(aKey.itsPackage))
        throw EngineError{code::kPackageMissing, "Package does not exist", aKey.itsPackage};

    // The new version is based on the version the writer saw; an inactive one is itself based
    // on its version id - 1.
    std::int64_t aBase = 0;
    if (aMetadata.itsType == 1 || aMetadata.itsType == 3)
        aBase = aMetadata.itsVersionId;
    else if (aMetadata.itsType == 2)
        aBase = aMetadata.itsVersionId - 1;
    if (aBase < 0)
        throw EngineError{code::kInvalidRequest, "Invalid version_id in metadata", describe(aKey)};

    InactiveRecord aVersion;
    aVersion.itsOwner = aSession.itsOwner;
    aVersion.itsWorkspace = aSession.itsWorkspace;
    aVersion.itsVersionId = aBase + 1;
    aVersion.itsLastChangedAt = text::nowTimestamp();
    std::string aConverted;
    const std::string_view aContent = requestContent(theOperation, aKey, aConverted);
    storeVersion(aStore, aKey, aMetadata.itsType == 0, aVersion, aContent);
    theOperation.itsAnswer.setRaw("metadata", inactiveMetadataJson(aVersion));
}

void deleteObject(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    MetadataRef aMetadata = readMetadata(theOperation.itsBody);
    RepositoryStore& aStore = theOperation.itsStore;
    auto anObject = aStore.findObject(aKey);
    if (!anObject)
        throw notFound(aKey, "Object does not exist");
    std::int64_t aLatest = aStore.latest(*anObject);
    auto anInactive = aStore.inactive(*anObject, aSession.itsOwner, aSession.itsWorkspace, false);

    if (hasActiveVersion(aStore, *anObject, aLatest)) {
        std::int64_t aBase = aLatest;
        if (aMetadata.itsType == 1)
            aBase = aMetadata.itsVersionId;
        else if (anInactive)
            aBase = anInactive->itsVersionId - 1;
        InactiveRecord aDeletion;
        aDeletion.itsOwner = aSession.itsOwner;
        aDeletion.itsWorkspace = aSession.itsWorkspace;
        aDeletion.itsVersionId = aBase + 1;
        aDeletion.itsIsDeletion = true;
        aDeletion.itsLastChangedAt = text::nowTimestamp();
        aStore.putInactive(*anObject, aDeletion);
        theOperation.itsAnswer.setString("isReverted", "0");
    } else if (anInactive) {
        aStore.dropInactive(*anObject, aSession.itsOwner, aSession.itsWorkspace);
        if (aLatest == 0 && aStore.countInactive(*anObject) == 0)
            aStore.deleteObject(*anObject);
        theOperation.itsAnswer.setString("isReverted", "1");
    } else {
        throw notFound(aKey, "Object has neither an active nor an inactive version");
    }
}

void revertObjects(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    RepositoryStore& aStore = theOperation.itsStore;
    for (const ObjectKey& aKey : readObjectKeyList(theOperation.itsBody, "objList")) {
        auto anObject = aStore.findObject(aKey);
        if (!anObject)
            continue;
        aStore.dropInactive(*anObject, aSession.itsOwner, aSession.itsWorkspace);
        if (aStore.latest(*anObject) == 0 && aStore.countInactive(*anObject) == 0)
            aStore.deleteObject(*anObject);
    }
}

void pullInactiveObjects(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    requireOwnWorkspace(theOperation, aSession);
    std::string aSourceOwner = textcase::upper(member(theOperation.itsBody, "user"));
    std::string aSourceWorkspace = member(theOperation.itsBody, "workspace");
    RepositoryStore& aStore = theOperation.itsStore;
    for (const ObjectKey& aKey : readObjectKeyList(theOperation.itsBody, "objList")) {
        auto anObject = aStore.findObject(aKey);
        auto aSource = anObject ? aStore.inactive(*anObject, aSourceOwner, aSourceWorkspace, true)
                                : std::nullopt;
        if (!aSource)
            throw notFound(aKey, "No inactive version in the workspace \"" + aSourceWorkspace +
                                     "\" of user " + aSourceOwner);
        if (aStore.inactive(*anObject, aSession.itsOwner, aSession.itsWorkspace, false))
            throw EngineError{code::kInactiveExists,
                              "Inactive version exists already in the target workspace",
                              describe(aKey)};
        aStore.dropInactive(*anObject, aSourceOwner, aSourceWorkspace);
        aSource->itsOwner = aSession.itsOwner;
        aSource->itsWorkspace = aSession.itsWorkspace;
        aSource->itsLastChangedAt = text::nowTimestamp();
        aStore.putInactive(*anObject, *aSource);
    }
}

} // namespace RepositoryAccess::server::ops
