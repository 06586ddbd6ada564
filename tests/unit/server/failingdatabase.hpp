#pragma once

// A database that passes everything on to the one it wraps but throws StorageError at its Nth
// statement, and optionally at the rollback after it (as SQLite's does when it rolled back itself).

#include "server/sqldatabase.hpp"
#include "tests/unit/server/enginetestsupport.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace enginetest {

using namespace RepositoryAccess;

class FailingDatabase final : public server::SqlDatabase {
public:
    explicit FailingDatabase(std::unique_ptr<SqlDatabase> theInner)
        : itsInner(std::move(theInner)) {}

    // Fails the theNumber-th statement from now on (0: none); with theRollbackFails the rollback
    // after that failure fails too.
    void failAt(int theNumber, bool theRollbackFails = false) {
        itsCount = 0;
        itsFailAt = theNumber;
        itsRollbackFails = theRollbackFails;
        itsFailed = false;
    }
    // True when the failure was injected since failAt().
    bool failed() const { return itsFailed; }
    static std::string message(int theNumber) {
        return "injected failure at statement " + std::to_string(theNumber);
    }

    server::SqlQuery query(const std::string& theSql) override {
        server::SqlStatement& anInner = itsInner->query(theSql).statement();
        std::unique_ptr<Statement>& aSlot = itsStatements[&anInner];
        if (!aSlot)
            aSlot = std::make_unique<Statement>(anInner, *this);
        return server::SqlQuery(*aSlot);
    }
    void execute(const std::string& theSql) override {
        count();
        itsInner->execute(theSql);
    }
    std::int64_t changes() const override { return itsInner->changes(); }
    std::int64_t lastInsertId() override { return itsInner->lastInsertId(); }
    void begin(bool theWrite) override {
        count();
        itsInner->begin(theWrite);
    }
    void commit() override {
        count();
        itsInner->commit();
    }
    void rollback() override {
        itsInner->rollback();
        failRollback();
    }
    void savepoint() override {
        count();
        itsInner->savepoint();
    }
    void releaseSavepoint() override {
        count();
        itsInner->releaseSavepoint();
    }
    void rollbackToSavepoint() override {
        itsInner->rollbackToSavepoint();
        failRollback();
    }

private:
    class Statement final : public server::SqlStatement {
    public:
        Statement(SqlStatement& theInner, FailingDatabase& theOwner)
            : itsInner(theInner), itsOwner(theOwner) {}
        void bindText(int theIndex, std::string_view theText) override {
            itsInner.bindText(theIndex, theText);
        }
        void bindInteger(int theIndex, std::int64_t theValue) override {
            itsInner.bindInteger(theIndex, theValue);
        }
        void bindBlob(int theIndex, std::string_view theBytes) override {
            itsInner.bindBlob(theIndex, theBytes);
        }
        void bindNull(int theIndex) override { itsInner.bindNull(theIndex); }
        bool step() override {
            itsOwner.count();
            return itsInner.step();
        }
        int columnCount() const override { return itsInner.columnCount(); }
        server::SqlValueKind kind(int theColumn) const override { return itsInner.kind(theColumn); }
        std::string text(int theColumn) const override { return itsInner.text(theColumn); }
        std::int64_t integer(int theColumn) const override { return itsInner.integer(theColumn); }
        void reset() noexcept override { itsInner.reset(); }

    private:
        SqlStatement& itsInner;
        FailingDatabase& itsOwner;
    };

    void count() {
        if (++itsCount != itsFailAt)
            return;
        itsFailed = true;
        throw server::StorageError(message(itsFailAt));
    }
    void failRollback() {
        if (itsFailed && itsRollbackFails)
            throw server::StorageError("injected rollback failure");
    }

    std::unique_ptr<SqlDatabase> itsInner;
    std::map<const server::SqlStatement*, std::unique_ptr<Statement>> itsStatements;
    int itsCount = 0;
    int itsFailAt = 0;
    bool itsRollbackFails = false;
    bool itsFailed = false;
};

// Runs theRun with theDatabase failing at its first statement, then at its second and so on
// (every other time its rollback too) until a run goes through: each failed run must throw its
// own error and leave the file at thePath as it was.
template <typename Run>
void runThroughFailures(FailingDatabase& theDatabase, const std::string& thePath,
                        const Run& theRun) {
    const std::string aBefore = dumpRepository(thePath);
    for (int n = 1;; ++n) {
        theDatabase.failAt(n, n % 2 == 0);
        try {
            theRun();
        } catch (const server::StorageError& anError) {
            EXPECT_EQ(std::string(anError.what()), FailingDatabase::message(n));
            ASSERT_TRUE(theDatabase.failed()) << anError.what();
            ASSERT_EQ(dumpRepository(thePath), aBefore) << "after a failure at statement " << n;
            continue;
        }
        EXPECT_FALSE(theDatabase.failed()) << "went on despite the failure at statement " << n;
        theDatabase.failAt(0);
        return;
    }
}

} // namespace enginetest
