// A large scope is classified in stretches of the path order on several threads: whatever falls on
// either side of a stretch boundary must come out as one walk over the whole tree would report it.
#include <cstdio>
#include <set>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/hash.hpp"
#include "workspace/status.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspacefile.hpp"

using namespace RepositoryAccess;
using kivotest::writeText;
namespace fs = std::filesystem;

namespace {

constexpr int kDirectories = 60;
constexpr int kFilesPerDirectory = 150;
// The directory whose rules ignore its files f010.txt to f019.txt (and the rules file itself).
constexpr int kIgnoringDirectory = 31;

class StatusStretches : public wstest::WorkSpaceTest {
protected:
    void SetUp() override {
        wstest::WorkSpaceTest::SetUp();
        itsWs = openWorkSpace(true);
    }

    std::string name(int theDirectory, int theFile) const {
        char aName[32];
        std::snprintf(aName, sizeof aName, "p/d%02d/f%03d.txt", theDirectory, theFile);
        return (itsWs / aName).string();
    }
    static bool ignored(int theDirectory, int theFile) {
        return theDirectory == kIgnoringDirectory && theFile >= 10 && theFile < 20;
    }

    fs::path itsWs;
};

} // namespace

TEST_F(StatusStretches, ReportEveryFileAsOneWalkWould) {
    WorkSpaceStatusFile& aStatus = workspace::get()->status();
    PathSet aModified, aDeleted, aNew, aPresent, aConflicted;
    for (int d = 0; d < kDirectories; ++d) {
        fs::create_directories(fs::path(name(d, 0)).parent_path());
        for (int f = 0; f < kFilesPerDirectory; ++f) {
            const std::string aFile = name(d, f);
            writeText(aFile, aFile);
            const sys::StampedContent aRead = sys::readFileStamped(aFile);
            aStatus.setFileStatus(aFile, hash::calc(*aRead.itsBytes), aRead.itsTimestamp, 1,
                                  aRead.itsFileStat);
            const int anIndex = d * kFilesPerDirectory + f;
            if (anIndex % 1000 == 500) { // conflicted files take no part in the comparison
                aStatus.addConflict(aFile);
                aConflicted.push_back(aFile);
                continue;
            }
            if (anIndex % 97 == 0) {
                fs::remove(aFile);
                if (!ignored(d, f))
                    aDeleted.push_back(aFile);
                continue;
            }
            if (anIndex % 89 == 1) {
                writeText(aFile, "changed");
                wstest::setModifiedTime(aFile, 2000000000, 0);
                if (!ignored(d, f))
                    aModified.push_back(aFile);
            }
            if (!ignored(d, f))
                aPresent.push_back(aFile);
        }
        if (d % 10 == 5) {
            aNew.push_back((fs::path(name(d, 0)).parent_path() / "new.txt").string());
            writeText(aNew.back(), "new");
        }
    }
    writeText(itsWs / "p/d31/.kivoignore", R"({"exclude":["f01.*", "\\.kivoignore"]})");
    for (const char* aNewDirectoryFile : {"p/d15x/a.txt", "p/zz/b.txt"}) {
        fs::create_directories((itsWs / aNewDirectoryFile).parent_path());
        writeText(itsWs / aNewDirectoryFile, "new");
        aNew.push_back((itsWs / aNewDirectoryFile).string());
    }
    for (PathSet* aSet : {&aModified, &aDeleted, &aNew, &aPresent})
        pathset::normalize(*aSet);
    const PathSet aNewDirectories = {(itsWs / "p/d15x").string(), (itsWs / "p/zz").string()};

    for (const Parameter* aMode : {static_cast<const Parameter*>(nullptr), &params::veryFast,
                                   &params::fast, &params::noCompare}) {
        if (aMode)
            setParameter(*aMode);
        const Status aResult({"p"}, true, false, false);
        EXPECT_EQ(aResult.conflicted(), aConflicted);
        EXPECT_EQ(aResult.deleted(), aDeleted);
        EXPECT_EQ(aResult.newFiles(), aNew);
        EXPECT_EQ(aResult.newDirectories(), aNewDirectories);
        // Without a comparison every known file on disk counts as modified.
        EXPECT_EQ(aResult.modified(), aMode == &params::noCompare ? aPresent : aModified);
        if (aMode)
            unsetParameter(*aMode);
    }
}
