#include "tests/support/process.hpp"
#include "workspace/sysatomicfile.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace sys = RepositoryAccess::sys;

namespace {
// While set, every link fails as on a file system that cannot give a nameless file a name.
std::atomic<bool> theLinksRefused{false};
std::atomic<int> theRefusals{0};
} // namespace

// This test program's own linkat stands in for the C library's: it refuses while asked to and
// passes every other call on to the kernel.
extern "C" int linkat(int theOldDir, const char* theOldPath, int theNewDir, const char* theNewPath,
                      int theFlags) {
    if (theLinksRefused) {
        ++theRefusals;
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(
        ::syscall(SYS_linkat, theOldDir, theOldPath, theNewDir, theNewPath, theFlags));
}

// A settings file gets its name whole, or keeps its old content: a new file does not appear
// before its commit, one never committed leaves the target alone. Where no link can be made, new
// and replaced files are copied under a temporary name and renamed; no temporary file is left.
TEST(AtomicFileCopy, FileSystemsThatCannotLinkGetACopy) {
    for (const bool aRefused : {false, true}) {
        SCOPED_TRACE(aRefused ? "copied" : "linked");
        kivotest::TempDir aTemp;
        const std::string aNew = (aTemp.path() / "new.kivoMeta").string();
        const std::string anOld = (aTemp.path() / "old.kivoMeta").string();
        kivotest::writeText(anOld, "old");
        theLinksRefused = aRefused;
        {
            sys::AtomicFile aFresh(aNew);
            aFresh.write(std::string(100000, 'n'));
            sys::AtomicFile aReplacement(anOld);
            aReplacement.write("replaced");
            EXPECT_FALSE(fs::exists(aNew));
            aFresh.commit();
            aReplacement.commit();
            sys::AtomicFile anUnfinished(anOld);
            anUnfinished.write("torn");
        }
        theLinksRefused = false;
        EXPECT_EQ(kivotest::readText(aNew), std::string(100000, 'n'));
        EXPECT_EQ(kivotest::readText(anOld), "replaced");
        EXPECT_EQ(std::distance(fs::directory_iterator(aTemp.path()), fs::directory_iterator()), 2);
    }
    EXPECT_GE(theRefusals, 2); // the copies were really made
}
