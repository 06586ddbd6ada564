#include "actions/helpbrowser.hpp"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/stat.h>

#include "front/error.hpp"

// The help's own access to the temporary directory and the browser. It follows the rules of the
// file-system layer and moves there once that layer offers the same services.
namespace RepositoryAccess::helpbrowser {

namespace {

std::string quotedForShell(const std::string& theText) {
    std::string aQuoted = "'";
    for (char aChar : theText) {
        if (aChar == '\'')
            aQuoted += "'\\''";
        else
            aQuoted += aChar;
    }
    return aQuoted + "'";
}

bool commandExists(const char* theName) {
    std::string aCommand = "command -v " + std::string(theName) + " >/dev/null 2>&1";
    return std::system(aCommand.c_str()) == 0;
}

} // namespace

std::string temporaryDirectory() {
    std::string aBase = "/tmp";
    for (const char* aVariable : {"temp", "TEMP", "TMPDIR"}) {
        const char* aValue = std::getenv(aVariable);
        if (aValue && *aValue) {
            aBase = aValue;
            break;
        }
    }
    while (aBase.size() > 1 && aBase.back() == '/')
        aBase.pop_back();
    std::string aDirectory = aBase + "/kivotmp";
    if (::mkdir(aDirectory.c_str(), 0700) != 0 && errno != EEXIST)
        throw Error("Could not create directory: " + aDirectory +
                    " System error code: " + std::to_string(errno));
    return aDirectory;
}

std::string writePage(std::string_view theFileName, std::string_view thePage) {
    std::string aPath = temporaryDirectory() + "/" + std::string(theFileName);
    std::ofstream aFile(aPath, std::ios::binary | std::ios::trunc);
    aFile.write(thePage.data(), static_cast<std::streamsize>(thePage.size()));
    aFile.close();
    if (!aFile)
        throw Error("Could not write file: " + aPath);
    return aPath;
}

void displayUrl(const std::string& theUrl) {
    const char* aBrowser = std::getenv("BROWSER");
    std::string aProgram;
    if (aBrowser && *aBrowser)
        aProgram = aBrowser;
    else if (commandExists("xdg-open"))
        aProgram = "xdg-open";
    else
        throw Error("No web browser found. Set the environment variable \"BROWSER\" to the "
                    "command that opens a web page.");
    std::string aCommand = aProgram + " " + quotedForShell(theUrl);
    if (std::system(aCommand.c_str()) != 0)
        throw Error("Could not open the web browser: " + aCommand);
}

unsigned long long tickCount() {
    timespec aNow{};
    ::clock_gettime(CLOCK_MONOTONIC, &aNow);
    return static_cast<unsigned long long>(aNow.tv_sec) * 1000ULL +
           static_cast<unsigned long long>(aNow.tv_nsec) / 1000000ULL;
}

} // namespace RepositoryAccess::helpbrowser
