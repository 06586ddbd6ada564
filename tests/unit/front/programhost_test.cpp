#include "front/programhost.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/unit/workspace/workspacefixture.hpp"
#include "workspace/journal.hpp"
#include "workspace/sys.hpp"

using namespace RepositoryAccess;

namespace {

// What the probe action found when it ran, and how it behaves: the host's table decides the
// rest.
struct Probe {
    std::optional<std::string> itsArgumentError;
    WorkspaceNeed itsNeed = WorkspaceNeed::none;
    bool itsLocksMidway = false;
    bool itsConnects = false;

    bool itsRan = false;
    bool itsOpen = false;
    bool itsLocked = false;
    bool itsLockedAfterAsking = false;
    bool itsLeftoverJournal = false;
};
Probe theProbe;

bool lockFileExists() {
    return workspace::isOpen() && sys::fileExists(workspace::get()->lockFileName());
}

class ProbeAction : public Command {
public:
    void checkArguments() const override {
        if (theProbe.itsArgumentError)
            throw Error(*theProbe.itsArgumentError);
    }
    WorkspaceNeed workspaceNeed() const override { return theProbe.itsNeed; }
    void execute() override {
        theProbe.itsRan = true;
        theProbe.itsOpen = context().hasWorkspace();
        theProbe.itsLocked = lockFileExists();
        theProbe.itsLeftoverJournal = workspace::isOpen() && workspace::get()->hasLeftoverJournal();
        if (theProbe.itsLocksMidway) {
            context().lockWorkspace();
            theProbe.itsLockedAfterAsking = lockFileExists();
        }
        if (theProbe.itsConnects)
            context().connection();
    }
};

std::unique_ptr<Command> makeProbe() {
    return std::make_unique<ProbeAction>();
}

using W = WorkspaceNeed;
constexpr ConnectionNeed kConnects = ConnectionNeed::whenUsed;

// One row per way of opening; the kinds only name the rows.
constexpr ActionRow theRows[] = {
    {ActionKind::list, "list", "actionList", makeProbe, W::read, false, kConnects},
    {ActionKind::status, "status", "actionStatus", makeProbe, W::readAhead, false, kConnects},
    {ActionKind::resolve, "resolve", "actionResolve", makeProbe, W::locked, false, kConnects},
    {ActionKind::commit, "commit", "actionCommit", makeProbe, W::locked, true, kConnects},
    {ActionKind::create, "create", "actionCreate", makeProbe, W::byArguments, false, kConnects},
    {ActionKind::version, "version", "actionVersion", makeProbe, W::none, false,
     ConnectionNeed::none},
};

class ProgramHostTest : public wstest::WorkSpaceTest {
protected:
    void SetUp() override {
        WorkSpaceTest::SetUp();
        theProbe = Probe();
    }
    void TearDown() override {
        WorkSpace::setJournalRepair(nullptr);
        WorkSpaceTest::TearDown();
    }

    // Runs the probe as the action of theKind inside a fresh workspace's directory.
    void runInWorkSpace(ActionKind theKind) {
        std::filesystem::current_path(
            makeWorkSpace("ws" + std::to_string(static_cast<int>(theKind))));
        ProgramHost(theRows).runAction(theKind);
    }
};

} // namespace

TEST_F(ProgramHostTest, OnlyRowsThatChangeTheWorkspaceTakeItsLock) {
    for (ActionKind aKind : {ActionKind::list, ActionKind::status, ActionKind::version}) {
        runInWorkSpace(aKind);
        EXPECT_TRUE(theProbe.itsRan);
        EXPECT_EQ(theProbe.itsOpen, aKind != ActionKind::version) << actionClassName(aKind);
        EXPECT_FALSE(theProbe.itsLocked) << actionClassName(aKind);
        workspace::finish(false);
        workspace::reset();
    }
    runInWorkSpace(ActionKind::resolve);
    EXPECT_TRUE(theProbe.itsLocked);
    // The lock is the run's until its end.
    const std::string aLock = workspace::get()->lockFileName();
    workspace::finish(false);
    EXPECT_FALSE(std::filesystem::exists(aLock));
}

TEST_F(ProgramHostTest, ActionDecidesFromItsArgumentsAndMayLockMidway) {
    theProbe.itsNeed = W::none;
    runInWorkSpace(ActionKind::create);
    EXPECT_FALSE(theProbe.itsOpen);
    workspace::reset();
    theProbe = Probe();
    theProbe.itsNeed = W::read;
    theProbe.itsLocksMidway = true;
    ProgramHost(theRows).runAction(ActionKind::create);
    EXPECT_TRUE(theProbe.itsOpen);
    EXPECT_FALSE(theProbe.itsLocked);
    EXPECT_TRUE(theProbe.itsLockedAfterAsking);
    workspace::finish(false);
}

// A run with bad arguments in a broken workspace reports its arguments; a run with good ones
// reports the workspace and never starts the action.
TEST_F(ProgramHostTest, ArgumentErrorsComeBeforeWorkspaceErrors) {
    const wstest::ScopedEnv anEnv{{"KIVO_ROOT", dir().c_str()}};
    setParameter(params::workSpace, "gone");
    theProbe.itsArgumentError = "kivo: Insufficient commandline arguments.";
    EXPECT_EQ(kivotest::messageOf([] { ProgramHost(theRows).runAction(ActionKind::resolve); }),
              "kivo: Insufficient commandline arguments.");
    theProbe.itsArgumentError.reset();
    workspace::reset();
    const std::string aMessage =
        kivotest::messageOf([] { ProgramHost(theRows).runAction(ActionKind::resolve); });
    EXPECT_EQ(aMessage.rfind("Invalid kivo workspace:", 0), 0u) << aMessage;
    EXPECT_FALSE(theProbe.itsRan);
}

// Only a row that repairs the journal finishes an interrupted run's work when it locks.
TEST_F(ProgramHostTest, JournalIsRepairedOnlyByRowsThatSayso) {
    const auto aWorkSpace = makeWorkSpace("ws");
    const std::string aJournal = journal::fileName((aWorkSpace / "._SYS_KIVO_settings").string());
    std::filesystem::current_path(aWorkSpace);
    for (ActionKind aKind : {ActionKind::resolve, ActionKind::commit}) {
        journal::write(aJournal, {});
        workspace::reset();
        ProgramHost(theRows).runAction(aKind);
        EXPECT_TRUE(theProbe.itsLocked);
        EXPECT_EQ(theProbe.itsLeftoverJournal, aKind == ActionKind::resolve)
            << actionClassName(aKind);
        workspace::finish(false);
    }
}

TEST_F(ProgramHostTest, RefusesWhatTheTableDoesNotAllow) {
    theProbe.itsConnects = true;
    EXPECT_EQ(kivotest::messageOf([] { ProgramHost(theRows).runAction(ActionKind::version); }),
              "kivo: The action actionVersion does not connect to the repository.");
    EXPECT_EQ(kivotest::messageOf([] { ProgramHost(theRows).runAction(ActionKind::merge); }),
              "kivo: The action actionMerge is not available in this version of kivo.");
}
