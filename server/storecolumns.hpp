#pragma once

#include "core/recordfields.hpp"
#include "server/sqldatabase.hpp"

#include <string>
#include <string_view>

// The statements of a record's table as its description names the columns: the attributes with
// a column, in the description's order, the first of them the key (or, for a key of several
// columns, the first theKeyColumns of them).
namespace RepositoryAccess::server::storecolumns {

// "c1, c2, ..." of the stored attributes.
std::string columnList(RecordDescription theFields);
// "INSERT INTO <table> (c1, ...) VALUES (?1, ...)".
std::string insertStatement(std::string_view theTable, RecordDescription theFields);
// "UPDATE <table> SET c2 = ?2, ... WHERE c1 = ?1", with the key's columns in the WHERE clause.
std::string updateStatement(std::string_view theTable, RecordDescription theFields,
                            int theKeyColumns = 1);
// For a record that belongs to another, whose key column theOwner is the first: "INSERT INTO
// <table> (<owner>, c1, ...) VALUES (?1, ?2, ...) ON CONFLICT (<owner>, c1) DO UPDATE SET
// c2 = ?3, ...", the record's own key being c1.
std::string putStatement(std::string_view theTable, std::string_view theOwner,
                         RecordDescription theFields);

// Binds the stored attributes of theRecord at theFirst, theFirst + 1, ... in column order; a
// number as an integer.
template <class Record>
void bindRecord(SqlQuery& theQuery, RecordDescription theFields, const Record& theRecord,
                int theFirst = 1) {
    int anIndex = theFirst;
    for (const RecordField& aField : theFields) {
        if (aField.itsColumn.empty())
            continue;
        const std::string aText = valueText(theRecord, aField.itsKey);
        if (aField.itsKind == FieldKind::number)
            theQuery.bind(anIndex++, recordNumber(aText));
        else
            theQuery.bind(anIndex++, std::string_view(aText));
    }
}

// Reads the stored attributes of a row of columnList into theRecord; the number of the column
// after them.
template <class Record>
int readRecord(const SqlQuery& theQuery, RecordDescription theFields, Record& theRecord) {
    int aColumn = 0;
    for (const RecordField& aField : theFields) {
        if (aField.itsColumn.empty())
            continue;
        setValue(theRecord, aField.itsKey,
                 aField.itsKind == FieldKind::number ? std::to_string(theQuery.integer(aColumn))
                                                     : theQuery.text(aColumn));
        ++aColumn;
    }
    return aColumn;
}

} // namespace RepositoryAccess::server::storecolumns
