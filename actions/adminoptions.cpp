#include "actions/adminoptions.hpp"

#include <algorithm>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/recordfields.hpp"
#include "core/textcase.hpp"
#include "repository/recordvalues.hpp"
#include "repository/repofunbase.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess::adminoptions {

namespace {

std::string option(const Parameter& theParameter, Missing theMissing) {
    if (isSet(theParameter))
        return getValue(theParameter);
    return theMissing == Missing::keep ? std::string(repofunbase::kUnset) : std::string();
}

// A flag attribute: "--structural" alone means "1".
std::string flagOption(const Parameter& theParameter, Missing theMissing) {
    if (isSet(theParameter) && getValue(theParameter).empty())
        return "1";
    return option(theParameter, theMissing);
}

} // namespace

PackageAttributes packageAttributes(const std::string& thePackage, Missing theMissing) {
    const std::string aKeep = theMissing == Missing::keep ? std::string(repofunbase::kUnset) : "";
    PackageAttributes anAttributes;
    for (const RecordField& aField : packageFields()) {
        const Parameter anOption(aField.itsOption);
        std::string& aValue = recordvalues::value(anAttributes, aField.itsKey);
        if (aField.itsOption.empty())
            aValue = aKeep;
        else if (aField.itsKind == FieldKind::flag)
            aValue = flagOption(anOption, theMissing);
        else
            aValue = option(anOption, theMissing);
    }
    anAttributes.itsPackage = thePackage;
    return anAttributes;
}

PackageAttributes packageFilter(const std::string& thePackage) {
    PackageAttributes aFilter;
    for (const RecordField& aField : packageFields())
        if (!aField.itsFilterOption.empty())
            recordvalues::value(aFilter, aField.itsKey) =
                getValue(Parameter(aField.itsFilterOption));
    aFilter.itsPackage = thePackage;
    return aFilter;
}

DeliveryUnitAttributes deliveryUnitAttributes(const std::string& theName,
                                              const std::string& theVendor, Missing theMissing) {
    DeliveryUnitAttributes anAttributes;
    for (const RecordField& aField : deliveryUnitFields())
        if (!aField.itsOption.empty())
            recordvalues::value(anAttributes, aField.itsKey) =
                option(Parameter(aField.itsOption), theMissing);
    anAttributes.itsName = theName;
    anAttributes.itsVendor = theVendor;
    // The help calls the caption a description; either option names it.
    if (!isSet(params::caption) && isSet(params::description))
        anAttributes.itsCaption = getValue(params::description);
    return anAttributes;
}

std::string vendorOrContentVendor() {
    const std::string aVendor = getValue(params::vendor);
    return aVendor.empty() ? repofunbase::getContentVendor() : aVendor;
}

std::vector<std::string> packageArguments() {
    std::vector<std::string> aPackages;
    for (const auto& anArgument : parameters().getValues(params::package)) {
        std::string aPackage = workspace::normalizePackage(anArgument);
        if (std::find(aPackages.begin(), aPackages.end(), aPackage) == aPackages.end())
            aPackages.push_back(std::move(aPackage));
    }
    if (aPackages.empty())
        insufficientArguments();
    return aPackages;
}

std::vector<std::string> deliveryUnitArguments() {
    std::vector<std::string> aNames = parameters().getValues(params::deliveryUnit);
    if (aNames.empty())
        insufficientArguments();
    return aNames;
}

void runByWhat(std::initializer_list<WhatStep> theSteps, std::string_view theVerbing) {
    const std::string aWhat = getValue(params::what);
    for (const WhatStep& aStep : theSteps) {
        if (textcase::equalsIgnoringCase(aWhat, aStep.itsWhat)) {
            aStep.itsRun();
            return;
        }
    }
    throw Error("kivo: " + std::string(theVerbing) + " a " + aWhat +
                " is not available in this version of kivo.");
}

void insufficientArguments() {
    throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
}

void requireWhat() {
    if (getValue(params::what).empty())
        insufficientArguments();
}

} // namespace RepositoryAccess::adminoptions
