#include "actions/actioncreate.hpp"

#include "actions/adminoptions.hpp"
#include "actions/changeactions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"
#include "core/commandsyntax.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"
#include "repository/connection.hpp"
#include "repository/repofunchangetracking.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

bool createsWorkSpace() {
    return textcase::equalsIgnoringCase(getValue(params::what), "workSpace");
}

} // namespace

void actionCreate::checkArguments() const {
    adminoptions::requireWhat();
}

// A new workspace is made here; everything else lives in the repository, whose connection
// settings a workspace of the current directory gives.
WorkspaceNeed actionCreate::workspaceNeed() const {
    return createsWorkSpace() ? WorkspaceNeed::none : WorkspaceNeed::read;
}

void actionCreate::execute() {
    if (createsWorkSpace()) {
        createWorkSpace();
        return;
    }
    const bool anInWorkSpace = context().hasWorkspace();
    adminoptions::runByWhat(
        {{"package", [anInWorkSpace] { packageactions::createPackages(anInWorkSpace); }},
         {"packages", [anInWorkSpace] { packageactions::createPackages(anInWorkSpace); }},
         {"deliveryUnit", deliveryunitactions::createDeliveryUnits},
         {"change", [this] { createChanges(); }},
         {"contributor", [this] { createContributors(); }}},
        "Creating");
}

// A repository file named relative to the current directory is recorded with its absolute
// path, so that the workspace reaches it from any of its directories.
void actionCreate::anchorRepositoryFile() {
    const std::string aHost = getValue(params::hostName);
    const std::string anAbsolute = utils::anchoredHost(aHost);
    if (anAbsolute == aHost)
        return;
    parameters().unset(params::hostName);
    parameters().setValue(params::hostName, anAbsolute);
}

// A workspace name that the repository already uses for inactive objects is refused unless
// forced: the new workspace would silently take over somebody's unfinished work.
void actionCreate::createWorkSpace() {
    anchorRepositoryFile();
    workspace::create();
    Connection& aConnection = context().connection();
    auto aWorkSpace = workspace::get();
    const std::string& aName = aWorkSpace->workSpaceName();
    if (!isSet(params::force) && !commandsyntax::isAdvancedMode()) {
        const auto anInactive = repofunobjects::listInactiveObjects(
            RepositorySession::inactive(aConnection.getUserName(), aName), "", "");
        if (!anInactive.empty())
            throw Error("Error: The workspace \"" + aName + "\" is not empty in the Repository (" +
                        std::to_string(anInactive.size()) +
                        " inactive object(s) already exist).\nCall \"kivo create workspace\" with "
                        "the \"-f\" option to create the workspace anyway, or choose a new name "
                        "for it.");
    }
    console::sayLine("Created workspace \"" + aName + "\" in directory: \"" +
                     aWorkSpace->srcDirName() + "\".");
}

// The repository makes the change ids, so each new one is printed whatever the verbosity.
void actionCreate::createChanges() {
    changeactions::forEachValue(params::description, [](const std::string& theDescription) {
        const std::string anId = repofunchangetracking::createChange(theDescription);
        runstatistics::add(Statistic::createdChanges);
        console::sayLine("Created change: \"" + anId + "\"");
    });
}

void actionCreate::createContributors() {
    const std::string anId = changeactions::requiredChangeId();
    changeactions::forEachValue(params::contributor, [&](const std::string& theName) {
        repofunchangetracking::addContributor(anId, theName);
        runstatistics::add(Statistic::createdContributors);
        console::progress("Created contributor: \"" + theName + "\" for change \"" + anId + "\"");
    });
}

} // namespace RepositoryAccess
