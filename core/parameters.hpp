#pragma once

#include "core/securestring.hpp"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess {

// The identity of one parameter: its canonical name. Equal names are the same parameter, so a
// syntax table, an action and the store can all refer to `params::verbose` without spelling the
// text twice. Action names and WHAT values use the same kind of named instance.
class Parameter {
public:
    constexpr explicit Parameter(std::string_view theName) : itsName(theName) {}
    constexpr std::string_view name() const { return itsName; }
    constexpr bool operator==(const Parameter& theOther) const = default;

private:
    std::string_view itsName;
};

namespace params {
#define KIVO_PARAMETER(theId, theName, ...) inline constexpr Parameter theId{theName};
#include "core/parameterlist.inc"
#undef KIVO_PARAMETER
} // namespace params

// What a password is shown as, wherever its parameter's value is shown.
inline constexpr std::string_view kSecretMask = "********";

// True for the parameters whose values are passwords: they never appear in any output, log or
// trace, and the store keeps them apart (ParameterValues::secret).
bool isSecret(const Parameter& theParameter);

// The run's parameter values: a multimap from parameter to value texts, ordered by canonical name
// (plain byte order); values of one parameter keep the order in which they were added. A flag
// given on the command line has the value "X"; one set by the environment or the program is "".
// The value of a secret parameter is kept in a SecureString: its entry holds "********" (or ""
// for an empty value), so that only secret() hands out the password itself.
class ParameterValues {
public:
    struct Entry {
        std::string_view itsName; // canonical name, points into the parameter table
        std::string itsValue;
    };

    ParameterValues() = default;
    // A copy holds copies of the secrets (a saved store that a test or a sequence restores).
    ParameterValues(const ParameterValues& theOther);
    ParameterValues& operator=(const ParameterValues& theOther);
    ParameterValues(ParameterValues&&) = default;
    ParameterValues& operator=(ParameterValues&&) = default;

    bool isSet(const Parameter& theParameter) const;
    // The first value, or "" when the parameter is not set ("********" for a secret one).
    std::string getValue(const Parameter& theParameter) const;
    std::vector<std::string> getValues(const Parameter& theParameter) const;
    // Adds (p, "") unless p is already set.
    void setFlag(const Parameter& theParameter);
    // Adds (p, v) behind the existing values of p. A secret value moves into the secret
    // store (the first one counts, as for getValue) and the given text is wiped.
    void setValue(const Parameter& theParameter, std::string theValue);
    void unset(const Parameter& theParameter);

    // The value of a secret parameter (empty when it is not set).
    const SecureString& secret(const Parameter& theParameter) const;
    // Replaces the values of the secret parameter theParameter by theValue.
    void setSecret(const Parameter& theParameter, SecureString theValue);
    // Replaces the values of theTarget by the first value of theSource (secret or not).
    void copyValue(const Parameter& theSource, const Parameter& theTarget);

    // All entries in store order, for the parameter dump.
    const std::vector<Entry>& entries() const { return itsEntries; }

private:
    std::vector<Entry>::iterator endOf(std::string_view theName);
    std::vector<Entry> itsEntries; // sorted by name, stable within a name
    std::map<std::string_view, SecureString, std::less<>> itsSecrets;
};

// The process-wide store. Until the run sequence installs the parsed values it is empty.
ParameterValues& parameters();
void installParameters(ParameterValues theValues);

// Shorthands for the common question "is this flag set in the run's store".
inline bool isSet(const Parameter& theParameter) {
    return parameters().isSet(theParameter);
}
inline std::string getValue(const Parameter& theParameter) {
    return parameters().getValue(theParameter);
}

} // namespace RepositoryAccess
