#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kivotest {

// What a finished process left behind.
struct RunResult {
    int itsExitCode = -1;
    std::string itsOut;
    std::string itsErr;
};

// How to start a process: arguments (the program is resolved against the build folder when it
// has no slash), working directory, environment changes and standard input.
struct RunOptions {
    std::filesystem::path itsCwd;
    std::map<std::string, std::optional<std::string>> itsEnv; // nullopt removes the variable
    std::string itsStdin;
};

// Runs a program of the build folder (kivo, kivo-repo, zevuserstore) or an absolute path and
// waits for it. The environment starts from the test's own, without any KIVO_* variable.
RunResult runProgram(const std::string& theProgram, const std::vector<std::string>& theArgs,
                     const RunOptions& theOptions = {});

// Shorthand for runProgram("kivo", ...).
RunResult runKivo(const std::vector<std::string>& theArgs, const RunOptions& theOptions = {});

// A fresh temporary directory for one test; removed afterwards unless the test failed, so that
// a failing test keeps its files for a look (the path is printed).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return itsPath; }

private:
    std::filesystem::path itsPath;
};

std::string readText(const std::filesystem::path& thePath);
void writeText(const std::filesystem::path& thePath, const std::string& theText);

inline bool contains(const std::string& theText, const std::string& thePart) {
    return theText.find(thePart) != std::string::npos;
}

// How often thePart occurs in theText (overlapping occurrences counted).
inline std::size_t countOf(const std::string& theText, const std::string& thePart) {
    std::size_t aCount = 0;
    for (auto aPos = theText.find(thePart); aPos != std::string::npos;
         aPos = theText.find(thePart, aPos + 1))
        ++aCount;
    return aCount;
}

} // namespace kivotest
