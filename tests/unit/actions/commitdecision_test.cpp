#include "actions/commitdecision.hpp"
#include "actions/pushresolution.hpp"

#include <gtest/gtest.h>

#include "core/parameters.hpp"
#include "tests/support/messages.hpp"
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

// An inactive version numbered n builds on version n - 1: it is reverted once the file takes an
// active or historical version n or later, and kept when it builds on the version taken.
TEST(PushResolution, AnInactiveVersionBelowTheTakenOneIsLeftBehind) {
    const struct {
        const char* itsCase;
        ObjectMetaData itsInactive;
        ObjectMetaData itsTaken;
        bool itsLeftBehind;
    } aTable[] = {
        {"built on the one before", meta(2, 5), meta(1, 5), true},
        {"built on an older one", meta(2, 2), meta(1, 5), true},
        {"built on the taken one", meta(2, 6), meta(1, 5), false},
        {"a historical version taken", meta(2, 3), meta(3, 3), true},
        {"an inactive version taken", meta(2, 3), meta(2, 3), false},
        {"nothing taken", meta(2, 1), meta(0, 0), false},
    };
    for (const auto& aRow : aTable)
        EXPECT_EQ(pushresolution::isLeftBehind(aRow.itsInactive, aRow.itsTaken), aRow.itsLeftBehind)
            << aRow.itsCase;
}

// Commit and activate refuse conflicts, except inside a push that resolves them afterwards.
TEST(PushResolution, ConflictsStopCommitUnlessAPushResolvesThem) {
    struct Restore {
        ~Restore() {
            parameters().unset(params::action);
            parameters().unset(params::local);
        }
    } aRestore;
    // Outside a push the refusal is the commit's end-to-end test (CommitConflicts).
    EXPECT_FALSE(pushresolution::leaveConflictsToPush(false, "Commit", "committed"));
    const std::string aRefusal =
        "Commit failed. At least one of the files to be committed is conflicted.\n\n" +
        std::string(pushresolution::kResolutionCalls);
    parameters().setValue(params::action, "push");
    EXPECT_EQ(kivotest::messageOf(
                  [] { pushresolution::leaveConflictsToPush(true, "Commit", "committed"); }),
              aRefusal)
        << "a push without a resolution mode";
    parameters().setValue(params::local, "");
    EXPECT_TRUE(pushresolution::leaveConflictsToPush(true, "Commit", "committed"));
}

} // namespace
