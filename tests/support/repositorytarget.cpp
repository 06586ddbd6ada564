#include "tests/support/repositorytarget.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "tests/pg/clusterfacts.hpp"

namespace kivotest {

namespace {

// The repository name that every repository file has by default, so that a server's change ids
// read like a file's.
const char* const kRepositoryName = "ZEV";

// A fact of the throwaway cluster, or "" without one.
std::string fact(const std::string& theName) {
    static const std::map<std::string, std::string> kFacts = readClusterFacts();
    const auto anEntry = kFacts.find(theName);
    return anEntry == kFacts.end() ? std::string() : anEntry->second;
}

// The first theLength characters of theText as lower-case letters, digits and underscores.
std::string identifierPart(const std::string& theText, std::size_t theLength) {
    std::string aPart;
    for (char aChar : theText.substr(0, theLength)) {
        const unsigned char aByte = static_cast<unsigned char>(aChar);
        aPart += std::isalnum(aByte) && aByte < 0x80 ? static_cast<char>(std::tolower(aByte)) : '_';
    }
    return aPart;
}

// A database name that no other repository of this run has: the test's name, theName, the
// process and a counter.
std::string uniqueDatabase(const std::string& theName) {
    static std::atomic<int> aCounter{0};
    const auto* aTest = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string aTestName =
        aTest != nullptr ? std::string(aTest->test_suite_name()) + "_" + aTest->name() : "test";
    return "k_" + identifierPart(aTestName, 32) + "_" + identifierPart(theName, 8) + "_" +
           std::to_string(getpid()) + "_" + std::to_string(++aCounter);
}

// The server's address for a client: HOST:PORT.
std::string serverAddress() {
    return fact("KIVO_PG_HOST") + ":" + fact("KIVO_PG_PORT");
}

// Runs a PostgreSQL client program (psql, pg_amcheck; from KIVO_PG_BINDIR or the server's folder)
// as the cluster's administrator, with theArgs after the connection's options.
RunResult asAdmin(const std::string& theProgram, const std::vector<std::string>& theArgs) {
    const char* aDir = std::getenv("KIVO_PG_BINDIR");
    std::vector<std::string> anArgs = {"-h", fact("KIVO_PG_HOST"), "-p", fact("KIVO_PG_PORT"),
                                       "-U", fact("KIVO_PG_ADMIN")};
    anArgs.insert(anArgs.end(), theArgs.begin(), theArgs.end());
    RunOptions anOptions;
    anOptions.itsEnv["PGPASSWORD"] = fact("KIVO_PG_ADMIN_PASSWORD");
    return runProgram((aDir != nullptr && *aDir != '\0' ? aDir : "/usr/lib/postgresql/15/bin") +
                          std::string("/") + theProgram,
                      anArgs, anOptions);
}

// Runs theStatements with psql in theDatabase as the cluster's administrator.
RunResult admin(const std::vector<std::string>& theStatements, const std::string& theDatabase) {
    std::vector<std::string> anArgs = {"-X", "-q",       "-A", "-t", "-v", "ON_ERROR_STOP=1",
                                       "-d", theDatabase};
    for (const std::string& aStatement : theStatements)
        anArgs.insert(anArgs.end(), {"-c", aStatement});
    return asAdmin("psql", anArgs);
}

bool currentTestFailed() {
    const auto* aTest = ::testing::UnitTest::GetInstance()->current_test_info();
    return aTest != nullptr && aTest->result()->Failed();
}

// A server run without its cluster skips every test. GoogleTest names no test that its
// environment skipped, so the line that CTest takes for a skip is printed here.
class ClusterCheck : public ::testing::Environment {
public:
    void SetUp() override {
        if (!RepositoryTarget::serverRun() || fact("KIVO_PG") == "available")
            return;
        std::printf("[  SKIPPED ] no PostgreSQL cluster for this run\n");
        GTEST_SKIP() << "no PostgreSQL cluster for this run";
    }
};

[[maybe_unused]] ::testing::Environment* const kClusterCheck =
    ::testing::AddGlobalTestEnvironment(new ClusterCheck);

} // namespace

bool RepositoryTarget::serverRun() {
    const char* aBackend = std::getenv("KIVO_TEST_BACKEND");
    return aBackend != nullptr && std::string(aBackend) == "postgresql";
}

RepositoryTarget::RepositoryTarget(const std::filesystem::path& theDir,
                                   const std::string& theName) {
    if (!serverRun()) {
        itsLocation = (theDir / (theName + ".db")).string();
        itsHost = "file:" + itsLocation;
        return;
    }
    itsDatabase = uniqueDatabase(theName);
    itsLocation = "postgresql://" + fact("KIVO_PG_ADMIN") + ":" + fact("KIVO_PG_ADMIN_PASSWORD") +
                  "@" + serverAddress() + "/" + itsDatabase;
    itsHost = serverAddress() + "@" + itsDatabase;
}

RepositoryTarget::~RepositoryTarget() {
    if (!isServer() || !itsCreated)
        return;
    if (currentTestFailed()) {
        std::fprintf(stderr, "kept for a look: database %s\n", itsDatabase.c_str());
        return;
    }
    const RunResult aDrop = tool("drop");
    EXPECT_EQ(aDrop.itsExitCode, 0) << "kivo-repo drop: " << aDrop.itsErr;
}

std::vector<std::string> RepositoryTarget::connectOptions() const {
    if (!isServer())
        return {"--host=" + itsHost};
    return {"--host=" + serverAddress(), "--database=" + itsDatabase};
}

RunResult RepositoryTarget::tool(const std::string& theCommand,
                                 const std::vector<std::string>& theArgs) const {
    std::vector<std::string> anArgs = {theCommand, itsLocation};
    anArgs.insert(anArgs.end(), theArgs.begin(), theArgs.end());
    itsCreated = itsCreated || theCommand == "init";
    return runProgram("kivo-repo", anArgs);
}

void RepositoryTarget::init(std::vector<std::string> theOptions) {
    bool aNamed = false;
    for (const std::string& anOption : theOptions)
        aNamed = aNamed || anOption == "--database";
    if (isServer() && !aNamed)
        theOptions.insert(theOptions.end(), {"--database", kRepositoryName});
    const RunResult anInit = tool("init", theOptions);
    EXPECT_EQ(anInit.itsExitCode, 0) << "kivo-repo init: " << anInit.itsOut << anInit.itsErr;
}

void RepositoryTarget::addUser(const std::string& theName, const std::string& thePassword) const {
    // The cluster's lock file keeps two test processes from changing one login role at once.
    const int aLock = isServer() ? ::open((fact("KIVO_PG_DIR") + "/roles.lock").c_str(),
                                          O_CREAT | O_RDWR | O_CLOEXEC, 0600)
                                 : -1;
    if (aLock >= 0)
        ::flock(aLock, LOCK_EX);
    const RunResult aUser = tool("user", {theName, thePassword});
    if (aLock >= 0)
        ::close(aLock);
    EXPECT_EQ(aUser.itsExitCode, 0) << "kivo-repo user: " << aUser.itsOut << aUser.itsErr;
}

std::string RepositoryTarget::show() const {
    return tool("show").itsOut;
}

RunResult RepositoryTarget::sql(const std::string& theStatement) const {
    if (!isServer())
        return runProgram("/usr/bin/sqlite3", {itsLocation, theStatement});
    return admin({"SET search_path TO sys", theStatement}, itsDatabase);
}

std::string RepositoryTarget::integrity() const {
    if (!isServer())
        return sql("PRAGMA integrity_check").itsOut;
    const RunResult aCheck =
        asAdmin("pg_amcheck", {"--install-missing", "--heapallindexed", itsDatabase});
    return aCheck.itsExitCode == 0 && aCheck.itsOut.empty() ? "ok\n"
                                                            : aCheck.itsOut + aCheck.itsErr;
}

void RepositoryTarget::takeAway() const {
    move(isServer() ? itsDatabase : itsLocation, awayName());
}

void RepositoryTarget::bringBack() const {
    move(awayName(), isServer() ? itsDatabase : itsLocation);
}

std::string RepositoryTarget::awayName() const {
    return isServer() ? itsDatabase + "_away" : itsLocation + ".away";
}

void RepositoryTarget::move(const std::string& theFrom, const std::string& theTo) const {
    if (!isServer()) {
        std::filesystem::rename(theFrom, theTo);
        return;
    }
    // The server ends the sessions of the programs that ran before in the background: a rename
    // waits for them.
    RunResult aRename;
    for (int anAttempt = 0; anAttempt < 50; ++anAttempt) {
        aRename = admin({"ALTER DATABASE " + theFrom + " RENAME TO " + theTo}, "template1");
        if (aRename.itsErr.find("being accessed by other users") == std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(aRename.itsExitCode, 0) << aRename.itsErr;
}

} // namespace kivotest
