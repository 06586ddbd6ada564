// Replays the seed corpus of a fuzz target through its entry function, so that the normal test
// run (release and sanitizer builds) executes every seed: the files of the directories given, in
// name order; a seed that crashes fails the test.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "tests/fuzz/fuzzing.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize);

int main(int theArgc, char** theArgv) {
    std::vector<std::filesystem::path> aSeeds;
    for (int i = 1; i < theArgc; ++i)
        for (const auto& anEntry : std::filesystem::directory_iterator(theArgv[i]))
            if (anEntry.is_regular_file())
                aSeeds.push_back(anEntry.path());
    std::sort(aSeeds.begin(), aSeeds.end());
    for (const std::filesystem::path& aSeed : aSeeds) {
        std::ifstream aFile(aSeed, std::ios::binary);
        const std::string aBytes((std::istreambuf_iterator<char>(aFile)),
                                 std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(aBytes.data()), aBytes.size());
    }
    std::cout << "Replayed " << aSeeds.size() << " seeds\n";
    return aSeeds.empty() ? 1 : 0;
}
