#include "actions/resolvesides.hpp"

#include <gtest/gtest.h>

#include "tests/support/memorydisk.hpp"
#include "workspace/sys.hpp"

using namespace RepositoryAccess;
using resolvesides::Side;

namespace {

class ResolveSides : public ::testing::Test {
protected:
    kivotest::MemoryDisk itsDisk;
    disk::Use itsUse{itsDisk};
    const mergetool::Sides itsSides{"/ws/.kivo/base/a.txt", "/ws/.kivo/diff/a.txt", "/ws/a.txt"};
};

// A missing side and one that begins with the mark both stand for a deleted object.
TEST_F(ResolveSides, EachModeTakesItsOwnFileAndADeletionIsNoContent) {
    itsDisk.addFile(itsSides.itsLocal, "mine");
    itsDisk.addFile(itsSides.itsRemote, "__deleted__");
    const struct {
        const char* itsMode;
        std::optional<Side> itsSide;
    } aTable[] = {
        {"local", Side("mine")}, {"LOCAL", Side("mine")},     {"remote", Side()},
        {"base", Side()},        {"mergeTool", std::nullopt}, {"theirs", std::nullopt},
    };
    for (const auto& aRow : aTable)
        EXPECT_EQ(resolvesides::fileSide(aRow.itsMode, itsSides), aRow.itsSide) << aRow.itsMode;
    itsDisk.addFile(itsSides.itsBase, "old\n__deleted__");
    EXPECT_EQ(resolvesides::sideContent(itsSides.itsBase), Side("old\n__deleted__"));
}

TEST_F(ResolveSides, TheLocalFileIsWrittenOnlyWhenItDiffers) {
    itsDisk.addFile(itsSides.itsLocal, "same");
    const std::string aBefore = sys::getts(itsSides.itsLocal);
    resolvesides::writeLocal(itsSides.itsLocal, Side("same"));
    EXPECT_EQ(sys::getts(itsSides.itsLocal), aBefore);
    resolvesides::writeLocal(itsSides.itsLocal, Side("other"));
    EXPECT_EQ(itsDisk.content(itsSides.itsLocal), "other");
    EXPECT_NE(sys::getts(itsSides.itsLocal), aBefore);
    resolvesides::writeLocal(itsSides.itsLocal, Side());
    EXPECT_FALSE(itsDisk.content(itsSides.itsLocal));
    resolvesides::writeLocal(itsSides.itsLocal, Side()); // gone already: nothing to do
    // A side taken for a deleted file brings its directory back.
    resolvesides::writeLocal("/ws/gone/dir/b.txt", Side("back"));
    EXPECT_EQ(itsDisk.content("/ws/gone/dir/b.txt"), "back");
}

} // namespace
