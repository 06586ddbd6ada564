#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "repository/reqdeliveryunits.hpp"
#include "repository/reqpackages.hpp"

// The options that describe packages and delivery units, read once for the actions that create,
// update, delete, export and undeploy them.
namespace RepositoryAccess::adminoptions {

// What an attribute option that was not given becomes: empty for a new package or delivery unit,
// "__unset__" for an update, so that the repository function keeps the current value.
enum class Missing { empty, keep };

// The package attributes of the options for thePackage: description, responsible, original
// language, structural flag, delivery unit and vendor, and the four text attributes. An option
// given without a value sets a flag attribute (structural) to "1".
PackageAttributes packageAttributes(const std::string& thePackage, Missing theMissing);

// The delivery-unit attributes of the options for one name: caption, responsible, the three
// version parts, last update (updates only), the two QRTS ids and the ACH.
DeliveryUnitAttributes deliveryUnitAttributes(const std::string& theName,
                                              const std::string& theVendor, Missing theMissing);

// `vendor` when it has a value, otherwise the repository's content vendor.
std::string vendorOrContentVendor();

// The package arguments as dotted repository names, in argument order, each once.
std::vector<std::string> packageArguments();

// The delivery-unit arguments, in argument order; fails with the insufficient-arguments message
// when there is none.
std::vector<std::string> deliveryUnitArguments();

// Runs the package or the delivery-unit variant of an action by WHAT (`package`, `packages` or
// `deliveryUnit`) in the open workspace, if any; other WHAT values fail with "kivo: " +
// theVerbing + " a <WHAT> is not available in this version of kivo.".
void runByWhat(void (*thePackages)(), void (*theDeliveryUnits)(), std::string_view theVerbing);

// The failure for an action whose WHAT or arguments are missing.
[[noreturn]] void insufficientArguments();

} // namespace RepositoryAccess::adminoptions
