#include "actions/checkoutdecision.hpp"
#include "actions/checkoutengine.hpp"

#include <gtest/gtest.h>

#include "tests/support/objectmeta.hpp"

#include "tests/support/memorydisk.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

using namespace RepositoryAccess;
using RepositoryAccess::testsupport::meta;

namespace {

RepositoryObject object(const std::string& theName, const ObjectMetaData& theMeta) {
    RepositoryObject anObject("p", theName, "txt");
    anObject.setMetaData(theMeta);
    return anObject;
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
    RepositoryObject aCommitted = object("a", meta(2, 5));
    aCommitted.setVersion({2, "dev", "ws", 5});
    objects::writeMetaFile(aCommitted);
    ASSERT_TRUE(itsDisk.content("SYS/p/a.txt.kivoMeta"));
    const checkoutdecision::Options aNone;
    const struct {
        const char* itsName;
        checkoutdecision::Action itsAction;
    } aTable[] = {{"a", checkoutdecision::Action::conflict},
                  {"b", checkoutdecision::Action::write}};
    for (const auto& aRow : aTable) {
        const RepositoryObject aLocal =
            objects::withMetaFile(RepositoryObject("p", aRow.itsName, "txt"));
        EXPECT_EQ(checkoutdecision::decide(&aLocal.metaData(),
                                           checkoutdecision::LocalState::unchanged, meta(1, 5),
                                           aNone)
                      .itsAction,
                  aRow.itsAction)
            << aRow.itsName;
    }
    objects::deleteMetaFile(aCommitted);
    EXPECT_TRUE(itsDisk.empty());
}

// The base of a conflict is the active version when it is the one the local copy stands on.
TEST(CheckOutVersions, TheBaseIsTheActiveVersionTheLocalCopyStandsOn) {
    const struct {
        const char* itsCase;
        ObjectMetaData itsLocal;
        std::int32_t itsActive;
    } aTable[] = {
        {"active", meta(1, 3), 3},
        {"historical", meta(3, 3), 3},
        {"committed on the active one", meta(2, 5), 4},
        {"new beside an active one", meta(0, 0), 7},
    };
    for (const auto& aRow : aTable) {
        SCOPED_TRACE(aRow.itsCase);
        ObjectMap anActive;
        const RepositoryObject anActiveVersion = object("a", meta(1, aRow.itsActive));
        anActive.emplace(anActiveVersion.key(), anActiveVersion);
        const RepositoryObject aBase =
            checkoutversions::baseVersionOf(object("a", aRow.itsLocal), anActive);
        EXPECT_EQ(aBase.metaData().itsType, 1);
        EXPECT_EQ(aBase.metaData().itsVersionId, aRow.itsActive);
    }
}

} // namespace
