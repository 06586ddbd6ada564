#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace kivotest {

// The facts of the throwaway cluster from the file that tests/pg/cluster.sh wrote (the variable
// KIVO_PG_ENV names it): KIVO_PG ("available" or "unavailable"), KIVO_PG_PORT, KIVO_PG_DATABASE,
// KIVO_PG_CERTS and the users.
inline std::map<std::string, std::string> readClusterFacts() {
    std::map<std::string, std::string> aFacts;
    const char* aPath = std::getenv("KIVO_PG_ENV");
    std::ifstream aFile(aPath != nullptr ? aPath : "");
    std::string aLine;
    while (std::getline(aFile, aLine))
        if (std::size_t anEquals = aLine.find('='); anEquals != std::string::npos)
            aFacts[aLine.substr(0, anEquals)] = aLine.substr(anEquals + 1);
    return aFacts;
}

} // namespace kivotest
