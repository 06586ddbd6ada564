#include "tests/support/process.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace kivotest {

namespace {

std::vector<std::string> childEnvironment(const RunOptions& theOptions) {
    std::map<std::string, std::optional<std::string>> anEnv;
    for (char** aVar = environ; *aVar; ++aVar) {
        const std::string aText(*aVar);
        const auto anEq = aText.find('=');
        if (anEq != std::string::npos && !aText.starts_with("KIVO_"))
            anEnv[aText.substr(0, anEq)] = aText.substr(anEq + 1);
    }
    for (const auto& [aName, aValue] : theOptions.itsEnv)
        anEnv[aName] = aValue;
    std::vector<std::string> aList;
    for (const auto& [aName, aValue] : anEnv)
        if (aValue)
            aList.push_back(aName + "=" + *aValue);
    return aList;
}

std::vector<char*> pointers(std::vector<std::string>& theTexts) {
    std::vector<char*> aPointers;
    for (auto& aText : theTexts)
        aPointers.push_back(aText.data());
    aPointers.push_back(nullptr);
    return aPointers;
}

// Feeds standard input and drains both outputs without blocking on any of them.
void pump(int theIn, int theOut, int theErr, const std::string& theInput, RunResult& theResult) {
    std::size_t aWritten = 0;
    auto aClose = [](int& theFd) {
        close(theFd);
        theFd = -1;
    };
    if (theInput.empty())
        aClose(theIn);
    while (theOut >= 0 || theErr >= 0) {
        pollfd aFds[3];
        int aCount = 0;
        for (int aFd : {theOut, theErr})
            if (aFd >= 0)
                aFds[aCount++] = {aFd, POLLIN, 0};
        if (theIn >= 0)
            aFds[aCount++] = {theIn, POLLOUT, 0};
        if (poll(aFds, aCount, -1) < 0)
            throw std::runtime_error("poll failed");
        for (int i = 0; i < aCount; ++i) {
            if (!aFds[i].revents)
                continue;
            if (aFds[i].fd == theIn) {
                ssize_t aDone =
                    write(theIn, theInput.data() + aWritten, theInput.size() - aWritten);
                if (aDone > 0)
                    aWritten += static_cast<std::size_t>(aDone);
                if (aDone <= 0 || aWritten == theInput.size())
                    aClose(theIn);
                continue;
            }
            char aBuffer[65536];
            ssize_t aRead = read(aFds[i].fd, aBuffer, sizeof aBuffer);
            std::string& aTarget = aFds[i].fd == theOut ? theResult.itsOut : theResult.itsErr;
            if (aRead > 0) {
                aTarget.append(aBuffer, static_cast<std::size_t>(aRead));
                continue;
            }
            aClose(aFds[i].fd == theOut ? theOut : theErr);
        }
    }
    if (theIn >= 0)
        close(theIn);
}

} // namespace

RunResult runProgram(const std::string& theProgram, const std::vector<std::string>& theArgs,
                     const RunOptions& theOptions) {
    std::string aPath = theProgram.find('/') == std::string::npos
                            ? std::string(KIVO_BINARY_DIR) + "/" + theProgram
                            : theProgram;
    std::vector<std::string> anArgs{aPath};
    anArgs.insert(anArgs.end(), theArgs.begin(), theArgs.end());
    std::vector<std::string> anEnv = childEnvironment(theOptions);

    int anIn[2], anOut[2], anErr[2];
    if (pipe2(anIn, O_CLOEXEC) || pipe2(anOut, O_CLOEXEC) || pipe2(anErr, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t anActions;
    posix_spawn_file_actions_init(&anActions);
    posix_spawn_file_actions_adddup2(&anActions, anIn[0], 0);
    posix_spawn_file_actions_adddup2(&anActions, anOut[1], 1);
    posix_spawn_file_actions_adddup2(&anActions, anErr[1], 2);
    if (!theOptions.itsCwd.empty())
        posix_spawn_file_actions_addchdir_np(&anActions, theOptions.itsCwd.c_str());

    pid_t aPid = 0;
    auto anArgv = pointers(anArgs);
    auto anEnvp = pointers(anEnv);
    int aRc = posix_spawn(&aPid, aPath.c_str(), &anActions, nullptr, anArgv.data(), anEnvp.data());
    posix_spawn_file_actions_destroy(&anActions);
    close(anIn[0]);
    close(anOut[1]);
    close(anErr[1]);
    if (aRc != 0)
        throw std::runtime_error("cannot start " + aPath + ": " + std::strerror(aRc));

    RunResult aResult;
    pump(anIn[1], anOut[0], anErr[0], theOptions.itsStdin, aResult);
    int aStatus = 0;
    waitpid(aPid, &aStatus, 0);
    aResult.itsExitCode = WIFEXITED(aStatus) ? WEXITSTATUS(aStatus) : 128 + WTERMSIG(aStatus);
    return aResult;
}

RunResult runKivo(const std::vector<std::string>& theArgs, const RunOptions& theOptions) {
    return runProgram("kivo", theArgs, theOptions);
}

TempDir::TempDir() {
    std::random_device aRandom;
    auto aBase = std::filesystem::temp_directory_path() / "kivo-test";
    std::filesystem::create_directories(aBase);
    itsPath = aBase / ("t" + std::to_string(getpid()) + "-" + std::to_string(aRandom()));
    std::filesystem::create_directories(itsPath);
    itsPath = std::filesystem::canonical(itsPath);
}

TempDir::~TempDir() {
    const auto* aTest = ::testing::UnitTest::GetInstance()->current_test_info();
    if (aTest && aTest->result()->Failed()) {
        std::fprintf(stderr, "kept for a look: %s\n", itsPath.c_str());
        return;
    }
    std::error_code anError;
    std::filesystem::remove_all(itsPath, anError);
}

std::string readText(const std::filesystem::path& thePath) {
    std::ifstream aStream(thePath, std::ios::binary);
    std::ostringstream aText;
    aText << aStream.rdbuf();
    return aText.str();
}

void writeText(const std::filesystem::path& thePath, const std::string& theText) {
    std::ofstream aStream(thePath, std::ios::binary | std::ios::trunc);
    aStream << theText;
}

} // namespace kivotest
