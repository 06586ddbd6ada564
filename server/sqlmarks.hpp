#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess::server {

// A statement text with PostgreSQL's parameter marks: SQLite's "?N" becomes "$N" and a bare "?"
// the next number after the largest so far, as SQLite numbers it. Marks inside quotes stay.
struct NumberedStatement {
    std::string itsSql;
    int itsParameters = 0; // the largest parameter number
};

NumberedStatement numberMarks(std::string_view theSql);

} // namespace RepositoryAccess::server
