#include "front/runsequence.hpp"

#include <gtest/gtest.h>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/runstatistics.hpp"
#include "tests/unit/front/recordinghost.hpp"

using namespace RepositoryAccess;
using fronttest::RecordingHost;

namespace {

struct Captured {
    int itsStatus;
    std::string itsOut;
    std::string itsErr;
};

Captured runCaptured(RecordingHost& theHost, std::vector<std::string> theArguments,
                     std::vector<parameterparser::SecretArgument> theSecrets = {}) {
    exitstatus::reset();
    runstatistics::reset();
    installParameters({});
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int aStatus = run(theArguments, theHost, std::move(theSecrets));
    std::string anOut = testing::internal::GetCapturedStdout();
    return {aStatus, anOut, testing::internal::GetCapturedStderr()};
}

} // namespace

TEST(RunSequence, SuccessPrintsStatisticsEverywhereAndFinishesInOrder) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::commit] = [] { runstatistics::add(Statistic::createdFiles, 2); };
    std::size_t aLogBefore = console::commandLogText().size();
    auto aResult = runCaptured(aHost, {"kivo", "commit", "-t"});
    EXPECT_EQ(aResult.itsStatus, 0);
    EXPECT_EQ(aResult.itsOut, "Created files                : 2\n");
    EXPECT_EQ(aHost.itsSteps, (std::vector<std::string>{"actionCommit", "exit", "close"}));
    std::string aLog = console::commandLogText().substr(aLogBefore);
    EXPECT_NE(
        aLog.find("kivo commit -t\n{\"action\":commit,\n\"trace\":X,\n\"what\":trackedPackages}\n"
                  "Created files                : 2\n"),
        std::string::npos)
        << aLog;
}

TEST(RunSequence, FailurePrintsEveryMessageAndTracesTheDescription) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::commit] = [] { throw Error("inner").addOuter("outer"); };
    std::size_t aTraceBefore = console::traceText().size();
    auto aResult = runCaptured(aHost, {"kivo", "commit", "--trace"});
    EXPECT_EQ(aResult.itsStatus, 1);
    EXPECT_EQ(aResult.itsErr, "outer\ninner\n");
    EXPECT_EQ(aResult.itsOut, "");
    EXPECT_EQ(aHost.itsSteps,
              (std::vector<std::string>{"actionCommit", "rollback or exit", "close"}));
    std::string aTrace = console::traceText().substr(aTraceBefore);
    EXPECT_NE(aTrace.find("An error occurred:\nouter"), std::string::npos) << aTrace;
    EXPECT_NE(aTrace.find("runsequence_test.cpp"), std::string::npos);
}

TEST(RunSequence, ParseFailureWritesNoErrorBlockAndDebugImpliesItsFlags) {
    RecordingHost aHost;
    std::size_t aTraceBefore = console::traceText().size();
    auto aResult = runCaptured(aHost, {"kivo", "commit", "-t", "--bad-option"});
    EXPECT_EQ(aResult.itsErr, "kivo: Could not parse commandline argument: --bad-option\n");
    EXPECT_EQ(console::traceText().substr(aTraceBefore).find("An error occurred"),
              std::string::npos);
    EXPECT_EQ(aHost.itsSteps, (std::vector<std::string>{"rollback or exit", "close"}));
    runCaptured(aHost, {"kivo", "version", "-d"});
    for (const auto& aFlag : {params::verbose, params::jsonRequest, params::jsonResponse})
        EXPECT_TRUE(isSet(aFlag)) << aFlag.name();
}

// The passwords leave the program's own arguments before the run reads them: each form that the
// parser reads is overwritten in place, and the run's store gets the passwords themselves (the
// first of several values, trimmed as every value is).
TEST(RunSequence, PasswordsLeaveTheArgumentsAndReachTheStore) {
    std::vector<std::string> aWords = {"kivo",
                                       "version",
                                       "--passWord=s3cret ",
                                       "--targetPassWd",
                                       "t0p",
                                       "--sourcePassWord",
                                       "-v",
                                       "--sslKeyStorePassword=",
                                       "--userName=u",
                                       "--PASSWD=second"};
    std::vector<char*> anArgv;
    for (std::string& aWord : aWords)
        anArgv.push_back(aWord.data());
    auto aSecrets =
        parameterparser::takeSecretArguments(static_cast<int>(anArgv.size()), anArgv.data());
    EXPECT_EQ(aWords[2], "--passWord=*******");
    EXPECT_EQ(aWords[4], "***");
    EXPECT_EQ(aWords[6], "-v") << "an option after a password option is no password";
    EXPECT_EQ(aWords[7], "--sslKeyStorePassword=");
    EXPECT_EQ(aWords[8], "--userName=u");
    EXPECT_EQ(aWords[9], "--PASSWD=******");
    ASSERT_EQ(aSecrets.size(), 3u);

    RecordingHost aHost;
    const Captured aRun = runCaptured(aHost, aWords, std::move(aSecrets));
    EXPECT_EQ(aRun.itsStatus, 0) << aRun.itsErr;
    EXPECT_EQ(parameters().secret(params::passWord).view(), "s3cret");
    EXPECT_EQ(parameters().secret(params::targetPassWord).view(), "t0p");
    EXPECT_EQ(getValue(params::passWord), "********");
    EXPECT_TRUE(isSet(params::sourcePassWord));
    EXPECT_TRUE(parameters().secret(params::sslKeyStorePassword).empty());
}
