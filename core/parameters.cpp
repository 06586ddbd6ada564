#include "core/parameters.hpp"

#include <algorithm>

namespace RepositoryAccess {

namespace {

bool nameLess(const ParameterValues::Entry& theEntry, std::string_view theName) {
    return theEntry.itsName < theName;
}

} // namespace

bool isSecret(const Parameter& theParameter) {
    return theParameter == params::passWord || theParameter == params::sourcePassWord ||
           theParameter == params::targetPassWord || theParameter == params::sslKeyStorePassword;
}

ParameterValues::ParameterValues(const ParameterValues& theOther)
    : itsEntries(theOther.itsEntries) {
    for (const auto& [aName, aSecret] : theOther.itsSecrets)
        itsSecrets.emplace(aName, aSecret.clone());
}

ParameterValues& ParameterValues::operator=(const ParameterValues& theOther) {
    if (this != &theOther)
        *this = ParameterValues(theOther);
    return *this;
}

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
    if (isSecret(theParameter)) {
        if (!theValue.empty())
            secrets::forbidCoreDumps();
        if (!isSet(theParameter))
            itsSecrets.insert_or_assign(theParameter.name(), SecureString(theValue));
        const bool anEmpty = theValue.empty();
        secrets::wipe(theValue);
        if (!anEmpty)
            theValue = kSecretMask;
    }
    itsEntries.insert(endOf(theParameter.name()), Entry{theParameter.name(), std::move(theValue)});
}

void ParameterValues::unset(const Parameter& theParameter) {
    auto aFirst =
        std::lower_bound(itsEntries.begin(), itsEntries.end(), theParameter.name(), nameLess);
    itsEntries.erase(aFirst, endOf(theParameter.name()));
    itsSecrets.erase(theParameter.name());
}

const SecureString& ParameterValues::secret(const Parameter& theParameter) const {
    static const SecureString theNone;
    auto anIt = itsSecrets.find(theParameter.name());
    return anIt != itsSecrets.end() ? anIt->second : theNone;
}

void ParameterValues::setSecret(const Parameter& theParameter, SecureString theValue) {
    if (!theValue.empty())
        secrets::forbidCoreDumps();
    unset(theParameter);
    itsEntries.insert(endOf(theParameter.name()),
                      Entry{theParameter.name(), theValue.empty() ? "" : std::string(kSecretMask)});
    itsSecrets.insert_or_assign(theParameter.name(), std::move(theValue));
}

void ParameterValues::copyValue(const Parameter& theSource, const Parameter& theTarget) {
    if (isSecret(theSource)) {
        setSecret(theTarget, secret(theSource).clone());
        return;
    }
    std::string aValue = getValue(theSource);
    unset(theTarget);
    setValue(theTarget, std::move(aValue));
}

ParameterValues& parameters() {
    static ParameterValues theStore;
    return theStore;
}

void installParameters(ParameterValues theValues) {
    parameters() = std::move(theValues);
}

} // namespace RepositoryAccess
