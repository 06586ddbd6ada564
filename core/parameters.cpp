#include "core/parameters.hpp"

#include <algorithm>

namespace RepositoryAccess {

namespace {

bool nameLess(const ParameterValues::Entry& theEntry, std::string_view theName) {
    return theEntry.itsName < theName;
}

} // namespace

bool ParameterValues::isSet(const Parameter& theParameter) const {
    auto anIt =
        std::lower_bound(itsEntries.begin(), itsEntries.end(), theParameter.name(), nameLess);
    return anIt != itsEntries.end() && anIt->itsName == theParameter.name();
}

std::string ParameterValues::getValue(const Parameter& theParameter) const {
    auto anIt =
        std::lower_bound(itsEntries.begin(), itsEntries.end(), theParameter.name(), nameLess);
    if (anIt == itsEntries.end() || anIt->itsName != theParameter.name())
        return {};
    return anIt->itsValue;
}

std::vector<std::string> ParameterValues::getValues(const Parameter& theParameter) const {
    std::vector<std::string> aValues;
    auto anIt =
        std::lower_bound(itsEntries.begin(), itsEntries.end(), theParameter.name(), nameLess);
    for (; anIt != itsEntries.end() && anIt->itsName == theParameter.name(); ++anIt)
        aValues.push_back(anIt->itsValue);
    return aValues;
}

std::vector<ParameterValues::Entry>::iterator ParameterValues::endOf(std::string_view theName) {
    return std::upper_bound(
        itsEntries.begin(), itsEntries.end(), theName,
        [](std::string_view theKey, const Entry& theEntry) { return theKey < theEntry.itsName; });
}

void ParameterValues::setFlag(const Parameter& theParameter) {
    if (!isSet(theParameter))
        setValue(theParameter, {});
}

void ParameterValues::setValue(const Parameter& theParameter, std::string theValue) {
    itsEntries.insert(endOf(theParameter.name()), Entry{theParameter.name(), std::move(theValue)});
}

void ParameterValues::unset(const Parameter& theParameter) {
    auto aFirst =
        std::lower_bound(itsEntries.begin(), itsEntries.end(), theParameter.name(), nameLess);
    itsEntries.erase(aFirst, endOf(theParameter.name()));
}

ParameterValues& parameters() {
    static ParameterValues theStore;
    return theStore;
}

void installParameters(ParameterValues theValues) {
    parameters() = std::move(theValues);
}

} // namespace RepositoryAccess
