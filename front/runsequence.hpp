#pragma once

#include <string>
#include <vector>

#include "front/actionhost.hpp"
#include "front/parameterparser.hpp"

namespace RepositoryAccess {

// Runs one command line from start to exit status: record, parse, environment, dispatch,
// performance trace, statistics, workspace exit and connection close. Every failure is printed
// here, message by message on standard error. theSecrets are the passwords taken out of the
// arguments (whose values are masked). Never throws; returns 0 or 1.
int run(const std::vector<std::string>& theArguments, ActionHost& theHost,
        std::vector<parameterparser::SecretArgument> theSecrets = {});

// The program entry: runs the arguments with the program's own host.
int run(int theArgc, char** theArgv);

} // namespace RepositoryAccess
