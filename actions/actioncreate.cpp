#include "actions/actioncreate.hpp"

#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"
#include "core/commandsyntax.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "repository/connection.hpp"
#include "repository/repofunobjects.hpp"
#include "workspace/sys.hpp"
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
    // The workspace's config names the repository to connect to.
    const bool anInWorkSpace = workspace::open(false);
    if (textcase::equalsIgnoringCase(aWhat, "package") ||
        textcase::equalsIgnoringCase(aWhat, "packages")) {
        packageactions::createPackages(anInWorkSpace);
        return;
    }
    if (textcase::equalsIgnoringCase(aWhat, "deliveryUnit")) {
        deliveryunitactions::createDeliveryUnits();
        return;
    }
    throw Error("kivo: Creating a " + aWhat + " is not available in this version of kivo.");
}

// A repository file named relative to the current directory is recorded with its absolute
// path, so that the workspace reaches it from any of its directories.
void actionCreate::anchorRepositoryFile() {
    const std::string aHost = getValue(params::hostName);
    if (!aHost.starts_with("file:") || sys::isAbsolutePath(aHost.substr(5)) || aHost.size() == 5)
        return;
    const std::string anAbsolute =
        "file:" + sys::resolvePath(sys::joinFileName(sys::getCurrentDir(), aHost.substr(5)));
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
