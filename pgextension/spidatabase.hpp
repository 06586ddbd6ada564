#pragma once

#include "server/sqldatabase.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// PostgreSQL's types, by name only: this header stays free of the server's headers.
struct _SPI_plan;
struct SPITupleTable;
struct MemoryContextData;
struct ResourceOwnerData;

namespace RepositoryAccess::pgextension {

// A failure that PostgreSQL reported, with its SQLSTATE (as PostgreSQL encodes it), so that the
// procedure can report it again with the same code (a cancelled statement stays cancelled).
class SpiError : public server::StorageError {
public:
    SpiError(const std::string& theMessage, int theCode)
        : server::StorageError(theMessage), itsCode(theCode) {}
    int code() const { return itsCode; }

private:
    int itsCode;
};

class SpiDatabase;

// A statement of the repository store over SPI. Its plans are prepared once per parameter type
// signature and kept for the backend's life. It runs at its first step and keeps the rows in
// SPI's memory until it is reset; the values are copied out one at a time.
class SpiStatement final : public server::SqlStatement {
public:
    SpiStatement(SpiDatabase& theDatabase, std::string theSql, int theParameters);
    ~SpiStatement() override;
    SpiStatement(const SpiStatement&) = delete;
    SpiStatement& operator=(const SpiStatement&) = delete;

    void bindText(int theIndex, std::string_view theText) override;
    void bindInteger(int theIndex, std::int64_t theValue) override;
    void bindBlob(int theIndex, std::string_view theBytes) override;
    void bindNull(int theIndex) override;
    bool step() override;
    int columnCount() const override;
    server::SqlValueKind kind(int theColumn) const override;
    std::string text(int theColumn) const override;
    std::int64_t integer(int theColumn) const override;
    void reset() noexcept override;

    // Forgets the rows without freeing them: a rolled-back subtransaction took them along.
    void forgetRows() noexcept;

private:
    enum class Binding { None, Null, Text, Integer, Blob };
    struct Parameter {
        Binding itsBinding = Binding::None;
        std::int64_t itsInteger = 0;
        std::string itsText;      // a copy, as SQLite makes one
        std::string_view itsBlob; // not copied: it stays until the statement has run
    };

    Parameter& parameter(int theIndex);
    void run();
    _SPI_plan* planFor(const std::vector<unsigned int>& theTypes);
    void resolveNullTypes(std::vector<unsigned int>& theTypes);
    const void* row() const;
    void checkColumn(int theColumn) const;

    SpiDatabase& itsDatabase;
    std::string itsSql; // with PostgreSQL's marks $1, $2, ...
    std::vector<Parameter> itsParameters;
    // The type each parameter was last bound with, for a later NULL.
    std::vector<unsigned int> itsLastTypes;
    std::map<std::vector<unsigned int>, _SPI_plan*> itsPlans;
    SPITupleTable* itsRows = nullptr;
    std::uint64_t itsRowCount = 0;
    std::uint64_t itsRow = 0;
    bool itsRan = false;
};

// The repository's tables inside PostgreSQL, through SPI, for the code that runs inside a call of
// the extension's functions. Every statement runs in the caller's transaction: a request is a
// subtransaction of it (begin, commit, rollback), so that a refused request changes nothing.
// Statements are prepared once per text and kept for the backend's life.
class SpiDatabase final : public server::SqlDatabase {
public:
    SpiDatabase();
    ~SpiDatabase() override;
    SpiDatabase(const SpiDatabase&) = delete;
    SpiDatabase& operator=(const SpiDatabase&) = delete;

    // One call of a function of the extension: connects to SPI and ends the connection again;
    // a request left open is rolled back. A failure to connect throws.
    class Call {
    public:
        explicit Call(SpiDatabase& theDatabase);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        SpiDatabase& itsDatabase;
    };

    server::SqlQuery query(const std::string& theSql) override;
    // Runs one or more statements through SPI, without parameters.
    void execute(const std::string& theSql) override;
    std::int64_t changes() const override { return itsChanges; }
    std::int64_t lastInsertId() override;

    // A read opens a subtransaction whose statements all see the snapshot of the calling
    // statement; a write waits for the repository's write lock first and then gives each
    // statement a fresh snapshot.
    void begin(bool theWrite) override;
    void commit() override;
    void rollback() override;
    // Rolls the open request back while another failure is on its way out; a failure of the
    // rollback itself is recorded as the database's failure, never thrown.
    void rollbackAfterFailure() noexcept;

    // For the statements: fails when a failure of PostgreSQL has not been rolled back yet.
    void requireUsable() const;
    // Records a failure of PostgreSQL and throws it as SpiError.
    [[noreturn]] void fail(const char* theWhat, const char* theMessage, int theCode);
    // Records a failure of PostgreSQL where nothing may be thrown.
    void markFailed(const char* theMessage) noexcept;
    bool failed() const { return itsFailed; }
    bool readOnly() const { return itsReadOnly; }
    void setChanges(std::int64_t theChanges) { itsChanges = theChanges; }

private:
    void endCall() noexcept;

    std::map<std::string, std::unique_ptr<SpiStatement>, std::less<>> itsStatements;
    std::int64_t itsChanges = 0;
    bool itsConnected = false;
    bool itsInSubtransaction = false;
    bool itsReadOnly = false;
    // A failure of PostgreSQL happened that only a rollback of the subtransaction clears.
    bool itsFailed = false;
    std::string itsFailure;
    MemoryContextData* itsContext = nullptr; // current at begin, restored at its end
    ResourceOwnerData* itsOwner = nullptr;
};

} // namespace RepositoryAccess::pgextension
