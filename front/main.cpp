#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "front/runsequence.hpp"

int main(int argc, char** argv) {
    const int aStatus = RepositoryAccess::run(argc, argv);
#if defined(NDEBUG)
    // Everything is written and closed by now; freeing the run's large tables (the status of
    // 100,000 files) one by one would only delay the exit.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(aStatus);
#else
    return aStatus;
#endif
}
