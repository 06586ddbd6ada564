#include "actions/actiondelete.hpp"

#include "actions/adminoptions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"

namespace RepositoryAccess {

void actionDelete::execute() {
    adminoptions::runByWhat(packageactions::deletePackages,
                            deliveryunitactions::deleteDeliveryUnits, "Deleting");
}

} // namespace RepositoryAccess
