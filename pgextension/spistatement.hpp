#pragma once

#include "server/sqldatabase.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// PostgreSQL's types, by name only: this header stays free of the server's headers.
struct _SPI_plan;
struct SPITupleTable;

namespace RepositoryAccess::pgextension {

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

} // namespace RepositoryAccess::pgextension
