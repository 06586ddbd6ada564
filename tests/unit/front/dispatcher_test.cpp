#include "front/dispatcher.hpp"

#include <gtest/gtest.h>

#include <set>

#include "core/commandsyntax.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "front/parameterparser.hpp"
#include "tests/unit/front/recordinghost.hpp"

using namespace RepositoryAccess;
using fronttest::RecordingHost;

namespace {

// Installs the parsed command line, runs the dispatcher and returns standard output.
std::string dispatch(RecordingHost& theHost, std::vector<std::string> theArguments) {
    installParameters(parameterparser::parseCommandLine(theArguments));
    runstatistics::reset();
    exitstatus::reset();
    testing::internal::CaptureStdout();
    dispatcher::dispatch(theHost);
    return testing::internal::GetCapturedStdout();
}

using Steps = std::vector<std::string>;

std::set<std::string> syntaxActions(bool theAdvanced) {
    std::set<std::string> aWords;
    for (const CommandSyntaxEntry& anEntry : commandsyntax::buildTable(theAdvanced))
        aWords.insert(textcase::lower(anEntry.itsAction));
    return aWords;
}

} // namespace

// A word that parses but is not dispatched falls back to the help. The one such word is
// "rebase": without advanced mode it shows the help, with it the parser makes it a checkout.
TEST(ActionTables, EveryParsedActionIsDispatchedOnce) {
    std::set<std::string> aDispatched;
    for (const DispatchEntry& anEntry : dispatcher::table())
        EXPECT_TRUE(aDispatched.insert(textcase::lower(std::string(anEntry.itsAction))).second)
            << anEntry.itsAction << " is dispatched twice";
    std::set<std::string> aParsed = syntaxActions(false);
    EXPECT_EQ(aParsed.erase("rebase"), 1u);
    EXPECT_EQ(aParsed, aDispatched);
    for (const std::string& aWord : syntaxActions(true))
        EXPECT_TRUE(aWord == "rebase" || aDispatched.count(aWord)) << aWord;
}

// The steps of command lines whose sequence depends on their words only.
TEST(Sequences, StepsOfEachCommandLine) {
    const struct {
        std::vector<std::string> itsArguments;
        Steps itsSteps;
    } aTable[] = {
        {{"COMMIT"}, {"actionCommit"}},
        {{}, {"actionHelp"}},
        {{"rebase"}, {"actionHelp"}},
        {{"--action=nosuch"}, {"actionHelp"}},
        {{"activate"}, {"actionActivate +noTips"}},
        // Checkout tracks only packages and objects.
        {{"checkout", "package", "p"}, {"actionTrack", "actionCheckOut"}},
        {{"checkout", "p/x.txt"}, {"actionTrack", "actionCheckOut"}},
        {{"checkout"}, {"actionCheckOut"}},
        {{"checkout", "package", "p", "--noRecursive"}, {"actionCheckOut"}},
        {{"discard", "package", "p"}, {"actionDiscard", "actionUnTrack"}},
        {{"discard", "package", "p", "--noUnTrack"}, {"actionDiscard"}},
        {{"revert"}, {"actionCheckOut +base +overwrite", "actionRevert +base +overwrite"}},
        {{"revert", "--noCheckOut"}, {"actionRevert"}},
        {{"push"}, {"actionCommit", "actionActivate +noTips"}},
    };
    for (const auto& aRow : aTable) {
        RecordingHost aHost;
        dispatch(aHost, aRow.itsArguments);
        EXPECT_EQ(aHost.itsSteps, aRow.itsSteps)
            << (aRow.itsArguments.empty() ? "" : aRow.itsArguments.front());
    }
}

// Follow-up steps that depend on what the first one counted, with fresh counters.
TEST(Sequences, ActivateAndTakeOverFollowUpsDependOnTheirCounts) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::activate] = [] {
        runstatistics::add(Statistic::activationConflicts, 2);
        runstatistics::add(Statistic::activatedObjects, 5);
    };
    aHost.itsEffects[ActionKind::takeOver] = [] {
        runstatistics::add(Statistic::takenOverObjects, 1);
    };
    EXPECT_EQ(dispatch(aHost, {"activate", "-v"}), "-activate\n-checkout\n");
    EXPECT_EQ(runstatistics::get(Statistic::activatedObjects), 0);
    dispatch(aHost, {"activate", "--noCheckOut", "--noTips"});
    dispatch(aHost, {"takeover"});
    EXPECT_EQ(aHost.itsSteps,
              (Steps{"actionActivate +noTips", "actionCheckOut", "actionActivate +noTips",
                     "actionTakeOver", "actionCheckOut +inactive"}));
}

// Unassign empties the delivery unit and vendor that the user gave (assigning and the merge tool's
// parameter are the end-to-end tests DeliveryUnits.AdministrationAndAssignment's and
// Resolve.TheMergeToolsResultIsTakenWhenItChangedTheFile's).
TEST(Sequences, UnassignEmptiesTheGivenDeliveryUnit) {
    RecordingHost aHost;
    aHost.itsEffects[ActionKind::update] = [&] {
        aHost.itsSteps.push_back("du=" + getValue(params::deliveryUnit) +
                                 " vendor=" + getValue(params::vendor));
    };
    dispatch(aHost, {"unassign", "p", "--dU=old", "--vendor=v"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"actionUpdate", "du= vendor="}));
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
}

// Outside a workspace only the deletion runs. The cascade through the workspace below API 16 and
// the native deletion from it on are the end-to-end tests Packages.ForcedDeleteBelowApi16Goes...
// and Packages.ForcedDeleteTakesTheTreeNatively...'s.
TEST(Sequences, DeleteOutsideAWorkspaceOnlyDeletes) {
    RecordingHost aHost;
    aHost.itsWorkspaceOpen = false;
    dispatch(aHost, {"delete", "package", "p", "--force"});
    EXPECT_EQ(aHost.itsSteps, (Steps{"open", "actionDelete +force"}));
}

// A step that fails still leaves no export file behind (the exports, imports, headers and
// switched connections of a transport that succeeds are the end-to-end test
// DeliveryUnits.TransportCarriesUnitsWithKeysOrHostAndUserAndLeavesNoFiles's).
TEST(Sequences, AFailedTransportRemovesItsFiles) {
    RecordingHost aFailing;
    aFailing.itsEffects[ActionKind::importFiles] = [] { throw Error("import broke"); };
    installParameters(parameterparser::parseCommandLine({"transport", "DU1", "DU2", "--host=h:1"}));
    EXPECT_THROW(dispatcher::dispatch(aFailing), Error);
    EXPECT_EQ(aFailing.itsSteps.back(), "remove /tmp/transport_2.tgz");
    EXPECT_EQ(aFailing.itsSteps[aFailing.itsSteps.size() - 2], "remove /tmp/transport_1.tgz");
}
