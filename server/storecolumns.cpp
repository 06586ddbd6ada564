#include "server/storecolumns.hpp"

#include <algorithm>

namespace RepositoryAccess::server::storecolumns {

namespace {

// The stored attributes' columns as "<column> = ?<n + theShift>" parted by theSeparator, for the
// columns numbered theFirst to theLast.
std::string assignments(RecordDescription theFields, std::string_view theSeparator, int theFirst,
                        int theLast, int theShift = 0) {
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
        aText += " = ?" + std::to_string(aNumber + theShift);
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

namespace {

// "?1, ?2, ..." for theCount parameters.
std::string marks(int theCount) {
    std::string aMarks;
    for (int aNumber = 1; aNumber <= theCount; ++aNumber)
        aMarks += (aNumber == 1 ? "?" : ", ?") + std::to_string(aNumber);
    return aMarks;
}

int storedCount(RecordDescription theFields) {
    return static_cast<int>(std::ranges::count_if(
        theFields, [](const RecordField& theField) { return !theField.itsColumn.empty(); }));
}

// The column of the record's own key: its first stored attribute.
std::string_view keyColumn(RecordDescription theFields) {
    for (const RecordField& aField : theFields)
        if (!aField.itsColumn.empty())
            return aField.itsColumn;
    return {};
}

} // namespace

std::string insertStatement(std::string_view theTable, RecordDescription theFields) {
    return "INSERT INTO " + std::string(theTable) + " (" + columnList(theFields) + ") VALUES (" +
           marks(storedCount(theFields)) + ")";
}

std::string putStatement(std::string_view theTable, std::string_view theOwner,
                         RecordDescription theFields) {
    const int aCount = storedCount(theFields);
    return "INSERT INTO " + std::string(theTable) + " (" + std::string(theOwner) + ", " +
           columnList(theFields) + ") VALUES (" + marks(aCount + 1) + ") ON CONFLICT (" +
           std::string(theOwner) + ", " + std::string(keyColumn(theFields)) + ") DO UPDATE SET " +
           assignments(theFields, ", ", 2, aCount, 1);
}

std::string updateStatement(std::string_view theTable, RecordDescription theFields,
                            int theKeyColumns) {
    return "UPDATE " + std::string(theTable) + " SET " +
           assignments(theFields, ", ", theKeyColumns + 1, static_cast<int>(theFields.size())) +
           " WHERE " + assignments(theFields, " AND ", 1, theKeyColumns);
}

} // namespace RepositoryAccess::server::storecolumns
