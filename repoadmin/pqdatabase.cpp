#include "repoadmin/pqdatabase.hpp"

#include "server/sqlmarks.hpp"
#include "server/writelock.hpp"

#include <libpq-fe.h>

#include <charconv>
#include <vector>

namespace RepositoryAccess::server {

namespace {

// The SQLSTATE of a lock wait that ran out of time.
constexpr const char* kLockNotAvailable = "55P03";

// Server notices (an object that exists already, a cascade) are not the tool's output.
void ignoreNotice(void*, const char*) {}

// The reason of a failed connect without libpq's frame: the first line after "... failed: ",
// without the severity.
std::string connectReason(const char* theMessage) {
    std::string aText = theMessage != nullptr ? theMessage : "";
    aText = aText.substr(0, aText.find('\n'));
    if (std::size_t aPos = aText.find(" failed: "); aPos != std::string::npos)
        aText = aText.substr(aPos + 9);
    if (aText.starts_with("FATAL:  "))
        aText = aText.substr(8);
    return aText;
}

struct FreeResult {
    void operator()(PGresult* theResult) const noexcept { PQclear(theResult); }
};
using Result = std::unique_ptr<PGresult, FreeResult>;

} // namespace

PqDatabase::PqDatabase(const PqAddress& theAddress) {
    std::vector<std::pair<std::string, std::string>> aKeywords = {
        {"client_encoding", "UTF8"}, {"connect_timeout", "10"}, {"application_name", "kivo-repo"}};
    // The address's own keywords come last and win.
    aKeywords.insert(aKeywords.end(), theAddress.keywords().begin(), theAddress.keywords().end());
    itsHandle = connectByKeywords(aKeywords, theAddress.password());
    if (itsHandle == nullptr || PQstatus(itsHandle) != CONNECTION_OK) {
        std::string aReason =
            itsHandle != nullptr ? connectReason(PQerrorMessage(itsHandle)) : "out of memory";
        PQfinish(itsHandle);
        itsHandle = nullptr;
        throw StorageError("Cannot connect to " + theAddress.display() + ": " + aReason);
    }
    PQsetNoticeProcessor(itsHandle, ignoreNotice, nullptr);
    try {
        run("SET search_path = sys", "connect");
    } catch (...) {
        PQfinish(itsHandle);
        throw;
    }
}

PqDatabase::~PqDatabase() {
    itsStatements.clear();
    PQfinish(itsHandle);
}

StorageError PqDatabase::failure(pg_result* theResult, const char* theWhat) const {
    const char* aPrimary =
        theResult != nullptr ? PQresultErrorField(theResult, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    std::string aText = aPrimary != nullptr ? aPrimary : PQerrorMessage(itsHandle);
    aText = aText.substr(0, aText.find('\n'));
    return StorageError(std::string("Repository storage failed (") + theWhat + "): " + aText);
}

void PqDatabase::claim(PqStatement& theStatement) {
    if (itsStreaming != nullptr && itsStreaming != &theStatement)
        itsStreaming->readAhead();
    itsStreaming = &theStatement;
}

void PqDatabase::release(PqStatement& theStatement) noexcept {
    if (itsStreaming == &theStatement)
        itsStreaming = nullptr;
}

void PqDatabase::recordChanges(pg_result* theResult) {
    const char* aTuples = PQcmdTuples(theResult);
    std::int64_t aCount = 0;
    if (aTuples != nullptr && *aTuples != '\0')
        std::from_chars(aTuples, aTuples + std::char_traits<char>::length(aTuples), aCount);
    itsChanges = aCount;
}

void PqDatabase::run(const std::string& theSql, const char* theWhat) {
    runUnlessState(theSql, theWhat, nullptr);
}

bool PqDatabase::runUnlessState(const std::string& theSql, const char* theWhat,
                                const char* theState) {
    if (itsStreaming != nullptr)
        itsStreaming->readAhead();
    Result aResult(PQexec(itsHandle, theSql.c_str()));
    const ExecStatusType aStatus = aResult ? PQresultStatus(aResult.get()) : PGRES_FATAL_ERROR;
    if (aStatus != PGRES_COMMAND_OK && aStatus != PGRES_TUPLES_OK) {
        const char* aState =
            aResult ? PQresultErrorField(aResult.get(), PG_DIAG_SQLSTATE) : nullptr;
        if (theState != nullptr && aState != nullptr && std::string_view(aState) == theState)
            return false;
        throw failure(aResult.get(), theWhat);
    }
    recordChanges(aResult.get());
    return true;
}

SqlQuery PqDatabase::query(const std::string& theSql) {
    auto anIt = itsStatements.find(theSql);
    if (anIt == itsStatements.end()) {
        if (itsStreaming != nullptr)
            itsStreaming->readAhead();
        const std::string aName = "kivo_" + std::to_string(itsStatements.size() + 1);
        const NumberedStatement aNumbered = numberMarks(theSql);
        Result aPrepared(PQprepare(itsHandle, aName.c_str(), aNumbered.itsSql.c_str(), 0, nullptr));
        if (!aPrepared || PQresultStatus(aPrepared.get()) != PGRES_COMMAND_OK)
            throw failure(aPrepared.get(), "prepare");
        Result aDescribed(PQdescribePrepared(itsHandle, aName.c_str()));
        if (!aDescribed || PQresultStatus(aDescribed.get()) != PGRES_COMMAND_OK)
            throw failure(aDescribed.get(), "prepare");
        std::vector<unsigned> aTypes;
        for (int i = 0; i < PQnparams(aDescribed.get()); ++i)
            aTypes.push_back(PQparamtype(aDescribed.get(), i));
        anIt = itsStatements
                   .emplace(theSql, std::make_unique<PqStatement>(*this, aName, std::move(aTypes)))
                   .first;
    }
    return SqlQuery(*anIt->second);
}

void PqDatabase::execute(const std::string& theSql) {
    run(theSql, "execute");
}

std::int64_t PqDatabase::changes() const {
    return itsChanges;
}

std::int64_t PqDatabase::lastInsertId() {
    auto aQuery = query("SELECT lastval()");
    return aQuery.step() ? aQuery.integer(0) : 0;
}

void PqDatabase::begin(bool theWrite) {
    if (!theWrite) {
        run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", "begin");
        return;
    }
    run("BEGIN", "begin");
    WriteLockLimits aLimits;
    bool aTaken = false;
    try {
        // A database that gets its repository in this transaction has no settings yet.
        if (query("SELECT 1 WHERE pg_catalog.to_regclass('sys.settings') IS NOT NULL").step())
            aLimits = readWriteLockLimits(*this);
        // The wait is bounded, as for every writer; the tool's sessions keep no lock timeout
        // of their own, so the server's default comes back after the lock.
        run("SET LOCAL lock_timeout = " + std::to_string(aLimits.itsWaitSeconds * 1000), "begin");
        aTaken = runUnlessState("SELECT pg_catalog.pg_advisory_xact_lock(" +
                                    std::to_string(kRepositoryWriteLock) + ")",
                                "begin", kLockNotAvailable);
        if (aTaken)
            run("SET LOCAL lock_timeout = DEFAULT", "begin");
    } catch (...) {
        rollback();
        throw;
    }
    if (aTaken)
        return;
    rollback();
    throw StorageError(busyMessage(*this, aLimits.itsWaitSeconds));
}

void PqDatabase::commit() {
    if (PQtransactionStatus(itsHandle) == PQTRANS_INERROR) {
        rollback();
        throw StorageError("Repository storage failed (commit): an earlier statement failed, so "
                           "the transaction was rolled back");
    }
    run("COMMIT", "commit");
}

void PqDatabase::rollback() {
    // A lost connection has rolled back on the server already.
    if (PQstatus(itsHandle) != CONNECTION_OK || PQtransactionStatus(itsHandle) == PQTRANS_IDLE)
        return;
    run("ROLLBACK", "rollback");
}

std::string PqDatabase::quoteIdentifier(std::string_view theText) const {
    char* aQuoted = PQescapeIdentifier(itsHandle, theText.data(), theText.size());
    if (aQuoted == nullptr)
        throw failure(nullptr, "quote");
    std::string aText = aQuoted;
    PQfreemem(aQuoted);
    return aText;
}

std::string PqDatabase::quoteLiteral(std::string_view theText) const {
    char* aQuoted = PQescapeLiteral(itsHandle, theText.data(), theText.size());
    if (aQuoted == nullptr)
        throw failure(nullptr, "quote");
    std::string aText = aQuoted;
    PQfreemem(aQuoted);
    return aText;
}

std::string PqDatabase::encryptPassword(const std::string& theRole,
                                        const std::string& thePassword) const {
    char* anEncrypted =
        PQencryptPasswordConn(itsHandle, thePassword.c_str(), theRole.c_str(), nullptr);
    if (anEncrypted == nullptr)
        throw failure(nullptr, "password");
    std::string aText = anEncrypted;
    PQfreemem(anEncrypted);
    return aText;
}

} // namespace RepositoryAccess::server
