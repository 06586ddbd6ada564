#pragma once

// The whole content of a repository as rows, to compare two repositories that should be equal:
// a copy and its source, a restored dump and the database it came from, a database before and
// after an update of its tables.

#include "server/sqldatabase.hpp"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace kivotest {

using Rows = std::vector<std::vector<std::string>>;

// Every row of each of theTables (kind and bytes of each value, "kind:bytes"), sorted, so that
// two databases compare equal exactly when they hold the same rows.
inline std::map<std::string, Rows>
repositoryRows(RepositoryAccess::server::SqlDatabase& theDatabase,
               const std::vector<std::string>& theTables) {
    std::map<std::string, Rows> aTables;
    for (const std::string& aName : theTables) {
        Rows& aRows = aTables[aName];
        auto aQuery = theDatabase.query("SELECT * FROM " + aName);
        while (aQuery.step()) {
            std::vector<std::string> aRow;
            for (int i = 0; i < aQuery.columnCount(); ++i)
                aRow.push_back(std::to_string(static_cast<int>(aQuery.kind(i))) + ":" +
                               aQuery.text(i));
            aRows.push_back(aRow);
        }
        std::sort(aRows.begin(), aRows.end());
    }
    return aTables;
}

} // namespace kivotest
