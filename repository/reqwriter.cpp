#include "repository/reqwriter.hpp"

#include "core/json.hpp"
#include "repository/reposession.hpp"
#include "workspace/objects.hpp"

namespace RepositoryAccess {

std::string_view sentWorkSpace(std::string_view theWorkSpace) {
    return theWorkSpace == "__empty__" ? std::string_view() : theWorkSpace;
}

RequestWriter::RequestWriter(std::string& theText) : itsText(theText) {
    itsText += '{';
}

RequestWriter::RequestWriter(std::string& theText, std::string_view theAction,
                             std::string_view theWhat)
    : RequestWriter(theText) {
    raw("action", theAction);
    raw("what", theWhat);
}

void RequestWriter::writeKey(std::string_view theKey, std::string_view theSeparator) {
    if (!itsFirst)
        itsText += theSeparator;
    itsFirst = false;
    itsText += '"';
    itsText += theKey;
    itsText += "\":";
}

void RequestWriter::writeQuoted(std::string_view theValue, bool theEscape) {
    itsText += '"';
    if (theEscape)
        json::appendEscapedJson(itsText, theValue);
    else
        itsText += theValue;
    itsText += '"';
}

RequestWriter& RequestWriter::member(std::string_view theKey, std::string_view theValue) {
    writeKey(theKey);
    writeQuoted(theValue, true);
    return *this;
}

RequestWriter& RequestWriter::spacedMember(std::string_view theKey, std::string_view theValue) {
    writeKey(theKey, ", ");
    writeQuoted(theValue, true);
    return *this;
}

RequestWriter& RequestWriter::raw(std::string_view theKey, std::string_view theValue) {
    writeKey(theKey);
    writeQuoted(theValue, false);
    return *this;
}

RequestWriter& RequestWriter::memberIfSet(std::string_view theKey, std::string_view theValue) {
    return theValue.empty() ? *this : member(theKey, theValue);
}

RequestWriter& RequestWriter::rawIfSet(std::string_view theKey, std::string_view theValue) {
    return theValue.empty() ? *this : raw(theKey, theValue);
}

RequestWriter& RequestWriter::flag(std::string_view theKey, bool theValue) {
    return raw(theKey, theValue ? "1" : "0");
}

RequestWriter& RequestWriter::session(std::string_view theKey,
                                      const RepositorySession& theSession) {
    writeKey(theKey);
    writeSession(itsText, theSession);
    return *this;
}

RequestWriter& RequestWriter::object(std::string_view theKey, const RepositoryObject& theObject) {
    writeKey(theKey);
    itsText += theObject.toJson();
    return *this;
}

RequestWriter& RequestWriter::version(std::string_view theKey, const ObjectVersion& theVersion) {
    // Built before the key is written, so that a failure leaves no half member behind.
    const std::string aText = objects::versionToJson(theVersion);
    writeKey(theKey);
    itsText += aText;
    return *this;
}

RequestWriter& RequestWriter::metaData(std::string_view theKey, const ObjectMetaData& theMetaData) {
    // A new object has no metadata yet: it travels as an empty object, which the repository
    // takes as "no base version".
    const std::string aText =
        theMetaData.itsType == 0 ? "{}" : objects::metaDataToJson(theMetaData);
    writeKey(theKey);
    itsText += aText;
    return *this;
}

RequestWriter& RequestWriter::list(std::string_view theKey, std::size_t theCount,
                                   std::string_view theSeparator,
                                   const std::function<void(std::size_t)>& theWriteElement) {
    writeKey(theKey);
    itsText += '[';
    for (std::size_t i = 0; i < theCount; ++i) {
        if (i > 0)
            itsText += theSeparator;
        theWriteElement(i);
    }
    itsText += ']';
    return *this;
}

RequestWriter& RequestWriter::objectList(std::string_view theKey,
                                         std::span<const RepositoryObject> theList) {
    return list(theKey, theList.size(), ",\n",
                [&](std::size_t i) { itsText += theList[i].toJson(); });
}

RequestWriter& RequestWriter::stringList(std::string_view theKey,
                                         const std::vector<std::string>& theList) {
    return list(theKey, theList.size(), ",\n",
                [&](std::size_t i) { writeQuoted(theList[i], true); });
}

RequestWriter& RequestWriter::objectEntryList(std::string_view theKey,
                                              const std::vector<RepositoryObject>& theList) {
    return list(theKey, theList.size(), ",", [&](std::size_t i) {
        RequestWriter anEntry(itsText);
        anEntry.object("object", theList[i]);
        anEntry.end();
    });
}

RequestWriter& RequestWriter::emptyList(std::string_view theKey) {
    return list(theKey, 0, "", [](std::size_t) {});
}

RequestWriter RequestWriter::nested(std::string_view theKey) {
    writeKey(theKey);
    return RequestWriter(itsText);
}

void RequestWriter::end() {
    itsText += '}';
}

} // namespace RepositoryAccess
