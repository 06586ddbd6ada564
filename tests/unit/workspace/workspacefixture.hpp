#pragma once

// Shared set-up of the workspace tests: a fresh directory that the test runs in, parameters
// restored afterwards, the process-wide workspace handle dropped, and standard output captured.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/process.hpp"
#include "workspace/workspace.hpp"

namespace wstest {

using kivotest::messageOf;

namespace fs = std::filesystem;

// Sets (or, for nullptr, clears) environment variables until the end of the scope; the time zone
// is read again both times.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> theValues) {
        for (auto [aName, aValue] : theValues) {
            const char* anOld = std::getenv(aName);
            itsOld.emplace_back(aName, anOld ? std::optional<std::string>(anOld) : std::nullopt);
            set(aName, aValue);
        }
    }
    ~ScopedEnv() {
        for (auto anOld = itsOld.rbegin(); anOld != itsOld.rend(); ++anOld)
            set(anOld->first.c_str(), anOld->second ? anOld->second->c_str() : nullptr);
    }

private:
    static void set(const char* theName, const char* theValue) {
        theValue ? ::setenv(theName, theValue, 1) : ::unsetenv(theName);
        ::tzset();
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> itsOld;
};

class WorkSpaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsOldCwd = fs::current_path();
        fs::current_path(itsDir.path());
        itsOldOut = std::cout.rdbuf(itsOut.rdbuf());
        RepositoryAccess::workspace::reset();
    }

    void TearDown() override {
        RepositoryAccess::workspace::reset();
        std::cout.rdbuf(itsOldOut);
        fs::current_path(itsOldCwd);
        for (const auto& aParameter : itsParameters)
            RepositoryAccess::parameters().unset(aParameter);
    }

    const fs::path& dir() const { return itsDir.path(); }

    void setParameter(const RepositoryAccess::Parameter& theParameter, std::string theValue = "") {
        RepositoryAccess::parameters().unset(theParameter);
        RepositoryAccess::parameters().setValue(theParameter, std::move(theValue));
        itsParameters.push_back(theParameter);
    }
    void unsetParameter(const RepositoryAccess::Parameter& theParameter) {
        RepositoryAccess::parameters().unset(theParameter);
    }

    // Creates the workspace <dir>/<theName> with a fresh handle and drops the handle again.
    fs::path makeWorkSpace(const std::string& theName) {
        setParameter(RepositoryAccess::params::workSpace, (dir() / theName).string());
        RepositoryAccess::workspace::create();
        RepositoryAccess::workspace::reset();
        unsetParameter(RepositoryAccess::params::workSpace);
        return dir() / theName;
    }

    // Creates the workspace "ws", goes there and opens it (locked when asked) without a command
    // log; its directory.
    fs::path openWorkSpace(bool theLocked = false) {
        const fs::path aWs = makeWorkSpace("ws");
        fs::current_path(aWs);
        setParameter(RepositoryAccess::params::noCommandLog);
        EXPECT_TRUE(RepositoryAccess::workspace::open(theLocked));
        return aWs;
    }

    // Everything printed on standard output so far, and forgets it.
    std::string takeOutput() {
        std::string aText = itsOut.str();
        itsOut.str("");
        return aText;
    }

private:
    kivotest::TempDir itsDir;
    fs::path itsOldCwd;
    std::ostringstream itsOut;
    std::streambuf* itsOldOut = nullptr;
    std::vector<RepositoryAccess::Parameter> itsParameters;
};

// Sets the last-write time of a file, as `touch -d` does.
inline void setModifiedTime(const fs::path& thePath, std::int64_t theSeconds, long theNanoseconds) {
    const timespec aTimes[2] = {{0, UTIME_OMIT}, {theSeconds, theNanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, thePath.c_str(), aTimes, 0), 0);
}

// The names below a directory, relative to it, sorted (directories end with "/").
inline std::vector<std::string> treeOf(const fs::path& theDir) {
    std::vector<std::string> aNames;
    for (const auto& anEntry : fs::recursive_directory_iterator(theDir))
        aNames.push_back(fs::relative(anEntry.path(), theDir).string() +
                         (anEntry.is_directory() ? "/" : ""));
    std::sort(aNames.begin(), aNames.end());
    return aNames;
}

} // namespace wstest
