#pragma once

#include <span>
#include <string_view>

namespace RepositoryAccess {

// What a record attribute holds; every kind travels as a JSON string.
enum class FieldKind { text, flag, number };

// One attribute of a repository record, described once for every layer that handles it: the
// requests and responses name it by its key, the store by its column, the client's options by
// their name and the printers by their label.
struct RecordField {
    std::string_view itsKey;
    std::string_view itsColumn;
    std::string_view itsOption;
    std::string_view itsLabel;
    FieldKind itsKind = FieldKind::text;
    // Sent by the create request (the attributes the repository derives are left out).
    bool itsSentOnCreate = true;
    // Where the printer puts it: printed in ascending order, and a new tens starts a new group
    // behind a "--" line.
    int itsPrintPosition = 0;
};

// A record's attributes in the key order of its requests and responses.
using RecordDescription = std::span<const RecordField>;

// The attributes of a package.
RecordDescription packageFields();

} // namespace RepositoryAccess
