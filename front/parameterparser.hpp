#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/parameters.hpp"

namespace RepositoryAccess {

// How a KIVO_* variable fills its parameter: a flag is set by the exact value "1", a value is
// copied when it is non-empty and the command line left the parameter empty.
enum class EnvironmentKind { none, flag, value };

// One row of the parameter table: the canonical parameter, its environment variable and the
// further names it is accepted under.
struct ParameterDefinition {
    Parameter itsParameter;
    EnvironmentKind itsEnvironmentKind;
    std::string_view itsVariable;
    std::vector<std::string_view> itsAliases;
};

namespace parameterparser {

// Every parameter the program accepts, in table order (which is also the order in which the
// environment variables are applied).
const std::vector<ParameterDefinition>& definitions();

// Every accepted name (canonical names and aliases) with its parameter, in byte order of the
// names.
const std::vector<std::pair<std::string_view, Parameter>>& parameterMap();

// Finds a parameter by any accepted name, letters compared without regard to case; of several
// names that match, the first in byte order counts. Throws "The parameter: <name> is not
// supported" for an unknown name.
Parameter lookupParameter(std::string_view theName);

// A password that the command line gave, taken out of the program's arguments.
struct SecretArgument {
    Parameter itsParameter;
    SecureString itsValue;
};

// Takes the values of the secret options out of the program's arguments (theArgv[1] to
// theArgv[theArgc - 1], in the forms that parseCommandLine reads): each is kept in a
// SecureString, in argument order, and overwritten in place with '*', so that the process
// listing never shows it; the process becomes non-dumpable. The first thing the program does.
std::vector<SecretArgument> takeSecretArguments(int theArgc, char** theArgv);

// Parses the arguments after the program name into a new store: options, positional words
// matched against the command syntax table, advanced-mode rewriting. Throws on a malformed
// option, on positional words that no syntax accepts (after printing the "Arguments:" listing)
// and on unknown parameter names.
ParameterValues parseCommandLine(const std::vector<std::string>& theArguments);

// Fills the store from the KIVO_* variables for what the command line left open.
void applyEnvironment(ParameterValues& theValues);

// The command line as recorded in the logs and echoed with KIVO_ARGS: the arguments joined by
// blanks, with the values of secret options replaced by "********".
std::string recordedCommandLine(const std::vector<std::string>& theArguments);

// The parameter dump: "{", the "name":value pairs joined by ",\n", "}" (no line end); secret
// values are written as "********".
std::string parameterDump(const ParameterValues& theValues);

} // namespace parameterparser
} // namespace RepositoryAccess
