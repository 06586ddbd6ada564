// Export and import of a delivery unit of 10,000 objects of 1 KiB in the embedded repository
// (one engine call each, archive included) beside `tar -czf` and `tar -xzf` of the same 10,000
// files, in one run. Prints a table of the times and their ratios. The whole-process comparison
// through `kivo export` and `kivo import` is the end-to-end benchmark's.
#include "core/repomessage.hpp"
#include "server/engine.hpp"
#include "sqlitefile/repositoryfile.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>

using namespace RepositoryAccess;

namespace {

constexpr int kObjects = 10000;

double seconds(const std::function<void()>& theWork) {
    const auto aStart = std::chrono::steady_clock::now();
    theWork();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - aStart).count();
}

std::string frame(const std::string& theJson, const std::vector<std::string>& theCData = {},
                  const std::vector<std::string>& theBData = {}) {
    return RepositoryMessage::fromTexts(theJson, theCData, theBData).serialize();
}

// Calls the engine and stops the benchmark unless the answer is a success.
RepositoryMessage call(server::Engine& theEngine, const std::string& theFrame) {
    std::string anAnswer = theEngine.call("ALICE", theFrame);
    RepositoryMessage aMessage =
        RepositoryMessage::parse(anAnswer.data(), static_cast<std::int32_t>(anAnswer.size()));
    if (aMessage.getJson()->find("\"error-code\":\"0\"") == std::string::npos) {
        std::fprintf(stderr, "engine call failed: %s\n",
                     aMessage.getJson()->substr(0, 300).c_str());
        std::exit(1);
    }
    return aMessage;
}

const std::string kSession = R"({"sessionType":"2","owner":"ALICE","workspace":""})";

std::string objectJson(int theIndex) {
    return R"({"package":"bench.du","name":"o)" + std::to_string(theIndex) + R"(","suffix":"txt"})";
}

std::string importJson() {
    return R"({"action":"import","what":"file","session":)" + kSession +
           R"(,"filename":"du.tgz","forceRemove":"1","autoActivate":"1","activationMode":"0","onlyTestImport":"0","determineXrefs":"0","contentProvided":"1"})";
}

} // namespace

int main() {
    auto aDir =
        std::filesystem::temp_directory_path() / ("kivo-du-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(aDir / "files");
    std::mt19937 aRandom(7);
    std::vector<std::string> aContents;
    for (int i = 0; i < kObjects; ++i) {
        std::string aText(1024, ' ');
        for (char& aChar : aText)
            aChar = static_cast<char>('a' + aRandom() % 26);
        aContents.push_back(aText);
        std::ofstream(aDir / "files" / ("o" + std::to_string(i) + ".txt")) << aText;
    }

    const std::string aSource = (aDir / "source.db").string();
    const std::string aTarget = (aDir / "target.db").string();
    server::createRepositoryFile(aSource, {});
    server::createRepositoryFile(aTarget, {});
    server::Engine aSourceEngine(server::openRepositoryFile(aSource)),
        aTargetEngine(server::openRepositoryFile(aTarget));
    call(aSourceEngine,
         frame(R"({"action":"create","what":"deliveryUnit","name":"DU","vendor":"acme"})"));
    call(
        aSourceEngine,
        frame(
            R"({"action":"create","what":"package","package":"bench.du","delivery_unit":"DU","du_vendor":"acme","inherit":"0"})"));
    std::string aList;
    for (int i = 0; i < kObjects; ++i) {
        call(aSourceEngine, frame(R"({"action":"write","what":"object","session":)" + kSession +
                                      R"(,"object":)" + objectJson(i) + "}",
                                  {aContents[i]}));
        aList += (i ? ",\n" : "") + objectJson(i);
    }
    call(aSourceEngine, frame(R"({"action":"activate","what":"objects","session":)" + kSession +
                              R"(,"objList":[)" + aList + R"(],"activationMode":"0"})"));

    std::string anArchive;
    double anExport = seconds([&] {
        RepositoryMessage aMessage = call(
            aSourceEngine,
            frame(
                R"({"action":"export","what":"delivery_unit","delivery_unit":"DU","du_vendor":"acme","alias":"","file":"","provide_content":"1","export_summary":"1"})"));
        anArchive = *aMessage.getBDataVec().at(0);
    });
    double anImport = seconds([&] { call(aTargetEngine, frame(importJson(), {}, {anArchive})); });
    const std::string aTar = (aDir / "files.tgz").string();
    const std::string aFiles = (aDir / "files").string();
    double aTarCreate = seconds([&] {
        std::string aCommand = "tar -czf '" + aTar + "' -C '" + aFiles + "' .";
        if (std::system(aCommand.c_str()) != 0)
            std::exit(1);
    });
    std::filesystem::create_directories(aDir / "out");
    double aTarExtract = seconds([&] {
        std::string aCommand = "tar -xzf '" + aTar + "' -C '" + (aDir / "out").string() + "'";
        if (std::system(aCommand.c_str()) != 0)
            std::exit(1);
    });

    std::printf("%-34s %10s %10s %8s\n", "10,000 objects of 1 KiB", "engine s", "tar s", "ratio");
    std::printf("%-34s %10.3f %10.3f %8.2f\n", "export / tar -czf", anExport, aTarCreate,
                anExport / aTarCreate);
    std::printf("%-34s %10.3f %10.3f %8.2f\n", "import and activate / tar -xzf", anImport,
                aTarExtract, anImport / aTarExtract);
    std::printf("archive %zu bytes, tar.gz %ju bytes\n", anArchive.size(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(aTar)));
    std::filesystem::remove_all(aDir);
    return 0;
}
