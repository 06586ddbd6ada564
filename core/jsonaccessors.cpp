#include "core/json.hpp"

#include "core/error.hpp"

#include <string>

// The lookups of members and list elements, with the program's messages for a missing member
// or a value of the wrong type.
namespace RepositoryAccess::json {

namespace {

const JsonValue& findMember(const JsonObject& theObject, std::string_view theKey) {
    const JsonValue* aValue = theObject.find(theKey);
    if (aValue == nullptr)
        throw Error("Could not find \"" + std::string(theKey) + "\" in object: \"" +
                    toJson(theObject) + "\"");
    return *aValue;
}

[[noreturn]] void failWrongType(const JsonObject& theObject, std::string_view theKey,
                                const char* theWhat) {
    throw Error("The type of \"" + std::string(theKey) + "\" is not " + theWhat + " in: \"" +
                toJson(theObject) + "\"");
}

} // namespace

std::string_view getStringView(const JsonObject& theObject, std::string_view theKey) {
    const JsonValue& aValue = findMember(theObject, theKey);
    if (aValue.t != JT_STRING)
        failWrongType(theObject, theKey, "a string");
    return aValue.u.stringValue->view();
}

std::string getString(const JsonObject& theObject, std::string_view theKey) {
    return std::string(getStringView(theObject, theKey));
}

const JsonList& getList(const JsonObject& theObject, std::string_view theKey) {
    const JsonValue& aValue = findMember(theObject, theKey);
    if (aValue.t != JT_LIST)
        failWrongType(theObject, theKey, "a list");
    return *aValue.u.listValue;
}

const JsonObject& getObject(const JsonObject& theObject, std::string_view theKey) {
    const JsonValue& aValue = findMember(theObject, theKey);
    if (aValue.t != JT_OBJECT)
        failWrongType(theObject, theKey, "an object");
    return *aValue.u.objectValue;
}

bool hasMember(const JsonObject& theObject, std::string_view theKey) {
    return theObject.find(theKey) != nullptr;
}

const JsonObject& asObject(const JsonValue& theValue) {
    if (theValue.t != JT_OBJECT)
        throw Error("The type is wrong");
    return *theValue.u.objectValue;
}

std::string_view asStringView(const JsonValue& theValue) {
    if (theValue.t != JT_STRING)
        throw Error("The type is wrong");
    return theValue.u.stringValue->view();
}

std::string asString(const JsonValue& theValue) {
    return std::string(asStringView(theValue));
}

} // namespace RepositoryAccess::json
