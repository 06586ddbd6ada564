// Read operations on objects: single and bulk reads, metadata, searches, history.
#include "server/enginetext.hpp"
#include "server/operation.hpp"

namespace RepositoryAccess::server::ops {

namespace {

// One version of an object as a read answers it.
struct ResolvedVersion {
    ObjectKey itsKey;
    std::string itsMetadata, itsVersion, itsContent;
    bool itsIsDeletion = false;
};

EngineError notFound(const ObjectKey& theKey, const std::string& theWhat) {
    return {code::kNotFound, theWhat, describe(theKey)};
}

// The active version of theKey from its newest history entry, which theNewest holds unless
// the object does not exist. Not found when the object was never activated or that entry is a
// deletion.
ResolvedVersion activeVersion(const ObjectKey& theKey, std::optional<NewestEntry> theNewest) {
    if (!theNewest)
        throw notFound(theKey, "Object does not exist");
    if (!theNewest->itsEntry || theNewest->itsEntry->itsIsDeletion)
        throw notFound(theKey, "Object has no active version");
    ResolvedVersion aResult;
    aResult.itsKey = theKey;
    aResult.itsMetadata = historyMetadataJson(*theNewest->itsEntry, false);
    aResult.itsVersion = activeVersionJson();
    aResult.itsContent = std::move(theNewest->itsEntry->itsContent);
    return aResult;
}

// The active version: the most frequent read, answered with one question.
ResolvedVersion resolveActive(RepositoryStore& theStore, const ObjectKey& theKey,
                              bool theWithContent) {
    return activeVersion(theKey, theStore.newestEntry(theKey, theWithContent));
}

// Whether a read in theSession without a version of its own names the active versions, as
// resolve decides it.
bool readsActive(const Session& theSession) {
    return theSession.itsType != 4 && theSession.itsType != 2;
}

// Finds the version a read names: a history number (version type 3), else the newest entry at
// the historical session's time, else the inactive version of owner and workspace (type 2),
// else the active version.
ResolvedVersion resolve(RepositoryStore& theStore, const Session& theSession,
                        const ObjectKey& theKey, const std::optional<VersionRef>& theVersion,
                        bool theWithContent) {
    const bool aNumbered = theVersion && theVersion->itsType == 3;
    const bool aWorkspaceVersion = theVersion ? theVersion->itsType == 2 : theSession.itsType == 2;
    if (!aNumbered && theSession.itsType != 4 && !aWorkspaceVersion)
        return resolveActive(theStore, theKey, theWithContent);
    ResolvedVersion aResult;
    aResult.itsKey = theKey;
    auto anObject = theStore.findObject(theKey);
    if (!anObject)
        throw notFound(theKey, "Object does not exist");
    std::optional<HistoryRecord> anEntry;
    if (aNumbered) {
        anEntry = theStore.historyEntry(*anObject, theVersion->itsNumber, theWithContent);
        if (!anEntry)
            throw notFound(theKey,
                           "Version " + std::to_string(theVersion->itsNumber) + " does not exist");
    } else if (theSession.itsType == 4) {
        anEntry = theStore.historyAt(*anObject, theSession.itsTimestamp, theWithContent);
        if (!anEntry)
            throw EngineError{code::kNoVersionAtTime,
                              "No version at or before " + theSession.itsTimestamp,
                              describe(theKey)};
    } else {
        const std::string& anOwner = theVersion ? theVersion->itsOwner : theSession.itsOwner;
        const std::string& aWorkspace =
            theVersion ? theVersion->itsWorkspace : theSession.itsWorkspace;
        auto anInactive = theStore.inactive(*anObject, anOwner, aWorkspace, theWithContent);
        if (!anInactive)
            throw notFound(theKey, "No inactive version in the workspace \"" + aWorkspace +
                                       "\" of user " + anOwner);
        aResult.itsMetadata = inactiveMetadataJson(*anInactive);
        aResult.itsVersion = inactiveVersionJson(anOwner, aWorkspace);
        aResult.itsContent = std::move(anInactive->itsContent);
        aResult.itsIsDeletion = anInactive->itsIsDeletion;
        return aResult;
    }
    aResult.itsMetadata = historyMetadataJson(*anEntry, true);
    aResult.itsVersion = historicalVersionJson(anEntry->itsNumber);
    aResult.itsContent = std::move(anEntry->itsContent);
    aResult.itsIsDeletion = anEntry->itsIsDeletion;
    return aResult;
}

std::optional<VersionRef> optionalVersion(const json::JsonObject& theObject) {
    if (!json::hasMember(theObject, "version"))
        return std::nullopt;
    return readVersion(json::getObject(theObject, "version"));
}

// Puts the content into one attachment slot: text as CDATA (with CR LF line ends when asked
// for), binary as BDATA.
void addContent(Operation& theOperation, const ResolvedVersion& theVersion, bool theWinFormat) {
    if (isBinarySuffix(theOperation.itsStore, theVersion.itsKey.itsSuffix))
        theOperation.itsAnswer.addSlot({}, theVersion.itsContent);
    else if (theWinFormat)
        theOperation.itsAnswer.addSlot(text::toWindowsLineEnds(theVersion.itsContent), {});
    else
        theOperation.itsAnswer.addSlot(theVersion.itsContent, {});
}

ResolvedVersion readContent(RepositoryStore& theStore, const Session& theSession,
                            const ObjectKey& theKey, const std::optional<VersionRef>& theVersion) {
    ResolvedVersion aVersion = resolve(theStore, theSession, theKey, theVersion, true);
    if (aVersion.itsIsDeletion)
        throw notFound(theKey, "The version is a deletion and has no content");
    return aVersion;
}

// Whether an object passes the package, name and suffix filters of a search.
struct ObjectFilter {
    std::string itsPackage, itsName;
    std::vector<std::string> itsSuffixes;

    explicit ObjectFilter(const json::JsonObject& theBody)
        : itsPackage(optionalMember(theBody, "package")), itsName(optionalMember(theBody, "name")) {
        for (const char* aList : {"suffixes", "types"})
            if (json::hasMember(theBody, aList))
                for (const json::JsonValue& aValue : json::getList(theBody, aList))
                    itsSuffixes.push_back(json::asString(aValue));
    }

    // A package pattern without a star names one package; before its first star, it names a
    // prefix. The store searches its package index for either.
    std::string_view packagePrefix() const {
        return std::string_view(itsPackage).substr(0, itsPackage.find('*'));
    }
    bool wholePackage() const {
        return !itsPackage.empty() && itsPackage.find('*') == std::string::npos;
    }

    bool matches(const ObjectKey& theKey) const {
        if (!itsPackage.empty() && !text::globMatch(itsPackage, theKey.itsPackage))
            return false;
        if (!itsName.empty() && !text::globMatch(itsName, theKey.itsName))
            return false;
        if (itsSuffixes.empty())
            return true;
        for (const std::string& aSuffix : itsSuffixes)
            if (aSuffix == theKey.itsSuffix)
                return true;
        return false;
    }
};

} // namespace

void readObject(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    ResolvedVersion aVersion =
        readContent(theOperation.itsStore, aSession, aKey, optionalVersion(theOperation.itsBody));
    theOperation.itsAnswer.setRaw("metadata", aVersion.itsMetadata);
    theOperation.itsAnswer.setRaw("version", aVersion.itsVersion);
    addContent(theOperation, aVersion, optionalMember(theOperation.itsBody, "winformat") == "1");
}

void readObjectMetadata(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    ResolvedVersion aVersion = resolve(theOperation.itsStore, aSession, aKey,
                                       optionalVersion(theOperation.itsBody), false);
    theOperation.itsAnswer.setRaw("metadata", aVersion.itsMetadata);
    theOperation.itsAnswer.setRaw("version", aVersion.itsVersion);
}

// The active versions of a bulk read are found together, a few dozen at a time (so that the
// contents in hand stay few); the versions of a workspace or a time one by one.
void readObjects(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    bool aWinFormat = optionalMember(theOperation.itsBody, "winformat") == "1";
    std::vector<ObjectKey> aKeys;
    for (const json::JsonValue& anElement : json::getList(theOperation.itsBody, "objects"))
        aKeys.push_back(readObjectKey(json::getObject(json::asObject(anElement), "object")));
    std::vector<std::string> aSuccessful, anErrors;
    const std::span<const ObjectKey> anAll(aKeys);
    for (std::size_t aBegin = 0; aBegin < aKeys.size();
         aBegin += RepositoryStore::kNewestTogether) {
        const auto aChunk = anAll.subspan(
            aBegin, std::min(RepositoryStore::kNewestTogether, aKeys.size() - aBegin));
        std::vector<std::optional<NewestEntry>> aNewest;
        if (readsActive(aSession))
            aNewest = theOperation.itsStore.newestEntries(aChunk, true);
        for (std::size_t i = 0; i < aChunk.size(); ++i) {
            const ObjectKey& aKey = aChunk[i];
            try {
                const ResolvedVersion aVersion =
                    aNewest.empty()
                        ? readContent(theOperation.itsStore, aSession, aKey, std::nullopt)
                        : activeVersion(aKey, std::move(aNewest[i]));
                aSuccessful.push_back(listElement(aKey, aVersion.itsVersion, aVersion.itsMetadata));
                addContent(theOperation, aVersion, aWinFormat);
            } catch (const EngineError& anError) {
                // Each object that cannot be read is reported on its own; the others are
                // answered.
                anErrors.push_back(jsonObject(
                    {{"object", objectJson(aKey)},
                     {"error", jsonObject({{"error-code", quoted(anError.itsCode)},
                                           {"error-msg", quoted(anError.itsMessage)},
                                           {"error-arg", quoted(anError.itsArgument)}})}}));
            }
        }
    }
    theOperation.itsAnswer.setRaw("successfulObjects", jsonList(aSuccessful));
    theOperation.itsAnswer.setRaw("errorObjects", jsonList(anErrors));
    if (!anErrors.empty())
        theOperation.itsAnswer.setError(code::kNotFound, "Not all objects could be read",
                                        std::to_string(anErrors.size()) + " of " +
                                            std::to_string(anErrors.size() + aSuccessful.size()));
}

void findObjects(Operation& theOperation) {
    readSession(theOperation.itsBody);
    ObjectFilter aFilter(theOperation.itsBody);
    std::vector<std::string> aList;
    for (const ActiveObject& anObject :
         theOperation.itsStore.activeObjects(aFilter.packagePrefix(), aFilter.wholePackage()))
        if (aFilter.matches(anObject.itsKey))
            aList.push_back(listElement(anObject.itsKey, activeVersionJson(),
                                        historyMetadataJson(anObject.itsEntry, false)));
    theOperation.itsAnswer.setRaw("objects", jsonList(aList));
}

void listInactiveObjects(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    if (aSession.itsType != 2)
        throw EngineError{
            code::kInvalidRequest, "Listing inactive objects needs an inactive session", {}};
    ObjectFilter aFilter(theOperation.itsBody);
    std::vector<std::string> aList;
    const std::string aVersion = inactiveVersionJson(aSession.itsOwner, aSession.itsWorkspace);
    for (const InactiveObject& anObject :
         theOperation.itsStore.inactiveInWorkspace(aSession.itsOwner, aSession.itsWorkspace,
                                                   aFilter.packagePrefix(), aFilter.wholePackage()))
        if (aFilter.matches(anObject.itsKey))
            aList.push_back(
                listElement(anObject.itsKey, aVersion, inactiveMetadataJson(anObject.itsVersion)));
    theOperation.itsAnswer.setRaw("objects", jsonList(aList));
    if (aList.empty())
        theOperation.itsAnswer.setError(code::kNotFound, "No inactive objects found",
                                        aSession.itsOwner + " \"" + aSession.itsWorkspace + "\"");
}

void listHistory(Operation& theOperation) {
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    auto anObject = theOperation.itsStore.findObject(aKey);
    if (!anObject)
        throw notFound(aKey, "Object does not exist");
    std::vector<std::string> aList;
    for (const HistoryRecord& anEntry : theOperation.itsStore.history(*anObject))
        aList.push_back(
            jsonObject({{"activateAt", quoted(anEntry.itsActivatedAt)},
                        {"activatedBy", quoted(anEntry.itsActivatedBy)},
                        {"versionId", quoted(std::to_string(anEntry.itsNumber))},
                        {"isDeletion", quoted(anEntry.itsIsDeletion ? "true" : "false")}}));
    theOperation.itsAnswer.setRaw("history", jsonList(aList));
}

void numberOfLatestVersion(Operation& theOperation) {
    readSession(theOperation.itsBody);
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    auto anObject = theOperation.itsStore.findObject(aKey);
    std::int64_t aLatest = anObject ? theOperation.itsStore.latest(*anObject) : 0;
    theOperation.itsAnswer.setString("version", std::to_string(aLatest));
}

void existsObject(Operation& theOperation) {
    Session aSession = readSession(theOperation.itsBody);
    ObjectKey aKey = readObjectKey(json::getObject(theOperation.itsBody, "object"));
    bool anExists = false;
    try {
        anExists =
            !resolve(theOperation.itsStore, aSession, aKey, std::nullopt, false).itsIsDeletion;
    } catch (const EngineError&) {
        // A version that cannot be found simply does not exist; the answer says so.
        anExists = false;
    }
    if (!anExists && aSession.itsType == 2) {
        Session anActive;
        try {
            anExists =
                !resolve(theOperation.itsStore, anActive, aKey, std::nullopt, false).itsIsDeletion;
        } catch (const EngineError&) {
            anExists = false;
        }
    }
    theOperation.itsAnswer.setString("exists", anExists ? "true" : "false");
}

} // namespace RepositoryAccess::server::ops
