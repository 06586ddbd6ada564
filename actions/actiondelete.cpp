#include "actions/actiondelete.hpp"

#include "actions/adminoptions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

void actionDelete::execute() {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        adminoptions::insufficientArguments();
    // The workspace's config names the repository to connect to.
    workspace::open(false);
    if (textcase::equalsIgnoringCase(aWhat, "package") ||
        textcase::equalsIgnoringCase(aWhat, "packages")) {
        packageactions::deletePackages();
        return;
    }
    if (textcase::equalsIgnoringCase(aWhat, "deliveryUnit")) {
        deliveryunitactions::deleteDeliveryUnits();
        return;
    }
    throw Error("kivo: Deleting a " + aWhat + " is not available in this version of kivo.");
}

} // namespace RepositoryAccess
