#include "repository/respreader.hpp"

#include "core/recordfields.hpp"

namespace RepositoryAccess {

namespace {

const json::JsonObject& emptyObject() {
    static const json::JsonObject theEmpty;
    return theEmpty;
}

const json::JsonList& emptyList() {
    static const json::JsonList theEmpty;
    return theEmpty;
}

// Why the object of a listing's element is left out: a line that names it, or empty.
std::string refusalOf(const json::JsonObject& theElement) {
    const json::JsonObject& aDescription =
        json::hasMember(theElement, "object") ? json::getObject(theElement, "object") : theElement;
    const std::string aPackage = json::getString(aDescription, "package");
    const std::string aName = json::getString(aDescription, "name");
    const std::string aSuffix = json::getString(aDescription, "suffix");
    const std::string aProblem = objects::nameProblem(aPackage, aName, aSuffix);
    if (aProblem.empty())
        return {};
    return "Skipped repository object \"" + aPackage + "/" + aName +
           (aSuffix.empty() ? "" : "." + aSuffix) + "\": " + aProblem;
}

} // namespace

std::string ResponseReader::string(std::string_view theKey) const {
    if (!itsStrict && !itsObject->contains(theKey))
        return {};
    return json::getString(*itsObject, theKey);
}

std::string ResponseReader::optional(std::string_view theKey, std::string_view theDefault) const {
    if (!itsObject->contains(theKey))
        return std::string(theDefault);
    return json::getString(*itsObject, theKey);
}

std::int64_t ResponseReader::integer(std::string_view theKey) const {
    return recordNumber(string(theKey));
}

ResponseReader ResponseReader::member(std::string_view theKey) const {
    if (!itsStrict && !itsObject->contains(theKey))
        return ResponseReader(emptyObject(), itsStrict);
    return ResponseReader(json::getObject(*itsObject, theKey), itsStrict);
}

const json::JsonList& ResponseReader::list(std::string_view theKey) const {
    if (!itsStrict && !itsObject->contains(theKey))
        return emptyList();
    return json::getList(*itsObject, theKey);
}

std::vector<RepositoryObject> ResponseReader::objectList(std::string_view theKey) const {
    const json::JsonList& aList = list(theKey);
    std::vector<RepositoryObject> anObjects;
    anObjects.reserve(aList.size());
    for (const json::JsonValue& anElement : aList)
        anObjects.push_back(objects::fromJson(json::asObject(anElement)));
    return anObjects;
}

std::vector<RepositoryObject>
ResponseReader::objectList(std::string_view theKey, std::vector<std::string>& theRefused) const {
    const json::JsonList& aList = list(theKey);
    std::vector<RepositoryObject> anObjects;
    anObjects.reserve(aList.size());
    for (const json::JsonValue& anElement : aList) {
        const std::string aRefusal = refusalOf(json::asObject(anElement));
        if (aRefusal.empty())
            anObjects.push_back(objects::fromJson(json::asObject(anElement)));
        else
            theRefused.push_back(aRefusal);
    }
    return anObjects;
}

ObjectMetaData ResponseReader::metaData(std::string_view theKey) const {
    ResponseReader aMember = member(theKey);
    if (!itsStrict && aMember.object().empty())
        return {};
    return objects::metaDataFromJson(aMember.object());
}

ObjectVersion ResponseReader::version(std::string_view theKey) const {
    ResponseReader aMember = member(theKey);
    if (!itsStrict && aMember.object().empty())
        return {};
    return objects::versionFromJson(aMember.object());
}

bool readExists(const ResponseReader& theReader) {
    return theReader.optional("exists", "false") == "true";
}

} // namespace RepositoryAccess
