#pragma once

// The delivery-unit administration behind `kivo create`, `kivo delete` and `kivo update` with
// WHAT `deliveryUnit`, and `kivo undeploy`. Each function reads its options from the parameters;
// the vendor is `vendor`, or the repository's content vendor when it is not given.
namespace RepositoryAccess::deliveryunitactions {

// Creates each named delivery unit with the attribute options.
void createDeliveryUnits();

// Deletes each named delivery unit; an unknown one fails with "Delivery unit <name> <vendor> does
// not exist.".
void deleteDeliveryUnits();

// Updates each named delivery unit with the attribute options that are given; an unknown one
// fails like the delete.
void updateDeliveryUnits();

// Removes each named delivery unit with its objects and emptied packages and adds what the
// repository removed to the run statistics.
void undeployDeliveryUnits();

} // namespace RepositoryAccess::deliveryunitactions
