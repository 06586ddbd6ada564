#pragma once

#include <functional>
#include <initializer_list>
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

// The filter of a package listing: thePackage's pattern and the value of each attribute's filter
// option (empty: any value).
PackageAttributes packageFilter(const std::string& thePackage);

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

// One WHAT of an administration action and what it runs.
struct WhatStep {
    std::string_view itsWhat;
    std::function<void()> itsRun;
};

// Runs the step whose WHAT equals the `what` parameter (checked by requireWhat() before) without
// regard to case; another WHAT fails with "kivo: " + theVerbing + " a <WHAT> is not available in
// this version of kivo.".
void runByWhat(std::initializer_list<WhatStep> theSteps, std::string_view theVerbing);

// The failure for an action whose WHAT or arguments are missing.
[[noreturn]] void insufficientArguments();

// Fails with insufficientArguments() when the `what` parameter is not given.
void requireWhat();

} // namespace RepositoryAccess::adminoptions
