#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/json.hpp"
#include "repository/reporesponse.hpp"
#include "workspace/objects.hpp"

namespace RepositoryAccess {

// Reads the members of one JSON object of a response. A strict reader (an answer with error code
// "0") fails for a missing member with the lookup messages; a lenient one (an answer that reports
// an error, or a simulated one) leaves a missing member at its default, so that the caller can
// still report the server's error triple. Members of the wrong type fail in both modes.
class ResponseReader {
public:
    ResponseReader(const json::JsonObject& theObject, bool theStrict)
        : itsObject(&theObject), itsStrict(theStrict) {}

    const json::JsonObject& object() const { return *itsObject; }
    bool isStrict() const { return itsStrict; }

    // The string member; "" when a lenient reader misses it.
    std::string string(std::string_view theKey) const;
    // The string member, or theDefault when it is missing (in either mode).
    std::string optional(std::string_view theKey, std::string_view theDefault) const;
    // The string member read as a decimal integer (leading digits; 0 when there are none).
    std::int64_t integer(std::string_view theKey) const;
    // The object member; an empty object when a lenient reader misses it.
    ResponseReader member(std::string_view theKey) const;
    // The list member; empty when a lenient reader misses it.
    const json::JsonList& list(std::string_view theKey) const;

    // Every element of the list member, each read as an object by theRead.
    template <class T, class F> std::vector<T> records(std::string_view theKey, F theRead) const {
        std::vector<T> aRecords;
        for (const json::JsonValue& anElement : list(theKey))
            aRecords.push_back(theRead(ResponseReader(json::asObject(anElement), itsStrict)));
        return aRecords;
    }

    // The list member as repository objects (each element as objects::fromJson reads it).
    std::vector<RepositoryObject> objectList(std::string_view theKey) const;
    // The same for a listing, which leaves out each element whose names cannot be a workspace
    // file (objects::nameProblem) and adds a line naming it to theRefused: one such object,
    // stored by an older repository, does not stop the listing of the others.
    std::vector<RepositoryObject> objectList(std::string_view theKey,
                                             std::vector<std::string>& theRefused) const;
    // The object member as metadata; default metadata when a lenient reader finds no members.
    ObjectMetaData metaData(std::string_view theKey) const;
    // The object member as a version; a default version when a lenient reader finds no members.
    ObjectVersion version(std::string_view theKey) const;

private:
    const json::JsonObject* itsObject;
    bool itsStrict;
};

// Reads "exists": true exactly for the text "true"; a missing member is false.
bool readExists(const ResponseReader& theReader);

// Declares a response class that reads nothing beyond the error triple.
#define KIVO_TRIPLE_RESPONSE(theClass)                                                             \
    class theClass : public RepositoryResponse {                                                   \
    public:                                                                                        \
        explicit theClass(RepositoryMessage theMessage)                                            \
            : RepositoryResponse(std::move(theMessage), #theClass) {}                              \
    }

} // namespace RepositoryAccess
