#include "actions/actionupdate.hpp"

#include "actions/adminoptions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"

namespace RepositoryAccess {

void actionUpdate::execute() {
    adminoptions::runByWhat(packageactions::updatePackages,
                            deliveryunitactions::updateDeliveryUnits, "Updating");
}

} // namespace RepositoryAccess
