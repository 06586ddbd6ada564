#include "actions/actionupdate.hpp"

#include "actions/adminoptions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

void actionUpdate::execute() {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        adminoptions::insufficientArguments();
    // The workspace's config names the repository to connect to.
    workspace::open(false);
    if (textcase::equalsIgnoringCase(aWhat, "package") ||
        textcase::equalsIgnoringCase(aWhat, "packages")) {
        packageactions::updatePackages();
        return;
    }
    if (textcase::equalsIgnoringCase(aWhat, "deliveryUnit")) {
        deliveryunitactions::updateDeliveryUnits();
        return;
    }
    throw Error("kivo: Updating a " + aWhat + " is not available in this version of kivo.");
}

} // namespace RepositoryAccess
