#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace kivotest {

// The facts that tests/pg/cluster.sh wrote to thePath, else to the file KIVO_PG_ENV names:
// KIVO_PG ("available" or not), KIVO_PG_PORT, KIVO_PG_DATABASE, KIVO_PG_CERTS and the users.
inline std::map<std::string, std::string> readClusterFacts(std::string thePath = "") {
    std::map<std::string, std::string> aFacts;
    const char* anEnv = std::getenv("KIVO_PG_ENV");
    std::ifstream aFile(thePath.empty() && anEnv != nullptr ? anEnv : thePath);
    std::string aLine;
    while (std::getline(aFile, aLine))
        if (std::size_t anEquals = aLine.find('='); anEquals != std::string::npos)
            aFacts[aLine.substr(0, anEquals)] = aLine.substr(anEquals + 1);
    return aFacts;
}

// A test on the throwaway cluster, skipped where there is none.
class ClusterTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFacts = readClusterFacts();
        if (itsFacts["KIVO_PG"] != "available")
            GTEST_SKIP() << "no PostgreSQL cluster for this run";
    }

    std::map<std::string, std::string> itsFacts;
};

} // namespace kivotest
