#pragma once

namespace RepositoryAccess {

// Runs one command line from start to exit status: parse, environment, dispatch, statistics,
// workspace exit and connection close. Never throws; returns 0 or 1.
int run(int theArgc, char** theArgv);

} // namespace RepositoryAccess
