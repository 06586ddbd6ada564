#pragma once

// The double of the program's host that the dispatcher and run sequence tests share.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/parameters.hpp"
#include "front/actionhost.hpp"

namespace fronttest {

using namespace RepositoryAccess;

// Records every step with the flags that were set while it ran, and the end of the run; a test
// may make a step count something (an activation conflict, a taken-over object) or fail.
class RecordingHost : public ActionHost {
public:
    std::vector<std::string> itsSteps;
    std::map<ActionKind, std::function<void()>> itsEffects;
    bool itsWorkspaceOpen = true;

    void runAction(ActionKind theKind) override {
        std::string aStep(actionClassName(theKind));
        for (const auto& aFlag : {params::noTips, params::local, params::noCompare, params::force,
                                  params::base, params::overwrite, params::inactive})
            if (isSet(aFlag))
                aStep += " +" + std::string(aFlag.name());
        itsSteps.push_back(aStep);
        if (auto anEffect = itsEffects.find(theKind); anEffect != itsEffects.end())
            anEffect->second();
    }
    bool openWorkspaceUnlocked() override {
        itsSteps.push_back("open");
        return itsWorkspaceOpen;
    }
    void lockWorkspace() override { itsSteps.push_back("lock"); }
    int repositoryApiVersion() override { return 16; }
    void closeConnection() override { itsSteps.push_back("close"); }
    void deletePackageFiles(const std::vector<std::string>& thePackages, bool) override {
        itsSteps.push_back("delete files " + thePackages.front());
    }
    std::string temporaryFileName(std::string_view theBase, std::string_view theSuffix) override {
        return "/tmp/" + std::string(theBase) + "_" + std::to_string(++itsTicks) + "." +
               std::string(theSuffix);
    }
    void removeTemporaryFiles(const std::vector<std::string>& theFileNames) override {
        for (const auto& aFile : theFileNames)
            itsSteps.push_back("remove " + aFile);
    }
    void finishWorkspace(bool theAfterFailure) override {
        itsSteps.push_back(theAfterFailure ? "rollback or exit" : "exit");
    }
    void finishConnection() override { itsSteps.push_back("close"); }

private:
    int itsTicks = 0;
};

} // namespace fronttest
