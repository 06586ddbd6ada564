#include "core/json.hpp"

#include "core/error.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

namespace RepositoryAccess::json {

// ------------------------------------------------------------------------------------------------
// Writer

namespace {

std::int32_t truncateToInt32(double theValue) {
    if (std::isnan(theValue))
        return 0;
    if (theValue >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (theValue <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(theValue);
}

void appendJson(std::string& theOut, const JsonValue& theValue);

void appendJson(std::string& theOut, const JsonObject& theObject) {
    theOut += '{';
    bool aFirst = true;
    for (const JsonMember& aMember : theObject) {
        if (!aFirst)
            theOut += ',';
        aFirst = false;
        theOut += '"';
        theOut += aMember.key;
        theOut += "\":";
        appendJson(theOut, aMember.value);
    }
    theOut += '}';
}

void appendJson(std::string& theOut, const JsonValue& theValue) {
    switch (theValue.t) {
    case JT_BOOL:
        theOut += theValue.u.boolValue ? "true" : "false";
        return;
    case JT_NUMBER: {
        char aBuffer[16];
        const auto aResult = std::to_chars(aBuffer, aBuffer + sizeof aBuffer,
                                           truncateToInt32(theValue.u.numberValue));
        theOut.append(aBuffer, aResult.ptr);
        return;
    }
    case JT_STRING:
        theOut += '"';
        theOut += theValue.u.stringValue->view();
        theOut += '"';
        return;
    case JT_LIST: {
        theOut += '[';
        bool aFirst = true;
        for (const JsonValue& anElement : *theValue.u.listValue) {
            if (!aFirst)
                theOut += ',';
            aFirst = false;
            appendJson(theOut, anElement);
        }
        theOut += ']';
        return;
    }
    case JT_OBJECT:
        appendJson(theOut, *theValue.u.objectValue);
        return;
    case JT_NULL:
    default:
        theOut += "null";
        return;
    }
}

} // namespace

std::string toJson(const JsonValue& theValue) {
    std::string aText;
    appendJson(aText, theValue);
    return aText;
}

std::string toJson(const JsonObject& theObject) {
    std::string aText;
    appendJson(aText, theObject);
    return aText;
}

void writeJson(std::ostream& theStream, const JsonValue& theValue) {
    const std::string aText = toJson(theValue);
    theStream.write(aText.data(), static_cast<std::streamsize>(aText.size()));
}

void writeJson(std::ostream& theStream, const JsonObject& theObject) {
    const std::string aText = toJson(theObject);
    theStream.write(aText.data(), static_cast<std::streamsize>(aText.size()));
}

// ------------------------------------------------------------------------------------------------
// Request escaping

namespace {

// The escape for a byte, or nullptr when the byte is written unchanged.
inline const char* escapeFor(char theByte) {
    switch (theByte) {
    case '\b':
        return "\\b";
    case '\t':
        return "\\t";
    case '\n':
        return "\\n";
    case '"':
        return "\\\"";
    case '/':
        return "\\/";
    case '\\':
        return "\\\\";
    default:
        return nullptr;
    }
}

template <typename Sink> void escapeInto(std::string_view theText, Sink&& theSink) {
    std::size_t aRunStart = 0;
    for (std::size_t i = 0; i < theText.size(); ++i) {
        const char* anEscape = escapeFor(theText[i]);
        if (anEscape == nullptr)
            continue;
        theSink(theText.substr(aRunStart, i - aRunStart));
        theSink(std::string_view(anEscape, 2));
        aRunStart = i + 1;
    }
    theSink(theText.substr(aRunStart));
}

} // namespace

void appendEscapedJson(std::string& theOut, std::string_view theText) {
    escapeInto(theText, [&theOut](std::string_view thePiece) { theOut += thePiece; });
}

std::string escapeJson(std::string_view theText) {
    std::string anOut;
    anOut.reserve(theText.size() + 8);
    appendEscapedJson(anOut, theText);
    return anOut;
}

void ObjectText::name(std::string_view theName) {
    if (itsText.size() > 1)
        itsText += ',';
    itsText += '"';
    itsText += theName;
    itsText += "\":";
}

ObjectText& ObjectText::string(std::string_view theName, std::string_view theValue) {
    name(theName);
    itsText += '"';
    escapeInto(theValue, [this](std::string_view thePiece) { itsText += thePiece; });
    itsText += '"';
    return *this;
}

ObjectText& ObjectText::raw(std::string_view theName, std::string_view theJson) {
    name(theName);
    itsText += theJson;
    return *this;
}

} // namespace RepositoryAccess::json
