#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace RepositoryAccess {

// What a record attribute holds; every kind travels as a JSON string, and the store keeps a
// number in an integer column. A truth travels as "true" or "false" and is kept as 1 or 0.
enum class FieldKind { text, flag, number, truth };

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
    // Kept by the store for its own use (an order): never sent, answered or printed.
    bool itsStoredOnly = false;
    // The option by which a listing selects records of this value; empty where none does.
    std::string_view itsFilterOption = {};
    // Object metadata only: the version types that carry the attribute, a bit per type (bit 1
    // active, 2 inactive, 3 historical), and whether a response must hold it.
    unsigned itsVersionTypes = 0;
    bool itsRequired = false;
};

// A record's attributes in the key order of its requests and responses.
using RecordDescription = std::span<const RecordField>;

// The attributes of a package.
RecordDescription packageFields();
// The attributes of a delivery unit; name and vendor are its key.
RecordDescription deliveryUnitFields();
// The attributes of a change of change tracking; its id is its key.
RecordDescription changeFields();
// The attributes of a change's contributor; the user is its key within the change.
RecordDescription contributorFields();
// The metadata of an object version, in the key order of its JSON form. The store's version
// tables name their columns in their own statements, which move versions between tables in bulk.
RecordDescription objectMetaDataFields();

// Whether metadata of this version type (1 active, 2 inactive, 3 historical) carries the field.
inline bool carriesVersionType(const RecordField& theField, int theType) {
    return theType > 0 && theType < 8 && (theField.itsVersionTypes >> theType & 1u) != 0;
}

// The number in a text as the repository writes its numbers: leading decimal digits with an
// optional sign, 0 when there are none.
std::int64_t recordNumber(std::string_view theText);

// The attributes of a record that its code names as members, by key; any other attribute of the
// record's description lives in the record's map itsOtherAttributes. The client's and the
// engine's records each list theirs, so that requests, responses, printers and the store loop
// over the description and a new attribute needs no new member. A member is a text, an integer
// (a number, a time, a status), which travels as its decimal text, or a truth ("true", "false").
template <class Record> struct RecordMember {
    std::string_view itsKey;
    std::variant<std::string Record::*, std::int64_t Record::*, int Record::*, bool Record::*>
        itsMember;
};

using OtherAttributes = std::map<std::string, std::string, std::less<>>;

namespace recordmembers {

template <class Record>
const RecordMember<Record>* find(std::span<const RecordMember<Record>> theMembers,
                                 std::string_view theKey) {
    for (const RecordMember<Record>& aMember : theMembers)
        if (aMember.itsKey == theKey)
            return &aMember;
    return nullptr;
}

} // namespace recordmembers

// The record's value of the attribute with this key, for a record whose members are all texts:
// its member, else its entry among the other attributes (made when written).
template <class Record>
std::string& recordValue(Record& theRecord, std::span<const RecordMember<Record>> theMembers,
                         std::string_view theKey) {
    if (const auto* aMember = recordmembers::find(theMembers, theKey))
        if (const auto* aText = std::get_if<std::string Record::*>(&aMember->itsMember))
            return theRecord.**aText;
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
    if (const auto* aMember = recordmembers::find(theMembers, theKey))
        if (const auto* aText = std::get_if<std::string Record::*>(&aMember->itsMember))
            return theRecord.**aText;
    if constexpr (requires { theRecord.itsOtherAttributes; }) {
        const auto aFound = theRecord.itsOtherAttributes.find(theKey);
        if (aFound != theRecord.itsOtherAttributes.end())
            return aFound->second;
    }
    return "";
}

// The record's value of the attribute with this key as text, for a record with integer members
// too: an integer in decimal; "" for an attribute the record does not hold.
template <class Record>
std::string recordText(const Record& theRecord, std::span<const RecordMember<Record>> theMembers,
                       std::string_view theKey) {
    if (const auto* aMember = recordmembers::find(theMembers, theKey))
        return std::visit(
            [&theRecord]<class Value>(Value Record::*theMember) {
                if constexpr (std::is_same_v<Value, std::string>)
                    return theRecord.*theMember;
                else if constexpr (std::is_same_v<Value, bool>)
                    return std::string(theRecord.*theMember ? "true" : "false");
                else
                    return std::to_string(theRecord.*theMember);
            },
            aMember->itsMember);
    return std::string(recordValue(theRecord, theMembers, theKey));
}

// Sets the attribute with this key from its text: an integer member takes recordNumber(theText)
// held within its type's range, a truth member whether the text is "true".
template <class Record>
void setRecordText(Record& theRecord, std::span<const RecordMember<Record>> theMembers,
                   std::string_view theKey, std::string_view theText) {
    if (const auto* aMember = recordmembers::find(theMembers, theKey))
        std::visit(
            [&theRecord, theText]<class Value>(Value Record::*theMember) {
                if constexpr (std::is_same_v<Value, std::string>)
                    theRecord.*theMember = theText;
                else if constexpr (std::is_same_v<Value, bool>)
                    theRecord.*theMember = theText == "true";
                else
                    theRecord.*theMember = static_cast<Value>(std::clamp<std::int64_t>(
                        recordNumber(theText), std::numeric_limits<Value>::min(),
                        std::numeric_limits<Value>::max()));
            },
            aMember->itsMember);
    else if constexpr (requires { theRecord.itsOtherAttributes; })
        recordValue(theRecord, theMembers, theKey) = theText;
}

} // namespace RepositoryAccess
