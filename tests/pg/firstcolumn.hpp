#pragma once

#include "dbclient/dbclient.hpp"

#include <cstdint>
#include <string>

namespace kivotest {

// Column 1 of the first row of theSql as text ("" without rows); "error: " and the error text
// when the statement fails.
inline std::string firstColumn(RepositoryAccess::dbclient::Connection& theConnection,
                               const std::string& theSql) {
    using namespace RepositoryAccess::dbclient;
    Statement* aStatement = theConnection.createStatement();
    std::string aText;
    if (aStatement->execute(theSql) != ReturnCode::Ok)
        aText = "error: " + aStatement->error().getErrorText();
    else if (ResultSet* aResult = aStatement->getResultSet();
             aResult != nullptr && aResult->next() == ReturnCode::Ok) {
        char aBuffer[4096] = {};
        std::int64_t aLength = 0;
        aResult->getObject(1, HostType::Utf8, aBuffer, &aLength, sizeof aBuffer - 1);
        aText = aBuffer;
    }
    theConnection.releaseStatement(aStatement);
    return aText;
}

} // namespace kivotest
