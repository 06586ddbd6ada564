#include "repoadmin/pqstatement.hpp"

#include "repoadmin/pqdatabase.hpp"

#include <libpq-fe.h>

#include <charconv>

namespace RepositoryAccess::server {

namespace {

// The type OIDs this statement reads and binds; fixed by PostgreSQL's catalogue.
constexpr unsigned kBool = 16, kBytea = 17, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23,
                   kText = 25, kOid = 26, kUnknown = 705, kBpchar = 1042, kVarchar = 1043;

bool isTextType(unsigned theType) {
    return theType == kText || theType == kVarchar || theType == kBpchar || theType == kName ||
           theType == kUnknown;
}

bool isIntegerType(unsigned theType) {
    return theType == kInt8 || theType == kInt4 || theType == kInt2 || theType == kBool ||
           theType == kOid;
}

// A big-endian signed integer of theSize bytes, as the binary format sends it.
std::int64_t bigEndian(const char* theBytes, int theSize) {
    std::uint64_t aValue = 0;
    for (int i = 0; i < theSize; ++i)
        aValue = (aValue << 8) | static_cast<unsigned char>(theBytes[i]);
    if (theSize < 8 && (aValue >> (theSize * 8 - 1)) != 0)
        aValue |= ~std::uint64_t(0) << (theSize * 8); // sign extension
    return static_cast<std::int64_t>(aValue);
}

} // namespace

void PqStatement::ResultFree::operator()(pg_result* theResult) const noexcept {
    PQclear(theResult);
}

PqStatement::PqStatement(PqDatabase& theDatabase, std::string theName,
                         std::vector<unsigned> theTypes)
    : itsDatabase(theDatabase), itsName(std::move(theName)), itsTypes(std::move(theTypes)),
      itsParameters(itsTypes.size()) {}

PqStatement::~PqStatement() {
    reset();
}

PqStatement::Parameter& PqStatement::parameter(int theIndex) {
    if (theIndex < 1 || theIndex > static_cast<int>(itsParameters.size()))
        throw StorageError("Repository storage failed (bind): no parameter " +
                           std::to_string(theIndex));
    return itsParameters[static_cast<std::size_t>(theIndex - 1)];
}

bool PqStatement::isRaw(int theIndex) const {
    const unsigned aType = itsTypes[static_cast<std::size_t>(theIndex - 1)];
    return aType == kBytea || isTextType(aType);
}

void PqStatement::bindText(int theIndex, std::string_view theText) {
    Parameter& aParameter = parameter(theIndex);
    aParameter = Parameter{false, isRaw(theIndex), std::string(theText), {}, true};
}

void PqStatement::bindInteger(int theIndex, std::int64_t theValue) {
    parameter(theIndex) = Parameter{false, false, std::to_string(theValue), {}, true};
}

void PqStatement::bindBlob(int theIndex, std::string_view theBytes) {
    // Not copied: a content may be hundreds of megabytes, and the caller keeps it until the
    // statement has run.
    parameter(theIndex) = Parameter{false, true, {}, theBytes, false};
}

void PqStatement::bindNull(int theIndex) {
    parameter(theIndex) = Parameter{};
}

void PqStatement::send() {
    itsDatabase.claim(*this);
    std::vector<const char*> aValues;
    std::vector<int> aLengths, aFormats;
    for (const Parameter& aParameter : itsParameters) {
        std::string_view aBytes = aParameter.itsOwns ? aParameter.itsOwned : aParameter.itsView;
        // An empty content is an empty value, not NULL: it needs a pointer.
        aValues.push_back(aParameter.itsNull ? nullptr : aBytes.empty() ? "" : aBytes.data());
        aLengths.push_back(static_cast<int>(aBytes.size()));
        aFormats.push_back(aParameter.itsBinary ? 1 : 0);
    }
    pg_conn* aHandle = itsDatabase.handle();
    if (PQsendQueryPrepared(aHandle, itsName.c_str(), static_cast<int>(aValues.size()),
                            aValues.data(), aLengths.data(), aFormats.data(), 1) == 0 ||
        PQsetSingleRowMode(aHandle) == 0) {
        itsDatabase.release(*this);
        throw itsDatabase.failure(nullptr, "send");
    }
    itsState = State::Streaming;
}

PqStatement::Result PqStatement::nextResult() {
    if (itsState == State::Streaming) {
        Result aResult(PQgetResult(itsDatabase.handle()));
        if (!aResult) {
            itsState = State::Done;
            itsDatabase.release(*this);
        }
        return aResult;
    }
    if (itsState == State::ReadAhead && !itsAhead.empty()) {
        Result aResult = std::move(itsAhead.front());
        itsAhead.pop_front();
        return aResult;
    }
    itsState = State::Done;
    return nullptr;
}

bool PqStatement::advance() {
    Result aResult = nextResult();
    if (!aResult)
        return false;
    const ExecStatusType aStatus = PQresultStatus(aResult.get());
    if (aStatus != PGRES_SINGLE_TUPLE && aStatus != PGRES_TUPLES_OK &&
        aStatus != PGRES_COMMAND_OK) {
        StorageError anError = itsDatabase.failure(aResult.get(), "step");
        drain();
        throw anError;
    }
    if (aStatus != PGRES_SINGLE_TUPLE)
        itsDatabase.recordChanges(aResult.get());
    itsResult = std::move(aResult);
    itsRow = -1;
    return true;
}

bool PqStatement::step() {
    if (itsState == State::Ready)
        send();
    while (itsResult == nullptr || itsRow + 1 >= PQntuples(itsResult.get())) {
        // The last result stays for columnCount() once the rows have ended.
        if (itsState == State::Done || !advance())
            return false;
    }
    ++itsRow;
    return true;
}

void PqStatement::readAhead() {
    if (itsState != State::Streaming)
        return;
    while (Result aResult{PQgetResult(itsDatabase.handle())})
        itsAhead.push_back(std::move(aResult));
    itsState = State::ReadAhead;
    itsDatabase.release(*this);
}

void PqStatement::drain() noexcept {
    if (itsState == State::Streaming) {
        while (Result aResult{PQgetResult(itsDatabase.handle())}) {
        }
        itsDatabase.release(*this);
    }
    itsAhead.clear();
    itsState = State::Done;
}

int PqStatement::columnCount() const {
    return itsResult ? PQnfields(itsResult.get()) : 0;
}

const char* PqStatement::value(int theColumn, int& theLength) const {
    theLength = 0;
    if (!itsResult || itsRow < 0 || itsRow >= PQntuples(itsResult.get()) || theColumn < 0 ||
        theColumn >= PQnfields(itsResult.get()) || PQgetisnull(itsResult.get(), itsRow, theColumn))
        return nullptr;
    theLength = PQgetlength(itsResult.get(), itsRow, theColumn);
    return PQgetvalue(itsResult.get(), itsRow, theColumn);
}

SqlValueKind PqStatement::kind(int theColumn) const {
    int aLength = 0;
    if (value(theColumn, aLength) == nullptr)
        return SqlValueKind::Null;
    const unsigned aType = PQftype(itsResult.get(), theColumn);
    if (isIntegerType(aType))
        return SqlValueKind::Integer;
    if (aType == kBytea)
        return SqlValueKind::Blob;
    if (isTextType(aType))
        return SqlValueKind::Text;
    throw StorageError("Repository storage failed: column " + std::to_string(theColumn + 1) +
                       " has a type (OID " + std::to_string(aType) +
                       ") that the repository does not use");
}

std::string PqStatement::text(int theColumn) const {
    if (kind(theColumn) == SqlValueKind::Integer)
        return std::to_string(integer(theColumn));
    int aLength = 0;
    const char* aBytes = value(theColumn, aLength);
    return aBytes == nullptr ? std::string()
                             : std::string(aBytes, static_cast<std::size_t>(aLength));
}

std::int64_t PqStatement::integer(int theColumn) const {
    int aLength = 0;
    const char* aBytes = value(theColumn, aLength);
    if (aBytes == nullptr)
        return 0;
    const unsigned aType = PQftype(itsResult.get(), theColumn);
    if (aType == kBool)
        return aBytes[0] != 0 ? 1 : 0;
    if (aType == kOid)
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(bigEndian(aBytes, 4)) &
                                         0xFFFFFFFFu);
    if (isIntegerType(aType))
        return bigEndian(aBytes, aLength);
    // A text holding a number reads as that number, as in the repository file.
    std::int64_t aValue = 0;
    std::from_chars(aBytes, aBytes + aLength, aValue);
    return aValue;
}

void PqStatement::reset() noexcept {
    drain();
    itsResult.reset();
    itsRow = -1;
    for (Parameter& aParameter : itsParameters)
        aParameter = Parameter{};
    itsState = State::Ready;
}

} // namespace RepositoryAccess::server
