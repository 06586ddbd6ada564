#include "front/programhost.hpp"

#include <memory>
#include <ostream>

#include "actions/journalrepair.hpp"
#include "actions/packageactions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "repository/connection.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// What the host hands an action: the workspace it opened and the run's connection.
class HostContext : public ActionContext {
public:
    explicit HostContext(const ActionRow& theRow) : itsRow(theRow) {}
    bool hasWorkspace() const override { return workspace::isOpen(); }
    bool lockWorkspace() override { return workspace::open(true); }
    Connection& connection() override {
        if (itsRow.itsConnection == ConnectionNeed::none)
            throw Error("kivo: The action " + std::string(itsRow.itsClassName) +
                        " does not connect to the repository.");
        return connection::open();
    }

private:
    const ActionRow& itsRow;
};

// Opens the workspace of the current directory, when there is one, as much as the action needs.
void openWorkspace(WorkspaceNeed theNeed) {
    switch (theNeed) {
    case WorkspaceNeed::read:
        workspace::open(false);
        return;
    case WorkspaceNeed::readAhead:
        workspace::open(false, true);
        return;
    case WorkspaceNeed::locked:
        workspace::open(true);
        return;
    case WorkspaceNeed::none:
    case WorkspaceNeed::byArguments:
        return;
    }
}

} // namespace

void ProgramHost::runAction(ActionKind theKind) {
    const ActionRow& aRow = actiontable::rowOf(theKind, itsRows);
    WorkSpace::setJournalRepair(aRow.itsRepairsJournal ? &journalrepair::repair : nullptr);
    const std::unique_ptr<Command> anAction = aRow.itsMake();
    anAction->checkArguments();
    openWorkspace(aRow.itsWorkspace == WorkspaceNeed::byArguments ? anAction->workspaceNeed()
                                                                  : aRow.itsWorkspace);
    HostContext aContext(aRow);
    anAction->run(aContext);
    if (workspace::isOpen())
        workspace::get()->settleJournal();
}

bool ProgramHost::openWorkspaceUnlocked() {
    return workspace::open(false);
}
void ProgramHost::lockWorkspace() {
    workspace::lock();
}
int ProgramHost::repositoryApiVersion() {
    return static_cast<int>(connection::open().getApiVersion());
}
void ProgramHost::closeConnection() {
    connection::close();
}
void ProgramHost::deletePackageFiles(const std::vector<std::string>& thePackages,
                                     bool theRecursive) {
    packageactions::deleteLocalFiles(thePackages, theRecursive);
}
// Two names asked for within one millisecond would be equal: a number after the ticks tells the
// later ones apart from files that exist already.
std::string ProgramHost::temporaryFileName(std::string_view theBase, std::string_view theSuffix) {
    std::string aName = sys::tempFileName(theBase, theSuffix, true);
    const std::string aStem = aName.substr(0, aName.size() - theSuffix.size() - 1);
    for (int aNumber = 2; sys::fileExists(aName) || aName == itsLastTemporaryFile; ++aNumber)
        aName = aStem + "_" + std::to_string(aNumber) + "." + std::string(theSuffix);
    itsLastTemporaryFile = aName;
    return aName;
}
void ProgramHost::removeTemporaryFiles(const std::vector<std::string>& theFileNames) {
    for (const std::string& aFileName : theFileNames) {
        try {
            sys::deleteFile(aFileName);
        } catch (const std::exception& anError) {
            console::err() << anError.what() << '\n' << std::flush;
            exitstatus::fail();
        }
    }
}
void ProgramHost::finishWorkspace(bool theAfterFailure) {
    // The workspace's last writes need no repository: its closing goes on meanwhile, and
    // finishConnection reports how it ended, after the workspace's own reports.
    connection::closeInBackground();
    // workspace::finish() reports the failures of its own steps; this is the last guard, so that
    // the end of the run never throws.
    try {
        workspace::finish(theAfterFailure);
    } catch (const std::exception& anError) {
        console::err() << "Error exiting workspace: " << anError.what() << '\n' << std::flush;
        exitstatus::fail();
    }
}
void ProgramHost::finishConnection() {
    connection::finish();
}

} // namespace RepositoryAccess
