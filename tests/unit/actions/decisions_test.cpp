// The planning decisions of checkout, commit and push, on metadata alone or on the memory disk.
#include "actions/checkoutdecision.hpp"
#include "actions/checkoutengine.hpp"
#include "actions/commitdecision.hpp"
#include "actions/pushresolution.hpp"

#include <gtest/gtest.h>

#include "core/parameters.hpp"
#include "tests/support/memorydisk.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/objectmeta.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

#include <optional>
#include <string>
#include <vector>

using namespace RepositoryAccess;
using checkoutdecision::Action;
using checkoutdecision::LocalState;
using checkoutdecision::Options;
using RepositoryAccess::testsupport::meta;

namespace {

ObjectMetaData deletion(std::int32_t theVersion) {
    ObjectMetaData aMeta = meta(3, theVersion);
    aMeta.itsIsDeletion = true;
    return aMeta;
}

const Options kNone;
const Options kForce{.itsForce = true};
const Options kOverwrite{.itsOverwrite = true};
const Options kSkip{.itsSkip = true};
const Options kOverwriteAndSkip{.itsOverwrite = true, .itsSkip = true};
const Options kActive{.itsActive = true};
const Options kHistorical{.itsHistorical = true};

using A = Action;
using S = LocalState;

struct Row {
    const char* itsCase;
    std::optional<ObjectMetaData> itsLocal;
    LocalState itsState;
    ObjectMetaData itsRemote;
    Options itsOptions;
    Action itsAction;
    const char* itsReason = "";
};

const Row kRows[] = {
    {"no local copy", std::nullopt, S::unchanged, meta(1, 3), kNone, A::write},
    {"a local file never committed", meta(0, 0), S::created, meta(1, 1), kNone, A::write},
    {"force writes over changes", meta(1, 3), S::modified, meta(1, 3), kForce, A::write},
    {"force writes over a conflict", meta(1, 3), S::conflicted, meta(1, 4), kForce, A::write},
    {"a conflict without force stops", meta(1, 3), S::conflicted, meta(1, 4), kNone, A::refuse},
    {"the same version", meta(1, 3), S::unchanged, meta(1, 3), kNone, A::keep},
    {"historical and active count alike", meta(3, 3), S::unchanged, meta(1, 3), kNone, A::keep},
    {"an older remote version", meta(1, 5), S::unchanged, meta(1, 4), kNone, A::keep},
    {"a changed file at the remote version", meta(1, 3), S::modified, meta(1, 3), kNone, A::keep},
    {"an older version asked for", meta(1, 5), S::unchanged, meta(3, 4), kActive, A::write},
    {"a newer version", meta(1, 3), S::unchanged, meta(1, 4), kNone, A::write},
    {"a newer version over a modified file", meta(1, 3), S::modified, meta(1, 4), kNone,
     A::conflict, "file locally modified"},
    {"a newer version over a created file", meta(1, 3), S::created, meta(1, 4), kNone, A::conflict,
     "file locally created"},
    {"a newer version over a deleted file", meta(1, 3), S::deleted, meta(1, 4), kNone, A::conflict,
     "file locally deleted"},
    {"the active version below a committed one", meta(2, 5), S::unchanged, meta(1, 4), kNone,
     A::keep},
    {"an active version over a committed one", meta(2, 5), S::unchanged, meta(1, 5), kNone,
     A::conflict, "file committed"},
    {"a committed one overwritten", meta(2, 5), S::unchanged, meta(1, 5), kOverwrite, A::overwrite},
    {"a committed one skipped", meta(2, 5), S::unchanged, meta(1, 5), kSkip, A::skip},
    {"overwrite before skip", meta(1, 3), S::modified, meta(1, 4), kOverwriteAndSkip, A::overwrite},
    {"the own committed version", meta(2, 3), S::unchanged, meta(2, 3), kNone, A::keep},
    {"another committed version", meta(2, 3), S::unchanged, meta(2, 4), kNone, A::conflict,
     "file committed"},
    {"no version at that time, over changes", meta(1, 3), S::modified, deletion(0), kHistorical,
     A::keep},
    {"a deletion at that time, over changes", meta(1, 3), S::modified, deletion(2), kHistorical,
     A::conflict, "file locally modified"},
    {"a deletion at that time, unchanged file", meta(1, 3), S::unchanged, deletion(2), kHistorical,
     A::write},
};

TEST(CheckOutDecision, EachLocalStateAgainstEachRemoteVersion) {
    for (const Row& aRow : kRows) {
        SCOPED_TRACE(aRow.itsCase);
        const checkoutdecision::Decision aDecision =
            checkoutdecision::decide(aRow.itsLocal ? &*aRow.itsLocal : nullptr, aRow.itsState,
                                     aRow.itsRemote, aRow.itsOptions);
        EXPECT_EQ(aDecision.itsAction, aRow.itsAction);
        EXPECT_EQ(aDecision.itsReason, aRow.itsReason);
    }
}

// A file in several sets is named by the first of new, deleted, modified: that is the reason a
// conflict gives.
TEST(CheckOutDecision, TheLocalStateComesFromTheFirstSetThatHoldsTheFile) {
    LocalFiles aLocal;
    aLocal.itsNew = {"a", "b"};
    aLocal.itsDeleted = {"b", "c"};
    aLocal.itsModified = {"a", "c", "d"};
    aLocal.itsConflicted = {"d", "e"};
    const std::vector<std::pair<std::string, LocalState>> aTable = {
        {"a", LocalState::created},  {"b", LocalState::created},    {"c", LocalState::deleted},
        {"d", LocalState::modified}, {"e", LocalState::conflicted}, {"f", LocalState::unchanged}};
    for (const auto& [aFile, aState] : aTable)
        EXPECT_EQ(checkoutdecision::stateOf(aLocal, aFile), aState) << aFile;
}

RepositoryObject version(const std::string& theName, int theType, std::int32_t theVersion) {
    RepositoryObject anObject("p", theName, "txt");
    anObject.setMetaData(meta(theType, theVersion));
    return anObject;
}

void put(ObjectMap& theMap, const RepositoryObject& theObject) {
    theMap.insert_or_assign(theObject.key(), theObject);
}

// Each chosen version as "name type:version", in key order.
std::vector<std::string> shown(const ObjectMap& theMap) {
    std::vector<std::string> aShown;
    for (const auto& [aKey, anObject] : theMap)
        aShown.push_back(anObject.name() + " " + std::to_string(anObject.metaData().itsType) + ":" +
                         std::to_string(anObject.metaData().itsVersionId));
    return aShown;
}

TEST(CheckOutDecision, TheTargetVersionsFollowTheOptions) {
    CheckOutMaps aMaps;
    ObjectMap anActive;
    put(anActive, version("a", 1, 1));
    put(anActive, version("b", 1, 2));
    put(anActive, version("d", 1, 2));
    put(aMaps.itsInactive, version("b", 2, 3)); // the next version of an active one
    put(aMaps.itsInactive, version("c", 2, 1)); // a new object
    put(aMaps.itsInactive, version("d", 2, 5)); // not the next one: another's work in between
    put(aMaps.itsHistorical, version("h", 3, 7));
    put(aMaps.itsBase, version("z", 1, 9));
    const Options kBase{.itsBase = true};
    const Options kInactive{.itsInactive = true};
    const Options kHistoricalAndBase{.itsBase = true, .itsHistorical = true};
    const struct {
        const char* itsCase;
        Options itsOptions;
        std::vector<std::string> itsTarget;
    } aTable[] = {
        {"historical", kHistorical, {"h 3:7"}},
        {"historical before base", kHistoricalAndBase, {"h 3:7"}},
        {"base", kBase, {"z 1:9"}},
        {"active only", kActive, {"a 1:1", "b 1:2", "d 1:2"}},
        {"every inactive one", kInactive, {"a 1:1", "b 2:3", "c 2:1", "d 2:5"}},
        {"the next inactive ones", kNone, {"a 1:1", "b 2:3", "c 2:1", "d 1:2"}},
    };
    for (const auto& aRow : aTable) {
        SCOPED_TRACE(aRow.itsCase);
        EXPECT_EQ(shown(checkoutdecision::targetVersions(aRow.itsOptions, anActive, aMaps)),
                  aRow.itsTarget);
    }
}

// Without an open workspace an object's files lie relative to the current directory:
// "p/<name>.txt" and its metadata "SYS/p/<name>.txt.kivoMeta".
class CheckOutOnDisk : public ::testing::Test {
protected:
    kivotest::MemoryDisk itsDisk;
    disk::Use itsUse{itsDisk};
};

// A local file that holds the remote content already takes that version instead of a conflict.
TEST_F(CheckOutOnDisk, OnlyAFileWithTheRemoteBytesIsIdentical) {
    const std::string aFile = "p/a.txt";
    EXPECT_FALSE(checkoutversions::identicalFile(aFile, "abc")) << "missing";
    itsDisk.addFile(aFile, "abd");
    EXPECT_FALSE(checkoutversions::identicalFile(aFile, "abc")) << "same size";
    itsDisk.addFile(aFile, "abcd");
    EXPECT_FALSE(checkoutversions::identicalFile(aFile, "abc")) << "longer";
    itsDisk.addFile(aFile, "abc");
    const auto aState = checkoutversions::identicalFile(aFile, "abc");
    ASSERT_TRUE(aState);
    EXPECT_EQ(aState->itsHash, hash::calc("abc"));
    EXPECT_EQ(aState->itsTimestamp, sys::getts(aFile));
}

// The local side of the decision is what the object's metadata file says: a committed version
// there makes a newer active version a conflict; no metadata file makes it a plain write.
TEST_F(CheckOutOnDisk, TheLocalVersionComesFromTheMetadataFile) {
    RepositoryObject aCommitted = version("a", 2, 5);
    aCommitted.setVersion({2, "dev", "ws", 5});
    objects::writeMetaFile(aCommitted);
    ASSERT_TRUE(itsDisk.content("SYS/p/a.txt.kivoMeta"));
    for (const auto& [aName, anAction] : {std::pair{"a", A::conflict}, {"b", A::write}}) {
        const RepositoryObject aLocal = objects::withMetaFile(RepositoryObject("p", aName, "txt"));
        EXPECT_EQ(
            checkoutdecision::decide(&aLocal.metaData(), S::unchanged, meta(1, 5), kNone).itsAction,
            anAction)
            << aName;
    }
    objects::deleteMetaFile(aCommitted);
    EXPECT_TRUE(itsDisk.empty());
}

// The base of a conflict is the active version when it is the one the local copy stands on.
TEST(CheckOutVersions, TheBaseIsTheActiveVersionTheLocalCopyStandsOn) {
    const struct {
        const char* itsCase;
        int itsLocalType;
        std::int32_t itsLocal, itsActive;
    } aTable[] = {
        {"active", 1, 3, 3},
        {"historical", 3, 3, 3},
        {"committed on the active one", 2, 5, 4},
        {"new beside an active one", 0, 0, 7},
    };
    for (const auto& aRow : aTable) {
        SCOPED_TRACE(aRow.itsCase);
        ObjectMap anActive;
        put(anActive, version("a", 1, aRow.itsActive));
        const RepositoryObject aBase = checkoutversions::baseVersionOf(
            version("a", aRow.itsLocalType, aRow.itsLocal), anActive);
        EXPECT_EQ(aBase.metaData().itsType, 1);
        EXPECT_EQ(aBase.metaData().itsVersionId, aRow.itsActive);
    }
}

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
