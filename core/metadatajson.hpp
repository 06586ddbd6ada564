#pragma once

#include "core/json.hpp"
#include "core/recordfields.hpp"

#include <span>
#include <string>

namespace RepositoryAccess {

// The JSON form of an object version's metadata, as the repository answers it and the client
// keeps it in its metadata files: "edit", the attributes that the version type (1 active,
// 2 inactive, 3 historical) carries in the description's order, then "type".
template <class Record>
std::string objectMetaDataJson(const Record& theRecord,
                               std::span<const RecordMember<Record>> theMembers, int theType,
                               RecordDescription theFields = objectMetaDataFields()) {
    json::ObjectText aText;
    aText.raw("edit", "\"true\"");
    for (const RecordField& aField : theFields)
        if (carriesVersionType(aField, theType))
            aText.string(aField.itsKey, recordText(theRecord, theMembers, aField.itsKey));
    return aText.string("type", std::to_string(theType)).take();
}

} // namespace RepositoryAccess
