#include "actions/actionundeploy.hpp"

#include "actions/deliveryunitactions.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

void actionUnDeploy::execute() {
    if (!textcase::equalsIgnoringCase(getValue(params::what), "deliveryUnit"))
        return;
    workspace::open(false);
    deliveryunitactions::undeployDeliveryUnits();
}

} // namespace RepositoryAccess
