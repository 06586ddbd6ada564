#include "server/storecolumns.hpp"

namespace RepositoryAccess::server::storecolumns {

namespace {

// The stored attributes' columns as "<column><between>?<n>" parted by theSeparator, from the
// column numbered theFirst on.
std::string assignments(RecordDescription theFields, std::string_view theSeparator, int theFirst,
                        int theLast) {
    std::string aText;
    int aNumber = 0;
    for (const RecordField& aField : theFields) {
        if (aField.itsColumn.empty())
            continue;
        ++aNumber;
        if (aNumber < theFirst || aNumber > theLast)
            continue;
        if (!aText.empty())
            aText += theSeparator;
        aText += aField.itsColumn;
        aText += " = ?" + std::to_string(aNumber);
    }
    return aText;
}

} // namespace

std::string columnList(RecordDescription theFields) {
    std::string aText;
    for (const RecordField& aField : theFields) {
        if (aField.itsColumn.empty())
            continue;
        if (!aText.empty())
            aText += ", ";
        aText += aField.itsColumn;
    }
    return aText;
}

std::string insertStatement(std::string_view theTable, RecordDescription theFields) {
    std::string aMarks;
    int aNumber = 0;
    for (const RecordField& aField : theFields) {
        if (aField.itsColumn.empty())
            continue;
        ++aNumber;
        aMarks += (aNumber == 1 ? "?" : ", ?") + std::to_string(aNumber);
    }
    return "INSERT INTO " + std::string(theTable) + " (" + columnList(theFields) + ") VALUES (" +
           aMarks + ")";
}

std::string updateStatement(std::string_view theTable, RecordDescription theFields,
                            int theKeyColumns) {
    return "UPDATE " + std::string(theTable) + " SET " +
           assignments(theFields, ", ", theKeyColumns + 1, static_cast<int>(theFields.size())) +
           " WHERE " + assignments(theFields, " AND ", 1, theKeyColumns);
}

} // namespace RepositoryAccess::server::storecolumns
