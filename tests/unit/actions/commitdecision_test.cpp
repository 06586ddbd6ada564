#include "actions/commitdecision.hpp"

#include <gtest/gtest.h>

#include "tests/support/objectmeta.hpp"

using namespace RepositoryAccess;
using RepositoryAccess::testsupport::meta;

namespace {

// Version types: 0 none yet, 1 active, 2 inactive (committed), 3 historical.
TEST(CommitDecision, ADeletionRevertsOrDropsOnlyForAnActivatedObject) {
    const struct {
        const char* itsCase;
        int itsLocalType;
        bool itsInactive;
        bool itsActive;
        bool itsRevertFirst;
        bool itsActivelyDeleted;
    } aTable[] = {
        {"never committed", 0, true, true, false, false},
        {"committed, never activated", 2, true, false, false, false},
        {"inactive beside active", 1, true, true, true, false},
        {"inactive only", 1, true, false, false, false},
        {"active only", 1, false, true, false, false},
        {"deleted by activation", 3, false, false, false, true},
    };
    for (const auto& aRow : aTable) {
        SCOPED_TRACE(aRow.itsCase);
        const commitdecision::DeletionPlan aPlan = commitdecision::planDeletion(
            meta(aRow.itsLocalType, 4), aRow.itsInactive, aRow.itsActive);
        EXPECT_EQ(aPlan.itsRevertFirst, aRow.itsRevertFirst);
        EXPECT_EQ(aPlan.itsActivelyDeleted, aRow.itsActivelyDeleted);
    }
}

// A committed version is written over in place; any other gets the next number.
TEST(CommitDecision, ASimulatedWriteStandsForTheVersionTheRepositoryWouldCreate) {
    const struct {
        ObjectMetaData itsLocal;
        std::int32_t itsVersion;
    } aTable[] = {{meta(0, 0), 1}, {meta(1, 4), 5}, {meta(3, 4), 5}, {meta(2, 5), 5}};
    for (const auto& aRow : aTable) {
        const ObjectMetaData aWrite = commitdecision::simulatedInactive(aRow.itsLocal, false);
        const ObjectMetaData aDeletion = commitdecision::simulatedInactive(aRow.itsLocal, true);
        EXPECT_EQ(aWrite.itsVersionId, aRow.itsVersion) << aRow.itsLocal.itsType;
        EXPECT_EQ(aWrite.itsType, 2);
        EXPECT_FALSE(aWrite.itsIsDeletion);
        EXPECT_EQ(aDeletion.itsVersionId, aRow.itsVersion);
        EXPECT_TRUE(aDeletion.itsIsDeletion);
    }
}

} // namespace
