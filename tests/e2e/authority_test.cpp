// Who may administer what, through the real binaries with two users: dev, the repository's
// administrator (kivo-repo user ... --admin), and other, a plain user. Each refusal and permission
// is the engine's authority tests'; here the refusals reach the user and an import that takes a
// package says what it deleted and took.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/deliveryunitfixture.hpp"
#include "tests/e2e/repositoryworkspace.hpp"
#include "tests/support/process.hpp"

using namespace kivotest;
namespace fs = std::filesystem;

namespace {

// Makes dev the repository's one administrator and gives other the key K2.
void markDev(const RepositoryWorkspace& theRepository) {
    RepositoryWorkspace::expectOk(theRepository.target().tool("user", {"dev", "pw", "--admin"}));
    theRepository.setKey("K2", "other");
}

// dev's workspace "ws" and other's workspace "wso", both tracking acme.
class AuthorityChanges : public ::testing::Test, protected RepositoryWorkspace {
protected:
    AuthorityChanges() : RepositoryWorkspace(true, true) {
        markDev(*this);
        expectOk(runKivo({"create", "workspace", "wso", "K2"}, options()));
        fs::create_directories(dir() / "wso/acme");
        expectOk(other({"track", "acme"}));
    }
    RunResult other(const std::vector<std::string>& theArgs) const {
        return runKivo(theArgs, options(dir() / "wso"));
    }
};

using AuthorityUnits = DeliveryUnitFixture;

} // namespace

TEST_F(AuthorityChanges, AChangeIsItsCreatorsAndTheSwitchTheAdministrators) {
    const RunResult aSwitch = other({"set", "cts", "enabled"});
    EXPECT_EQ(aSwitch.itsExitCode, 1);
    EXPECT_TRUE(contains(aSwitch.itsErr, "Failed to toggle change tracking (40120): Not "
                                         "authorized: User OTHER may not switch change tracking: "
                                         "only an administrator may\n"))
        << aSwitch.itsErr;
    expectOk(kivo({"set", "cts", "enabled"}));
    writeText(path("acme/a.txt"), "dev's");
    expectOk(kivo({"push"}));
    expectOk(kivo({"create", "contributor", "ZEV//1", "other"}));
    const RunResult aRelease = other({"release", "ZEV//1"});
    EXPECT_EQ(aRelease.itsExitCode, 1);
    EXPECT_TRUE(contains(aRelease.itsErr, "(40120): Not authorized: User OTHER may not release "
                                          "change \"ZEV//1\": only its creator DEV or an "
                                          "administrator may\n"))
        << aRelease.itsErr;
    // Without names, validate validates the connected user's own contribution.
    expectOk(other({"validate", "contributor", "ZEV//1"}));
    expectOk(kivo({"validate", "ZEV//1"}));
    expectOk(kivo({"release", "ZEV//1"}));
    // The administrator administers other's change too.
    writeText(dir() / "wso/acme/o.txt", "other's");
    expectOk(other({"push"}));
    expectOk(kivo({"update", "change", "ZEV//2", "--description=checked"}));
}

// DU1's archive is imported again after its package acme.sub went to DU2 and gained d.txt.
TEST_F(AuthorityUnits, ImportsThatDeleteOrTakeAreTheAdministratorsAndSaySo) {
    makeTree();
    exportTo("du1.tgz");
    markDev(*this);
    expectOk(kivo({"create", "deliveryUnit", "DU2"}));
    expectOk(kivo({"assign", "acme.sub", "DU2"}));
    writeText(path("acme/sub/d.txt"), "dee");
    expectOk(kivo({"push"}));
    const std::string aBefore = actives(target());

    const auto aRefused = outside({"import", archive("du1.tgz"), "--key=K2"});
    EXPECT_EQ(aRefused.itsExitCode, 1) << aRefused.itsOut;
    EXPECT_EQ(aRefused.itsErr,
              "\nImport failed (40120): Not authorized: User OTHER may not take package acme.sub "
              "from delivery unit DU2 (example.com) by an import: only an administrator may\n");
    EXPECT_EQ(actives(target()), aBefore);

    const auto anImport = outside({"import", archive("du1.tgz"), "--key=K1"});
    EXPECT_EQ(anImport.itsExitCode, 0) << anImport.itsErr;
    EXPECT_TRUE(contains(anImport.itsOut,
                         "Taken package           : acme.sub (from delivery unit DU2, vendor "
                         "example.com)\nDeleted object          : acme/sub/d.txt\n\nImport "
                         "successful.\n"))
        << anImport.itsOut;
    EXPECT_FALSE(contains(actives(target()), "d.txt"));
}
