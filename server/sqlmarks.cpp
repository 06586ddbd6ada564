#include "server/sqlmarks.hpp"

#include <algorithm>

namespace RepositoryAccess::server {

namespace {

bool isDigit(char theChar) {
    return theChar >= '0' && theChar <= '9';
}

} // namespace

NumberedStatement numberMarks(std::string_view theSql) {
    NumberedStatement aResult;
    aResult.itsSql.reserve(theSql.size() + 8);
    char aQuote = 0;
    for (std::size_t i = 0; i < theSql.size(); ++i) {
        const char aChar = theSql[i];
        if (aQuote != 0) {
            if (aChar == aQuote)
                aQuote = 0;
            aResult.itsSql += aChar;
            continue;
        }
        if (aChar == '\'' || aChar == '"') {
            aQuote = aChar;
            aResult.itsSql += aChar;
            continue;
        }
        if (aChar != '?') {
            aResult.itsSql += aChar;
            continue;
        }
        int aNumber = 0;
        std::size_t aDigits = i + 1;
        while (aDigits < theSql.size() && isDigit(theSql[aDigits]) && aNumber < 100000)
            aNumber = aNumber * 10 + (theSql[aDigits++] - '0');
        if (aDigits == i + 1)
            aNumber = aResult.itsParameters + 1;
        i = aDigits - 1;
        aResult.itsParameters = std::max(aResult.itsParameters, aNumber);
        aResult.itsSql += '$';
        aResult.itsSql += std::to_string(aNumber);
    }
    return aResult;
}

} // namespace RepositoryAccess::server
