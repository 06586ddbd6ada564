#include "dbclient/embeddedstatements.hpp"

#include "dbclient/embeddedconnection.hpp"
#include "dbclient/protocolsql.hpp"
#include "server/engine.hpp"

#include <charconv>
#include <cstring>

namespace RepositoryAccess::dbclient {

namespace {

using namespace protocolsql;
const char* const kUnsupported = "unsupported statement";
const char* const kNotConnected = "Not connected to a repository";

} // namespace

std::string normaliseSql(const std::string& theSql) {
    std::string aResult;
    bool aBlank = false;
    for (char aChar : theSql) {
        if (aChar == ' ' || aChar == '\t' || aChar == '\n' || aChar == '\r') {
            aBlank = true;
            continue;
        }
        if (aBlank && !aResult.empty())
            aResult += ' ';
        aBlank = false;
        aResult += aChar;
    }
    return aResult;
}

bool isRepositoryCall(const std::string& theSql) {
    return theSql == kRepositoryCall || normaliseSql(theSql) == kRepositoryCall;
}

EmbeddedResultSet::EmbeddedResultSet(std::vector<std::vector<Value>> theRows)
    : itsRows(std::move(theRows)) {}

ReturnCode EmbeddedResultSet::next() {
    if (itsNext >= itsRows.size())
        return ReturnCode::NoData;
    ++itsNext;
    return ReturnCode::Ok;
}

ReturnCode EmbeddedResultSet::getObject(int theColumn, HostType theType, void* theBuffer,
                                        std::int64_t* theLength, std::int64_t theBufferSize,
                                        bool theTerminate) {
    if (itsNext == 0 || theColumn < 1 || theBuffer == nullptr ||
        static_cast<std::size_t>(theColumn) > itsRows[itsNext - 1].size())
        return ReturnCode::Error;
    const Value& aValue = itsRows[itsNext - 1][static_cast<std::size_t>(theColumn - 1)];
    if (theType == HostType::Int64) {
        const std::int64_t* aNumber = std::get_if<std::int64_t>(&aValue);
        if (aNumber == nullptr || theBufferSize < 8)
            return ReturnCode::Error;
        std::memcpy(theBuffer, aNumber, sizeof *aNumber);
        if (theLength)
            *theLength = 8;
        return ReturnCode::Ok;
    }
    std::string aText = std::holds_alternative<std::string>(aValue)
                            ? std::get<std::string>(aValue)
                            : std::to_string(std::get<std::int64_t>(aValue));
    if (theLength)
        *theLength = static_cast<std::int64_t>(aText.size());
    std::int64_t aRoom = theBufferSize - (theTerminate ? 1 : 0);
    if (aRoom < 0)
        return ReturnCode::Error;
    std::size_t aCopy = std::min(aText.size(), static_cast<std::size_t>(aRoom));
    std::memcpy(theBuffer, aText.data(), aCopy);
    if (theTerminate)
        static_cast<char*>(theBuffer)[aCopy] = '\0';
    return aCopy < aText.size() ? ReturnCode::DataTruncated : ReturnCode::Ok;
}

EmbeddedStatement::EmbeddedStatement(EmbeddedConnection& theConnection)
    : itsConnection(theConnection) {}

ReturnCode EmbeddedStatement::execute(const std::string& theSql) {
    itsError.clear();
    itsResultSet.reset();
    server::Engine* anEngine = itsConnection.engine();
    if (anEngine == nullptr) {
        itsError.set(embeddedcode::kNotConnected, kNotConnected);
        return ReturnCode::Error;
    }
    std::string aSql = normaliseSql(theSql);
    std::vector<std::vector<EmbeddedResultSet::Value>> aRows;
    try {
        if (aSql == kApiVersionQuery) {
            std::string aVersion = anEngine->setting("api_version").value_or("none");
            std::int64_t aNumber = 0;
            auto [anEnd, anError] =
                std::from_chars(aVersion.data(), aVersion.data() + aVersion.size(), aNumber);
            if (anError == std::errc() && anEnd == aVersion.data() + aVersion.size())
                aRows.push_back({aNumber});
        } else if (aSql == kDatabaseQuery) {
            aRows.push_back({anEngine->setting("database_name").value_or("")});
        } else if (aSql == kUserQuery) {
            aRows.push_back({itsConnection.user()});
        } else {
            itsError.set(embeddedcode::kUnsupportedStatement, kUnsupported);
            return ReturnCode::Error;
        }
    } catch (const std::exception& anError) {
        itsError.set(embeddedcode::kEngineFailure, anError.what());
        return ReturnCode::Error;
    }
    itsResultSet.emplace(std::move(aRows));
    return ReturnCode::Ok;
}

ResultSet* EmbeddedStatement::getResultSet() {
    return itsResultSet ? &*itsResultSet : nullptr;
}

EmbeddedPreparedStatement::EmbeddedPreparedStatement(EmbeddedConnection& theConnection)
    : itsConnection(theConnection) {}

ReturnCode EmbeddedPreparedStatement::prepare(const std::string& theSql) {
    itsError.clear();
    setPrepared(false);
    if (itsConnection.engine() == nullptr) {
        itsError.set(embeddedcode::kNotConnected, kNotConnected);
        return ReturnCode::Error;
    }
    if (!isRepositoryCall(theSql)) {
        itsError.set(embeddedcode::kUnsupportedStatement, kUnsupported);
        return ReturnCode::Error;
    }
    setPrepared(true);
    return ReturnCode::Ok;
}

std::optional<std::string> EmbeddedPreparedStatement::answer(std::string_view theFrame) {
    server::Engine* anEngine = itsConnection.engine();
    if (anEngine == nullptr) {
        itsError.set(embeddedcode::kNotConnected, kNotConnected);
        return std::nullopt;
    }
    try {
        return anEngine->call(itsConnection.user(), theFrame);
    } catch (const std::exception& anError) {
        itsError.set(embeddedcode::kEngineFailure, anError.what());
        return std::nullopt;
    }
}

} // namespace RepositoryAccess::dbclient
