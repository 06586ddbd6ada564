#include "front/dispatcher.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "front/parameterparser.hpp"

using namespace RepositoryAccess;

namespace {

// Records every step with the flags that were set while it ran, and lets a test make a step
// count something (an activation conflict, a taken-over object).
class RecordingHost : public ActionHost {
public:
    std::vector<std::string> itsSteps;
    std::map<ActionKind, std::function<void()>> itsEffects;
    bool itsWorkspaceOpen = true;
    int itsApiVersion = 16;

    void runAction(ActionKind theKind) override {
        std::string aStep(actionClassName(theKind));
        for (const auto& aFlag : {params::noTips, params::local, params::noCompare, params::force,
                                  params::base, params::overwrite, params::inactive})
            if (isSet(aFlag))
                aStep += " +" + std::string(aFlag.name());
        itsSteps.push_back(aStep);
        if (auto anEffect = itsEffects.find(theKind); anEffect != itsEffects.end())
            anEffect->second();
    }
    bool openWorkspaceUnlocked() override {
        itsSteps.push_back("open");
        return itsWorkspaceOpen;
    }
    void lockWorkspace() override { itsSteps.push_back("lock"); }
    int repositoryApiVersion() override { return itsApiVersion; }
    void closeConnection() override { itsSteps.push_back("close"); }
    void deletePackageFiles(const std::vector<std::string>& thePackages, bool) override {
        itsSteps.push_back("delete files " + thePackages.front());
    }
    std::string temporaryFileName(std::string_view theBase, std::string_view theSuffix) override {
        return "/tmp/" + std::string(theBase) + "_" + std::to_string(++itsTicks) + "." +
               std::string(theSuffix);
    }
    void removeTemporaryFiles(const std::vector<std::string>& theFileNames) override {
        for (const auto& aFile : theFileNames)
            itsSteps.push_back("remove " + aFile);
    }
    void finishWorkspace(bool) override {}
    void finishConnection() override {}

private:
    int itsTicks = 0;
};

// Installs the parsed command line, runs the dispatcher and returns standard output.
std::string dispatch(RecordingHost& theHost, std::vector<std::string> theArguments) {
    installParameters(parameterparser::parseCommandLine(theArguments));
    runstatistics::reset();
    exitstatus::reset();
    std::ostringstream aCaptured;
    auto* anOld = std::cout.rdbuf(aCaptured.rdbuf());
    dispatcher::dispatch(theHost);
    std::cout.rdbuf(anOld);
    return aCaptured.str();
}

using Steps = std::vector<std::string>;

} // namespace

TEST(Dispatcher, SingleActionsAndHelpFallback) {
    RecordingHost aHost;
    dispatch(aHost, {"COMMIT"});
    dispatch(aHost, {"version"});
    dispatch(aHost, {"diff", "p1/"});
    dispatch(aHost, {"LOG", "p1/"});
    dispatch(aHost, {"annotate", "a.txt"});
    dispatch(aHost, {});
    dispatch(aHost, {"rebase"});
    dispatch(aHost, {"--action=nosuch"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionCommit", "actionVersion", "actionDiff", "actionLog",
                                     "actionAnnotate", "actionHelp", "actionHelp", "actionHelp"}));
}

TEST(Sequences, ActivateChecksOutOnlyAfterConflictsWithFreshCounters) {
    RecordingHost aHost;
    dispatch(aHost, {"activate"});
    EXPECT_EQ(aHost.itsSteps, Steps{"actionActivate +noTips"});

    aHost.itsSteps.clear();
    aHost.itsEffects[ActionKind::activate] = [] {
        runstatistics::add(Statistic::activationConflicts, 2);
        runstatistics::add(Statistic::activatedObjects, 5);
    };
    std::string anOut = dispatch(aHost, {"activate", "-v"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionActivate +noTips", "actionCheckOut"}));
    EXPECT_EQ(anOut, "-activate\n-checkout\n");
    EXPECT_EQ(runstatistics::get(Statistic::activatedObjects), 0);

    aHost.itsSteps.clear();
    dispatch(aHost, {"activate", "--noCheckOut", "--noTips"});
    EXPECT_EQ(aHost.itsSteps, Steps{"actionActivate +noTips"});
}

TEST(Sequences, CheckoutTracksOnlyPackagesAndObjects) {
    RecordingHost aHost;
    dispatch(aHost, {"checkout", "package", "p"});
    dispatch(aHost, {"checkout", "p/x.txt"});
    dispatch(aHost, {"checkout"});
    dispatch(aHost, {"checkout", "package", "p", "--noRecursive"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionTrack", "actionCheckOut", "actionTrack",
                                     "actionCheckOut", "actionCheckOut", "actionCheckOut"}));
}

TEST(Sequences, DiscardRevertAndTakeOverFollowUps) {
    RecordingHost aHost;
    dispatch(aHost, {"discard", "package", "p"});
    dispatch(aHost, {"discard", "package", "p", "--noUnTrack"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionDiscard", "actionUnTrack", "actionDiscard"}));

    aHost.itsSteps.clear();
    dispatch(aHost, {"revert"});
    dispatch(aHost, {"revert", "--noCheckOut"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionCheckOut +base +overwrite",
                                     "actionRevert +base +overwrite", "actionRevert"}));

    aHost.itsSteps.clear();
    dispatch(aHost, {"takeover"});
    aHost.itsEffects[ActionKind::takeOver] = [] {
        runstatistics::add(Statistic::takenOverObjects, 1);
    };
    dispatch(aHost, {"takeover"});
    EXPECT_EQ(aHost.itsSteps,
              (Steps{"actionTakeOver", "actionTakeOver", "actionCheckOut +inactive"}));
}

TEST(Sequences, AssignUnassignAndMergeToolSetTheirParameters) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::update] = [&] {
        aHost.itsSteps.push_back("du=" + getValue(params::deliveryUnit) +
                                 " set=" + std::to_string(isSet(params::vendor)));
    };
    dispatch(aHost, {"assign", "p", "DU"});
    dispatch(aHost, {"unassign", "p", "--dU=old", "--vendor=v"});
    aHost.itsEffects[ActionKind::resolve] = [&] {
        aHost.itsSteps.push_back("with=" + getValue(params::with));
    };
    dispatch(aHost, {"mergetool"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionUpdate", "du=DU set=0", "actionUpdate", "du= set=1",
                                     "actionResolve", "with=mergeTool"}));
}

TEST(Sequences, PushWithForceResolvesLocallyAndRestoresTheFlags) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::commit] = [] {
        runstatistics::add(Statistic::committedFiles, 1);
        exitstatus::fail();
    };
    std::string anOut = dispatch(aHost, {"push", "--force"});
    EXPECT_EQ(
        aHost.itsSteps,
        (Steps{"actionCommit +noTips +local +noCompare", "actionActivate +noTips +local +noCompare",
               "actionResolve +noTips +local +noCompare", "actionCommit +noTips +local +noCompare",
               "actionActivate +local +noCompare"}));
    EXPECT_EQ(anOut, "Committed files              : 1\n");
    EXPECT_TRUE(isSet(params::force));
    EXPECT_FALSE(isSet(params::local));
    EXPECT_FALSE(isSet(params::noCompare));
    EXPECT_EQ(exitstatus::get(), 1); // the second commit failed again after the reset

    aHost.itsSteps.clear();
    aHost.itsEffects.clear();
    dispatch(aHost, {"push"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionCommit", "actionActivate +noTips"}));
}

TEST(Sequences, DeleteRunsThePackageCascadeOnOlderRepositories) {
    RecordingHost aHost;
    aHost.itsApiVersion = 15;
    dispatch(aHost, {"delete", "package", "p", "--force"});
    EXPECT_EQ(
        aHost.itsSteps,
        (Steps{"open", "lock", "actionTrack +force", "actionCheckOut +force", "delete files p",
               "actionCommit +noTips +local +noCompare", "actionActivate +noTips +local +noCompare",
               "actionResolve +noTips +local +noCompare", "actionCommit +noTips +local +noCompare",
               "actionActivate +local +noCompare", "actionDelete +force", "actionDiscard +force",
               "actionUnTrack +force"}));

    aHost.itsSteps.clear();
    aHost.itsApiVersion = 16;
    dispatch(aHost, {"delete", "package", "p", "--force"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"open", "actionDelete +force", "actionDiscard +force",
                                     "actionUnTrack +force"}));

    aHost.itsSteps.clear();
    aHost.itsWorkspaceOpen = false;
    dispatch(aHost, {"delete", "package", "p", "--force"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"open", "actionDelete +force"}));
}

TEST(Sequences, TransportExportsEachUnitThenImportsAllWithTargetConnection) {
    RecordingHost aHost;
    std::vector<std::string> aSeen;
    aHost.itsEffects[ActionKind::exportDeliveryUnit] = [&] {
        aSeen.push_back(getValue(params::deliveryUnit) + "->" + getValue(params::fileName) + " @" +
                        getValue(params::hostName));
    };
    aHost.itsEffects[ActionKind::importFiles] = [&] {
        for (const auto& aFile : parameters().getValues(params::fileName))
            aSeen.push_back("import " + aFile + " @" + getValue(params::hostName) + " as " +
                            getValue(params::userName));
    };
    std::string anOut = dispatch(aHost, {"transport", "DU1", "DU2", "--sourceHost=src:1",
                                         "--host=run:1", "--user=me", "--targetUser=them"});
    EXPECT_EQ(aSeen, (std::vector<std::string>{"DU1->/tmp/transport_1.tgz @src:1",
                                               "DU2->/tmp/transport_2.tgz @src:1",
                                               "import /tmp/transport_1.tgz @run:1 as them",
                                               "import /tmp/transport_2.tgz @run:1 as them"}));
    EXPECT_EQ(anOut, "\nSource host name: src:1\nSource user name: me\n\n" + std::string(60, '-') +
                         "\nTarget host name: run:1\nTarget user name: them\n");
    EXPECT_EQ(aHost.itsSteps.front(), "open");
    EXPECT_EQ(aHost.itsSteps.back(), "remove /tmp/transport_2.tgz");
    EXPECT_EQ(getValue(params::hostName), "run:1");
    EXPECT_EQ(getValue(params::userName), "me");
}

TEST(Sequences, TransportRemovesItsExportFilesWhenAStepFails) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::importFiles] = [] { throw Error("import broke"); };
    installParameters(parameterparser::parseCommandLine({"transport", "DU1", "DU2", "--host=h:1"}));
    EXPECT_THROW(dispatcher::dispatch(aHost), Error);
    EXPECT_EQ(aHost.itsSteps.back(), "remove /tmp/transport_2.tgz");
    EXPECT_EQ(aHost.itsSteps[aHost.itsSteps.size() - 2], "remove /tmp/transport_1.tgz");
}
