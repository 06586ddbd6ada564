#pragma once

// A source repository with dev's workspace "ws", a package tree assigned to the delivery unit
// DU1, and target repositories that archives are imported into: the common ground of the
// delivery-unit end-to-end tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"
#include "tests/support/repositorytarget.hpp"

namespace kivotest {

class DeliveryUnitFixture : public ::testing::Test, protected RepositoryWorkspace {
protected:
    DeliveryUnitFixture() : RepositoryWorkspace(true, false) {}

    // The files of the tree, with contents that a careless transfer would change: non-ASCII
    // text, a binary with NUL and CR LF bytes, JSON in a sub package.
    static std::vector<std::pair<std::string, std::string>> treeFiles() {
        return {{"acme/a.txt", "gr\xc3\xbc\xc3\x9f"
                               "e\n"},
                {"acme/b.png", std::string("\x89PNG\0\r\n\x1a\n\0\xff", 11)},
                {"acme/sub/c.json", "{\"k\": [1, 2]}\n"}};
    }

    // Creates DU1, the packages acme and acme.sub with the tree's files activated, and assigns
    // acme with its sub package to DU1.
    void makeTree() const {
        expectOk(kivo({"create", "deliveryUnit", "DU1", "--caption=first"}));
        expectOk(kivo({"create", "package", "acme.sub"}));
        expectOk(kivo({"track", "acme"}));
        for (const auto& [aFile, aContent] : treeFiles())
            writeText(path(aFile), aContent);
        expectOk(kivo({"push"}));
        expectOk(kivo({"assign", "acme", "DU1"}));
    }

    // A new repository NAME with the user dev and the key NAME for it.
    const RepositoryTarget& makeTarget(const std::string& theName) {
        RepositoryTarget& aTarget = itsTargets.emplace_back(dir(), theName);
        aTarget.init();
        aTarget.addUser("dev", "pw");
        expectOk(
            runProgram("zevuserstore", {"SET", theName, aTarget.host(), "dev", "pw"}, options()));
        return aTarget;
    }

    // Runs kivo in the test's folder, outside any workspace.
    RunResult outside(const std::vector<std::string>& theArgs) const {
        return runKivo(theArgs, options());
    }
    std::string archive(const std::string& theName) const { return (dir() / theName).string(); }

    // Exports DU1 from the source into theName in the test's folder.
    void exportTo(const std::string& theName, std::vector<std::string> theOptions = {}) const {
        std::vector<std::string> anArgs = {"export", "DU1", archive(theName)};
        anArgs.insert(anArgs.end(), theOptions.begin(), theOptions.end());
        expectOk(kivo(anArgs));
    }

    // Checks the tree out of the repository with key theKey into a new workspace theWorkSpace
    // and expects every file byte for byte.
    void expectTreeIn(const std::string& theKey, const std::string& theWorkSpace) const {
        expectOk(outside({"create", "workspace", theWorkSpace, theKey}));
        expectOk(runKivo({"checkout", "acme/"}, options(dir() / theWorkSpace)));
        for (const auto& [aFile, aContent] : treeFiles())
            EXPECT_EQ(readText(dir() / theWorkSpace / aFile), aContent) << aFile;
    }

    // The active objects of acme and its sub packages in theTarget: key, version and content
    // hash.
    std::string actives(const RepositoryTarget& theTarget) const {
        return runProgram("kivo_repo_probe", {theTarget.host(), "dev", "pw", "actives", "acme"},
                          options())
            .itsOut;
    }
    // The member names of a gzip-compressed tar archive as tar lists them.
    std::string members(const std::string& theArchive) const {
        const RunResult aResult = runProgram("/usr/bin/tar", {"-tzf", theArchive});
        EXPECT_EQ(aResult.itsExitCode, 0) << aResult.itsErr;
        return aResult.itsOut;
    }

private:
    std::list<RepositoryTarget> itsTargets;
};

} // namespace kivotest
