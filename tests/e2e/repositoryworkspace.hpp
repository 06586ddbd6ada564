#pragma once

// A repository (a file, or a server database on a server run) with its users, a key for dev, and
// dev's workspace "ws" created on it by the real binary: the common ground of the end-to-end
// tests of the workflow actions.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"
#include "workspace/hash.hpp"
#include "workspace/sys.hpp"

namespace kivotest {

// What a refusal for conflicted files and a conflicting checkout tell the user to do.
inline const std::string kResolutionCalls =
    "Call:\n\t* \"kivo resolve --local|--base|--remote|--mergetool|-m\" for\n\t  (non-)interactive "
    "conflict resolution, or\n\t* \"kivo push --local|--base|--remote|--mergetool|-m\", or\n\t* "
    "\"kivo checkout --force|-f\" to overwrite your local changes.\n";

// Activation and change times differ from run to run; the layouts around them do not.
inline std::string withoutTimes(const std::string& theText) {
    static const std::regex kTime(
        "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}");
    return std::regex_replace(theText, kTime, "<time>");
}

class RepositoryWorkspace {
public:
    // Users dev (and other with theWithOther), key K1 for dev, workspace "ws"; with
    // theTrackAcme the directory acme exists and is tracked.
    RepositoryWorkspace(bool theWithOther, bool theTrackAcme) : itsTarget(itsDir.path()) {
        itsTarget.init();
        itsTarget.addUser("dev", "pw");
        if (theWithOther)
            itsTarget.addUser("other", "pw");
        setKey("K1", "dev");
        makeWorkspace("ws", "K1", theTrackAcme ? "acme" : "");
    }

    static void expectOk(const RunResult& theResult) {
        EXPECT_EQ(theResult.itsExitCode, 0) << theResult.itsOut << theResult.itsErr;
    }
    // A run that must fail with exactly theError.
    static void expectError(const RunResult& theResult, const std::string& theError) {
        EXPECT_EQ(theResult.itsExitCode, 1) << theResult.itsOut;
        EXPECT_EQ(theResult.itsErr, theError);
    }
    // A run that must succeed and print thePart.
    static void expectSays(const RunResult& theResult, const std::string& thePart) {
        EXPECT_EQ(theResult.itsExitCode, 0) << theResult.itsErr;
        EXPECT_TRUE(contains(theResult.itsOut, thePart)) << theResult.itsOut;
    }
    // A run that must fail with thePart in its error.
    static void expectRefused(const RunResult& theResult, const std::string& thePart) {
        EXPECT_EQ(theResult.itsExitCode, 1) << theResult.itsOut;
        EXPECT_TRUE(contains(theResult.itsErr, thePart)) << theResult.itsErr;
    }
    // Runs in theCwd (the test's folder by default) with the test's key store.
    RunOptions options(const std::filesystem::path& theCwd = {}) const {
        RunOptions anOptions;
        anOptions.itsCwd = theCwd.empty() ? itsDir.path() : theCwd;
        anOptions.itsEnv["ZEVUSERSTORE_HOME"] = (itsDir.path() / "keys").string();
        return anOptions;
    }
    // Stores the key theKey for theUser (password "pw") on the repository.
    void setKey(const std::string& theKey, const std::string& theUser) const {
        expectOk(runProgram("zevuserstore", {"SET", theKey, itsTarget.host(), theUser, "pw"},
                            options()));
    }
    std::filesystem::path dir() const { return itsDir.path(); }
    const RepositoryTarget& target() const { return itsTarget; }
    std::filesystem::path root() const { return itsDir.path() / "ws"; }
    std::filesystem::path settings() const { return root() / "._SYS_KIVO_settings"; }
    std::string path(const std::string& theRelative) const {
        return (root() / theRelative).string();
    }
    std::string statusText() const { return readText(settings() / ".kivoStatus"); }
    std::string read(const std::string& theRelative) const { return readText(path(theRelative)); }
    // The metadata file of a workspace file.
    std::filesystem::path metaFile(const std::string& theRelative) const {
        return settings() / "SYS" / (theRelative + ".kivoMeta");
    }
    std::string meta(const std::string& theRelative) const {
        return readText(metaFile(theRelative));
    }
    // Runs kivo in the workspace, or in theCwd.
    RunResult kivo(const std::vector<std::string>& theArgs) const {
        return kivoIn(root(), theArgs);
    }
    RunResult kivoIn(const std::filesystem::path& theCwd,
                     const std::vector<std::string>& theArgs) const {
        return runKivo(theArgs, options(theCwd));
    }
    // Creates the workspace theName in the test's folder with theKey; with thePackage it tracks
    // that package's directory.
    void makeWorkspace(const std::string& theName, const std::string& theKey,
                       const std::string& thePackage = "") const {
        expectOk(kivoIn(dir(), {"create", "workspace", theName, theKey}));
        if (thePackage.empty())
            return;
        std::filesystem::create_directories(dir() / theName / thePackage);
        expectOk(kivoIn(dir() / theName, {"track", thePackage}));
    }
    // Runs kivo in the test's folder, outside any workspace, connected with dev's key.
    RunResult outsideWithKey(std::vector<std::string> theArgs) const {
        theArgs.push_back("--key=K1");
        return runKivo(theArgs, options());
    }
    // The output of a run that must succeed, with its activation times left out.
    std::string outputOf(const RunResult& theResult) const {
        EXPECT_EQ(theResult.itsExitCode, 0) << theResult.itsErr;
        EXPECT_EQ(theResult.itsErr, "");
        return withoutTimes(theResult.itsOut);
    }
    // What kivo prints for theArgs, in the workspace or, with theOutside, outside of it with
    // dev's key; activation times left out.
    struct Case {
        std::vector<std::string> itsArgs;
        std::string itsOutput;
        bool itsOutside = false;
    };
    void expectOutputs(const std::vector<Case>& theCases) const {
        for (const Case& aCase : theCases) {
            std::string aLine = "kivo";
            for (const std::string& anArg : aCase.itsArgs)
                aLine += " " + anArg;
            SCOPED_TRACE(aLine);
            EXPECT_EQ(
                outputOf(aCase.itsOutside ? outsideWithKey(aCase.itsArgs) : kivo(aCase.itsArgs)),
                aCase.itsOutput);
        }
    }
    // Writes a file of the workspace, with the folders on its way.
    void write(const std::string& theRelative, const std::string& theContent) const {
        std::filesystem::create_directories(std::filesystem::path(path(theRelative)).parent_path());
        writeText(path(theRelative), theContent);
    }
    // The status-file line of a file with its content and base version, as a commit stores it (up
    // to the stat data that may follow).
    std::string statusEntry(const std::string& theRelative, const std::string& theContent,
                            int theBase) const {
        return "{\"filename\":\"" + theRelative + "\",\"sha1value\":\"" +
               RepositoryAccess::hash::calc(theContent) + "\",\"timest\":\"" +
               RepositoryAccess::sys::getts(path(theRelative)) + "\",\"baseversion\":\"" +
               std::to_string(theBase) + "\"";
    }
    // The local changes that `kivo status` reports after its header and tracked packages.
    std::string changes() const {
        const std::string anOut = kivo({"status"}).itsOut;
        auto aPos = anOut.find("Tracked packages:\n") + 18;
        while (anOut.compare(aPos, 1, "\t") == 0)
            aPos = anOut.find('\n', aPos) + 1;
        return anOut.substr(aPos);
    }
    // Runs the repository probe as dev in theCwd (the workspace by default).
    std::string repoProbe(const std::vector<std::string>& theArgs,
                          const std::filesystem::path& theCwd = {}) const {
        std::vector<std::string> anArgs = {itsTarget.host(), "dev", "pw",
                                           "--store=" + itsTarget.location()};
        anArgs.insert(anArgs.end(), theArgs.begin(), theArgs.end());
        RunResult aResult =
            runProgram("kivo_repo_probe", anArgs, options(theCwd.empty() ? root() : theCwd));
        EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
        return aResult.itsOut;
    }
    // The inactive objects of the workspace in theCwd (dev's "ws" by default).
    std::string inactive(const std::filesystem::path& theCwd = {}) const {
        return repoProbe({"list"}, theCwd);
    }
    // Writes and activates PACKAGE/NAME.SUFFIX as theUser; an empty content removes it.
    void activateAs(const std::string& theUser, const std::vector<std::string>& theArgs) const {
        std::vector<std::string> anArgs = {itsTarget.host(), theUser, "pw"};
        anArgs.insert(anArgs.end(), theArgs.begin(), theArgs.end());
        expectOk(runProgram("kivo_activate_probe", anArgs));
    }

private:
    TempDir itsDir;
    RepositoryTarget itsTarget;
};

// A fixture over RepositoryWorkspace: users dev (and other with theWithOther), dev's "ws" (tracking
// acme with theTrackAcme).
template <bool theWithOther, bool theTrackAcme>
class WorkspaceTest : public ::testing::Test, protected RepositoryWorkspace {
protected:
    WorkspaceTest() : RepositoryWorkspace(theWithOther, theTrackAcme) {}
};

} // namespace kivotest
