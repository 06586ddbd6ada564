#include "repoadmin/repositorycopy.hpp"

#include "server/storeschema.hpp"

#include <algorithm>

namespace RepositoryAccess::server {

namespace {

void refuseUnknownTables(const std::vector<std::string>& theSourceTables) {
    const std::vector<std::string>& aKnown = storeschema::tableNames();
    for (const std::string& aTable : theSourceTables)
        if (std::find(aKnown.begin(), aKnown.end(), aTable) == aKnown.end())
            throw Error("The source repository holds the table \"" + aTable +
                        "\", which this program cannot copy (a newer program made it)");
}

int columnsOf(SqlDatabase& theDatabase, const std::string& theTable) {
    auto aQuery = theDatabase.query("SELECT * FROM " + theTable + " WHERE 1 = 0");
    aQuery.step();
    return aQuery.columnCount();
}

std::string insertStatement(const std::string& theTable, int theColumns) {
    std::string aSql = "INSERT INTO " + theTable + " VALUES (";
    for (int i = 0; i < theColumns; ++i)
        aSql += i == 0 ? "?" : ", ?";
    return aSql + ")";
}

// Binds the values of theRow to theInsert; theHeld keeps the blobs, which are bound without a
// copy, until the insert has run.
void bindRow(const SqlQuery& theRow, SqlQuery& theInsert, std::vector<std::string>& theHeld) {
    for (int i = 0; i < theRow.columnCount(); ++i) {
        switch (theRow.kind(i)) {
        case SqlValueKind::Null:
            theInsert.bindNull(i + 1);
            break;
        case SqlValueKind::Integer:
            theInsert.bind(i + 1, theRow.integer(i));
            break;
        case SqlValueKind::Text:
            theInsert.bind(i + 1, std::string_view(theRow.text(i)));
            break;
        case SqlValueKind::Blob:
            theHeld[static_cast<std::size_t>(i)] = theRow.text(i);
            theInsert.bindBlob(i + 1, theHeld[static_cast<std::size_t>(i)]);
            break;
        }
    }
}

std::int64_t copyTable(SqlDatabase& theSource, SqlDatabase& theTarget,
                       const std::string& theTable) {
    const int aColumns = columnsOf(theSource, theTable);
    if (const int aTargetColumns = columnsOf(theTarget, theTable); aTargetColumns != aColumns)
        throw StorageError("The table \"" + theTable + "\" has " + std::to_string(aColumns) +
                           " columns in the source repository and " +
                           std::to_string(aTargetColumns) + " in the target");
    const std::string anInsertSql = insertStatement(theTable, aColumns);
    std::vector<std::string> aHeld(static_cast<std::size_t>(aColumns));
    std::int64_t aCount = 0;
    auto aRows = theSource.query("SELECT * FROM " + theTable);
    while (aRows.step()) {
        auto anInsert = theTarget.query(anInsertSql);
        bindRow(aRows, anInsert, aHeld);
        anInsert.run();
        ++aCount;
    }
    return aCount;
}

} // namespace

RepositoryCopy::RepositoryCopy(SqlDatabase& theSource,
                               const std::vector<std::string>& theSourceTables)
    : itsSource(theSource) {
    refuseUnknownTables(theSourceTables);
}

std::int64_t RepositoryCopy::into(SqlDatabase& theTarget) {
    const std::vector<std::string>& aTables = storeschema::tableNames();
    for (auto anIt = aTables.rbegin(); anIt != aTables.rend(); ++anIt)
        theTarget.execute("DELETE FROM " + *anIt);
    std::int64_t aCount = 0;
    for (const std::string& aTable : aTables)
        aCount += copyTable(itsSource, theTarget, aTable);
    return aCount;
}

void RepositoryCopy::rename(SqlDatabase& theTarget, const std::string& theName) {
    theTarget
        .query("INSERT INTO settings (name, value) VALUES ('database_name', ?1) "
               "ON CONFLICT (name) DO UPDATE SET value = ?1")
        .bind(1, theName)
        .run();
}

} // namespace RepositoryAccess::server
