// The repository store's database inside PostgreSQL: SPI under the engine's interface. Every
// call into PostgreSQL goes through pgGuard (pgguard.hpp); a caught error leaves the current
// subtransaction to be rolled back, so the database refuses everything but rollback() until
// then, and the statements only forget (never free) their rows meanwhile.

#include "pgextension/spidatabase.hpp"

#include "pgextension/pgguard.hpp"
#include "server/sqlmarks.hpp"
#include "server/writelock.hpp"

extern "C" {
#include "access/xact.h"
#include "catalog/pg_type.h"
#include "executor/spi.h"
#include "mb/pg_wchar.h"
#include "nodes/pg_list.h"
#include "parser/analyze.h"
#include "tcop/tcopprot.h"
#include "utils/resowner.h"
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

// ---- SpiStatement --------------------------------------------------------------------------

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
            aPlan = SPI_prepare(aSql, aCount, aTypes);
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

// ---- SpiDatabase ---------------------------------------------------------------------------

SpiDatabase::SpiDatabase() = default;

SpiDatabase::~SpiDatabase() = default;

SpiDatabase::Call::Call(SpiDatabase& theDatabase) : itsDatabase(theDatabase) {
    if (itsDatabase.itsConnected)
        throw StorageError("Repository storage failed: the database is in use by another call");
    // Whatever the previous call left behind ended with its transaction.
    itsDatabase.itsFailed = false;
    itsDatabase.itsFailure.clear();
    itsDatabase.itsInSubtransaction = false;
    itsDatabase.itsReadOnly = false;
    itsDatabase.itsChanges = 0;
    PgFailure aFailure;
    int aResult = 0;
    if (!pgGuard(aFailure, [&] { aResult = SPI_connect(); }))
        itsDatabase.fail("connect", aFailure.itsMessage, aFailure.itsCode);
    if (aResult != SPI_OK_CONNECT)
        itsDatabase.fail("connect", SPI_result_code_string(aResult), 0);
    itsDatabase.itsConnected = true;
}

SpiDatabase::Call::~Call() {
    itsDatabase.endCall();
}

void SpiDatabase::endCall() noexcept {
    if (itsInSubtransaction)
        rollbackAfterFailure();
    for (auto& [aSql, aStatement] : itsStatements)
        aStatement->forgetRows();
    // After a failure that no rollback cleared, the error that ends this call aborts the
    // transaction, and that cleans up SPI too: the SPI stack may not be ours at this moment.
    if (itsConnected && !itsFailed) {
        PgFailure aFailure;
        pgGuard(aFailure, [&] { SPI_finish(); });
    }
    itsConnected = false;
}

void SpiDatabase::requireUsable() const {
    if (itsFailed)
        throw StorageError("Repository storage failed before: " + itsFailure);
    if (!itsConnected)
        throw StorageError("Repository storage failed: used outside a call of the extension");
}

void SpiDatabase::fail(const char* theWhat, const char* theMessage, int theCode) {
    markFailed(theMessage);
    throw SpiError(std::string("Repository storage failed (") + theWhat + "): " + theMessage,
                   theCode);
}

void SpiDatabase::markFailed(const char* theMessage) noexcept {
    itsFailed = true;
    try {
        itsFailure = theMessage;
    } catch (...) {
        itsFailure.clear();
    }
}

server::SqlQuery SpiDatabase::query(const std::string& theSql) {
    auto anIt = itsStatements.find(theSql);
    if (anIt == itsStatements.end()) {
        server::NumberedStatement aNumbered = server::numberMarks(theSql);
        anIt =
            itsStatements
                .emplace(theSql, std::make_unique<SpiStatement>(*this, std::move(aNumbered.itsSql),
                                                                aNumbered.itsParameters))
                .first;
    }
    return server::SqlQuery(*anIt->second);
}

void SpiDatabase::execute(const std::string& theSql) {
    requireUsable();
    PgFailure aFailure;
    int aResult = 0;
    std::uint64_t aProcessed = 0;
    const char* aSql = theSql.c_str();
    const bool aReadOnly = itsReadOnly;
    if (!pgGuard(aFailure, [&] {
            aResult = SPI_execute(aSql, aReadOnly, 0);
            aProcessed = SPI_processed;
            if (aResult >= 0)
                SPI_freetuptable(SPI_tuptable);
        }))
        fail("execute", aFailure.itsMessage, aFailure.itsCode);
    if (aResult < 0)
        fail("execute", SPI_result_code_string(aResult), 0);
    itsChanges = static_cast<std::int64_t>(aProcessed);
}

std::int64_t SpiDatabase::lastInsertId() {
    auto aQuery = query("SELECT pg_catalog.lastval()");
    if (!aQuery.step())
        throw StorageError("Repository storage failed: no generated key");
    return aQuery.integer(0);
}

void SpiDatabase::begin(bool theWrite) {
    requireUsable();
    if (itsInSubtransaction)
        throw StorageError("Repository storage failed: a request is open already");
    if (theWrite && IsolationUsesXactSnapshot())
        throw StorageError("The repository changes only in transactions of isolation level READ "
                           "COMMITTED: a write must see what the writer before it committed");
    PgFailure aFailure;
    MemoryContext aContext = CurrentMemoryContext;
    ResourceOwner anOwner = CurrentResourceOwner;
    if (!pgGuard(aFailure, [&] {
            BeginInternalSubTransaction(nullptr);
            // The statements keep working in the call's memory, as PL/Python's do.
            MemoryContextSwitchTo(aContext);
        }))
        fail("begin", aFailure.itsMessage, aFailure.itsCode);
    itsInSubtransaction = true;
    itsContext = aContext;
    itsOwner = anOwner;
    // A read runs every statement in the snapshot of the calling statement (SPI's read-only
    // mode): it sees one state of the repository and never waits.
    itsReadOnly = !theWrite;
    if (!theWrite)
        return;
    // One writer at a time per repository, as the repository file's write lock does it: the
    // engine checks its rules (version bases, conflicts, contributors, ...) by reading and then
    // writes, so two writers that interleaved could both pass a check that only one of them may
    // pass. Every writer therefore takes this transaction-scoped advisory lock (one key for the
    // database, shared with the administration tool, server/writelock.hpp) before it reads
    // anything, and holds it until its transaction ends. Each of its statements then runs with a
    // fresh snapshot (SPI not read-only, READ COMMITTED), so it sees everything that the writers
    // before it committed: a lock holder releases the lock only after its commit is visible.
    // Readers take no lock and never wait for a writer.
    try {
        query("SELECT pg_catalog.pg_advisory_xact_lock(?)")
            .bind(1, server::kRepositoryWriteLock)
            .run();
    } catch (...) {
        rollbackAfterFailure();
        throw;
    }
}

void SpiDatabase::rollbackAfterFailure() noexcept {
    try {
        rollback();
    } catch (const std::exception& anError) {
        // The failure that is on its way out is the one to report; this one stays recorded,
        // so nothing runs on in the subtransaction, and the call's error aborts the transaction.
        markFailed(anError.what());
    }
}

void SpiDatabase::commit() {
    if (!itsInSubtransaction) {
        requireUsable();
        return;
    }
    if (itsFailed) {
        const std::string aFailure = itsFailure;
        rollback();
        throw StorageError("Repository storage failed before: " + aFailure);
    }
    PgFailure aFailure;
    MemoryContext aContext = itsContext;
    ResourceOwner anOwner = itsOwner;
    if (!pgGuard(aFailure, [&] {
            ReleaseCurrentSubTransaction();
            MemoryContextSwitchTo(aContext);
            CurrentResourceOwner = anOwner;
        })) {
        markFailed(aFailure.itsMessage);
        rollbackAfterFailure();
        throw SpiError(std::string("Repository storage failed (commit): ") + aFailure.itsMessage,
                       aFailure.itsCode);
    }
    itsInSubtransaction = false;
    itsReadOnly = false;
}

void SpiDatabase::rollback() {
    for (auto& [aSql, aStatement] : itsStatements)
        aStatement->forgetRows();
    if (!itsInSubtransaction)
        return;
    PgFailure aFailure;
    MemoryContext aContext = itsContext;
    ResourceOwner anOwner = itsOwner;
    const bool anOk = pgGuard(aFailure, [&] {
        RollbackAndReleaseCurrentSubTransaction();
        MemoryContextSwitchTo(aContext);
        CurrentResourceOwner = anOwner;
    });
    itsInSubtransaction = false;
    itsReadOnly = false;
    if (!anOk)
        fail("rollback", aFailure.itsMessage, aFailure.itsCode);
    // The subtransaction took the failure's state along.
    itsFailed = false;
    itsFailure.clear();
}

} // namespace RepositoryAccess::pgextension
