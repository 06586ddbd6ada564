// Replays the seed corpus of a fuzz target through its entry function, so that the normal test
// run (release and sanitizer builds) executes every seed. Arguments are files or directories
// (every file of a directory, in name order); a seed that crashes fails the test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize);

namespace fs = std::filesystem;

int main(int theArgc, char** theArgv) {
    std::vector<fs::path> aSeeds;
    for (int i = 1; i < theArgc; ++i) {
        if (!fs::is_directory(theArgv[i])) {
            aSeeds.emplace_back(theArgv[i]);
            continue;
        }
        for (const auto& anEntry : fs::directory_iterator(theArgv[i]))
            if (anEntry.is_regular_file())
                aSeeds.push_back(anEntry.path());
    }
    std::sort(aSeeds.begin(), aSeeds.end());
    for (const fs::path& aSeed : aSeeds) {
        std::ifstream aFile(aSeed, std::ios::binary);
        const std::string aBytes((std::istreambuf_iterator<char>(aFile)),
                                 std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(aBytes.data()), aBytes.size());
    }
    std::cout << "Replayed " << aSeeds.size() << " seeds\n";
    return aSeeds.empty() ? 1 : 0;
}
