#pragma once

// A workspace on disk for the end-to-end tests, written directly (settings folder, config and
// status files), so that the local actions can be tested without a repository. Its configuration
// names the run's kind of repository (which is never made).

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

namespace kivotest {

class WorkspaceTree {
public:
    explicit WorkspaceTree(const std::string& theName = "ws")
        : itsTarget(itsDir.path()), itsName(theName) {
        itsRoot = itsDir.path() / theName;
        for (const char* aSub : {"SYS", "diff", "base", "logs"})
            std::filesystem::create_directories(settings() / aSub);
    }

    std::filesystem::path root() const { return itsRoot; }
    // The host that the configuration names.
    const std::string& host() const { return itsTarget.host(); }
    std::filesystem::path settings() const { return itsRoot / "._SYS_KIVO_settings"; }
    std::string path(const std::string& theRelative) const {
        return (itsRoot / theRelative).string();
    }

    // Writes a workspace file; with theKnown it is recorded in the status file as synchronised.
    void file(const std::string& theRelative, const std::string& theContent, bool theKnown = true,
              int theBase = 1) {
        std::filesystem::create_directories((itsRoot / theRelative).parent_path());
        writeText(itsRoot / theRelative, theContent);
        if (theKnown)
            known(theRelative, theContent, theBase);
    }
    // Records a file in the status file as if it had been synchronised with this content.
    void known(const std::string& theRelative, const std::string& theContent, int theBase = 1) {
        const std::string aPath = path(theRelative);
        itsEntries[theRelative] =
            "{\"filename\":\"" + theRelative + "\",\"sha1value\":\"" +
            RepositoryAccess::hash::calc(theContent) + "\",\"timest\":\"" +
            (RepositoryAccess::sys::fileExists(aPath) ? RepositoryAccess::sys::getts(aPath)
                                                      : "2024-01-01 00:00:00.000 UTC") +
            "\",\"baseversion\":\"" + std::to_string(theBase) + "\"}";
    }
    void conflict(const std::string& theRelative) { itsConflicts.insert(theRelative); }
    void track(const std::string& thePackage) { itsTracked.insert(thePackage); }

    // Writes .kivoConfig and .kivoStatus from what was recorded.
    void save() const {
        auto aList = [](const auto& theItems, auto theText) {
            std::string aList;
            for (const auto& anItem : theItems)
                aList += (aList.empty() ? "" : ",\n") + theText(anItem);
            return aList;
        };
        auto aQuoted = [](const std::string& theText) { return "\"" + theText + "\""; };
        writeText(settings() / ".kivoConfig",
                  "{\n\"name\":\"" + itsName + "\",\n\"hostname\":\"" + host() +
                      "\",\n\"user\":\"ME\",\n\"database\":\"\",\n"
                      "\"key\":\"\",\n\"client_format_version\":\"0001.0001.0000\",\n"
                      "\"trackedPackages\":[" +
                      aList(itsTracked, aQuoted) + "]\n}\n");
        writeText(settings() / ".kivoStatus",
                  "{\n\"name\":\"" + itsName + "\",\n\"filenames\":[" +
                      aList(itsEntries, [](const auto& theEntry) { return theEntry.second; }) +
                      "],\n\"conflicts\":[" + aList(itsConflicts, aQuoted) + "]\n}\n");
    }

    // Runs kivo in a directory of the workspace (its top by default).
    RunResult kivo(const std::vector<std::string>& theArgs, const std::string& theSubDir = "",
                   std::map<std::string, std::optional<std::string>> theEnv = {}) const {
        RunOptions anOptions;
        anOptions.itsCwd = itsRoot / theSubDir;
        anOptions.itsEnv = std::move(theEnv);
        return runKivo(theArgs, anOptions);
    }

private:
    TempDir itsDir;
    RepositoryTarget itsTarget;
    std::string itsName;
    std::filesystem::path itsRoot;
    std::map<std::string, std::string> itsEntries; // the status lines by path
    std::set<std::string> itsConflicts;
    std::set<std::string> itsTracked;
};

} // namespace kivotest
