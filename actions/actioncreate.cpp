#include "actions/actioncreate.hpp"

#include "core/commandsyntax.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"
#include "repository/connection.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

void actionCreate::execute() {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    if (textcase::equalsIgnoringCase(aWhat, "workSpace")) {
        createWorkSpace();
        return;
    }
    throw Error("kivo: Creating a " + aWhat + " is not available in this version of kivo.");
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
    Connection& aConnection = connection::open();
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

} // namespace RepositoryAccess
