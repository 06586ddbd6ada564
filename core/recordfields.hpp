#pragma once

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace RepositoryAccess {

// What a record attribute holds; every kind travels as a JSON string.
enum class FieldKind { text, flag, number };

// One attribute of a repository record, described once for every layer that handles it: the
// requests and responses name it by its key, the store by its column, the client's options by
// their name and the printers by their label.
struct RecordField {
    std::string_view itsKey;
    // Empty for an attribute that the store derives and never keeps.
    std::string_view itsColumn;
    // Empty for an attribute that no option sets.
    std::string_view itsOption;
    std::string_view itsLabel;
    FieldKind itsKind = FieldKind::text;
    // Sent by the create request (the attributes the repository derives are left out).
    bool itsSentOnCreate = true;
    // Where the printer puts it: printed in ascending order, and a new hundred starts a new
    // group behind a "--" line.
    int itsPrintPosition = 0;
};

// A record's attributes in the key order of its requests and responses.
using RecordDescription = std::span<const RecordField>;

// The attributes of a package.
RecordDescription packageFields();
// The attributes of a delivery unit; name and vendor are its key.
RecordDescription deliveryUnitFields();
// The attributes of a record that its code names as members, by key; any other attribute of the
// record's description lives in the record's map itsOtherAttributes. The client's and the
// engine's records each list theirs, so that requests, responses, printers and the store loop
// over the description and a new attribute needs no new member.
template <class Record> struct RecordMember {
    std::string_view itsKey;
    std::string Record::*itsMember;
};

using OtherAttributes = std::map<std::string, std::string, std::less<>>;

// The record's value of the attribute with this key: its member, else its entry among the other
// attributes (made when written).
template <class Record>
std::string& recordValue(Record& theRecord, std::span<const RecordMember<Record>> theMembers,
                         std::string_view theKey) {
    for (const RecordMember<Record>& aMember : theMembers)
        if (aMember.itsKey == theKey)
            return theRecord.*aMember.itsMember;
    auto aFound = theRecord.itsOtherAttributes.find(theKey);
    if (aFound == theRecord.itsOtherAttributes.end())
        aFound = theRecord.itsOtherAttributes.emplace(std::string(theKey), std::string()).first;
    return aFound->second;
}

// The same for reading: "" for an attribute the record does not hold (an empty text, not a null
// one, which a database would bind as NULL).
template <class Record>
std::string_view recordValue(const Record& theRecord,
                             std::span<const RecordMember<Record>> theMembers,
                             std::string_view theKey) {
    for (const RecordMember<Record>& aMember : theMembers)
        if (aMember.itsKey == theKey)
            return theRecord.*aMember.itsMember;
    const auto aFound = theRecord.itsOtherAttributes.find(theKey);
    return aFound == theRecord.itsOtherAttributes.end() ? std::string_view("") : aFound->second;
}

} // namespace RepositoryAccess
