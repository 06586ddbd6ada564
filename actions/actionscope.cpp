#include "actions/actionscope.hpp"

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess::actionscope {

namespace {

void addPackages(ActionScope& theScope, const std::vector<std::string>& theArguments) {
    for (const auto& anArgument : theArguments)
        theScope.itsPackages.push_back(workspace::normalizePackage(anArgument));
}

void addObjects(ActionScope& theScope, const std::vector<std::string>& theArguments) {
    for (const auto& anArgument : theArguments)
        theScope.itsObjects.push_back(objects::object_name_to_object_id(anArgument));
}

} // namespace

void splitArguments(const std::vector<std::string>& theArguments,
                    std::vector<std::string>& thePackages, std::vector<std::string>& theFiles) {
    for (const auto& anArgument : theArguments) {
        std::string aPath = sys::toSlashes(anArgument);
        (aPath.ends_with("/") ? thePackages : theFiles).push_back(std::move(aPath));
    }
}

ActionScope fromParameters() {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    auto is = [&](std::string_view theName) {
        return textcase::equalsIgnoringCase(aWhat, theName);
    };
    ActionScope aScope;
    aScope.itsRecursive = !isSet(params::noRecursive);
    if (is("trackedPackages")) {
        const auto& aTracked = workspace::config().trackedPackages();
        aScope.itsPackages.assign(aTracked.begin(), aTracked.end());
    } else if (is("package") || is("packages")) {
        addPackages(aScope, parameters().getValues(params::package));
    } else if (is("object")) {
        addObjects(aScope, parameters().getValues(params::object));
    } else if (is("objects")) {
        std::vector<std::string> aPackages, aFiles;
        splitArguments(parameters().getValues(params::object), aPackages, aFiles);
        addPackages(aScope, aPackages);
        addObjects(aScope, aFiles);
    } else if (is("inactiveObjects")) {
        aScope.itsInactiveObjects = true;
    }
    return aScope;
}

} // namespace RepositoryAccess::actionscope
