// The statements of the repository store over SPI: a statement's plans per parameter types and
// its rows, read one value at a time. Every call into PostgreSQL goes through pgGuard
// (pgguard.hpp); after a caught error the statement only forgets (never frees) its rows until the
// database's subtransaction is rolled back.

#include "pgextension/spistatement.hpp"

#include "pgextension/pgguard.hpp"
#include "pgextension/spidatabase.hpp"

extern "C" {
#include "catalog/pg_type.h"
#include "executor/spi.h"
#include "mb/pg_wchar.h"
#include "nodes/pg_list.h"
#include "parser/analyze.h"
#include "tcop/tcopprot.h"
}

#include <charconv>
#include <climits>

namespace RepositoryAccess::pgextension {

namespace {

using server::SqlValueKind;
using server::StorageError;

// A varlena (text or bytea) with theSize bytes of theData, in the current memory context. Text
// must be valid in the database's encoding and hold no NUL, as everywhere in PostgreSQL.
Datum makeVarlena(const char* theData, std::size_t theSize, bool theText) {
    if (theText)
        pg_verifymbstr(theData, static_cast<int>(theSize), false);
    auto* aValue = static_cast<struct varlena*>(palloc(VARHDRSZ + theSize));
    SET_VARSIZE(aValue, VARHDRSZ + theSize);
    if (theSize > 0)
        memcpy(VARDATA(aValue), theData, theSize);
    return PointerGetDatum(aValue);
}

// The largest text or content a parameter can carry: PostgreSQL's limit of a value.
constexpr std::size_t kLargestValue = MaxAllocSize - VARHDRSZ;

bool isIntegerType(Oid theType) {
    return theType == INT8OID || theType == INT4OID || theType == INT2OID || theType == BOOLOID;
}

bool isVarlenaText(Oid theType) {
    return theType == TEXTOID || theType == BYTEAOID || theType == VARCHAROID ||
           theType == BPCHAROID;
}

std::int64_t integerOf(Datum theDatum, Oid theType) {
    switch (theType) {
    case INT8OID:
        return DatumGetInt64(theDatum);
    case INT4OID:
        return DatumGetInt32(theDatum);
    case INT2OID:
        return DatumGetInt16(theDatum);
    default:
        return DatumGetBool(theDatum) ? 1 : 0;
    }
}

// A column of the current row as PostgreSQL holds it: a number, or bytes that are either in the
// row itself or in a detoasted (or printed) copy that the reader frees.
struct ColumnValue {
    bool itsNull = true;
    Oid itsType = InvalidOid;
    std::int64_t itsInteger = 0;
    const char* itsData = nullptr;
    std::size_t itsSize = 0;
    void* itsCopy = nullptr;
};

// Reads column theColumn (0-based) of theRow; with theBytes the bytes of a text or bytea column,
// or the printed value of a column of another type.
void readColumn(SPITupleTable* theRows, std::uint64_t theRow, int theColumn, bool theBytes,
                ColumnValue& theValue) {
    HeapTuple aTuple = theRows->vals[theRow];
    TupleDesc aDescription = theRows->tupdesc;
    bool aNull = true;
    Datum aDatum = SPI_getbinval(aTuple, aDescription, theColumn + 1, &aNull);
    theValue.itsNull = aNull;
    theValue.itsType = SPI_gettypeid(aDescription, theColumn + 1);
    if (aNull)
        return;
    if (isIntegerType(theValue.itsType)) {
        theValue.itsInteger = integerOf(aDatum, theValue.itsType);
        return;
    }
    if (!theBytes)
        return;
    if (isVarlenaText(theValue.itsType)) {
        // Detoasting copies a compressed or out-of-line value once; a value in the row is read
        // where it is.
        auto* aStored = reinterpret_cast<struct varlena*>(DatumGetPointer(aDatum));
        struct varlena* aPlain = pg_detoast_datum_packed(aStored);
        theValue.itsData = VARDATA_ANY(aPlain);
        theValue.itsSize = VARSIZE_ANY_EXHDR(aPlain);
        if (aPlain != aStored)
            theValue.itsCopy = aPlain;
        return;
    }
    char* aPrinted = SPI_getvalue(aTuple, aDescription, theColumn + 1);
    theValue.itsData = aPrinted;
    theValue.itsSize = aPrinted != nullptr ? strlen(aPrinted) : 0;
    theValue.itsCopy = aPrinted;
}

// readColumn under the guard; a failure of PostgreSQL fails theDatabase.
ColumnValue guardedColumn(SpiDatabase& theDatabase, SPITupleTable* theRows, std::uint64_t theRow,
                          int theColumn, bool theBytes) {
    ColumnValue aValue;
    PgFailure aFailure;
    if (!pgGuard(aFailure, [&] { readColumn(theRows, theRow, theColumn, theBytes, aValue); }))
        theDatabase.fail("column", aFailure.itsMessage, aFailure.itsCode);
    return aValue;
}

std::int64_t parseInteger(const char* theData, std::size_t theSize) {
    std::int64_t aValue = 0;
    std::from_chars(theData, theData + theSize, aValue);
    return aValue;
}

} // namespace

SpiStatement::SpiStatement(SpiDatabase& theDatabase, std::string theSql, int theParameters)
    : itsDatabase(theDatabase), itsSql(std::move(theSql)),
      itsParameters(static_cast<std::size_t>(theParameters)),
      itsLastTypes(static_cast<std::size_t>(theParameters), InvalidOid) {}

SpiStatement::~SpiStatement() {
    for (const auto& [aTypes, aPlan] : itsPlans) {
        PgFailure aFailure;
        SPIPlanPtr aKept = aPlan;
        pgGuard(aFailure, [&] { SPI_freeplan(aKept); });
    }
}

SpiStatement::Parameter& SpiStatement::parameter(int theIndex) {
    if (theIndex < 1 || static_cast<std::size_t>(theIndex) > itsParameters.size())
        throw StorageError("Repository storage failed (bind): parameter " +
                           std::to_string(theIndex) + " of " +
                           std::to_string(itsParameters.size()) + " in: " + itsSql);
    return itsParameters[static_cast<std::size_t>(theIndex - 1)];
}

void SpiStatement::bindText(int theIndex, std::string_view theText) {
    Parameter& aParameter = parameter(theIndex);
    aParameter.itsBinding = Binding::Text;
    aParameter.itsText.assign(theText.data(), theText.size());
    itsLastTypes[static_cast<std::size_t>(theIndex - 1)] = TEXTOID;
}

void SpiStatement::bindInteger(int theIndex, std::int64_t theValue) {
    Parameter& aParameter = parameter(theIndex);
    aParameter.itsBinding = Binding::Integer;
    aParameter.itsInteger = theValue;
    itsLastTypes[static_cast<std::size_t>(theIndex - 1)] = INT8OID;
}

void SpiStatement::bindBlob(int theIndex, std::string_view theBytes) {
    Parameter& aParameter = parameter(theIndex);
    aParameter.itsBinding = Binding::Blob;
    aParameter.itsBlob = theBytes;
    itsLastTypes[static_cast<std::size_t>(theIndex - 1)] = BYTEAOID;
}

void SpiStatement::bindNull(int theIndex) {
    parameter(theIndex).itsBinding = Binding::Null;
}

// A NULL (or unbound) parameter has no type of its own. It takes the type its statement last
// bound at that place; for one never bound otherwise PostgreSQL infers the type from the
// statement, as it does for an untyped PREPARE (a NULL content becomes bytea), and the statement
// keeps it for the next time.
void SpiStatement::resolveNullTypes(std::vector<unsigned int>& theTypes) {
    PgFailure aFailure;
    const char* aSql = itsSql.c_str();
    Oid* aTypes = theTypes.data();
    const int aCount = static_cast<int>(theTypes.size());
    bool aSingle = true;
    if (!pgGuard(aFailure, [&] {
            List* aTrees = pg_parse_query(aSql);
            if (list_length(aTrees) != 1) {
                aSingle = false;
                return;
            }
            RawStmt* aTree = linitial_node(RawStmt, aTrees);
            int aNumber = aCount;
            Oid* anInferred = static_cast<Oid*>(palloc(sizeof(Oid) * (aCount > 0 ? aCount : 1)));
            for (int i = 0; i < aCount; ++i)
                anInferred[i] = aTypes[i];
            parse_analyze_varparams(aTree, aSql, &anInferred, &aNumber, nullptr);
            for (int i = 0; i < aCount; ++i)
                aTypes[i] =
                    i < aNumber && anInferred[i] != InvalidOid && anInferred[i] != UNKNOWNOID
                        ? anInferred[i]
                        : TEXTOID;
            pfree(anInferred);
        }))
        itsDatabase.fail("prepare", aFailure.itsMessage, aFailure.itsCode);
    if (!aSingle)
        throw StorageError("Repository storage failed (prepare): one statement expected in: " +
                           itsSql);
    for (std::size_t i = 0; i < theTypes.size(); ++i)
        if (itsLastTypes[i] == InvalidOid)
            itsLastTypes[i] = theTypes[i];
}

SPIPlanPtr SpiStatement::planFor(const std::vector<unsigned int>& theTypes) {
    if (auto anIt = itsPlans.find(theTypes); anIt != itsPlans.end())
        return anIt->second;
    PgFailure aFailure;
    SPIPlanPtr aPlan = nullptr;
    int aResult = 0;
    const char* aSql = itsSql.c_str();
    Oid* aTypes = const_cast<Oid*>(theTypes.data());
    const int aCount = static_cast<int>(theTypes.size());
    if (!pgGuard(aFailure, [&] {
            // One generic plan for every execution: the engine's statements find rows by key,
            // so a plan made for the parameters' values would come out the same, each time
            // after a planning of its own.
            aPlan = SPI_prepare_cursor(aSql, aCount, aTypes, CURSOR_OPT_GENERIC_PLAN);
            if (aPlan == nullptr) {
                aResult = SPI_result;
                return;
            }
            // The plan moves into the backend's cache memory and lives as long as the backend.
            aResult = SPI_keepplan(aPlan);
        }))
        itsDatabase.fail("prepare", aFailure.itsMessage, aFailure.itsCode);
    if (aPlan == nullptr || aResult != 0)
        itsDatabase.fail("prepare", SPI_result_code_string(aResult), 0);
    itsPlans.emplace(theTypes, aPlan);
    return aPlan;
}

void SpiStatement::run() {
    itsDatabase.requireUsable();
    const std::size_t aCount = itsParameters.size();
    std::vector<unsigned int> aTypes(aCount, InvalidOid);
    bool anUntyped = false;
    for (std::size_t i = 0; i < aCount; ++i) {
        switch (itsParameters[i].itsBinding) {
        case Binding::Text:
            aTypes[i] = TEXTOID;
            break;
        case Binding::Integer:
            aTypes[i] = INT8OID;
            break;
        case Binding::Blob:
            aTypes[i] = BYTEAOID;
            break;
        case Binding::None:
        case Binding::Null:
            aTypes[i] = itsLastTypes[i];
            anUntyped = anUntyped || aTypes[i] == InvalidOid;
            break;
        }
    }
    if (anUntyped)
        resolveNullTypes(aTypes);
    SPIPlanPtr aPlan = planFor(aTypes);

    // The values: text and contents are copied once, into the varlenas PostgreSQL reads.
    std::vector<Datum> aValues(aCount, Datum(0));
    std::vector<char> aNulls(aCount + 1, ' ');
    std::vector<void*> aCopies;
    aCopies.reserve(aCount);
    PgFailure aFailure;
    for (std::size_t i = 0; i < aCount; ++i) {
        const Parameter& aParameter = itsParameters[i];
        std::string_view aBytes;
        switch (aParameter.itsBinding) {
        case Binding::Integer:
            aValues[i] = Int64GetDatum(aParameter.itsInteger);
            continue;
        case Binding::Text:
            aBytes = aParameter.itsText;
            break;
        case Binding::Blob:
            aBytes = aParameter.itsBlob;
            break;
        case Binding::None:
        case Binding::Null:
            aNulls[i] = 'n';
            continue;
        }
        if (aBytes.size() > kLargestValue)
            throw StorageError("Repository storage failed: a value of " +
                               std::to_string(aBytes.size()) +
                               " bytes exceeds PostgreSQL's largest value of " +
                               std::to_string(kLargestValue) + " bytes");
        const bool aText = aParameter.itsBinding == Binding::Text;
        Datum aDatum = Datum(0);
        if (!pgGuard(aFailure, [&] { aDatum = makeVarlena(aBytes.data(), aBytes.size(), aText); }))
            itsDatabase.fail("bind", aFailure.itsMessage, aFailure.itsCode);
        aValues[i] = aDatum;
        aCopies.push_back(DatumGetPointer(aDatum));
    }

    int aResult = 0;
    SPITupleTable* aRows = nullptr;
    std::uint64_t aProcessed = 0;
    const bool aReadOnly = itsDatabase.readOnly();
    Datum* aValueArray = aValues.data();
    const char* aNullArray = aNulls.data();
    if (!pgGuard(aFailure, [&] {
            aResult = SPI_execute_plan(aPlan, aValueArray, aNullArray, aReadOnly, 0);
            aProcessed = SPI_processed;
            aRows = aResult >= 0 ? SPI_tuptable : nullptr;
        }))
        itsDatabase.fail("step", aFailure.itsMessage, aFailure.itsCode);
    if (aResult < 0)
        itsDatabase.fail("step", SPI_result_code_string(aResult), 0);
    itsRows = aRows;
    itsRowCount = aRows != nullptr ? aRows->numvals : 0;
    itsDatabase.setChanges(static_cast<std::int64_t>(aProcessed));
    if (aResult == SPI_OK_INSERT || aResult == SPI_OK_UPDATE || aResult == SPI_OK_DELETE)
        itsDatabase.countChangedRows(static_cast<std::int64_t>(aProcessed));
    for (void* aCopy : aCopies)
        if (!pgGuard(aFailure, [&] { pfree(aCopy); }))
            itsDatabase.fail("step", aFailure.itsMessage, aFailure.itsCode);
}

bool SpiStatement::step() {
    if (!itsRan) {
        itsRan = true;
        itsRow = 0;
        run();
    } else if (itsRow < itsRowCount) {
        ++itsRow;
    }
    return itsRow < itsRowCount;
}

void SpiStatement::checkColumn(int theColumn) const {
    itsDatabase.requireUsable();
    if (itsRows == nullptr || itsRow >= itsRowCount)
        throw StorageError("Repository storage failed: no row to read in: " + itsSql);
    if (theColumn < 0 || theColumn >= itsRows->tupdesc->natts)
        throw StorageError("Repository storage failed: no column " + std::to_string(theColumn) +
                           " in: " + itsSql);
}

int SpiStatement::columnCount() const {
    return itsRows != nullptr ? itsRows->tupdesc->natts : 0;
}

SqlValueKind SpiStatement::kind(int theColumn) const {
    checkColumn(theColumn);
    const ColumnValue aValue = guardedColumn(itsDatabase, itsRows, itsRow, theColumn, false);
    if (aValue.itsNull)
        return SqlValueKind::Null;
    if (isIntegerType(aValue.itsType))
        return SqlValueKind::Integer;
    return aValue.itsType == BYTEAOID ? SqlValueKind::Blob : SqlValueKind::Text;
}

std::string SpiStatement::text(int theColumn) const {
    checkColumn(theColumn);
    const ColumnValue aValue = guardedColumn(itsDatabase, itsRows, itsRow, theColumn, true);
    if (aValue.itsNull)
        return {};
    if (isIntegerType(aValue.itsType))
        return std::to_string(aValue.itsInteger);
    std::string aText;
    void* aCopy = aValue.itsCopy;
    PgFailure aFailure;
    try {
        aText.assign(aValue.itsData, aValue.itsSize);
    } catch (...) {
        if (aCopy != nullptr)
            pgGuard(aFailure, [&] { pfree(aCopy); });
        throw;
    }
    if (aCopy != nullptr && !pgGuard(aFailure, [&] { pfree(aCopy); }))
        itsDatabase.fail("column", aFailure.itsMessage, aFailure.itsCode);
    return aText;
}

std::int64_t SpiStatement::integer(int theColumn) const {
    checkColumn(theColumn);
    const ColumnValue aValue = guardedColumn(itsDatabase, itsRows, itsRow, theColumn, false);
    if (aValue.itsNull)
        return 0;
    if (isIntegerType(aValue.itsType))
        return aValue.itsInteger;
    // Another type reads as its digits, as SQLite converts a text.
    const std::string aText = text(theColumn);
    return parseInteger(aText.data(), aText.size());
}

void SpiStatement::forgetRows() noexcept {
    itsRows = nullptr;
    itsRowCount = 0;
    itsRow = 0;
}

void SpiStatement::reset() noexcept {
    if (itsRows != nullptr && !itsDatabase.failed()) {
        PgFailure aFailure;
        SPITupleTable* aRows = itsRows;
        if (!pgGuard(aFailure, [&] { SPI_freetuptable(aRows); }))
            itsDatabase.markFailed(aFailure.itsMessage);
    }
    forgetRows();
    itsRan = false;
    for (Parameter& aParameter : itsParameters) {
        aParameter.itsBinding = Binding::None;
        aParameter.itsText.clear();
        aParameter.itsBlob = {};
    }
}
} // namespace RepositoryAccess::pgextension
