#include "actions/actionundeploy.hpp"

#include "actions/deliveryunitactions.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

bool undeploysDeliveryUnits() {
    return textcase::equalsIgnoringCase(getValue(params::what), "deliveryUnit");
}

} // namespace

// Any other WHAT does nothing, not even open the workspace.
WorkspaceNeed actionUnDeploy::workspaceNeed() const {
    return undeploysDeliveryUnits() ? WorkspaceNeed::read : WorkspaceNeed::none;
}

void actionUnDeploy::execute() {
    if (!undeploysDeliveryUnits())
        return;
    deliveryunitactions::undeployDeliveryUnits();
}

} // namespace RepositoryAccess
