#include "repository/resprecords.hpp"

#include "repository/recordvalues.hpp"

namespace RepositoryAccess::resprecords {

namespace {

void readChangeMembers(const ResponseReader& theReader, Change& theChange,
                       RecordDescription theFields) {
    for (const RecordField& aField : theFields)
        if (!aField.itsStoredOnly)
            recordvalues::setValue(theChange, aField.itsKey, theReader.string(aField.itsKey));
}

} // namespace

CheckResult readCheckResult(const ResponseReader& theReader) {
    CheckResult aResult;
    const ResponseReader anObject = theReader.member("object");
    aResult.itsPackage = anObject.string("package");
    aResult.itsName = anObject.string("name");
    aResult.itsSuffix = anObject.string("suffix");
    // The summary names no object, and an object whose names cannot be a workspace file (stored
    // by an older repository) has none either: the result is reported all the same.
    if (!aResult.itsName.empty() &&
        objects::nameProblem(aResult.itsPackage, aResult.itsName, aResult.itsSuffix).empty())
        aResult.itsWorkSpaceFileName = objects::fromJson(anObject.object()).workSpaceFileName();
    aResult.itsErrorCode = theReader.string("error-code");
    aResult.itsErrorMsg = theReader.string("error-msg");
    aResult.itsLocation = theReader.string("location");
    aResult.itsSeverity = theReader.string("severity");
    aResult.itsTimestamp = theReader.string("timestamp");
    return aResult;
}

Change readChange(const ResponseReader& theReader, RecordDescription theFields) {
    Change aChange;
    readChangeMembers(theReader, aChange, theFields);
    return aChange;
}

Contributor readContributor(const ResponseReader& theReader, RecordDescription theFields) {
    Contributor aContributor;
    for (const RecordField& aField : theFields)
        if (!aField.itsStoredOnly)
            recordvalues::setValue(aContributor, aField.itsKey, theReader.string(aField.itsKey));
    return aContributor;
}

ChangeEntry readChangeEntry(const ResponseReader& theReader) {
    ChangeEntry anEntry;
    readChangeMembers(theReader, anEntry, changeFields());
    anEntry.itsEntries = theReader.objectList("entries");
    anEntry.itsContributors = theReader.records<Contributor>(
        "contributors", [](const ResponseReader& aReader) { return readContributor(aReader); });
    return anEntry;
}

DeliveryUnit readDeliveryUnit(const ResponseReader& theReader, RecordDescription theFields) {
    DeliveryUnit aUnit;
    for (const RecordField& aField : theFields)
        recordvalues::value(aUnit, aField.itsKey) = theReader.string(aField.itsKey);
    return aUnit;
}

DeliveryUnitName readDeliveryUnitName(const ResponseReader& theReader) {
    return {theReader.string("name"), theReader.string("vendor")};
}

Package readPackage(const ResponseReader& theReader) {
    return readPackage(theReader, packageFields());
}

Package readPackage(const ResponseReader& theReader, RecordDescription theFields) {
    Package aPackage;
    for (const RecordField& aField : theFields)
        recordvalues::value(aPackage, aField.itsKey) = theReader.string(aField.itsKey);
    return aPackage;
}

ObjectType readObjectType(const ResponseReader& theReader) {
    return {theReader.string("objectType"),    theReader.string("description"),
            theReader.string("fileExtension"), theReader.string("mimeType"),
            theReader.string("isFileType"),    theReader.string("useCData"),
            theReader.string("useBData")};
}

HistoryEntry readHistoryEntry(const ResponseReader& theReader) {
    return {theReader.string("activateAt"), theReader.string("activatedBy"),
            theReader.integer("versionId"), theReader.string("isDeletion") == "true"};
}

InactiveWorkSpace readInactiveWorkSpace(const ResponseReader& theReader) {
    return {theReader.string("user"), theReader.string("workspace")};
}

ExportSummary readExportSummary(const ResponseReader& theReader) {
    ExportSummary aSummary;
    aSummary.itsDeliveryUnit = readDeliveryUnit(theReader.member("deliveryUnit"));
    aSummary.itsExportVersion = theReader.string("export_version");
    aSummary.itsExportTime = theReader.string("export_time");
    aSummary.itsSourceSystem = theReader.string("sourceSystem");
    aSummary.itsPackages = theReader.records<Package>(
        "packages", [](const ResponseReader& aReader) { return readPackage(aReader); });
    aSummary.itsObjects = theReader.objectList("objects");
    aSummary.itsDeletedObjects = theReader.objectList("deletedObjects");
    for (const json::JsonValue& aChange : theReader.list("changes"))
        aSummary.itsChanges.push_back(json::asString(aChange));
    return aSummary;
}

ExportHeader readExportHeader(const ResponseReader& theReader) {
    ExportHeader aHeader;
    aHeader.itsExportType = theReader.string("exportType");
    aHeader.itsExportVersion = theReader.string("exportVersion");
    aHeader.itsExportTime = theReader.string("exportTime");
    aHeader.itsSourceSystem = theReader.string("sourceSystem");
    aHeader.itsDuCheck = theReader.string("du_check");
    aHeader.itsLanguages = theReader.string("languages");
    aHeader.itsDeliveryUnit = readDeliveryUnit(theReader.member("deliveryUnit"));
    aHeader.itsTstFrom = theReader.string("tst_FROM");
    aHeader.itsTstTo = theReader.string("tst_TO");
    return aHeader;
}

ImportSummary readImportSummary(const ResponseReader& theReader, bool theSeveralFiles) {
    ImportSummary aSummary;
    aSummary.itsRevertCount = theReader.string("revertCount");
    aSummary.itsImportCount = theReader.string("importCount");
    aSummary.itsActivateCount = theReader.string("activateCount");
    aSummary.itsDeleteCount = theReader.string("deleteCount");
    aSummary.itsChangeId = theReader.string("changeID");
    if (theSeveralFiles) {
        aSummary.itsHeaders = theReader.records<ExportHeader>("headers", readExportHeader);
    } else {
        const ResponseReader aHeader = theReader.member("header");
        if (theReader.isStrict() || !aHeader.object().empty())
            aSummary.itsHeaders.push_back(readExportHeader(aHeader));
    }
    if (theReader.object().contains("deletedObjects"))
        aSummary.itsDeletedObjects = theReader.objectList("deletedObjects");
    if (theReader.object().contains("takenPackages"))
        aSummary.itsTakenPackages =
            theReader.records<TakenPackage>("takenPackages", [](const ResponseReader& theTaken) {
                return TakenPackage{theTaken.string("package"), theTaken.string("delivery_unit"),
                                    theTaken.string("du_vendor")};
            });
    return aSummary;
}

LanguageImportSummary readLanguageImportSummary(const ResponseReader& theReader) {
    return {theReader.string("textCount"), theReader.string("importCount"),
            theReader.string("packageTextCount"), readExportHeader(theReader.member("header"))};
}

UndeploySummary readUndeploySummary(const ResponseReader& theReader) {
    return {theReader.string("deletedObjectsCount"), theReader.string("deletedPackagesCount"),
            theReader.string("reassignedPackagesCount")};
}

} // namespace RepositoryAccess::resprecords
