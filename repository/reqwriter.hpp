#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace RepositoryAccess {

struct RepositorySession;
struct ObjectMetaData;
struct ObjectVersion;
class RepositoryObject;

// The workspace name as requests send it: "__empty__" (the default inactive workspace) becomes
// the empty string, every other name stays as it is.
std::string_view sentWorkSpace(std::string_view theWorkSpace);

// Writes one JSON object of a request without white space, member by member, and puts the
// commas between them. Every body and every embedded object (session, filter) is written with
// it, so escaping, optional members and list separators live in one place. The object is closed
// with end(); a writer abandoned by an exception leaves an unfinished text that nobody sends.
class RequestWriter {
public:
    // Opens an object: writes "{".
    explicit RequestWriter(std::string& theText);
    // Opens a request body: "{" and the members "action" and "what".
    RequestWriter(std::string& theText, std::string_view theAction, std::string_view theWhat);

    // A string member whose value is escaped: "key":"value".
    RequestWriter& member(std::string_view theKey, std::string_view theValue);
    // The same member after ", " instead of "," (the one body that spaces its members).
    RequestWriter& spacedMember(std::string_view theKey, std::string_view theValue);
    // A string member written as it stands: for fixed values, timestamps, numbers and keywords
    // that hold neither a double quote nor a backslash.
    RequestWriter& raw(std::string_view theKey, std::string_view theValue);
    // An escaped member that is left out (with its comma) when the value is empty.
    RequestWriter& memberIfSet(std::string_view theKey, std::string_view theValue);
    // A raw member that is left out (with its comma) when the value is empty.
    RequestWriter& rawIfSet(std::string_view theKey, std::string_view theValue);
    // A yes/no member: "1" for yes, "0" for no.
    RequestWriter& flag(std::string_view theKey, bool theValue);

    // The session object; throws for an invalid session type.
    RequestWriter& session(std::string_view theKey, const RepositorySession& theSession);
    // The object descriptor {"package":...,"name":...,"suffix":...}.
    RequestWriter& object(std::string_view theKey, const RepositoryObject& theObject);
    // The version object; throws "Invalid version type (...)" for a type other than 1, 2 or 3.
    RequestWriter& version(std::string_view theKey, const ObjectVersion& theVersion);
    // The metadata object; throws "Invalid meta data type (...)" for a type other than 1, 2, 3.
    RequestWriter& metaData(std::string_view theKey, const ObjectMetaData& theMetaData);

    // A list of object descriptors, separated by ",\n".
    RequestWriter& objectList(std::string_view theKey, std::span<const RepositoryObject> theList);
    // A list of escaped strings, separated by ",\n".
    RequestWriter& stringList(std::string_view theKey, const std::vector<std::string>& theList);
    // A list of {"object":<descriptor>} entries separated by a bare comma (bulk reading).
    RequestWriter& objectEntryList(std::string_view theKey,
                                   const std::vector<RepositoryObject>& theList);
    // An empty list: "key":[].
    RequestWriter& emptyList(std::string_view theKey);

    // Opens an embedded object as the value of theKey; the returned writer continues on the
    // same text and must be closed with end() before this writer writes again.
    RequestWriter nested(std::string_view theKey);

    // Closes the object: writes "}".
    void end();

private:
    // Writes the separator (unless this is the first member), the quoted key and the colon.
    void writeKey(std::string_view theKey, std::string_view theSeparator = ",");
    void writeQuoted(std::string_view theValue, bool theEscape);
    // Writes "key":[e0<sep>e1...] with theWriteElement writing element i.
    RequestWriter& list(std::string_view theKey, std::size_t theCount,
                        std::string_view theSeparator,
                        const std::function<void(std::size_t)>& theWriteElement);

    std::string& itsText;
    bool itsFirst = true;
};

} // namespace RepositoryAccess
